#include "TestMain.h"

#include <QThread>

#include <cstdio>
#include <cstdlib>

namespace {

QtMessageHandler testLog = nullptr;

void handler(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    testLog(type, context, message);
    if (!message.startsWith(QLatin1String("QObject::connect: No such ")))
        return;
    // Outside a test function, or on another thread, no failure can be
    // recorded: the program ends instead.
    if (!QTest::currentTestFunction() || QThread::currentThread() != qApp->thread()) {
        std::fprintf(stderr, "refused connection outside a test: %s\n", qPrintable(message));
        std::abort();
    }
    QTest::qFail(qPrintable(message), context.file ? context.file : "unknown", context.line);
}

} // namespace

int TestMain::exec(QObject *testObject, int argc, char **argv)
{
    // Qt Test installs its own handler as it starts: this one goes on top
    // and passes every message on.
    QTest::qInit(testObject, argc, argv);
    testLog = qInstallMessageHandler(handler);
    const int result = QTest::qRun();
    qInstallMessageHandler(testLog);
    QTest::qCleanup();
    return result;
}
