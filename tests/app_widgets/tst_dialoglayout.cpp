#include "AboutDialog.h"
#include "ConfigDialog.h"
#include "LibraryDetailDialog.h"
#include "LibraryDialog.h"
#include "LibraryInfo.h"
#include "PluginDetailDialog.h"
#include "PluginDialog.h"
#include "data/Option.h"
#include "plugin/PluginManager.h"

#include <QtTest>
#include <QtWidgets>

using namespace zorv;

namespace {

// Whether a line of the document starts where a line may not ("www.exam|ple";
// after a space or a slash it may).
bool brokenInWord(const QTextDocument *document)
{
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
        QTextBoundaryFinder breaks(QTextBoundaryFinder::Line, block.text());
        for (int line = 1; line < block.layout()->lineCount(); ++line) {
            const int start = block.layout()->lineAt(line).textStart();
            if (block.text().at(start - 1) == QChar::LineSeparator) // <br>
                continue;
            breaks.setPosition(start);
            if (!breaks.isAtBoundary())
                return true;
        }
    }
    return false;
}

// Whether the line edit shows its text unscrolled.
bool wholeText(QLineEdit *edit)
{
    const auto cursorAt = [edit](bool end) {
        end ? edit->end(false) : edit->home(false);
        edit->repaint(); // the line scrolls as it paints
        return edit->inputMethodQuery(Qt::ImCursorRectangle).toRect().left();
    };
    return cursorAt(true) - cursorAt(false) >= edit->fontMetrics().horizontalAdvance(edit->text());
}

} // namespace

// At a large desktop font every dialog shows each label, button, list item,
// value and text whole, the configuration also with its widest preview. The
// test runs again under QT_SCALE_FACTOR=2, where the fonts round otherwise.
class TestDialogLayout : public QObject
{
    Q_OBJECT

    PluginManager manager;

private slots:
    void initTestCase()
    {
        QApplication::setFont(QFont(QApplication::font().family(), 16));
        // Their copyright and site are longer than the store plug-in's.
        QVERIFY(manager.load(QStringLiteral(ZORV_FAKE_PLUGIN_DIR)));
    }

    void textsAreWhole()
    {
        auto *config = new ConfigDialog;
        config->setOption(Option::createDefault());
        config->findChild<QSpinBox *>()->setValue(5);
        auto *plugin = new PluginDetailDialog;
        plugin->setPlugin(manager.plugins().first());
        plugin->updateView();
        auto *library = new LibraryDetailDialog;
        library->setLibrary(LibraryInfo::HtmlTidyIndex);
        library->updateView();
        const QList<QDialog *> dialogs = {config,          plugin,           library,
                                          new AboutDialog, new PluginDialog, new LibraryDialog};
        for (QDialog *dialog : dialogs) {
            QScopedPointer<QDialog> owner(dialog);
            dialog->show();
            QVERIFY(QTest::qWaitForWindowExposed(dialog));
            for (QWidget *widget : dialog->findChildren<QWidget *>())
                verifyWhole(widget);
        }
    }

private:
    static void verifyWhole(QWidget *widget)
    {
        if (qobject_cast<QLabel *>(widget) || qobject_cast<QAbstractButton *>(widget))
            QVERIFY2(widget->width() >= widget->sizeHint().width() &&
                         widget->height() >= widget->sizeHint().height(),
                     qPrintable(widget->property("text").toString()));
        if (auto *edit = qobject_cast<QLineEdit *>(widget))
            QVERIFY2(wholeText(edit), qPrintable(edit->text()));
        if (auto *text = qobject_cast<QTextEdit *>(widget))
            QVERIFY2(text->verticalScrollBar()->maximum() == 0 && !brokenInWord(text->document()),
                     qPrintable(text->toPlainText()));
        if (auto *list = qobject_cast<QListWidget *>(widget)) {
            for (int row = 0; row < list->count(); ++row)
                QVERIFY2(list->viewport()->rect().contains(list->visualItemRect(list->item(row))),
                         qPrintable(list->item(row)->text()));
        }
        if (auto *tree = qobject_cast<QTreeWidget *>(widget)) {
            const QAbstractItemView *view = tree;
            for (int column = 0; column < tree->columnCount(); ++column)
                QVERIFY2(tree->columnWidth(column) >= view->sizeHintForColumn(column),
                         qPrintable(tree->topLevelItem(0)->text(column)));
        }
    }
};

ZORV_TEST_MAIN(TestDialogLayout)
#include "tst_dialoglayout.moc"
