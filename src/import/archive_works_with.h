#pragma once

#include "catalogue/works_with.h"
#include "import/zip_directory.h"

#include <QString>

#include <vector>

namespace velm {

class TArchiveIndex;

// The revision of the detection rules: raised when they learn more, so that the next
// indexing run reads again the archives that older rules read.
inline constexpr int kIdeDetectionRules = 1;

// What an archive shows of the IDE versions it works with: the versions its members and
// package files name ('detected', with their evidence), and those of the info file's
// compatibility mask ('info file', naming the file). Package files are read from the
// archive itself (offsets counted from archiveStart), a capped beginning of a few of
// them, and only where their names leave a question.
std::vector<TWorksWithRow> FoundWorksWith(const QString& archivePath, qint64 archiveStart,
                                          const std::vector<ZipDirEntry>& entries, int compatibilityMask,
                                          const QString& infoFileName);

// The member an import reads the info file from: the first .inf, else the first .upl;
// empty when there is none.
QString InfoFileMember(const std::vector<ZipDirEntry>& entries);

// Stores what the archive showed for the package; the user's own word stays.
void StoreFoundWorksWith(TArchiveIndex& index, qint64 packageId, const std::vector<TWorksWithRow>& found);

}  // namespace velm
