#pragma once
// The settings store of a test, thrown away afterwards: on Linux a temporary
// folder whose INI file the tests read and write as text; on Windows a
// throwaway registry key (the registry twin of the store ignores folders).
#include <QByteArray>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#ifdef _WIN32
#include "TempRegistryKey.h"
#endif

class TempSettings {
public:
    QTemporaryDir dir;

    QString IniPath() const { return dir.filePath(QStringLiteral("OrbKX52.ini")); }
#ifdef _WIN32
    std::string Folder() const
    {
        return key_.Path();
    }
#else
    std::string Folder() const
    {
        return dir.path().toStdString();
    }
#endif
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

#ifdef _WIN32
private:
    TempRegistryKey key_;
#endif
};
