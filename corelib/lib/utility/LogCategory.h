#pragma once

#include <QLoggingCategory>

namespace zorv {

// The program's diagnostic lines, so that QT_LOGGING_RULES ("zorv.debug=false",
// say) turns them on or off without touching Qt's own.
Q_DECLARE_LOGGING_CATEGORY(lcZorv)

} // namespace zorv
