#include "utility/LogCategory.h"

namespace zorv {

Q_LOGGING_CATEGORY(lcZorv, "zorv")

void quietDiagnosticLog()
{
    QLoggingCategory::setFilterRules(QStringLiteral("zorv.debug=false\ndefault.debug=false"));
}

} // namespace zorv
