#pragma once

#include <QByteArray>
#include <QString>

namespace zorv {

// The one way this program renames a user's file: never replacing whatever
// already bears the new name (a file, a folder or any link, dangling or not)
// and never falling back to a copy, on every file system: atomically where
// it can, else through a hard link, else onto an empty placeholder of its own.
class FileRename
{
public:
    enum Result {
        Renamed,       // the file now bears the new name
        TargetExists,  // something bears the new name; nothing was touched
        SourceMissing, // the file to rename is gone; nothing was touched
        Failed         // the system refused; nothing was touched
    };

    // How the rename is made; the file system decides, unless forced.
    enum Way {
        Automatic,    // the first way the file system supports
        AtomicRename, // one rename that refuses a taken name
        HardLink,     // a second name that refuses a taken one, then the old name dropped
        Placeholder   // the new name made exclusively, then the file renamed onto it
    };

    // Both paths absolute or relative to the working directory. On Failed,
    // *error (when given) holds the system's reason.
    static Result renameNoReplace(const QString &from, const QString &to, QString *error = nullptr);

    // Every later rename takes this way only: tests try each way on a file
    // system that supports them all. Automatic restores the normal choice.
    static void forceWay(Way way);

    // True when a path as the system gives it (bytes) comes back unchanged
    // through Qt's decoding and encoding. Bytes invalid in the locale's
    // encoding decode to U+FFFD, and the decoded path then names another
    // file or none: such a file must be left alone.
    static bool survivesDecoding(const QByteArray &encodedPath);
    // The same for the whole absolute path: a relative path is taken with
    // the working folder's own bytes before it, whose name may not survive.
    static bool absolutePathSurvivesDecoding(const QByteArray &encodedPath);
};

} // namespace zorv
