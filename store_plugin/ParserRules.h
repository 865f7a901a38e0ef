#pragma once

#include "plugin/PluginInterface.h"

#include <QDomDocument>
#include <QDomElement>
#include <QList>
#include <QString>

// What the PC and touch page parsers share: the fixed texts, the scan of the
// page title, the date rule and the outcome. Stateless.
class ParserRules
{
public:
    static QString defaultAge();
    static QString adultAge();
    static QString titleMissing();
    static QString idMissing();
    static QString dateMissing();
    static QString makerMissing();

    // Sets the age rating from the page titles. Returns false for the shop's
    // error page, whose title text is then appended to error as the only
    // message.
    static bool readAgeRating(const QDomDocument &document, zorv::WorkInfo &work, QString &error);

    // Whether the element has the attribute with exactly this whole value.
    static bool hasAttributeValue(const QDomElement &element, const QString &attribute,
                                  const QString &value);

    // The elements named tag whose attribute has exactly the value, in
    // document order.
    static QList<QDomElement> elementsWithAttribute(const QDomDocument &document,
                                                    const QString &tag, const QString &attribute,
                                                    const QString &value);

    // Reads the release date from the first link below the containers whose
    // text holds a date; returns whether one was found.
    static bool readDate(const QList<QDomElement> &containers, zorv::WorkInfo &work);

    // Appends the message of each part not found and returns whether all were.
    static bool outcome(bool titleFound, bool idFound, bool dateFound, bool makerFound,
                        QString &error);
};
