#include "Translation.h"

#include <QCoreApplication>
#include <QFile>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace zorv {

namespace {

const QString translatorName = QStringLiteral("zorv-translation");
const QString japanese = QStringLiteral("ja");
const QString programTranslations = QStringLiteral(":/translations");

// The user's languages in their order ("ja:en" in LANGUAGE, say): the first
// that is Japanese, the language written, or that has a
// ":/translations/zorv_<language>.qm" wins. Empty when none does.
QString chosenLanguage(const QLocale &locale)
{
    const QStringList languages = locale.uiLanguages();
    for (const QString &tag : languages) {
        const QString language = tag.section(QLatin1Char('-'), 0, 0);
        if (language == japanese ||
            QFile::exists(QStringLiteral("%1/zorv_%2.qm").arg(programTranslations, language)))
            return language;
    }
    return QString();
}

bool load(const QString &name, const QString &folder)
{
    QTranslator *translator = new QTranslator(QCoreApplication::instance());
    translator->setObjectName(translatorName);
    if (translator->load(name, folder) && QCoreApplication::installTranslator(translator))
        return true;
    delete translator;
    return false;
}

} // namespace

bool Translation::install(Scope scope)
{
    // A translator removes itself from the application when deleted.
    qDeleteAll(QCoreApplication::instance()->findChildren<QTranslator *>(
        translatorName, Qt::FindDirectChildrenOnly));
    const QLocale locale;
    // The C locale of scripts and tests keeps the texts as written, even
    // when LANGUAGE names another language, and so does a language without
    // a translation: the interface is then Japanese, Qt's texts included.
    QString language = locale.language() == QLocale::C ? QString() : chosenLanguage(locale);
    if (language.isEmpty())
        language = japanese;
    bool installed = false;
    if (language != japanese)
        installed = load(QStringLiteral("zorv_") + language, programTranslations);
    // Qt's texts are written in English: there is no qtbase_en to load.
    if (scope == ProgramAndQt)
        installed = load(QStringLiteral("qtbase_") + language,
                         QLibraryInfo::location(QLibraryInfo::TranslationsPath)) ||
                    installed;
    return installed;
}

} // namespace zorv
