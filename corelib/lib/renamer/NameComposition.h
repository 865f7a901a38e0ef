#pragma once

#include "data/RenameOption.h"
#include "plugin/PluginInterface.h"

#include <QString>

namespace zorv {

// The new name without collision number and extension, built by the options'
// order, switches, delimiters and blanks. The configuration dialog's preview
// uses the same rule on placeholder words.
QString composeBaseName(const RenameOption &option, const QString &id, const WorkInfo &work);

// The name with the characters file systems reject replaced by full-width
// look-alikes, control, separator and format characters removed, and a
// leading dot replaced by its full-width form.
QString sanitizeFileName(const QString &name);

// What a new name keeps of the old one, without the leading dot: the whole
// compound extension where the last suffix alone would break the file
// ("tar.gz", "part2.rar", "7z.001"), else the last suffix as QFileInfo has
// it; empty when there is none. The letters keep their case.
QString fileExtension(const QString &fileName);

// How many bytes a file name may take in the folder, as its file system
// says; DefaultNameMaxBytes when it cannot tell.
constexpr int DefaultNameMaxBytes = 255;
int fileNameMaxBytes(const QString &folderPath);

// The bytes a file name takes on disk, in the encoding file names use.
int fileNameBytes(const QString &name);

// The whole new file name: the composed and sanitized base name, " (number)"
// when number > 0, and ".extension" when there is one. When that would take
// more than maxBytes, the title and then the maker list are cut at a
// character boundary (a character with its combining marks, never half a
// surrogate pair) and end in "…"; the ID, the delimiters and the extension
// are never cut. *shortened tells whether anything was cut. A name that does
// not fit even then is returned at its shortest.
QString composeFileName(const RenameOption &option, const QString &id, const WorkInfo &work,
                        const QString &extension, int number, int maxBytes,
                        bool *shortened = nullptr);

} // namespace zorv
