#include "ParserForPc.h"

#include "ParserRules.h"

#include <QDomNodeList>

namespace {

bool readTitle(const QDomDocument &document, zorv::WorkInfo &work)
{
    const QDomNodeList headings = document.elementsByTagName(QStringLiteral("h1"));
    for (int i = 0; i < headings.count(); ++i) {
        const QDomElement heading = headings.item(i).toElement();
        if (ParserRules::hasAttributeValue(heading, QStringLiteral("id"),
                                           QStringLiteral("work_name"))) {
            work.title = heading.text();
            return true;
        }
    }
    return false;
}

// Only the first maker table that has cells is read, and only its first
// cell: the later cells name publishers and the like, not the makers.
bool readMakers(const QDomDocument &document, zorv::WorkInfo &work)
{
    const QList<QDomElement> tables = ParserRules::elementsWithAttribute(
        document, QStringLiteral("table"), QStringLiteral("id"), QStringLiteral("work_maker"));
    for (const QDomElement &table : tables) {
        const QDomNodeList cells = table.elementsByTagName(QStringLiteral("td"));
        if (cells.isEmpty())
            continue;
        const QDomNodeList links = cells.item(0).toElement().elementsByTagName(QStringLiteral("a"));
        for (int i = 0; i < links.count(); ++i) {
            const QDomElement link = links.item(i).toElement();
            if (link.firstChildElement().isNull()) {
                work.makers.append(link.text());
                continue;
            }
            const QDomElement span = link.firstChildElement(QStringLiteral("span"));
            if (!span.isNull())
                work.makers.append(span.text());
        }
        return !work.makers.isEmpty();
    }
    return false;
}

bool readId(const QDomDocument &document, zorv::WorkInfo &work)
{
    const QList<QDomElement> lists = ParserRules::elementsWithAttribute(
        document, QStringLiteral("dl"), QStringLiteral("class"), QStringLiteral("work_spec_list"));
    for (const QDomElement &list : lists) {
        const QDomElement value = list.firstChildElement(QStringLiteral("dd"));
        if (value.isNull())
            continue;
        work.id = value.text();
        return true;
    }
    return false;
}

} // namespace

bool ParserForPc::parse(const QDomDocument &document, zorv::WorkInfo &work, QString &error) const
{
    if (!ParserRules::readAgeRating(document, work, error))
        return false;
    const bool titleFound = readTitle(document, work);
    const bool makerFound = readMakers(document, work);
    const bool dateFound = ParserRules::readDate(
        ParserRules::elementsWithAttribute(document, QStringLiteral("table"), QStringLiteral("id"),
                                           QStringLiteral("work_outline")),
        work);
    const bool idFound = readId(document, work);
    return ParserRules::outcome(titleFound, idFound, dateFound, makerFound, error);
}
