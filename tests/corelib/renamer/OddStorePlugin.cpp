// A store plug-in whose pages come in a charset nobody knows: IDs "ZZ" and
// six digits, one candidate page on the test shop's host.
#include "plugin/PluginInterface.h"

#include <QObject>
#include <QRegularExpression>

class OddStorePlugin : public QObject, public zorv::PluginInterface
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID ZorvPluginInterface_iid)
    Q_INTERFACES(zorv::PluginInterface)
public:
    OddStorePlugin()
    {
        info.name = QStringLiteral("Odd");
        info.version = QStringLiteral("0");
        info.support = QStringLiteral("www.sakuvo.example");
        info.idPattern = QStringLiteral("(?<id>ZZ\\d{6})");
        info.charset = QStringLiteral("x-no-such-charset");
    }
    const zorv::PluginInfo *information() const override { return &info; }
    bool findId(const QString &fileName, QString &id) const override
    {
        const QRegularExpressionMatch match = QRegularExpression(info.idPattern).match(fileName);
        if (!match.hasMatch())
            return false;
        id = match.captured(QStringLiteral("id"));
        return true;
    }
    QList<QUrl> urls(const QString &id) const override
    {
        return {QUrl(
            QStringLiteral("http://www.sakuvo.example/home/work/=/product_id/%1.html").arg(id))};
    }
    bool parse(const QUrl &, const QDomDocument &, zorv::WorkInfo &work, QString &) const override
    {
        work.title = QStringLiteral("should never be used");
        return true;
    }

private:
    zorv::PluginInfo info;
};

#include "OddStorePlugin.moc"
