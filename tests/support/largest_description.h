#pragma once

#include "import/ini_file.h"
#include "import/package_info.h"

#include <QString>

namespace velm::test {

// The largest description the info-file reader can produce: as many numbered lines as it
// takes, each as long as a value may be, CR LF between them as an import writes them.
inline QString LargestDescription() {
    constexpr int lineLength = TIniFile::kMaxValueLength;
    QString text;
    text.reserve(qsizetype(kMaxNumberedLines) * (lineLength + 2));
    for (int i = 1; i <= kMaxNumberedLines; ++i) {
        QString line = QStringLiteral("%1 ").arg(i, 5, 10, QLatin1Char('0'));
        line += QString(lineLength - line.size(), QLatin1Char('x'));
        text += line + QStringLiteral("\r\n");
    }
    return text;
}

}  // namespace velm::test
