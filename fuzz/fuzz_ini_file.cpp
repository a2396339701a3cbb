// Feeds arbitrary bytes to the INI reader as an info file of either format.
#include "import/ini_file.h"
#include "import/package_info.h"

#include <QByteArray>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const velm::TIniFile ini =
        velm::TIniFile::FromBytes(QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)));
    velm::TDSPInfoClass upl;
    upl.ReadUpl(ini);
    velm::TDSPInfoClass inf;
    inf.ReadInf(ini);
    if (upl.CompatFlags.size() != 6 || inf.CompatFlags.size() != 6 || inf.DescriptionLines.size() != 1 ||
        upl.DescriptionLines.size() > velm::kMaxNumberedLines || upl.NoteText.size() > velm::TIniFile::kMaxValueLength)
        __builtin_trap();
    velm::ParseVersion(upl.VersionText);
    velm::ParseVersion(inf.DescriptionLines.constFirst());
    for (const QString& line : upl.DescriptionLines)
        velm::ParseVersion(line);
    return 0;
}
