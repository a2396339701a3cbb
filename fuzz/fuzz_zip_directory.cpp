// Feeds arbitrary bytes to the zip directory reader, then puts every name it returns
// through the extraction's name checks.
#include "import/zip_directory.h"
#include "import/zip_member_names.h"

#include <QBuffer>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    QBuffer buffer;
    buffer.setData(reinterpret_cast<const char*>(data), qsizetype(size));
    buffer.open(QIODevice::ReadOnly);
    const velm::ZipDirectory directory = velm::ReadZipDirectory(buffer);
    for (const velm::ZipDirEntry& entry : directory.Entries) {
        const QStringList parts = velm::SafeMemberPath(entry.FileName);
        for (const QString& part : parts) {
            if (part.isEmpty() || part == u".." || part.contains(u'\\') || part.contains(u':'))
                __builtin_trap();  // a checked name must never lead outside its folder
        }
        velm::MatchesFileSpec(entry.FileName, QStringLiteral("*.inf"));
        velm::MatchesFileSpec(entry.FileName, entry.FileComment);
        velm::DosDateTimeToLocal(entry.DateTime);
    }
    return 0;
}
