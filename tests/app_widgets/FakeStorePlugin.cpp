// A store plug-in that only describes itself (FAKE_NAME and so on), for the dialogs.
#include "plugin/PluginInterface.h"

#include <QObject>

class FakeStorePlugin : public QObject, public zorv::PluginInterface
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID ZorvPluginInterface_iid)
    Q_INTERFACES(zorv::PluginInterface)

public:
    const zorv::PluginInfo *information() const override
    {
        static const zorv::PluginInfo info{FAKE_NAME,    FAKE_VERSION, {}, FAKE_COPYRIGHT,
                                           FAKE_SUPPORT, {},           {}, {}};
        return &info;
    }
    bool findId(const QString &, QString &) const override { return false; }
    QList<QUrl> urls(const QString &) const override { return {}; }
    bool parse(const QUrl &, const QDomDocument &, zorv::WorkInfo &, QString &) const override
    {
        return false;
    }
};

#include "FakeStorePlugin.moc"
