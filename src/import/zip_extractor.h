#pragma once

#include "import/zip_directory.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

namespace velm {

// Limits that keep a hostile archive from filling the disk. Info files are a few
// kilobytes and a member viewed as text is rarely above a few megabytes, so a member
// larger than kMaxMemberSize is refused, and one extraction writes at most
// kMaxExtractTotal bytes in all (a pattern can select thousands of members).
inline constexpr qint64 kMaxMemberSize = 64LL * 1024 * 1024;
inline constexpr qint64 kMaxExtractTotal = 256LL * 1024 * 1024;

struct ZipMemberToExtract {
    quint64 Index = 0;  // position in the central directory
    ZipDirEntry Entry;
};

struct ZipExtractRequest {
    QString ArchivePath;
    qint64 ArchiveStart = 0;  // bytes in front of the archive that its offsets do not count
    // False when the directory was not where the end record says and no data in front of
    // the archive explains it: where the members' offsets count from is then unknown.
    bool OffsetsKnown = true;
    // The file as its directory was read; a file that differs is not extracted from.
    // A negative size skips the check.
    qint64 ArchiveSize = -1;
    QDateTime ArchiveModified;
    QString BaseDir;
    bool DirNames = false;   // re-create the stored folders below BaseDir
    bool OverWrite = false;  // replace existing files; otherwise they are left alone
    std::vector<ZipMemberToExtract> Members;
};

struct ZipExtractResult {
    int Written = 0;
    bool Failed = false;
    QString Failure;      // why extraction stopped
    QStringList Refused;  // members skipped, each as "name: reason"
    bool OverLimit = false;  // among them, members the size limits kept from being read
};

// Reads the members at the offsets the directory gave (stored and deflated ones
// directly, others through libzip) and writes them below BaseDir, each with the
// modification time stored for it. Members that are links or other special files and
// encrypted members are refused. Nothing is ever written outside BaseDir: unsafe
// names are refused, links met on the way are never followed, and each file is written
// under a temporary name and then renamed, so a failure leaves no half-written file and
// an existing link is replaced rather than written through. keepResponsive is called
// now and then while data is written.
ZipExtractResult ExtractZipMembers(const ZipExtractRequest& request, const std::function<void()>& keepResponsive);

}  // namespace velm
