#include "import/archive_members.h"

#include <QFileInfo>

namespace velm {

std::vector<TArchiveMemberRecord> MemberRecordsOf(const std::vector<ZipDirEntry>& entries) {
    std::vector<TArchiveMemberRecord> members;
    members.reserve(entries.size());
    for (const ZipDirEntry& entry : entries) {
        TArchiveMemberRecord member;
        member.Name = entry.FileName;
        // The 64-bit values: in a zip64 archive the header's own fields hold only markers.
        member.Size = qint64(entry.UncomprSize64);
        member.PackedSize = qint64(entry.ComprSize64);
        member.Modified = DosDateTimeToLocal(entry.DateTime);
        member.Crc32 = entry.CRC32;
        member.IsFolder = entry.IsFolder();
        members.push_back(std::move(member));
    }
    return members;
}

TArchiveFileRecord ArchiveFileRecordOf(const QFileInfo& archive) {
    TArchiveFileRecord record;
    record.Size = archive.size();
    // Universal time: a change of the clock's zone or summer time is no change of the file.
    record.Modified = archive.lastModified().toUTC();
    return record;
}

bool ArchiveFileUnchanged(const TArchiveFileRecord& record, const QFileInfo& archive) {
    const QDateTime modified = archive.lastModified();
    return record.Modified.isValid() && modified.isValid() && record.Size == archive.size() &&
           record.Modified.toSecsSinceEpoch() == modified.toSecsSinceEpoch();
}

void StoreArchiveMembers(TArchiveIndex& index, qint64 packageId, const std::vector<ZipDirEntry>& entries,
                         const QFileInfo& archive, const QString& sha256) {
    const std::vector<TArchiveMemberRecord> members = MemberRecordsOf(entries);
    TArchiveFileRecord record = ArchiveFileRecordOf(archive);
    record.Sha256 = sha256;
    index.ReplaceMembers(packageId, members, record);
}

}  // namespace velm
