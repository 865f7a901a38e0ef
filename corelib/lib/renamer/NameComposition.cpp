#include "renamer/NameComposition.h"

namespace zorv {

namespace {

// The characters file systems reject, and their full-width look-alikes.
const QList<QChar> forbiddenCharacters = {QChar(0x005C), QChar(0x002F), QChar(0x003A),
                                          QChar(0x002A), QChar(0x003F), QChar(0x0022),
                                          QChar(0x003C), QChar(0x003E), QChar(0x007C)};
const QStringList replacementTexts = {
    QString(QChar(0xFFE5)), QString(QChar(0xFF0F)), QString(QChar(0xFF1A)),
    QString(QChar(0xFF0A)), QString(QChar(0xFF1F)), QString(QChar(0x201D)),
    QString(QChar(0xFF1C)), QString(QChar(0xFF1E)), QString(QChar(0xFF5C))};

const QString makerSeparator = QStringLiteral(", ");

// A file name holds at most 255 bytes: more blanks between two elements
// than that could never be a name (and a hand-edited option file may ask
// for two billion).
const int maxSpaceSize = 255;

// Characters no file name should hold: controls (C0, DEL, C1), the line and
// paragraph separators, and the invisible format characters (category Cf),
// such as the right-to-left override U+202E that makes "photo<U+202E>gpj.exe" show
// as "photoexe.jpg", and zero-width characters.
bool isUnwanted(uint c)
{
    return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x2028 || c == 0x2029 ||
           QChar::category(c) == QChar::Other_Format;
}

} // namespace

QString composeBaseName(const RenameOption &option, const QString &id, const WorkInfo &work)
{
    QString name;
    for (int slot = 0; slot < RenameOption::OrderCount; ++slot) {
        const int element = option.order(slot);
        QString text;
        bool enabled = true;
        switch (element) {
        case Id:
            text = id;
            enabled = option.isIdEnabled();
            break;
        case Title:
            text = work.title;
            break;
        case Maker:
            text = work.makers.join(makerSeparator);
            enabled = option.isMakerEnabled();
            break;
        case Date:
            text = work.date;
            enabled = option.isDateEnabled();
            break;
        case Age:
            text = work.age;
            enabled = option.isAgeEnabled();
            break;
        default:
            // A slot outside the five elements (from a hand-edited file) has
            // no text and no switch: only its delimiters and blanks remain,
            // as the configuration dialog's preview shows it.
            break;
        }
        if (!enabled)
            continue;
        const bool delimited = element != Title;
        if (delimited && option.isBeginDelimiterEnabled())
            name += option.beginDelimiter();
        name += text;
        if (delimited && option.isEndDelimiterEnabled())
            name += option.endDelimiter();
        if (option.spaceSize() > 0)
            name += QString(qMin(option.spaceSize(), maxSpaceSize), QLatin1Char(' '));
    }
    return name;
}

QString sanitizeFileName(const QString &name)
{
    QString safe = name;
    for (int i = 0; i < forbiddenCharacters.size(); ++i)
        safe.replace(forbiddenCharacters.at(i), replacementTexts.at(i));
    // Page texts carry line breaks and other control characters (the HTML
    // repair breaks lines inside headings); no file name should hold them.
    const QVector<uint> codePoints = safe.toUcs4();
    QString result;
    result.reserve(safe.size());
    for (const uint c : codePoints) {
        if (!isUnwanted(c))
            result.append(QString::fromUcs4(&c, 1));
    }
    // A leading dot would hide the file.
    if (result.startsWith(QLatin1Char('.')))
        result[0] = QChar(0xFF0E);
    return result;
}

} // namespace zorv
