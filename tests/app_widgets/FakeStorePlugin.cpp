// A store plug-in that only describes itself, for the plug-in dialogs. The
// same source is built several times, each time with another self-description
// (FAKE_NAME, FAKE_VERSION, FAKE_COPYRIGHT, FAKE_SUPPORT).
#include "plugin/PluginInterface.h"

#include <QObject>
#include <QtPlugin>

class FakeStorePlugin : public QObject, public zorv::PluginInterface
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID ZorvPluginInterface_iid)
    Q_INTERFACES(zorv::PluginInterface)

public:
    FakeStorePlugin()
    {
        info.name = QStringLiteral(FAKE_NAME);
        info.version = QStringLiteral(FAKE_VERSION);
        info.copyright = QStringLiteral(FAKE_COPYRIGHT);
        info.support = QStringLiteral(FAKE_SUPPORT);
    }

    const zorv::PluginInfo *information() const override { return &info; }
    bool findId(const QString &, QString &) const override { return false; }
    QList<QUrl> urls(const QString &) const override { return {}; }
    bool parse(const QUrl &, const QDomDocument &, zorv::WorkInfo &, QString &) const override
    {
        return false;
    }

private:
    zorv::PluginInfo info;
};

#include "FakeStorePlugin.moc"
