#pragma once

#include <QLoggingCategory>

namespace zorv {

// The program's diagnostic lines, so that QT_LOGGING_RULES ("zorv.debug=false",
// say) turns them on or off without touching Qt's own.
Q_DECLARE_LOGGING_CATEGORY(lcZorv)

// Keeps the diagnostic log (these lines and Qt's own debug lines) off the
// terminal, for a run without --verbose. QT_LOGGING_RULES, which Qt reads
// after these rules, still turns any of them on.
void quietDiagnosticLog();

} // namespace zorv
