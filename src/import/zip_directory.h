#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <vector>

class QIODevice;

namespace velm {

// One member of a zip archive: the fields of its central-directory header in their
// stored order, then its name and comment as text.
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
    QByteArray RawFileName;  // the stored bytes, to find the same member again later

    bool IsFolder() const { return FileName.endsWith(u'\\'); }
};

enum class ZipReadStatus {
    Ok,
    NotFound,     // no such file: not an error the user is told about
    Unreadable,
    NotZip,       // no end-of-directory record
    Damaged,      // the directory is not where the record says or is cut short
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
