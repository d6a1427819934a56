#pragma once
// Starts the program's windows against a settings store in a temporary
// folder, with the port links below it, and answers every message box.
#include "MessageBoxes.h"
#include "ProgramWindows.h"
#include "TempSettings.h"

#include <QByteArray>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <QtGlobal>
#include <vector>

// The lines of a recording file without their line feeds ("...; \r"), none
// when there is no file.
inline QList<QByteArray> RecordFileLines(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    QList<QByteArray> lines = f.readAll().split('\n');
    lines.removeLast();
    return lines;
}

class ProgramFixture : public ::testing::Test, public TempSettings {
protected:
    std::vector<MessageBoxRequest> boxes;
    int box_answer = QMessageBox::Ok;

    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        qputenv("XDG_CONFIG_HOME", dir.path().toLocal8Bit());
        SetMessageBoxHook([this](const MessageBoxRequest& r) {
            boxes.push_back(r);
            return box_answer;
        });
    }
    void TearDown() override
    {
        DestroyProgramWindows();
        SetMessageBoxHook({});
    }
    void Start() { CreateProgramWindows(Folder()); }
};
