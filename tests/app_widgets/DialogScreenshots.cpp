// Shows every dialog as a user sees it and saves a picture of each, for the
// documentation and for a look at other fonts and languages:
//   zorv_dialog_screenshots OUTPUT_FOLDER [POINT_SIZE]
// POINT_SIZE sets the desktop font's size (16, say); the locale picks the
// language. Run it on a real display server (scripts/screenshot-dialogs uses
// Xvfb), so that the pictures show the desktop's fonts.
#include "AboutDialog.h"
#include "ConfigDialog.h"
#include "LibraryDetailDialog.h"
#include "LibraryDialog.h"
#include "PluginDetailDialog.h"
#include "PluginDialog.h"
#include "TestPaths.h"
#include "Translation.h"
#include "data/Option.h"
#include "plugin/PluginManager.h"

#include <QApplication>
#include <QDir>
#include <QListWidget>
#include <QPixmap>
#include <QTest>
#include <QTextStream>
#include <QTreeWidget>

using namespace zorv;

namespace {

bool save(QWidget *dialog, const QDir &output, const QString &name)
{
    dialog->show();
    if (!QTest::qWaitForWindowExposed(dialog))
        return false;
    // Let the first paint through before taking the picture.
    QApplication::processEvents();
    return dialog->grab().save(output.filePath(name + QStringLiteral(".png")), "PNG");
}

// A list with its first row chosen, as while the user looks at it.
template <typename Dialog>
bool saveList(const QDir &output, const QString &name)
{
    Dialog dialog;
    if (auto *tree = dialog.template findChild<QTreeWidget *>())
        tree->setCurrentItem(tree->topLevelItem(0));
    return save(&dialog, output, name);
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    Translation::install();
    QTextStream err(stderr);
    const QStringList arguments = QApplication::arguments();
    if (arguments.size() < 2 || arguments.size() > 3) {
        err << "usage: zorv_dialog_screenshots OUTPUT_FOLDER [POINT_SIZE]\n";
        return 2;
    }
    const QDir output(arguments.at(1));
    if (arguments.size() == 3)
        QApplication::setFont(QFont(QApplication::font().family(), arguments.at(2).toInt()));
    PluginManager manager;
    if (!manager.load(TestPaths::pluginBuildDir()) || manager.plugins().isEmpty()) {
        err << "no store plug-in in " << TestPaths::pluginBuildDir() << "\n";
        return 1;
    }

    ConfigDialog config;
    config.setOption(Option::createDefault());
    // A row chosen, as while the user reorders the elements.
    if (auto *list = config.findChild<QListWidget *>(QStringLiteral("orderListWidget")))
        list->setCurrentRow(2);
    PluginDetailDialog pluginDetail;
    pluginDetail.setPlugin(manager.plugins().first());
    pluginDetail.updateView();
    LibraryDetailDialog libraryDetail;
    libraryDetail.setLibrary(0);
    libraryDetail.updateView();
    AboutDialog about;
    const bool saved = save(&config, output, QStringLiteral("config-dialog")) &&
                       save(&pluginDetail, output, QStringLiteral("plugin-detail-dialog")) &&
                       save(&libraryDetail, output, QStringLiteral("library-detail-dialog")) &&
                       save(&about, output, QStringLiteral("about-dialog")) &&
                       saveList<PluginDialog>(output, QStringLiteral("plugin-dialog")) &&
                       saveList<LibraryDialog>(output, QStringLiteral("library-dialog"));
    if (!saved) {
        err << "could not save the pictures in " << output.path() << "\n";
        return 1;
    }
    return 0;
}
