#pragma once

#include <QMutex>
#include <QStringList>

// Collects the debug lines written while it lives, for tests that check log
// text. Only one may be alive at a time; lines still go on to the previous
// handler, so a failing test shows them.
class LogCapture
{
public:
    LogCapture() { previous = qInstallMessageHandler(&handler); }
    ~LogCapture() { qInstallMessageHandler(previous), clear(); }
    LogCapture(const LogCapture &) = delete;
    LogCapture &operator=(const LogCapture &) = delete;

    QStringList lines() const { return QMutexLocker(&mutex), captured; }
    // Lines that contain the text.
    QStringList matching(const QString &text) const { return lines().filter(text); }
    void clear()
    {
        QMutexLocker lock(&mutex);
        captured.clear();
    }

private:
    static void handler(QtMsgType type, const QMessageLogContext &context, const QString &text)
    {
        {
            QMutexLocker lock(&mutex);
            captured.append(text);
        }
        if (previous)
            previous(type, context, text);
    }
    static inline QMutex mutex;
    static inline QStringList captured;
    static inline QtMessageHandler previous = nullptr;
};
