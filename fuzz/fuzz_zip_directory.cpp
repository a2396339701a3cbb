// Feeds arbitrary bytes to the zip directory reader, then puts every name it returns
// through the extraction's name checks and reads the first members' data from their
// local headers as an extraction does.
#include "import/zip_directory.h"
#include "import/zip_member_data.h"
#include "import/zip_member_names.h"

#include <QBuffer>

#include <cstddef>
#include <cstdint>

namespace {

// A value the 64-bit extension did not replace is the header's own.
bool CompanionFits(quint64 value64, quint32 value32) { return value32 == 0xFFFFFFFF || value64 == value32; }

// What comes out of a member is never more than its directory entry says, and all of it
// when the read succeeds.
void ReadMember(QBuffer& archive, qint64 archiveStart, const velm::ZipDirEntry& entry) {
    velm::ZipLocalMemberData data(archive, archiveStart, entry);
    if (!data.Open())
        return;
    char chunk[4096];
    quint64 total = 0;
    qint64 got = 0;
    while ((got = data.Read(chunk, sizeof chunk)) > 0) {
        total += quint64(got);
        if (total > entry.UncomprSize64)
            __builtin_trap();
    }
    if (got == 0 && total != entry.UncomprSize64)
        __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    QBuffer buffer;
    buffer.setData(reinterpret_cast<const char*>(data), qsizetype(size));
    buffer.open(QIODevice::ReadOnly);
    const velm::ZipDirectory directory = velm::ReadZipDirectory(buffer);
    // Every entry takes at least a 46-byte header of the input.
    if (directory.Entries.size() > size / 46 || directory.ArchiveStart() < 0 ||
        directory.ArchiveStart() > qint64(size))
        __builtin_trap();
    int membersRead = 0;
    for (const velm::ZipDirEntry& entry : directory.Entries) {
        // A bomb's declared size is refused before reading; the first few members suffice.
        if (velm::IsStoredOrDeflated(entry.ComprMethod) && entry.UncomprSize64 <= 1024 * 1024 && membersRead++ < 8)
            ReadMember(buffer, directory.ArchiveStart(), entry);
        if (!CompanionFits(entry.ComprSize64, entry.ComprSize) || !CompanionFits(entry.UncomprSize64, entry.UncomprSize) ||
            !CompanionFits(entry.RelOffLocal64, entry.RelOffLocal) ||
            (entry.DiskStart != 0xFFFF && entry.DiskStart32 != entry.DiskStart) ||
            entry.StoredName().size() != entry.FileNameLen)
            __builtin_trap();
        const QStringList parts = velm::SafeMemberPath(entry.FileName);
        for (const QString& part : parts) {
            if (part.isEmpty() || part == u".." || part.contains(u'\\') || part.contains(u':'))
                __builtin_trap();  // a checked name must never lead outside its folder
        }
        velm::MatchesFileSpec(entry.FileName, QStringLiteral("*.inf"));
        velm::MatchesFileSpec(entry.FileName, entry.FileComment);
        velm::DosDateTimeToLocal(entry.DateTime);
        if (entry.IsLink() && entry.IsSpecialFile())
            __builtin_trap();
    }
    return 0;
}
