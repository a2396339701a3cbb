#pragma once

#include "catalogue/archive_index.h"
#include "import/zip_directory.h"

#include <vector>

class QFileInfo;

namespace velm {

// The member index's records of an archive's directory as it was read: each member's
// name with its folders, sizes, date, CRC-32 and whether it is a folder.
std::vector<TArchiveMemberRecord> MemberRecordsOf(const std::vector<ZipDirEntry>& entries);

// The archive file as the member index remembers it: its size and modification time
// (no checksum).
TArchiveFileRecord ArchiveFileRecordOf(const QFileInfo& archive);

// Whether the file is still the one the record was taken from: the same size and the
// same modification time, to the second (the record keeps no finer time).
bool ArchiveFileUnchanged(const TArchiveFileRecord& record, const QFileInfo& archive);

// Replaces the package's members by those of the directory, with the archive file's
// record and its SHA-256 (empty when not taken), in the open transaction or in one of
// its own.
void StoreArchiveMembers(TArchiveIndex& index, qint64 packageId, const std::vector<ZipDirEntry>& entries,
                         const QFileInfo& archive, const QString& sha256 = QString());

}  // namespace velm
