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

} // namespace zorv
