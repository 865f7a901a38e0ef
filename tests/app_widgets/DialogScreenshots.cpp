// Shows the configuration dialog and the store plug-in's detail dialog as a
// user sees them and saves a picture of each, for the documentation:
//   zorv_dialog_screenshots OUTPUT_FOLDER
// Run it on a real display server (scripts/screenshot-dialogs uses Xvfb), so
// that the pictures show the desktop's fonts.
#include "ConfigDialog.h"
#include "PluginDetailDialog.h"
#include "TestPaths.h"
#include "data/Option.h"
#include "plugin/PluginManager.h"

#include <QApplication>
#include <QDir>
#include <QListWidget>
#include <QPixmap>
#include <QTest>
#include <QTextStream>

using namespace zorv;

namespace {

bool save(QWidget *dialog, const QString &file)
{
    dialog->show();
    if (!QTest::qWaitForWindowExposed(dialog))
        return false;
    // Let the first paint through before taking the picture.
    QApplication::processEvents();
    return dialog->grab().save(file, "PNG");
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    QTextStream err(stderr);
    const QStringList arguments = QApplication::arguments();
    if (arguments.size() != 2) {
        err << "usage: zorv_dialog_screenshots OUTPUT_FOLDER\n";
        return 2;
    }
    const QDir output(arguments.at(1));

    ConfigDialog config;
    config.setOption(Option::createDefault());
    // A row chosen, as while the user reorders the elements.
    if (auto *list = config.findChild<QListWidget *>(QStringLiteral("orderListWidget")))
        list->setCurrentRow(2);
    const QString configFile = output.filePath(QStringLiteral("config-dialog.png"));
    if (!save(&config, configFile)) {
        err << "could not save " << configFile << "\n";
        return 1;
    }

    PluginManager manager;
    if (!manager.load(TestPaths::pluginBuildDir()) || manager.plugins().isEmpty()) {
        err << "no store plug-in in " << TestPaths::pluginBuildDir() << "\n";
        return 1;
    }
    PluginDetailDialog detail;
    detail.setPlugin(manager.plugins().first());
    detail.updateView();
    const QString detailFile = output.filePath(QStringLiteral("plugin-detail-dialog.png"));
    if (!save(&detail, detailFile)) {
        err << "could not save " << detailFile << "\n";
        return 1;
    }
    return 0;
}
