#pragma once

#include "import/zip_directory.h"

#include <QDateTime>
#include <QFlags>
#include <QString>
#include <QStringList>

#include <vector>

namespace velm {

enum class TZipExtrOption {
    ExtrDirNames = 0x1,   // re-create the member's stored folders below ExtrBaseDir
    ExtrOverWrite = 0x2,  // replace existing files without asking
};
Q_DECLARE_FLAGS(TZipExtrOptions, TZipExtrOption)
Q_DECLARE_OPERATORS_FOR_FLAGS(TZipExtrOptions)

inline constexpr TZipExtrOption ExtrDirNames = TZipExtrOption::ExtrDirNames;
inline constexpr TZipExtrOption ExtrOverWrite = TZipExtrOption::ExtrOverWrite;

// Lists a zip archive and extracts the members that match wildcard patterns. Problems
// are shown to the user in a message box naming them; callers see EntryCount or
// ExtractedCount staying 0, and ReadFailed or ExtractFailed.
class TZipMaster {
public:
    TZipMaster() = default;
    TZipMaster(const TZipMaster&) = delete;
    TZipMaster& operator=(const TZipMaster&) = delete;

    // Assigning the name reads the archive's directory at once. A file that does not
    // exist gives no entries and no message.
    void SetZipFilename(const QString& path);
    const QString& ZipFilename() const { return zipFilename_; }
    int EntryCount() const { return int(entries_.size()); }
    // The file named could not be read as an archive (not a zip, cut short, damaged,
    // unreadable); what was read of it may still be listed.
    bool ReadFailed() const { return readFailed_; }
    const std::vector<ZipDirEntry>& Entries() const { return entries_; }
    // Where the archive's own offsets count from in the file (a self-extractor's stub).
    qint64 ArchiveStart() const { return archiveStart_; }

    QString ExtrBaseDir;
    QStringList FSpecArgs;
    TZipExtrOptions ExtrOptions;
    // How long an extraction runs before the event loop gets a turn, and between turns.
    int ResponsiveIntervalMs = 50;

    // Writes the members matching FSpecArgs below ExtrBaseDir and empties FSpecArgs.
    // Does nothing while an extraction of this object is already running (the event
    // loop runs during extraction). An exception passing through leaves the object
    // ready for the next extraction, with FSpecArgs empty.
    void Extract();
    int ExtractedCount() const { return extractedCount_; }
    // The last Extract could not write every member it selected: the data was damaged,
    // a write failed, or a member was beyond the size limits. Members skipped as links,
    // special files, unsafe names or encrypted do not count.
    bool ExtractFailed() const { return extractFailed_; }

private:
    QString zipFilename_;
    std::vector<ZipDirEntry> entries_;
    qint64 archiveStart_ = 0;  // data in front of the archive that its offsets do not count
    bool offsetsKnown_ = true;
    // The file as its directory was read: members are extracted at the offsets read then.
    qint64 archiveSize_ = -1;
    QDateTime archiveModified_;
    int extractedCount_ = 0;
    bool readFailed_ = false;
    bool extractFailed_ = false;
    bool extracting_ = false;
};

}  // namespace velm
