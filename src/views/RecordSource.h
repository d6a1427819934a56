#pragma once
// What a record of the measured-values table and the recording file is made
// of. The main window supplies it: its two value panels, its clock and the
// recording file the user chose.
#include <QDateTime>
#include <QString>

#include <cstddef>

class RecordSource {
public:
    virtual ~RecordSource() = default;
    virtual QString MeasText() const = 0;
    virtual QString SumText() const = 0;
    virtual QDateTime Now() const = 0;
    // True once the user has chosen a recording file.
    virtual bool FileChosen() const = 0;
    virtual QString RecordingFileName() const = 0;
    // Told when records wait because the recording file cannot be written
    // (`waiting` of them; `dropped` older ones lost to the waiting bound),
    // and with `waiting` 0 once a write has succeeded again.
    virtual void RecordingFileState(std::size_t waiting, std::size_t dropped)
    {
        static_cast<void>(waiting);
        static_cast<void>(dropped);
    }
    // Told when a record that fell due after a failed reading starts waiting
    // for the next good reading, and when it has been made.
    virtual void RecordWaiting(bool waiting) { static_cast<void>(waiting); }
};
