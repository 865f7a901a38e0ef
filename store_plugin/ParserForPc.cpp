#include "ParserForPc.h"

// Placeholder until the page reader lands.
bool ParserForPc::parse(const QDomDocument &, zorv::WorkInfo &, QString &) const
{
    return false;
}
