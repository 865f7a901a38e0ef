#include "OptionText.h"

#include <QtGlobal>

using zorv::RenameElement;
using zorv::RenameOption;

const QStringList &OptionText::switchNames()
{
    static const QStringList names =
        QStringLiteral("begin end id maker date age").split(QLatin1Char(' '));
    return names;
}

const QStringList &OptionText::elementWords()
{
    static const QStringList words =
        QStringLiteral("id title maker date age").split(QLatin1Char(' '));
    return words;
}

bool OptionText::switchOn(const QString &key, const QStringList &values, int bit)
{
    return values.contains(switchNames().at(bit)) == (key == QLatin1String("on"));
}

void OptionText::apply(RenameOption &option, const QString &settings)
{
    const QStringList items = settings.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    for (const QString &item : items) {
        const QString key = item.section(QLatin1Char('='), 0, 0);
        const QString value = item.section(QLatin1Char('='), 1);
        const QStringList values = value.split(QLatin1Char(','));
        if (key == QLatin1String("on") || key == QLatin1String("off")) {
            option.setBeginDelimiterEnabled(switchOn(key, values, 0));
            option.setEndDelimiterEnabled(switchOn(key, values, 1));
            option.setIdEnabled(switchOn(key, values, 2));
            option.setMakerEnabled(switchOn(key, values, 3));
            option.setDateEnabled(switchOn(key, values, 4));
            option.setAgeEnabled(switchOn(key, values, 5));
        } else if (key == QLatin1String("space")) {
            option.setSpaceSize(value.toInt());
        } else if (key == QLatin1String("begin")) {
            option.setBeginDelimiter(value);
        } else if (key == QLatin1String("end")) {
            option.setEndDelimiter(value);
        } else if (key == QLatin1String("order")) {
            for (int slot = 0; slot < values.size() && slot < RenameOption::OrderCount; ++slot) {
                const int word = elementWords().indexOf(values.at(slot));
                option.setOrder(slot, RenameElement(word >= 0 ? word : values.at(slot).toInt()));
            }
        } else {
            qFatal("unknown rename setting %s", qPrintable(item));
        }
    }
}

RenameOption OptionText::parse(const QString &settings)
{
    RenameOption option;
    apply(option, settings);
    return option;
}

QString OptionText::describe(const RenameOption &option)
{
    const bool switches[] = {
        option.isBeginDelimiterEnabled(), option.isEndDelimiterEnabled(), option.isIdEnabled(),
        option.isMakerEnabled(),          option.isDateEnabled(),         option.isAgeEnabled()};
    QStringList on;
    for (int bit = 0; bit < switchNames().size(); ++bit) {
        if (switches[bit])
            on.append(switchNames().at(bit));
    }
    QStringList order;
    for (int slot = 0; slot < RenameOption::OrderCount; ++slot)
        order.append(elementWords().value(option.order(slot)));
    return describe(on, option.spaceSize(), option.beginDelimiter(), option.endDelimiter(), order);
}

QString OptionText::describe(const QStringList &on, int space, const QString &begin,
                             const QString &end, const QStringList &order)
{
    return QStringLiteral("on=%1 space=%2 begin=%3 end=%4 order=%5")
        .arg(on.join(QLatin1Char(',')), QString::number(space), begin, end,
             order.join(QLatin1Char(',')));
}
