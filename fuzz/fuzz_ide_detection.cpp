// Feeds arbitrary bytes to the IDE version detection: its lines as the member names of an
// archive, and the whole input as the text of every package file it reads.
#include "import/ide_detection.h"

#include <QByteArray>
#include <QList>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray input(reinterpret_cast<const char*>(data), qsizetype(size));
    std::vector<velm::IdeDetectionMember> members;
    for (const QByteArray& line : input.split('\n'))
        members.push_back({QString::fromUtf8(line), line.endsWith('/'), quint64(line.size()), QDate(2010, 1, 1)});
    int reads = 0;
    const auto read = [&](std::size_t index, qint64 maxBytes) {
        ++reads;
        if (index >= members.size() || maxBytes != velm::kIdeTextReadLimit)
            __builtin_trap();
        return input.left(maxBytes);
    };
    for (const velm::DetectedIde& ide : velm::DetectIdeVersions(members, read)) {
        bool listed = false;
        for (const velm::IdeDetectionMember& member : members)
            listed = listed || member.Name == ide.Member;
        if (!ide.Version || !listed)
            __builtin_trap();
    }
    if (reads > velm::kIdeMaxTextsRead)
        __builtin_trap();
    return 0;
}
