#include "ParserForTouch.h"

#include "ParserRules.h"

#include <QDomNodeList>

namespace {

// The heading counts only when it carries the work's name in a marked span;
// the page has other headers (series, campaign) of the same shape.
bool readTitle(const QDomDocument &document, zorv::WorkInfo &work)
{
    const QList<QDomElement> sections = ParserRules::elementsWithAttribute(
        document, QStringLiteral("section"), QStringLiteral("id"), QStringLiteral("work_header"));
    for (const QDomElement &section : sections) {
        const QDomElement heading = section.firstChildElement(QStringLiteral("h1"));
        if (heading.isNull())
            continue;
        const QDomElement span = heading.firstChildElement(QStringLiteral("span"));
        if (!ParserRules::hasAttributeValue(span, QStringLiteral("itemprop"),
                                            QStringLiteral("name")))
            continue;
        work.title = heading.text();
        return true;
    }
    return false;
}

bool readMakers(const QDomDocument &document, zorv::WorkInfo &work)
{
    const QList<QDomElement> lists = ParserRules::elementsWithAttribute(
        document, QStringLiteral("dl"), QStringLiteral("id"), QStringLiteral("maker_name"));
    for (const QDomElement &list : lists) {
        const QDomNodeList links = list.elementsByTagName(QStringLiteral("a"));
        for (int i = 0; i < links.count(); ++i) {
            const QDomElement link = links.item(i).toElement();
            const QDomElement child = link.firstChildElement();
            work.makers.append(child.isNull() ? link.text() : child.text());
        }
        if (!work.makers.isEmpty())
            return true;
    }
    return false;
}

bool readId(const QDomDocument &document, zorv::WorkInfo &work)
{
    const QList<QDomElement> tables = ParserRules::elementsWithAttribute(
        document, QStringLiteral("table"), QStringLiteral("class"),
        QStringLiteral("work_spec_table"));
    for (const QDomElement &table : tables) {
        const QDomNodeList cells = table.elementsByTagName(QStringLiteral("td"));
        if (cells.isEmpty())
            continue;
        work.id = cells.item(0).toElement().text();
        return true;
    }
    return false;
}

} // namespace

bool ParserForTouch::parse(const QDomDocument &document, zorv::WorkInfo &work, QString &error) const
{
    if (!ParserRules::readAgeRating(document, work, error))
        return false;
    const bool titleFound = readTitle(document, work);
    const bool makerFound = readMakers(document, work);
    const bool dateFound = ParserRules::readDate(
        ParserRules::elementsWithAttribute(document, QStringLiteral("section"),
                                           QStringLiteral("id"), QStringLiteral("work_outline")),
        work);
    const bool idFound = readId(document, work);
    return ParserRules::outcome(titleFound, idFound, dateFound, makerFound, error);
}
