// Saves pictures of the configuration dialog and the store plug-in's detail
// dialog for the documentation: zorv_dialog_screenshots OUTPUT_FOLDER. Run on
// a real display server (scripts/screenshot-dialogs), for the desktop's fonts.
#include "ConfigDialog.h"
#include "FormFont.h"
#include "PluginDetailDialog.h"
#include "TestPaths.h"
#include "data/Option.h"
#include "plugin/PluginManager.h"

#include <QApplication>
#include <QListWidget>
#include <QTest>

using namespace zorv;

static bool save(QWidget *dialog, const QString &folder, const QString &file)
{
    dialog->show();
    const bool shown = QTest::qWaitForWindowExposed(dialog);
    QApplication::processEvents(); // the first paint
    return shown && dialog->grab().save(QDir(folder).filePath(file), "PNG");
}

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    FormFont::install(); // the program's stand-in font
    const QString folder = QApplication::arguments().value(1);
    ConfigDialog config;
    config.setOption(Option::createDefault());
    // A row chosen, as while the user reorders the elements.
    config.findChild<QListWidget *>(QStringLiteral("orderListWidget"))->setCurrentRow(2);
    PluginManager manager;
    PluginDetailDialog detail;
    if (folder.isEmpty() || !manager.load(TestPaths::pluginBuildDir()))
        return 2;
    detail.setPlugin(manager.plugins().first());
    detail.updateView();
    const bool saved = save(&config, folder, QStringLiteral("config-dialog.png")) &&
                       save(&detail, folder, QStringLiteral("plugin-detail-dialog.png"));
    return saved ? 0 : 1;
}
