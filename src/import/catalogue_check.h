#pragma once

#include "catalogue/archive_index.h"

#include <QString>

#include <functional>
#include <optional>
#include <vector>

namespace velm {

// What became of a package's archive since it was catalogued, worst last.
enum class TArchiveState { Ok, Changed, Damaged, Missing };

QString ArchiveStateText(TArchiveState state);  // "ok", "changed", "damaged", "missing"

// One archive file as a check found it.
struct TArchiveCheck {
    TArchiveState State = TArchiveState::Ok;
    QString Detail;   // why it is not ok, or what could not be tested
    QString Sha256;   // lower-case hex; empty when the file could not be read
    qint64 Size = -1;
};

// Reads the file once: its SHA-256 and every member's bytes, each checked against its
// CRC-32 (stored and deflated members with zlib, other methods through libzip). The
// size and SHA-256 are compared with the record when it has them; a record without a
// SHA-256 compares the size only.
TArchiveCheck CheckArchiveFile(const QString& path, const std::optional<TArchiveFileRecord>& recorded);

// One package's archive as the check found it.
struct TCheckedPackage {
    qint64 PackageId = 0;
    QString ProductName;
    QString CategoryName;
    QString ArchivePath;  // the folder and name the row gives
    std::optional<TArchiveFileRecord> Recorded;
    TArchiveCheck Check;
};

struct TCatalogueCheckRun {
    int Archives = 0;  // packages that name an archive file
    std::vector<TCheckedPackage> Packages;  // those checked, in ID order
    bool Stopped = false;
};

// Told before each archive: how many are done, of how many, and the one next; returns
// false to stop before it.
using TCatalogueCheckProgress = std::function<bool(int done, int total, const QString& archivePath)>;

// Checks every package that names an archive file, or only those listed. Reads the
// catalogue and the files; writes nothing.
TCatalogueCheckRun CheckCatalogue(TArchiveIndex& index, const TCatalogueCheckProgress& progress = {},
                                  const std::vector<qint64>& only = {});

}  // namespace velm
