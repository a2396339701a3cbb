#pragma once

#include <QString>
#include <QtGlobal>

#include <exception>

namespace velm {

// The updates ReportDatabaseError explains: a rename, or the store of an imported
// component's row.
inline constexpr int kImportedComponent = 0;
inline constexpr int kRenameCategory = 1;
inline constexpr int kRenameComponent = 2;

// Shows a failed database update in an error box. A duplicate name (key violation) gets
// an explanation: for a rename, naming the old and new name, as a category or a
// component; for an imported component, naming it (oldName).
void ReportDatabaseError(const std::exception& error, int kind, const QString& oldName, const QString& newName);

// Sets or clears one bit of a mask; the bit number counts modulo 32.
qint32 SetBit(qint32 mask, int bit, bool on);

// The file name without its folder, cut before its first dot: "pkg" for ".../pkg.beta.zip".
// The folder ends at the system's separators: "\" and ":" count only on Windows.
QString BaseNameWithoutExt(const QString& path);

}  // namespace velm
