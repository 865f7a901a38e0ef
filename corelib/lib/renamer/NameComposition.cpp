#include "renamer/NameComposition.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTextBoundaryFinder>

#include <climits>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

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

const QString ellipsis = QString(QChar(0x2026));

// Archives whose last suffix alone would no longer extract or no longer say
// which part a file is: compressed tarballs, numbered volumes of a
// self-extracting or RAR set, and split volumes.
const QRegularExpression compoundExtension(
    QStringLiteral(
        "\\.(tar\\.(?:gz|bz2|xz|zst)|part[0-9]+\\.(?:rar|exe)|(?:7z|zip|rar)\\.[0-9]{3,})$"),
    QRegularExpression::CaseInsensitiveOption);

// The text cut after its first `end` UTF-16 units, blanks at the cut
// dropped, with the ellipsis that says it was cut.
QString cutText(const QString &text, int end)
{
    while (end > 0 && text.at(end - 1).isSpace())
        --end;
    return text.left(end) + ellipsis;
}

// Cuts `text` to the most whole characters (user-perceived ones: a base with
// its combining marks, a surrogate pair) for which fits() holds, or to the
// ellipsis alone when none does; true when it fits. fits() grows with the
// text, so a binary search finds the cut.
template <typename Fits>
bool cutToFit(QString &text, Fits fits)
{
    if (text.isEmpty())
        return false;
    const QString whole = text;
    QList<int> ends{0};
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, whole);
    while (finder.toNextBoundary() > 0)
        ends.append(finder.position());
    // Keeping every character would be the uncut text, which did not fit.
    int low = 0;
    int high = ends.size() - 2;
    int best = -1;
    while (low <= high) {
        const int middle = (low + high) / 2;
        text = cutText(whole, ends.at(middle));
        if (fits()) {
            best = middle;
            low = middle + 1;
        } else {
            high = middle - 1;
        }
    }
    text = cutText(whole, ends.at(qMax(best, 0)));
    return best >= 0;
}

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

QString fileExtension(const QString &fileName)
{
    const QRegularExpressionMatch match = compoundExtension.match(fileName);
    if (match.hasMatch())
        return match.captured(1);
    return QFileInfo(fileName).suffix();
}

int fileNameMaxBytes(const QString &folderPath)
{
#ifdef Q_OS_UNIX
    const long limit = ::pathconf(QFile::encodeName(folderPath).constData(), _PC_NAME_MAX);
    if (limit > 0)
        return int(qMin(limit, long(INT_MAX)));
#else
    Q_UNUSED(folderPath)
#endif
    return DefaultNameMaxBytes;
}

int fileNameBytes(const QString &name)
{
    return QFile::encodeName(name).size();
}

QString composeFileName(const RenameOption &option, const QString &id, const WorkInfo &work,
                        const QString &extension, int number, int maxBytes, bool *shortened)
{
    // The old name's extension is a valid name part already; only the
    // page's texts and the delimiters need making safe.
    QString tail;
    if (number > 0)
        tail += QStringLiteral(" (%1)").arg(number);
    if (!extension.isEmpty())
        tail += QLatin1Char('.') + extension;
    WorkInfo cut = work;
    const auto name = [&]() { return sanitizeFileName(composeBaseName(option, id, cut)) + tail; };
    const auto fits = [&]() { return fileNameBytes(name()) <= maxBytes; };

    const bool whole = fits();
    if (shortened)
        *shortened = !whole;
    if (whole || cutToFit(cut.title, fits) || cut.makers.isEmpty())
        return name();
    cut.makers = QStringList{cut.makers.join(makerSeparator)};
    cutToFit(cut.makers.first(), fits);
    return name();
}

} // namespace zorv
