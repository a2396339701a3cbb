#pragma once

#include <QByteArrayView>
#include <QString>

namespace velm {

// Byte-to-character tables for the 8-bit character sets that archives and info files
// use. Qt's own decoders do not offer these code pages in every build, so the tables
// are ours.

// Windows "ANSI" Western text. The five bytes the code page leaves undefined map to
// the control characters of the same number, as Windows itself does.
QString DecodeWindows1252(QByteArrayView bytes);

// The DOS "OEM" character set (code page 437) in which DOS and OS/2 zip programs store
// member names.
QString DecodeOem437(QByteArrayView bytes);

// Text written on Windows by hand or by an old tool: UTF-8 when the bytes are valid
// UTF-8 and contain anything beyond ASCII (a file saved by a modern editor), otherwise
// Windows-1252. Plain ASCII reads the same either way.
QString DecodeWindowsText(QByteArrayView bytes);

}  // namespace velm
