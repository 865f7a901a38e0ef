// A Qt plug-in of another interface, which the program must refuse.
#include <QObject>
#include <QtPlugin>

class OtherPlugin : public QObject
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID "zorv.test.OtherInterface")
};

#include "OtherPlugin.moc"
