#pragma once

#include <QFileDevice>
#include <QIODevice>

namespace velm {

// A file takes only part of a write or a flush when the disk fills up, and says nothing
// about why; the next attempt at the rest fails with the system's own reason in
// errorString(), such as "No space left on device". These make that attempt.

// Writes every byte or fails.
inline bool WriteAll(QIODevice& device, const char* data, qint64 size) {
    while (size > 0) {
        const qint64 written = device.write(data, size);
        if (written <= 0)
            return false;
        data += written;
        size -= written;
    }
    return true;
}

// Hands the file's buffered bytes to the system, or fails. What a failed flush wrote
// is not written again.
inline bool FlushAll(QFileDevice& file) { return file.flush() || file.flush(); }

}  // namespace velm
