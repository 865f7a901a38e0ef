#pragma once

#include "ParserInterface.h"

// Reads product pages of the shop's PC site.
class ParserForPc : public ParserInterface
{
public:
    bool parse(const QDomDocument &document, zorv::WorkInfo &work, QString &error) const override;
};
