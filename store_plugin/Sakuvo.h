#pragma once

#include "plugin/PluginInterface.h"

#include <QObject>
#include <QString>

class ParserInterface;

// The store plug-in's root object.
class Sakuvo : public QObject, public zorv::PluginInterface
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID ZorvPluginInterface_iid FILE "Sakuvo.json")
    Q_INTERFACES(zorv::PluginInterface)
public:
    Sakuvo();
    ~Sakuvo() override;

    const zorv::PluginInfo *information() const override;
    bool findId(const QString &fileName, QString &id) const override;
    QList<QUrl> urls(const QString &id) const override;
    bool parse(const QUrl &url, const QDomDocument &document, zorv::WorkInfo &work,
               QString &error) const override;

    // The shop's host; every page URL lies on it.
    static QString host();
    static QUrl productUrl(const QString &category, const QString &id);
    // The parser for a page URL's category, or null for an unknown category.
    static const ParserInterface *parserForUrl(const QUrl &url);

private:
    zorv::PluginInfo *info;
};
