#pragma once
// The recording file's writer. Every record is one whole line, appended.
// Lines that cannot be written (the file cannot be opened, the disk is full,
// the folder has gone) wait, in order, and go to the file ahead of the next
// record once it takes writes again. An append that fails part way is cut
// back to the file's former size, so the file never holds a torn line.
#include <QByteArray>
#include <QString>

#include <cstddef>
#include <deque>

class RecordFile {
public:
    enum class Result { Written, OpenFailed, WriteFailed };

    // More than a day of records at one a second. Beyond it the oldest
    // waiting line is dropped (and counted) to make room for the newest.
    static constexpr std::size_t kMaxWaiting = 100000;
    // Waiting lines go out in writes of about this many bytes, so a long
    // backlog reaches a nearly full disk as far as it fits.
    static constexpr qsizetype kBatchBytes = 64 * 1024;

    // Queues `line` and writes every waiting line to the file at `path`.
    Result Append(const QString& path, QByteArray line);

    std::size_t Waiting() const { return waiting_.size(); }
    std::size_t Dropped() const { return dropped_; }

private:
    std::deque<QByteArray> waiting_;
    std::size_t dropped_ = 0;
};
