#pragma once

// Running a command-line tool from a test (its exit status and what it
// wrote), and the files it reads and writes.

#include "TestFiles.h"

#include <QDir>
#include <QFile>
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

// A file of the repository's sample folder.
inline QString Sample(const QString& name)
{
    return QDir(qEnvironmentVariable("CORVANE_SOURCE_DIR")).filePath(QStringLiteral("Samples/") + name);
}
