#include "LogCapture.h"

#include <QMutex>
#include <QMutexLocker>

namespace {
QMutex captureMutex;
QStringList captured;
LogCapture *active = nullptr;
QtMessageHandler forward = nullptr;
} // namespace

LogCapture::LogCapture()
{
    QMutexLocker lock(&captureMutex);
    captured.clear();
    active = this;
    previous = qInstallMessageHandler(&LogCapture::handler);
    forward = previous;
}

LogCapture::~LogCapture()
{
    qInstallMessageHandler(previous);
    QMutexLocker lock(&captureMutex);
    active = nullptr;
    forward = nullptr;
}

QStringList LogCapture::lines() const
{
    QMutexLocker lock(&captureMutex);
    return captured;
}

QStringList LogCapture::matching(const QString &text) const
{
    return lines().filter(text);
}

void LogCapture::clear()
{
    QMutexLocker lock(&captureMutex);
    captured.clear();
}

void LogCapture::handler(QtMsgType type, const QMessageLogContext &context, const QString &text)
{
    QtMessageHandler next = nullptr;
    {
        QMutexLocker lock(&captureMutex);
        if (active)
            captured.append(text);
        next = forward;
    }
    if (next)
        next(type, context, text);
}
