#pragma once

#include <QStringList>
#include <QtGlobal>

// Collects the debug lines written while it lives, for tests that check log
// text. Only one may be alive at a time; lines are still forwarded to the
// previous handler so a failing test shows them.
class LogCapture
{
public:
    LogCapture();
    ~LogCapture();
    LogCapture(const LogCapture &) = delete;
    LogCapture &operator=(const LogCapture &) = delete;

    QStringList lines() const;
    // Lines that contain the text.
    QStringList matching(const QString &text) const;
    void clear();

private:
    static void handler(QtMsgType type, const QMessageLogContext &context, const QString &text);
    QtMessageHandler previous;
};
