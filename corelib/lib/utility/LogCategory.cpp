#include "utility/LogCategory.h"

namespace zorv {

Q_LOGGING_CATEGORY(lcZorv, "zorv")

} // namespace zorv
