#pragma once

// The contract between the program and its store plug-ins. Both sides are
// built from this one header; the order of the virtual operations is part of
// the binary contract and must not change.

#include <QDomDocument>
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
