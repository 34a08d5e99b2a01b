#pragma once

// A test's files read and written whole.

#include <QByteArray>
#include <QFile>
#include <QString>

// What the file holds; "(unreadable)" when it cannot be read.
inline QByteArray ReadFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(unreadable)");
}

// Whether the file now holds exactly `data`.
inline bool WriteFile(const QString& path, const QByteArray& data)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(data) == data.size() && file.flush();
}
