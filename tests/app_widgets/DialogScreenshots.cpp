// zorv_dialog_screenshots OUTPUT_FOLDER: pictures of two dialogs for the README,
// taken on a real display server (scripts/screenshot-dialogs).
#include "ConfigDialog.h"
#include "FormFont.h"
#include "PluginDetailDialog.h"
#include "TestPaths.h"
#include "data/Option.h"
#include "plugin/PluginManager.h"

#include <QApplication>
#include <QListWidget>
#include <QTest>

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    zorv::FormFont::install(); // the program's stand-in font
    const QDir folder(QApplication::arguments().value(1));
    zorv::PluginManager manager;
    if (QApplication::arguments().size() != 2 || !manager.load(TestPaths::pluginBuildDir()))
        return 2;
    zorv::ConfigDialog config;
    config.setOption(zorv::Option::createDefault());
    // A row chosen, as while the user reorders the elements.
    config.findChild<QListWidget *>()->setCurrentRow(2);
    zorv::PluginDetailDialog detail;
    detail.setPlugin(manager.plugins().first());
    detail.updateView();
    for (QDialog *dialog : {static_cast<QDialog *>(&config), static_cast<QDialog *>(&detail)}) {
        dialog->show();
        const bool shown = QTest::qWaitForWindowExposed(dialog);
        QApplication::processEvents(); // the first paint
        const char *file = dialog == &config ? "config-dialog.png" : "plugin-detail-dialog.png";
        if (!shown || !dialog->grab().save(folder.filePath(file), "PNG"))
            return 1;
    }
    return 0;
}
