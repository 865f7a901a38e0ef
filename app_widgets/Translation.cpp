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
    // The user's languages in their order ("ja:en" in LANGUAGE, say): the
    // first that is Japanese, the language written, or that has a
    // ":/translations/zorv_<language>.qm" wins.
    const QStringList languages = locale.uiLanguages();
    for (const QString &tag : languages) {
        const QString language = tag.section(QLatin1Char('-'), 0, 0);
        if (language == QLatin1String("ja"))
            break;
        if (translator->load(QStringLiteral("zorv_") + language,
                             QStringLiteral(":/translations")) &&
            QCoreApplication::installTranslator(translator))
            return true;
    }
    delete translator;
    return false;
}

} // namespace zorv
