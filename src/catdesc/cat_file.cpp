#include "catdesc/cat_file.h"

#include "import/code_pages.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace velm {

CatEntries ParseCatText(QByteArrayView bytes) {
    CatEntries result;
    const qsizetype zero = bytes.indexOf('\0');
    if (zero >= 0)
        bytes = bytes.first(zero);
    // Decoded as a whole: whether the file is UTF-8 is a property of the file, not of a line.
    const QString text = DecodeWindowsText(bytes);
    const qsizetype size = text.size();
    qsizetype pos = 0;
    while (pos < size) {
        if (result.Names.size() >= kMaxCatEntries) {
            result.Truncated = true;
            break;
        }
        const qsizetype start = pos;
        while (pos < size && text[pos] != u'\r' && text[pos] != u'\n')
            ++pos;
        result.Names.append(text.mid(start, pos - start));
        if (pos < size && text[pos] == u'\r')
            ++pos;
        if (pos < size && text[pos] == u'\n')
            ++pos;
    }
    return result;
}

CatEntries ReadCatFile(const QString& path) {
    const QString failure = QStringLiteral("Cannot open file ") + QDir::toNativeSeparators(path);
    // Only a plain file: reading a pipe or device that happens to end in ".cat" could
    // block the program for good.
    if (!QFileInfo(path).isFile())
        throw ECatFileError(failure);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw ECatFileError(failure);
    QByteArray bytes = file.read(kMaxCatFileBytes + 1);
    bool truncated = false;
    if (bytes.size() > kMaxCatFileBytes && !bytes.first(kMaxCatFileBytes).contains('\0')) {
        truncated = true;
        bytes.truncate(kMaxCatFileBytes);
        // Keep whole lines only: the line that the limit cuts is not listed.
        const qsizetype lastBreak = std::max(bytes.lastIndexOf('\r'), bytes.lastIndexOf('\n'));
        bytes.truncate(lastBreak + 1);
    }
    CatEntries entries = ParseCatText(bytes);
    entries.Truncated = entries.Truncated || truncated;
    return entries;
}

}  // namespace velm
