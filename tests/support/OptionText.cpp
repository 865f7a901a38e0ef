#include "OptionText.h"

#include <QStringList>
#include <QtGlobal>

using zorv::RenameElement;
using zorv::RenameOption;

RenameOption OptionText::parse(const QString &settings)
{
    RenameOption option;
    const QStringList words = QStringLiteral("id title maker date age").split(' ');
    for (const QString &item : settings.split(' ', Qt::SkipEmptyParts)) {
        const QString key = item.section('=', 0, 0);
        const QString value = item.section('=', 1);
        const QStringList values = value.split(',');
        const auto on = [&](const char *name) { return values.contains(name) == (key == "on"); };
        if (key == "on" || key == "off") {
            option.setBeginDelimiterEnabled(on("begin"));
            option.setEndDelimiterEnabled(on("end"));
            option.setIdEnabled(on("id"));
            option.setMakerEnabled(on("maker"));
            option.setDateEnabled(on("date"));
            option.setAgeEnabled(on("age"));
        } else if (key == "space") {
            option.setSpaceSize(value.toInt());
        } else if (key == "begin") {
            option.setBeginDelimiter(value);
        } else if (key == "end") {
            option.setEndDelimiter(value);
        } else if (key == "order") {
            for (int slot = 0; slot < values.size() && slot < RenameOption::OrderCount; ++slot) {
                const int word = words.indexOf(values.at(slot));
                option.setOrder(slot, RenameElement(word >= 0 ? word : values.at(slot).toInt()));
            }
        } else {
            qFatal("unknown rename setting %s", qPrintable(item));
        }
    }
    return option;
}
