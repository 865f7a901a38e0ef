#pragma once

// The contract between the program and its store plug-ins. Both sides are
// built from this one header; the order of the virtual operations is part of
// the binary contract and must not change.

#include <QDomDocument>
#include <QJsonArray>
#include <QJsonObject>
#include <QList>
#include <QNetworkCookie>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <QtPlugin>

namespace zorv {

// What a plug-in says about itself. Built once by the plug-in, never changed.
struct PluginInfo
{
    QString name;
    QString version;
    QString reserved; // read by nobody; keeps the record's layout for existing plug-ins
    QString copyright;
    QString support;
    QString idPattern; // regular expression with a named group "id"
    QString charset;   // text encoding of the shop's pages, as QTextCodec names it
    QList<QNetworkCookie> cookies;
};

// What a plug-in read from one product page.
struct WorkInfo
{
    QString id;
    QString title;
    QString date; // year-month-day, digits as printed on the page
    QString age;
    QStringList makers;

    // As the program keeps it between runs; fields missing from the object
    // stay empty. (Members without data: the record's layout is unchanged.)
    QJsonObject toJson() const
    {
        return {{QStringLiteral("id"), id},
                {QStringLiteral("title"), title},
                {QStringLiteral("date"), date},
                {QStringLiteral("age"), age},
                {QStringLiteral("makers"), QJsonArray::fromStringList(makers)}};
    }
    static WorkInfo fromJson(const QJsonObject &object)
    {
        WorkInfo work;
        work.id = object.value(QStringLiteral("id")).toString();
        work.title = object.value(QStringLiteral("title")).toString();
        work.date = object.value(QStringLiteral("date")).toString();
        work.age = object.value(QStringLiteral("age")).toString();
        for (const QJsonValue &maker : object.value(QStringLiteral("makers")).toArray())
            work.makers.append(maker.toString());
        return work;
    }
};

class PluginInterface
{
public:
    virtual ~PluginInterface() {}
    virtual const PluginInfo *information() const = 0;
    virtual bool findId(const QString &fileName, QString &id) const = 0;
    virtual QList<QUrl> urls(const QString &id) const = 0;
    virtual bool parse(const QUrl &url, const QDomDocument &document, WorkInfo &work,
                       QString &error) const = 0;
};

} // namespace zorv

#define ZorvPluginInterface_iid "zorv.PluginInterface"
Q_DECLARE_INTERFACE(zorv::PluginInterface, ZorvPluginInterface_iid)
