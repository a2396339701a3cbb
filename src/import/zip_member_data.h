#pragma once

#include "import/zip_directory.h"

#include <QByteArray>
#include <QString>

#include <memory>

class QIODevice;

namespace velm {

// A member's bytes as they come out of the archive, chunk by chunk.
class ZipMemberData {
public:
    virtual ~ZipMemberData() = default;
    // Fills the buffer with the next bytes and returns their count: 0 at the end, -1 on a
    // failure, which Failure() then names.
    virtual qint64 Read(char* buffer, qint64 capacity) = 0;
    const QString& Failure() const { return failure_; }

protected:
    qint64 Fail(const QString& text) {
        failure_ = text;
        return -1;
    }

private:
    QString failure_;
};

// Stored and deflated members, nearly all there are, are read by ZipLocalMemberData.
bool IsStoredOrDeflated(quint16 method);

// Reads a stored or deflated member straight from its local header at the offset the
// directory gives, so that one member of a large archive costs no second reading of
// its directory. Nothing of the member is trusted beyond what the directory says: the
// local header must be there and name the same member, the data must lie within the
// file, and what comes out must have the directory's size and CRC-32, or Read fails.
class ZipLocalMemberData : public ZipMemberData {
public:
    // The archive is open for reading with random access; archiveStart is the length of
    // any data in front of the archive that its offsets do not count.
    ZipLocalMemberData(QIODevice& archive, qint64 archiveStart, const ZipDirEntry& entry);
    ~ZipLocalMemberData() override;

    // Finds the data behind the local header; false when it cannot (Failure() says why).
    bool Open();
    qint64 Read(char* buffer, qint64 capacity) override;

private:
    struct Inflater;

    qint64 ReadStored(char* buffer, qint64 capacity);
    qint64 Inflate(char* buffer, qint64 capacity);
    bool ReadAt(qint64 position, char* buffer, qint64 length);

    QIODevice& archive_;
    const qint64 archiveStart_;
    const ZipDirEntry& entry_;
    std::unique_ptr<Inflater> inflater_;  // for deflated members only
    QByteArray input_;
    qint64 position_ = 0;        // of the next packed byte in the file
    quint64 packedLeft_ = 0;
    quint64 produced_ = 0;
    quint32 crc_ = 0;
    bool opened_ = false;
    bool ended_ = false;
    bool failed_ = false;
};

}  // namespace velm
