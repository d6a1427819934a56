#pragma once
// The settings file of a test's temporary folder, read and written as text.
#include <QByteArray>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

class TempSettings {
public:
    QTemporaryDir dir;

    QString IniPath() const { return dir.filePath(QStringLiteral("OrbKX52.ini")); }
    std::string Folder() const { return dir.path().toStdString(); }
    void WriteIni(const QByteArray& text)
    {
        QFile f(IniPath());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(text);
    }
    QByteArray ReadIni() const
    {
        QFile f(IniPath());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
};
