#pragma once

#include "ParserInterface.h"

// Reads product pages of the shop's touch (mobile) site.
class ParserForTouch : public ParserInterface
{
public:
    bool parse(const QDomDocument &document, zorv::WorkInfo &work, QString &error) const override;
};
