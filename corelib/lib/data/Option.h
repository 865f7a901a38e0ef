#pragma once

#include "data/RenameOption.h"

#include <QMutex>
#include <QSharedPointer>
#include <QString>

class QXmlStreamReader;
class QXmlStreamWriter;

namespace zorv {

// The root of the option file "option.xml", shared by the main window, the
// renamer and the configuration dialog.
class Option
{
public:
    Option();

    QSharedPointer<RenameOption> renameOption() const { return renameOption_; }
    void setRenameOption(const QSharedPointer<RenameOption> &option) { renameOption_ = option; }

    // The renamer composes names on its own thread while the configuration
    // dialog may store new options on the GUI thread: both go through these
    // two so that a name is never composed from a half-written set.
    RenameOption copyRenameOption() const;
    void storeRenameOption(const RenameOption &option);

    static QString fileName();
    // The option file of the window and the batch mode: "option.xml" in the
    // working directory when one is there (where older versions kept it),
    // else the one in the user's configuration folder (~/.config/zorv).
    static QString filePath();
    static QSharedPointer<Option> createDefault();
    static QSharedPointer<Option> read(QXmlStreamReader &reader);
    static void write(QXmlStreamWriter &writer, const QSharedPointer<Option> &option);
    // Defaults when the file is missing or unreadable. A file that exists
    // but could not be read whole is marked so that saveToFile never
    // overwrites it: it writes "option.xml.new" beside it instead.
    static QSharedPointer<Option> loadFromFile(const QString &path = fileName());
    // Creates the file's folder when it is missing.
    static void saveToFile(const QSharedPointer<Option> &option, const QString &path = fileName());

private:
    QSharedPointer<RenameOption> renameOption_;
    bool fileReadWhole = true;
    mutable QMutex mutex;
};

} // namespace zorv
