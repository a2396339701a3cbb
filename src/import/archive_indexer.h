#pragma once

#include <QString>

#include <functional>
#include <vector>

namespace velm {

class TArchiveIndex;

// A package's archive that could not be read, and why.
struct TUnreadArchive {
    qint64 PackageId = 0;
    QString ProductName;
    QString Path;
    QString Reason;
};

// What one indexing run did.
struct TArchiveIndexRun {
    int Archives = 0;   // packages that name an archive file
    int Read = 0;       // archives read, their members stored
    // Archives indexed before and unchanged since: their members are not stored again
    // (their directory is read once more where the versions they work with were not yet
    // detected by this build's rules).
    int Unchanged = 0;
    qint64 Members = 0; // members stored
    int Fingerprinted = 0;  // archives whose SHA-256 was taken (read, or unchanged and lacking it)
    std::vector<TUnreadArchive> Unread;
    bool Stopped = false;  // stopped by the progress callback before the last archive
};

// Told before each archive: how many are done, of how many, and the one next; returns
// false to stop before it.
using TArchiveIndexProgress = std::function<bool(int done, int total, const QString& archivePath)>;

// Fills the member index from the packages' archives (ArchiveFilePath + ArchiveFile):
// each archive's directory is read (nothing is extracted), its members stored with its
// SHA-256 and the IDE versions it works with detected (a few package files' beginnings
// read). An archive indexed before whose size and date are unchanged is not read again,
// unless its SHA-256 is missing, which is then taken alone; one that
// is missing or cannot be read is noted and the run goes on, its members as they were.
// The stored archives are committed in batches, so a stop or a failure keeps what was
// done before it.
class TArchiveIndexer {
public:
    explicit TArchiveIndexer(TArchiveIndex& index) : index_(index) {}

    TArchiveIndexRun Run(const TArchiveIndexProgress& progress = {});

    // How long stored archives wait for their commit; a commit waits for the disk.
    int CommitIntervalMs = 1000;

private:
    TArchiveIndex& index_;
};

// The file a package's columns name: the folder with its closing separator, then the name.
QString PackageArchivePath(const QString& folder, const QString& fileName);

}  // namespace velm
