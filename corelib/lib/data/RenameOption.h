#pragma once

#include <QSharedPointer>
#include <QString>

class QXmlStreamReader;
class QXmlStreamWriter;

namespace zorv {

// The five parts a new name can be built from; the option file stores them by number.
enum RenameElement { Id = 0, Title = 1, Maker = 2, Date = 3, Age = 4 };

// How a new name is put together. A plain value record; the record itself
// enforces no ranges (the configuration dialog does).
class RenameOption
{
public:
    static constexpr int OrderCount = 5;

    RenameOption();

    bool isBeginDelimiterEnabled() const { return beginDelimiterEnabled; }
    void setBeginDelimiterEnabled(bool enabled) { beginDelimiterEnabled = enabled; }
    bool isEndDelimiterEnabled() const { return endDelimiterEnabled; }
    void setEndDelimiterEnabled(bool enabled) { endDelimiterEnabled = enabled; }
    bool isIdEnabled() const { return idEnabled; }
    void setIdEnabled(bool enabled) { idEnabled = enabled; }
    bool isMakerEnabled() const { return makerEnabled; }
    void setMakerEnabled(bool enabled) { makerEnabled = enabled; }
    bool isDateEnabled() const { return dateEnabled; }
    void setDateEnabled(bool enabled) { dateEnabled = enabled; }
    bool isAgeEnabled() const { return ageEnabled; }
    void setAgeEnabled(bool enabled) { ageEnabled = enabled; }
    int spaceSize() const { return spaceSize_; }
    void setSpaceSize(int size) { spaceSize_ = size; }
    QString beginDelimiter() const { return beginDelimiter_; }
    void setBeginDelimiter(const QString &text) { beginDelimiter_ = text; }
    QString endDelimiter() const { return endDelimiter_; }
    void setEndDelimiter(const QString &text) { endDelimiter_ = text; }
    // Slot values come from files and may lie outside the five elements.
    RenameElement order(int index) const { return static_cast<RenameElement>(orders[index]); }
    void setOrder(int index, RenameElement element) { orders[index] = element; }

    bool operator==(const RenameOption &other) const;
    bool operator!=(const RenameOption &other) const { return !(*this == other); }

    static QSharedPointer<RenameOption> createDefault();
    static QSharedPointer<RenameOption> read(QXmlStreamReader &reader);
    static void write(QXmlStreamWriter &writer, const QSharedPointer<RenameOption> &option);

private:
    static void writeText(QXmlStreamWriter &writer, const QString &element, const QString &text);

    bool beginDelimiterEnabled;
    bool endDelimiterEnabled;
    bool idEnabled;
    bool makerEnabled;
    bool dateEnabled;
    bool ageEnabled;
    int spaceSize_;
    QString beginDelimiter_;
    QString endDelimiter_;
    int orders[OrderCount];
};

} // namespace zorv
