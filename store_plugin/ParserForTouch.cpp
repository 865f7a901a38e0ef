#include "ParserForTouch.h"

// Placeholder until the page reader lands.
bool ParserForTouch::parse(const QDomDocument &, zorv::WorkInfo &, QString &) const
{
    return false;
}
