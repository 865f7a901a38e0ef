#include "TestMain.h"

#include <QCoreApplication>
#include <QThread>

#include <cstdio>
#include <cstdlib>

namespace {

QtMessageHandler testLog = nullptr;

void handler(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (testLog)
        testLog(type, context, message);
    if (!message.startsWith(QLatin1String("QObject::connect: No such slot")) &&
        !message.startsWith(QLatin1String("QObject::connect: No such signal")))
        return;
    // Outside a test function, or on another thread, a failure cannot be
    // recorded: the test program ends instead.
    const bool inTest = QTest::currentTestFunction() && QCoreApplication::instance() &&
                        QThread::currentThread() == QCoreApplication::instance()->thread();
    if (!inTest) {
        std::fprintf(stderr, "refused connection outside a test: %s\n", qPrintable(message));
        std::abort();
    }
    QTest::qFail(qPrintable(message), context.file ? context.file : "unknown", context.line);
}

} // namespace

int TestMain::exec(QObject *testObject, int argc, char **argv)
{
    // Qt Test puts its own handler in place while it runs the tests: this
    // one goes on top of it and passes every message on.
    QTest::qInit(testObject, argc, argv);
    testLog = qInstallMessageHandler(handler);
    const int result = QTest::qRun();
    qInstallMessageHandler(testLog);
    QTest::qCleanup();
    return result;
}
