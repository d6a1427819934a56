#include "RecordFile.h"

#include <QFile>

RecordFile::Result RecordFile::Append(const QString& path, QByteArray line)
{
    waiting_.push_back(std::move(line));
    if (waiting_.size() > kMaxWaiting) {
        waiting_.pop_front();
        ++dropped_;
    }

    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered))
        return Result::OpenFailed;
    qint64 size = file.size();
    while (!waiting_.empty()) {
        QByteArray batch;
        std::size_t lines = 0;
        while (lines < waiting_.size() && (lines == 0 || batch.size() + waiting_[lines].size() <= kBatchBytes))
            batch += waiting_[lines++];
        if (file.write(batch) != batch.size()) {
            // Leave the file as it was before this write: the part that did
            // get out would otherwise be glued to the next line written.
            if (!file.isSequential())
                file.resize(size);
            file.close();
            return Result::WriteFailed;
        }
        size += batch.size();
        waiting_.erase(waiting_.begin(), waiting_.begin() + static_cast<std::ptrdiff_t>(lines));
    }
    file.close();
    // A failing close (a network folder) is reported, though the lines may
    // well be in the file: they are not written a second time.
    return file.error() == QFileDevice::NoError ? Result::Written : Result::WriteFailed;
}
