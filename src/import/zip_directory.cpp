#include "import/zip_directory.h"

#include "import/code_pages.h"

#include <QFile>
#include <QIODevice>

#include <limits>
#include <new>

namespace velm {

namespace {

constexpr quint32 kEndSignature = 0x06054B50;
constexpr quint32 kHeaderSignature = 0x02014B50;
constexpr quint32 kZip64EndSignature = 0x06064B50;
constexpr quint32 kZip64LocatorSignature = 0x07064B50;
constexpr quint16 kZip64ExtraId = 0x0001;
constexpr qsizetype kEndRecordSize = 22;
constexpr qsizetype kHeaderSize = 46;
constexpr qsizetype kZip64LocatorSize = 20;
constexpr qsizetype kZip64EndSize = 56;  // without the optional extensible data
constexpr quint64 kZip64EndFixedRest = 44;  // the record's size field counts from behind itself
constexpr quint16 kMarker16 = 0xFFFF;
constexpr quint32 kMarker32 = 0xFFFFFFFF;

// Where the Unix file mode's type bits say what a member is.
constexpr quint32 kUnixTypeMask = 0xF000;
constexpr quint32 kUnixRegular = 0x8000;
constexpr quint32 kUnixFolder = 0x4000;
constexpr quint32 kUnixLink = 0xA000;
// Info-ZIP gives a member it read from a pipe (its standard input) the pipe's mode; the
// member holds the data that came through, so it is an ordinary file to us.
constexpr quint32 kUnixPipe = 0x1000;
constexpr int kHostUnix = 3;
constexpr int kHostDarwin = 19;
// Some Windows writers keep a Unix mode too and say so with this attribute bit.
constexpr quint32 kUnixModeKept = 0x8000;

quint16 U16(const char* p) {
    const auto* b = reinterpret_cast<const unsigned char*>(p);
    return quint16(b[0] | (b[1] << 8));
}

quint32 U32(const char* p) {
    const auto* b = reinterpret_cast<const unsigned char*>(p);
    return quint32(b[0]) | (quint32(b[1]) << 8) | (quint32(b[2]) << 16) | (quint32(b[3]) << 24);
}

quint64 U64(const char* p) { return quint64(U32(p)) | (quint64(U32(p + 4)) << 32); }

bool IsAscii(QByteArrayView bytes) {
    for (const char c : bytes) {
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    }
    return true;
}

// A member name as text with "\" between folders, in one pass over the bytes; false when
// the name is not plain ASCII or holds a "\", so that the text does not give the stored
// bytes back. Nearly every name is plain, and a large archive's directory is read for
// one member.
bool PlainMemberName(QByteArrayView bytes, QString& name) {
    QString text(bytes.size(), Qt::Uninitialized);
    char16_t* out = reinterpret_cast<char16_t*>(text.data());
    const auto* in = reinterpret_cast<const unsigned char*>(bytes.data());
    unsigned char seen = 0;
    bool backslash = false;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        seen |= in[i];
        backslash |= in[i] == '\\';
        out[i] = in[i] == '/' ? u'\\' : char16_t(in[i]);
    }
    if (seen >= 0x80 || backslash)
        return false;
    name = std::move(text);
    return true;
}

void Fail(ZipDirectory& directory, ZipReadStatus status, const QString& detail) {
    directory.Status = status;
    directory.Detail = detail;
}

bool Damaged(ZipDirectory& directory, const QString& detail) {
    Fail(directory, ZipReadStatus::Damaged, detail);
    return false;
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

// What the end records say about the central directory.
struct DirectoryBounds {
    quint64 Count = 0;
    quint64 Size = 0;
    quint64 StoredOffset = 0;
    qint64 End = 0;  // the directory ends where its end record starts
};

// A 64-bit value and the 16- or 32-bit field that should agree with it: the field holds
// the marker, or the value itself (some writers cut it down to the field's width).
bool Agrees(quint64 value, quint64 field, quint64 marker) { return field == marker || field == (value & marker); }

// Reads the zip64 end record that the locator at locatorPos points to and takes the
// directory's bounds from it. The record normally sits at the stored offset; with data
// in front of an archive whose offsets were not adjusted it is found right before the
// locator instead. Anything that does not fit together is damage, never trusted.
bool ReadZip64Bounds(QIODevice& device, qint64 locatorPos, const QByteArray& locator, const char* classicRecord,
                     DirectoryBounds& bounds, ZipDirectory& directory) {
    const qint64 size = device.size();
    const quint32 recordDisk = U32(locator.constData() + 4);
    const quint64 recordOffset = U64(locator.constData() + 8);
    const quint32 disks = U32(locator.constData() + 16);
    if (recordDisk != 0 || disks > 1)
        return Damaged(directory, QStringLiteral("the archive is split over several disks"));
    if (size < kZip64EndSize || recordOffset > quint64(size - kZip64EndSize))
        return Damaged(directory, QStringLiteral("the zip64 end locator points outside the file"));

    const qint64 lastRecordPos = locatorPos - kZip64EndSize;
    QByteArray record;
    qint64 recordPos = -1;
    if (lastRecordPos >= 0 && recordOffset <= quint64(lastRecordPos) &&
        ReadAt(device, qint64(recordOffset), kZip64EndSize, record) && U32(record.constData()) == kZip64EndSignature)
        recordPos = qint64(recordOffset);
    if (recordPos < 0 && lastRecordPos >= 0 && ReadAt(device, lastRecordPos, kZip64EndSize, record) &&
        U32(record.constData()) == kZip64EndSignature && U64(record.constData() + 4) == kZip64EndFixedRest)
        recordPos = lastRecordPos;
    const QString misplaced = QStringLiteral("the zip64 end locator does not point to the zip64 end record");
    if (recordPos < 0)
        return Damaged(directory, misplaced);

    const char* r = record.constData();
    const quint64 recordRest = U64(r + 4);
    if (recordRest < kZip64EndFixedRest || recordRest > quint64(locatorPos - recordPos - 12))
        return Damaged(directory, QStringLiteral("the zip64 end record has an impossible size"));
    if (U32(r + 16) != 0 || U32(r + 20) != 0)
        return Damaged(directory, QStringLiteral("the archive is split over several disks"));
    const quint64 onThisDisk = U64(r + 24);
    const quint64 count = U64(r + 32);
    const quint64 directorySize = U64(r + 40);
    const quint64 storedOffset = U64(r + 48);
    if (onThisDisk != count)
        return Damaged(directory, QStringLiteral("the zip64 end record's entry counts disagree"));
    if (!Agrees(count, U16(classicRecord + 8), kMarker16) || !Agrees(count, U16(classicRecord + 10), kMarker16))
        return Damaged(directory, QStringLiteral("the entry counts of the two end records disagree"));
    if (!Agrees(directorySize, U32(classicRecord + 12), kMarker32))
        return Damaged(directory, QStringLiteral("the directory sizes of the two end records disagree"));
    if (!Agrees(storedOffset, U32(classicRecord + 16), kMarker32))
        return Damaged(directory, QStringLiteral("the directory offsets of the two end records disagree"));
    if (directorySize > quint64(recordPos))
        return Damaged(directory, QStringLiteral("the directory is larger than the file"));
    if (count > directorySize / kHeaderSize)
        return Damaged(directory, QStringLiteral("the zip64 end record counts more entries than the directory holds"));
    // Found away from where the locator says: only data in front of the archive explains
    // that, and it moves the directory by just as much.
    const qint64 shift = recordPos - qint64(recordOffset);
    if (shift < 0 || (shift > 0 && quint64(recordPos) - directorySize != storedOffset + quint64(shift)))
        return Damaged(directory, misplaced);
    bounds = {count, directorySize, storedOffset, recordPos};
    directory.Zip64 = true;
    return true;
}

// The extra-field block with the id, if the field holds one; a malformed field ends the
// search (extra fields are often padded with junk, which other readers ignore too).
bool FindExtraBlock(QByteArrayView extra, quint16 id, QByteArrayView& block) {
    qsizetype pos = 0;
    while (extra.size() - pos >= 4) {
        const quint16 tag = U16(extra.data() + pos);
        const quint16 length = U16(extra.data() + pos + 2);
        if (extra.size() - pos - 4 < length)
            return false;
        if (tag == id) {
            block = extra.sliced(pos + 4, length);
            return true;
        }
        pos += 4 + length;
    }
    return false;
}

// Replaces the header's markers by the values of the zip64 extra field, which holds
// exactly those marked, in the order uncompressed size, compressed size, offset, disk.
bool ApplyZip64Extra(ZipDirEntry& entry, QByteArrayView extra) {
    entry.ComprSize64 = entry.ComprSize;
    entry.UncomprSize64 = entry.UncomprSize;
    entry.RelOffLocal64 = entry.RelOffLocal;
    entry.DiskStart32 = entry.DiskStart;
    const bool anyMarker = entry.UncomprSize == kMarker32 || entry.ComprSize == kMarker32 ||
                           entry.RelOffLocal == kMarker32 || entry.DiskStart == kMarker16;
    QByteArrayView block;
    // A marker without the field is a value of its own: a classic member of that size.
    if (!anyMarker || !FindExtraBlock(extra, kZip64ExtraId, block))
        return true;
    qsizetype pos = 0;
    const auto take64 = [&](quint64& out) {
        if (block.size() - pos < 8)
            return false;
        out = U64(block.data() + pos);
        pos += 8;
        return true;
    };
    const auto take32 = [&](quint32& out) {
        if (block.size() - pos < 4)
            return false;
        out = U32(block.data() + pos);
        pos += 4;
        return true;
    };
    return (entry.UncomprSize != kMarker32 || take64(entry.UncomprSize64)) &&
           (entry.ComprSize != kMarker32 || take64(entry.ComprSize64)) &&
           (entry.RelOffLocal != kMarker32 || take64(entry.RelOffLocal64)) &&
           (entry.DiskStart != kMarker16 || take32(entry.DiskStart32));
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
    const qint64 endOffset = size - tailSize + endPos;
    DirectoryBounds bounds{U16(record + 10), U32(record + 12), U32(record + 16), endOffset};
    // A zip64 locator right in front of the end record means the 64-bit records hold the
    // real values; without one, a classic field holding the marker is the value itself
    // (a classic archive of exactly 65,535 members).
    const qint64 locatorPos = endOffset - kZip64LocatorSize;
    QByteArray locator;
    if (locatorPos >= 0 && ReadAt(device, locatorPos, kZip64LocatorSize, locator) &&
        U32(locator.constData()) == kZip64LocatorSignature) {
        if (!ReadZip64Bounds(device, locatorPos, locator, record, bounds, directory))
            return;
    }

    if (bounds.Size > quint64(bounds.End)) {
        return Fail(directory, ZipReadStatus::Damaged,
                       QStringLiteral("the directory is larger than the file"));
    }
    const qint64 start = bounds.End - qint64(bounds.Size);
    if (quint64(start) != bounds.StoredOffset) {
        directory.OffsetDiffers = true;
        directory.StoredOffset = qint64(qMin(bounds.StoredOffset, quint64(std::numeric_limits<qint64>::max())));
        directory.ComputedOffset = start;
    }

    QByteArray block;
    if (!ReadAt(device, start, qint64(bounds.Size), block))
        return Fail(directory, ZipReadStatus::Unreadable, device.errorString());
    directory.Entries.reserve(size_t(qMin<quint64>(bounds.Count, quint64(block.size() / kHeaderSize))));

    const char* data = block.constData();
    qsizetype pos = 0;
    for (quint64 index = 0; index < bounds.Count; ++index) {
        // Only a failure names the entry: formatting the name for every entry costs more
        // than reading it.
        const auto where = [index] { return QStringLiteral("entry %1").arg(index + 1); };
        if (block.size() - pos < kHeaderSize) {
            return Fail(directory, ZipReadStatus::Damaged,
                           QStringLiteral("the directory ends before %1").arg(where()));
        }
        const char* h = data + pos;
        if (U32(h) != kHeaderSignature) {
            return Fail(directory, ZipReadStatus::Damaged,
                           QStringLiteral("bad header signature at %1").arg(where()));
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
                           QStringLiteral("the directory ends inside %1").arg(where()));
        }
        const QByteArrayView name(h + kHeaderSize, entry.FileNameLen);
        const QByteArrayView extra(h + kHeaderSize + entry.FileNameLen, entry.ExtraFieldLen);
        const QByteArrayView comment(h + kHeaderSize + entry.FileNameLen + entry.ExtraFieldLen, entry.FileComLen);
        if (!ApplyZip64Extra(entry, extra))
            return Fail(directory, ZipReadStatus::Damaged, QStringLiteral("the zip64 extra field of %1 is too short").arg(where()));
        if (!PlainMemberName(name, entry.FileName)) {
            entry.OtherStoredName = name.toByteArray();
            entry.FileName = DecodeZipText(name, entry.MadeByVersion, entry.Flag);
            entry.FileName.replace(u'/', u'\\');
        }
        if (!comment.isEmpty())
            entry.FileComment = DecodeZipText(comment, entry.MadeByVersion, entry.Flag);
        directory.Entries.push_back(std::move(entry));
        pos += total;
    }
}

// The type bits of the Unix file mode, where the writer kept one; 0 when it did not.
quint32 UnixFileType(const ZipDirEntry& entry) {
    const int host = entry.MadeByVersion >> 8;
    if (host != kHostUnix && host != kHostDarwin && !(entry.ExtFileAtt & kUnixModeKept))
        return 0;
    return (entry.ExtFileAtt >> 16) & kUnixTypeMask;
}

}  // namespace

QByteArray ZipDirEntry::StoredName() const {
    if (!OtherStoredName.isEmpty())
        return OtherStoredName;
    QByteArray name = FileName.toLatin1();
    name.replace('\\', '/');
    return name;
}

bool ZipDirEntry::IsLink() const { return UnixFileType(*this) == kUnixLink; }

bool ZipDirEntry::IsSpecialFile() const {
    const quint32 type = UnixFileType(*this);
    return type != 0 && type != kUnixRegular && type != kUnixFolder && type != kUnixLink && type != kUnixPipe;
}

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
