// A Qt plug-in that is not a store plug-in: it declares another interface,
// so the program must refuse it.
#include <QObject>
#include <QtPlugin>

class OtherPlugin : public QObject
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID "zorv.test.OtherInterface")
};

#include "OtherPlugin.moc"
