#include "ParserRules.h"

#include <QCoreApplication>
#include <QDomNodeList>
#include <QRegularExpression>
#include <QStringList>

namespace {

// The shop's error pages by their title. The title tells the user why the
// page has no product, in the interface's language.
const char *const errorPageTitles[] = {QT_TRANSLATE_NOOP("Sakuvo", "エラー: 該当作品がありません"),
                                       QT_TRANSLATE_NOOP("Sakuvo", "Error")};
const QString adultMarkers[] = {QStringLiteral("成人向け"), QStringLiteral("for adults")};

const QString japaneseDatePattern = QStringLiteral("(?<year>\\d*)年(?<month>\\d*)月(?<day>\\d*)日");
// The month group is greedy: words in front of the date end up in it.
const QString slashDatePattern = QStringLiteral("(?<month>.*)/(?<day>\\d*)/(?<year>\\d*)");
const QString dateSeparator = QStringLiteral("-");

} // namespace

QString ParserRules::defaultAge()
{
    return QStringLiteral("全年齢");
}

QString ParserRules::adultAge()
{
    return QStringLiteral("R-18");
}

// The plug-in runs inside the program, whose translator covers the fixed
// context "Sakuvo".
QString ParserRules::titleMissing()
{
    return QCoreApplication::translate("Sakuvo", "'タイトルがみつかりませんでした'");
}

QString ParserRules::idMissing()
{
    return QCoreApplication::translate("Sakuvo", "'IDがみつかりませんでした'");
}

QString ParserRules::dateMissing()
{
    return QCoreApplication::translate("Sakuvo", "'日付がみつかりませんでした'");
}

QString ParserRules::makerMissing()
{
    return QCoreApplication::translate("Sakuvo", "'作者がみつかりませんでした'");
}

bool ParserRules::readAgeRating(const QDomDocument &document, zorv::WorkInfo &work, QString &error)
{
    work.age = defaultAge();
    const QDomNodeList titles = document.elementsByTagName(QStringLiteral("title"));
    for (int i = 0; i < titles.count(); ++i) {
        const QString text = titles.item(i).toElement().text();
        for (const char *errorTitle : errorPageTitles) {
            if (text == QString::fromUtf8(errorTitle)) {
                error.append(QCoreApplication::translate("Sakuvo", errorTitle));
                return false;
            }
        }
        // A later title never lowers the rating again.
        for (const QString &marker : adultMarkers) {
            if (text.contains(marker))
                work.age = adultAge();
        }
    }
    return true;
}

bool ParserRules::hasAttributeValue(const QDomElement &element, const QString &attribute,
                                    const QString &value)
{
    return element.hasAttribute(attribute) && element.attribute(attribute) == value;
}

QList<QDomElement> ParserRules::elementsWithAttribute(const QDomDocument &document,
                                                      const QString &tag, const QString &attribute,
                                                      const QString &value)
{
    QList<QDomElement> result;
    const QDomNodeList nodes = document.elementsByTagName(tag);
    for (int i = 0; i < nodes.count(); ++i) {
        const QDomElement element = nodes.item(i).toElement();
        if (hasAttributeValue(element, attribute, value))
            result.append(element);
    }
    return result;
}

bool ParserRules::readDate(const QList<QDomElement> &containers, zorv::WorkInfo &work)
{
    // Built once for every page of the run.
    static const QRegularExpression patterns[] = {QRegularExpression(japaneseDatePattern),
                                                  QRegularExpression(slashDatePattern)};
    for (const QDomElement &container : containers) {
        const QDomNodeList links = container.elementsByTagName(QStringLiteral("a"));
        for (int i = 0; i < links.count(); ++i) {
            const QString text = links.item(i).toElement().text();
            for (const QRegularExpression &pattern : patterns) {
                const QRegularExpressionMatch match = pattern.match(text);
                if (!match.hasMatch())
                    continue;
                work.date = match.captured(QStringLiteral("year")) + dateSeparator +
                            match.captured(QStringLiteral("month")) + dateSeparator +
                            match.captured(QStringLiteral("day"));
                return true;
            }
        }
    }
    return false;
}

bool ParserRules::outcome(bool titleFound, bool idFound, bool dateFound, bool makerFound,
                          QString &error)
{
    if (!titleFound)
        error.append(titleMissing());
    if (!idFound)
        error.append(idMissing());
    if (!dateFound)
        error.append(dateMissing());
    if (!makerFound)
        error.append(makerMissing());
    return titleFound && idFound && dateFound && makerFound;
}
