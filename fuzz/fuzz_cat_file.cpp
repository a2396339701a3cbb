// Feeds arbitrary bytes to the category description reader and checks that the lines
// it returns are exactly the text, split at its line breaks.
#include "catdesc/cat_file.h"
#include "import/code_pages.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArrayView bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const velm::CatEntries entries = velm::ParseCatText(bytes);
    if (entries.Names.size() > velm::kMaxCatEntries)
        __builtin_trap();
    for (const QString& name : entries.Names) {
        if (name.contains(u'\r') || name.contains(u'\n') || name.contains(QChar(0)))
            __builtin_trap();
    }
    if (entries.Truncated)
        return 0;
    // Untruncated, the lines joined again are the decoded text with every break made
    // one LF and no break at the end.
    const qsizetype zero = bytes.indexOf('\0');
    QString expected = velm::DecodeWindowsText(zero >= 0 ? bytes.first(zero) : bytes);
    expected.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(u'\r', u'\n');
    if (expected.endsWith(u'\n'))
        expected.chop(1);
    if (entries.Names.join(u'\n') != expected)
        __builtin_trap();
    return 0;
}
