#pragma once

#include <QString>

namespace velm {

// Deletes everything inside the folder: files, sub-folders with their contents, and
// symbolic links as links (their targets are never touched). The folder itself stays.
// Failures are not reported; whatever cannot be deleted stays.
void EmptyTmpFolder(const QString& tmpFolder);

}  // namespace velm
