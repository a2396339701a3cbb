#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <vector>

class QIODevice;

namespace velm {

// One member of a zip archive: the fields of its central-directory header in their
// stored order, then its name and comment as text. The 32-bit fields keep what the
// header stores; in an archive with the 64-bit extension a size or offset that does not
// fit is stored there as 0xFFFFFFFF, and the 64-bit companions below hold the value.
struct ZipDirEntry {
    quint16 MadeByVersion = 0;   // host system in the high byte, zip version in the low
    quint16 ExtractVersion = 0;  // version needed to extract
    quint16 Flag = 0;            // general-purpose bits; bit 11: name and comment are UTF-8
    quint16 ComprMethod = 0;
    quint32 DateTime = 0;        // MS-DOS packing: time in the low 16 bits, date in the high
    quint32 CRC32 = 0;
    quint32 ComprSize = 0;
    quint32 UncomprSize = 0;
    quint16 FileNameLen = 0;
    quint16 ExtraFieldLen = 0;
    quint16 FileComLen = 0;
    quint16 DiskStart = 0;
    quint16 IntFileAtt = 0;
    quint32 ExtFileAtt = 0;
    quint32 RelOffLocal = 0;
    QString FileName;     // folders separated by "\"
    QString FileComment;
    // The stored name's bytes where FileName does not give them back (a name not in
    // ASCII, or one holding "\"); kept for those alone, as a copy of every name would
    // cost a large directory's reading a third of its time.
    QByteArray OtherStoredName;
    // The real values: from the zip64 extra field where the header has its marker,
    // otherwise the header's own.
    quint64 ComprSize64 = 0;
    quint64 UncomprSize64 = 0;
    quint64 RelOffLocal64 = 0;
    quint32 DiskStart32 = 0;

    // The name's bytes as stored, to find the same member again later.
    QByteArray StoredName() const;
    bool IsFolder() const { return FileName.endsWith(u'\\'); }
    bool IsEncrypted() const { return Flag & 0x0001; }
    // What the writer recorded about the file's kind: a symbolic link, or something that
    // is neither a regular file nor a folder (a device, a socket). A member recorded as a
    // pipe holds what was read through it and counts as a file.
    bool IsLink() const;
    bool IsSpecialFile() const;
};

enum class ZipReadStatus {
    Ok,
    NotFound,     // no such file: not an error the user is told about
    Unreadable,
    NotZip,       // no end-of-directory record
    Damaged,      // the directory is not where the record says, is cut short, or its
                  // 64-bit records disagree with each other
    OutOfMemory,
};

struct ZipDirectory {
    std::vector<ZipDirEntry> Entries;  // on failure, those read before it
    ZipReadStatus Status = ZipReadStatus::Ok;
    QString Detail;  // what was wrong, for the user
    // Set when the end record's stored directory offset is not where the directory
    // actually ends up (data in front of the archive, or a damaged record); the
    // computed position is the one used.
    bool OffsetDiffers = false;
    qint64 StoredOffset = 0;
    qint64 ComputedOffset = 0;
    bool Zip64 = false;  // the sizes came from the 64-bit end records

    // Where the archive's own offsets count from: the length of data in front of it
    // (a self-extractor's stub) when the offsets were not adjusted to it, else 0.
    qint64 ArchiveStart() const { return OffsetDiffers && ComputedOffset > StoredOffset ? ComputedOffset - StoredOffset : 0; }
};

// The end record plus the longest comment it can carry.
inline constexpr qint64 kMaxEndRecordSearch = 22 + 65535;

// Reads the central directory of the archive in the device (open for reading,
// random access).
ZipDirectory ReadZipDirectory(QIODevice& device);
ZipDirectory ReadZipDirectoryFile(const QString& path);

// Name or comment bytes as text: UTF-8 when flag bit 11 says so; the DOS character set
// for DOS and OS/2 hosts and for Windows NTFS hosts with zip version 5.0 (whose writers
// stored DOS names); otherwise as written, UTF-8 when valid, else Windows-1252.
QString DecodeZipText(QByteArrayView bytes, quint16 madeByVersion, quint16 flag);

// MS-DOS packed date and time as local time; invalid when the packing is not a real date.
QDateTime DosDateTimeToLocal(quint32 dosDateTime);

}  // namespace velm
