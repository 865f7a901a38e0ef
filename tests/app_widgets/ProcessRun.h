#pragma once

#include <QByteArray>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

// Starts the real program headless, the way the process tests need it.
class ProcessRun
{
public:
    // What the program logs when its automation hook closes the window.
    static QString closingLine() { return QStringLiteral("{idle, closing the window.}"); }

    // env: added to the process's environment; ZORV_QUIT_WHEN_IDLE is set
    // when quitWhenIdle holds, and removed otherwise.
    static void start(QProcess &process, const QString &program, const QString &workingDirectory,
                      const QStringList &arguments, bool quitWhenIdle,
                      const QProcessEnvironment &extra = QProcessEnvironment())
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        environment.remove(QStringLiteral("ZORV_SNAPSHOT"));
        if (quitWhenIdle)
            environment.insert(QStringLiteral("ZORV_QUIT_WHEN_IDLE"), QStringLiteral("1"));
        else
            environment.remove(QStringLiteral("ZORV_QUIT_WHEN_IDLE"));
        for (const QString &key : extra.keys())
            environment.insert(key, extra.value(key));
        process.setProcessEnvironment(environment);
        process.setWorkingDirectory(workingDirectory);
        process.setProgram(program);
        process.setArguments(arguments);
        process.start();
    }
};
