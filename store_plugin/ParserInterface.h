#pragma once

#include "plugin/PluginInterface.h"

#include <QDomDocument>
#include <QString>

// A reader of one page layout of the shop. Stateless: one instance serves
// every thread at once.
class ParserInterface
{
public:
    virtual ~ParserInterface() {}
    // Fills work from the page; appends its messages to error (never clears
    // it) and returns true only when every required field was found.
    virtual bool parse(const QDomDocument &document, zorv::WorkInfo &work,
                       QString &error) const = 0;
};
