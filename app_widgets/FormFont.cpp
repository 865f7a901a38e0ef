#include "FormFont.h"

#include <QApplication>
#include <QFont>
#include <QStringList>

namespace zorv {

void FormFont::install()
{
#ifndef Q_OS_WIN
    const QString formFont = QStringLiteral("MS UI Gothic");
    QFont::insertSubstitutions(formFont,
                               {QStringLiteral("IPAPGothic"), QStringLiteral("IPAGothic"),
                                QStringLiteral("Noto Sans CJK JP"), QStringLiteral("VL PGothic")});
    QApplication::setFont(QFont(formFont, 9));
#endif
}

} // namespace zorv
