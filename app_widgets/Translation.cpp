#include "Translation.h"

#include <QCoreApplication>
#include <QLocale>
#include <QTranslator>

namespace zorv {

bool Translation::install()
{
    const QLocale locale;
    // The C locale of scripts and tests keeps the texts as written, even
    // when LANGUAGE names another language.
    if (locale.language() == QLocale::C)
        return false;
    QTranslator *translator = new QTranslator(QCoreApplication::instance());
    // ":/translations/zorv_<language>.qm", tried for each of the locale's
    // languages in turn; none for Japanese, the language written.
    if (translator->load(locale, QStringLiteral("zorv"), QStringLiteral("_"),
                         QStringLiteral(":/translations")) &&
        QCoreApplication::installTranslator(translator))
        return true;
    delete translator;
    return false;
}

} // namespace zorv
