#pragma once

#include <QtTest>

#ifdef QT_WIDGETS_LIB
#include <QApplication>
#endif

// The tests' main(), as QTEST_MAIN and QTEST_GUILESS_MAIN, but a connection
// that Qt refuses ("QObject::connect: No such slot", "No such signal") fails
// the test during which it was tried: a misspelt string connection is a
// fault of the program, not a warning.
namespace TestMain {
int exec(QObject *testObject, int argc, char **argv);
}

#define ZORV_TEST_MAIN_WITH(Application, TestObject)     \
    int main(int argc, char *argv[])                     \
    {                                                    \
        Application application(argc, argv);             \
        application.setAttribute(Qt::AA_Use96Dpi, true); \
        TestObject testObject;                           \
        QTEST_SET_MAIN_SOURCE_PATH                       \
        return TestMain::exec(&testObject, argc, argv);  \
    }
#define ZORV_TEST_MAIN(TestObject) ZORV_TEST_MAIN_WITH(QApplication, TestObject)
#define ZORV_TEST_GUILESS_MAIN(TestObject) ZORV_TEST_MAIN_WITH(QCoreApplication, TestObject)
