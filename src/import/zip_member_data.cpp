#include "import/zip_member_data.h"

#include <QIODevice>
#include <QtEndian>

#include <zlib.h>

namespace velm {

namespace {

constexpr quint32 kLocalSignature = 0x04034B50;
constexpr qint64 kLocalHeaderSize = 30;
constexpr quint16 kStored = 0;
constexpr quint16 kDeflated = 8;
constexpr qint64 kInputChunk = 64 * 1024;

}  // namespace

bool IsStoredOrDeflated(quint16 method) { return method == kStored || method == kDeflated; }

struct ZipLocalMemberData::Inflater {
    z_stream stream{};
    bool ready = false;
    ~Inflater() {
        if (ready)
            inflateEnd(&stream);
    }
};

ZipLocalMemberData::ZipLocalMemberData(QIODevice& archive, qint64 archiveStart, const ZipDirEntry& entry)
    : archive_(archive), archiveStart_(archiveStart), entry_(entry) {}

ZipLocalMemberData::~ZipLocalMemberData() = default;

bool ZipLocalMemberData::ReadAt(qint64 position, char* buffer, qint64 length) {
    return archive_.seek(position) && archive_.read(buffer, length) == length;
}

bool ZipLocalMemberData::Open() {
    const QString damagedHeader = QStringLiteral("the local header is damaged");
    if (!IsStoredOrDeflated(entry_.ComprMethod)) {
        Fail(QStringLiteral("compression method %1 is not supported").arg(entry_.ComprMethod));
        return false;
    }
    const qint64 fileSize = archive_.size();
    // Unsigned, so that no offset read from the archive can wrap round.
    const quint64 room = quint64(qMax<qint64>(fileSize - archiveStart_, 0));
    if (entry_.RelOffLocal64 > room || room - entry_.RelOffLocal64 < quint64(kLocalHeaderSize)) {
        Fail(damagedHeader);
        return false;
    }
    const qint64 header = archiveStart_ + qint64(entry_.RelOffLocal64);
    char fixed[kLocalHeaderSize];
    if (!ReadAt(header, fixed, kLocalHeaderSize) || qFromLittleEndian<quint32>(fixed) != kLocalSignature) {
        Fail(damagedHeader);
        return false;
    }
    const quint16 nameLength = qFromLittleEndian<quint16>(fixed + 26);
    const quint16 extraLength = qFromLittleEndian<quint16>(fixed + 28);
    // The header must belong to this member: an offset that points at another member's
    // header would hand out the wrong file under this one's name.
    const QByteArray stored = entry_.StoredName();
    QByteArray name(nameLength, Qt::Uninitialized);
    if (nameLength != stored.size() || !ReadAt(header + kLocalHeaderSize, name.data(), nameLength) || name != stored) {
        Fail(QStringLiteral("the local header is damaged: it names another member"));
        return false;
    }
    const qint64 data = header + kLocalHeaderSize + nameLength + extraLength;
    if (data > fileSize || entry_.ComprSize64 > quint64(fileSize - data)) {
        Fail(QStringLiteral("the data is damaged: it runs past the end of the archive"));
        return false;
    }
    position_ = data;
    packedLeft_ = entry_.ComprSize64;
    // An empty member may be written deflated with no packed bytes at all.
    if (entry_.ComprMethod == kDeflated && packedLeft_ > 0) {
        inflater_ = std::make_unique<Inflater>();
        // Negative window bits: a raw deflate stream, without zlib's header and checksum.
        if (inflateInit2(&inflater_->stream, -MAX_WBITS) != Z_OK) {
            Fail(QStringLiteral("not enough memory"));
            return false;
        }
        inflater_->ready = true;
        input_.resize(qsizetype(qBound<quint64>(1, packedLeft_, kInputChunk)));
    }
    crc_ = quint32(crc32(0, nullptr, 0));
    opened_ = true;
    return true;
}

qint64 ZipLocalMemberData::Read(char* buffer, qint64 capacity) {
    if (failed_ || !opened_)
        return -1;
    if (ended_ || capacity <= 0)
        return 0;
    // One byte beyond the stored size is enough to know the data is longer: a member that
    // unpacks to far more than it claims is never unpacked further.
    const quint64 left = entry_.UncomprSize64 - produced_;
    const qint64 room = left < quint64(capacity) ? qint64(left) + 1 : capacity;
    const qint64 got = inflater_ ? Inflate(buffer, room) : ReadStored(buffer, room);
    if (got < 0) {
        failed_ = true;
        return -1;
    }
    produced_ += quint64(got);
    if (produced_ > entry_.UncomprSize64) {
        failed_ = true;
        return Fail(QStringLiteral("the data is longer than stored in the archive"));
    }
    if (got > 0) {
        crc_ = quint32(crc32(crc_, reinterpret_cast<const Bytef*>(buffer), uInt(got)));
        return got;
    }
    ended_ = true;
    failed_ = produced_ < entry_.UncomprSize64 || crc_ != entry_.CRC32;
    if (produced_ < entry_.UncomprSize64)
        return Fail(QStringLiteral("the data is shorter than stored in the archive"));
    if (crc_ != entry_.CRC32)
        return Fail(QStringLiteral("the data is damaged: its CRC-32 does not match"));
    return 0;
}

qint64 ZipLocalMemberData::ReadStored(char* buffer, qint64 capacity) {
    const qint64 length = qint64(qMin<quint64>(quint64(capacity), packedLeft_));
    if (length == 0)
        return 0;
    if (!ReadAt(position_, buffer, length))
        return Fail(QStringLiteral("the data cannot be read: %1").arg(archive_.errorString()));
    position_ += length;
    packedLeft_ -= quint64(length);
    return length;
}

qint64 ZipLocalMemberData::Inflate(char* buffer, qint64 capacity) {
    if (!inflater_->ready)
        return 0;  // the stream has ended
    z_stream& stream = inflater_->stream;
    stream.next_out = reinterpret_cast<Bytef*>(buffer);
    stream.avail_out = uInt(qMin<qint64>(capacity, 1 << 30));
    const uInt room = stream.avail_out;
    for (;;) {
        if (stream.avail_in == 0 && packedLeft_ > 0) {
            const qint64 length = qint64(qMin<quint64>(packedLeft_, quint64(input_.size())));
            if (!ReadAt(position_, input_.data(), length))
                return Fail(QStringLiteral("the data cannot be read: %1").arg(archive_.errorString()));
            position_ += length;
            packedLeft_ -= quint64(length);
            stream.next_in = reinterpret_cast<Bytef*>(input_.data());
            stream.avail_in = uInt(length);
        }
        const int status = inflate(&stream, Z_NO_FLUSH);
        const qint64 out = qint64(room - stream.avail_out);
        if (status == Z_STREAM_END) {
            // Packed bytes after the stream's end are left alone, as other readers do.
            inflateEnd(&stream);
            inflater_->ready = false;
            return out;
        }
        if (status == Z_MEM_ERROR)
            return Fail(QStringLiteral("not enough memory"));
        if (status != Z_OK && status != Z_BUF_ERROR) {
            return Fail(QStringLiteral("the data is damaged: %1")
                            .arg(stream.msg ? QString::fromLatin1(stream.msg) : QStringLiteral("not a deflate stream")));
        }
        if (out > 0)
            return out;
        if (stream.avail_in == 0 && packedLeft_ == 0)
            return Fail(QStringLiteral("the data is damaged: the packed data ends early"));
    }
}

}  // namespace velm
