#pragma once

// Running a command-line tool from a test: its exit status and what it wrote.

#include <QProcess>
#include <QString>
#include <QStringList>

struct Run
{
    int status = -1; // -1: it did not finish, or crashed
    QString out;
    QString err;
};

inline Run Execute(const QString& program, const QStringList& arguments, int timeoutMs = 300000)
{
    QProcess process;
    process.start(program, arguments);
    Run run;
    if (!process.waitForFinished(timeoutMs) || process.exitStatus() != QProcess::NormalExit)
        return run;
    run.status = process.exitCode();
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}
