#include "import/zip_directory.h"

#include "import/code_pages.h"

#include <QFile>
#include <QIODevice>

#include <new>

namespace velm {

namespace {

constexpr quint32 kEndSignature = 0x06054B50;
constexpr quint32 kHeaderSignature = 0x02014B50;
constexpr qsizetype kEndRecordSize = 22;
constexpr qsizetype kHeaderSize = 46;

quint16 U16(const char* p) {
    const auto* b = reinterpret_cast<const unsigned char*>(p);
    return quint16(b[0] | (b[1] << 8));
}

quint32 U32(const char* p) {
    const auto* b = reinterpret_cast<const unsigned char*>(p);
    return quint32(b[0]) | (quint32(b[1]) << 8) | (quint32(b[2]) << 16) | (quint32(b[3]) << 24);
}

bool IsAscii(QByteArrayView bytes) {
    for (const char c : bytes) {
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    }
    return true;
}

void Fail(ZipDirectory& directory, ZipReadStatus status, const QString& detail) {
    directory.Status = status;
    directory.Detail = detail;
}

bool ReadAt(QIODevice& device, qint64 position, qint64 length, QByteArray& out) {
    if (!device.seek(position))
        return false;
    out = device.read(length);
    return out.size() == length;
}

// Position of the end record within the tail, or -1. The record normally closes the
// file; otherwise the last signature whose record and comment fit into the file is
// taken, scanning backwards from the end.
qsizetype FindEndRecord(const QByteArray& tail) {
    const char* data = tail.constData();
    for (qsizetype pos = tail.size() - kEndRecordSize; pos >= 0; --pos) {
        if (data[pos] != 'P' || U32(data + pos) != kEndSignature)
            continue;
        if (pos + kEndRecordSize + U16(data + pos + 20) <= tail.size())
            return pos;
    }
    return -1;
}

void Read(QIODevice& device, ZipDirectory& directory) {
    const qint64 size = device.size();
    if (size < kEndRecordSize)
        return Fail(directory, ZipReadStatus::NotZip, QStringLiteral("the file is too short"));

    const qint64 tailSize = qMin(size, kMaxEndRecordSearch);
    QByteArray tail;
    if (!ReadAt(device, size - tailSize, tailSize, tail))
        return Fail(directory, ZipReadStatus::Unreadable, device.errorString());
    const qsizetype endPos = FindEndRecord(tail);
    if (endPos < 0)
        return Fail(directory, ZipReadStatus::NotZip, QStringLiteral("no end of directory record"));

    const char* record = tail.constData() + endPos;
    const quint16 entryCount = U16(record + 10);
    const quint32 directorySize = U32(record + 12);
    const quint32 storedOffset = U32(record + 16);
    const qint64 endOffset = size - tailSize + endPos;
    const qint64 start = endOffset - qint64(directorySize);
    if (start < 0) {
        return Fail(directory, ZipReadStatus::Damaged,
                       QStringLiteral("the directory is larger than the file"));
    }
    if (start != qint64(storedOffset)) {
        directory.OffsetDiffers = true;
        directory.StoredOffset = storedOffset;
        directory.ComputedOffset = start;
    }

    QByteArray block;
    if (!ReadAt(device, start, directorySize, block))
        return Fail(directory, ZipReadStatus::Unreadable, device.errorString());
    directory.Entries.reserve(qMin<qsizetype>(entryCount, block.size() / kHeaderSize));

    const char* data = block.constData();
    qsizetype pos = 0;
    for (int index = 0; index < entryCount; ++index) {
        const QString where = QStringLiteral("entry %1").arg(index + 1);
        if (block.size() - pos < kHeaderSize) {
            return Fail(directory, ZipReadStatus::Damaged,
                           QStringLiteral("the directory ends before %1").arg(where));
        }
        const char* h = data + pos;
        if (U32(h) != kHeaderSignature) {
            return Fail(directory, ZipReadStatus::Damaged,
                           QStringLiteral("bad header signature at %1").arg(where));
        }
        ZipDirEntry entry;
        entry.MadeByVersion = U16(h + 4);
        entry.ExtractVersion = U16(h + 6);
        entry.Flag = U16(h + 8);
        entry.ComprMethod = U16(h + 10);
        entry.DateTime = U32(h + 12);  // time then date, as stored
        entry.CRC32 = U32(h + 16);
        entry.ComprSize = U32(h + 20);
        entry.UncomprSize = U32(h + 24);
        entry.FileNameLen = U16(h + 28);
        entry.ExtraFieldLen = U16(h + 30);
        entry.FileComLen = U16(h + 32);
        entry.DiskStart = U16(h + 34);
        entry.IntFileAtt = U16(h + 36);
        entry.ExtFileAtt = U32(h + 38);
        entry.RelOffLocal = U32(h + 42);
        const qsizetype total = kHeaderSize + entry.FileNameLen + entry.ExtraFieldLen + entry.FileComLen;
        if (block.size() - pos < total) {
            return Fail(directory, ZipReadStatus::Damaged,
                           QStringLiteral("the directory ends inside %1").arg(where));
        }
        const QByteArrayView name(h + kHeaderSize, entry.FileNameLen);
        const QByteArrayView comment(h + kHeaderSize + entry.FileNameLen + entry.ExtraFieldLen, entry.FileComLen);
        entry.RawFileName = name.toByteArray();
        entry.FileName = DecodeZipText(name, entry.MadeByVersion, entry.Flag);
        entry.FileName.replace(u'/', u'\\');
        if (!comment.isEmpty())
            entry.FileComment = DecodeZipText(comment, entry.MadeByVersion, entry.Flag);
        directory.Entries.push_back(std::move(entry));
        pos += total;
    }
}

}  // namespace

QString DecodeZipText(QByteArrayView bytes, quint16 madeByVersion, quint16 flag) {
    if (IsAscii(bytes))
        return QString::fromLatin1(bytes);
    if (flag & 0x0800)
        return QString::fromUtf8(bytes);
    const int host = madeByVersion >> 8;
    const int version = madeByVersion & 0xFF;
    if (host == 0 || host == 6 || (host == 11 && version == 50))
        return DecodeOem437(bytes);
    return DecodeWindowsText(bytes);
}

QDateTime DosDateTimeToLocal(quint32 dosDateTime) {
    const quint32 time = dosDateTime & 0xFFFF;
    const quint32 date = dosDateTime >> 16;
    const QDate day(int(1980 + (date >> 9)), int((date >> 5) & 0x0F), int(date & 0x1F));
    const QTime clock(int(time >> 11), int((time >> 5) & 0x3F), int((time & 0x1F) * 2));
    if (!day.isValid() || !clock.isValid())
        return {};
    return QDateTime(day, clock);
}

ZipDirectory ReadZipDirectory(QIODevice& device) {
    ZipDirectory directory;
    try {
        Read(device, directory);
    } catch (const std::bad_alloc&) {
        Fail(directory, ZipReadStatus::OutOfMemory, QStringLiteral("not enough memory"));
    }
    return directory;
}

ZipDirectory ReadZipDirectoryFile(const QString& path) {
    QFile file(path);
    if (!file.exists()) {
        ZipDirectory directory;
        directory.Status = ZipReadStatus::NotFound;
        return directory;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        ZipDirectory directory;
        directory.Status = ZipReadStatus::Unreadable;
        directory.Detail = file.errorString();
        return directory;
    }
    return ReadZipDirectory(file);
}

}  // namespace velm
