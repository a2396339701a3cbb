#pragma once

#include "import/package_info.h"

#include <QString>
#include <QStringList>

namespace velm {

class TTable;

// What an import writes into a package row from the info file it read, apart from the
// archive's own columns. No widgets: the fuzz target of the import uses these too.

// The description an import writes: the info file's description lines, its note and its
// additional information, separated the way the detail panel's memo expects.
QString ImportedDescription(const TDSPInfoClass& info);

// The four version numbers of a version text as the small-integer columns can hold
// them: a part outside -32768..32767 becomes 0 and is named in refused ("Build cannot
// hold 40000").
TVersionNumbers StorableVersion(const QString& versionText, QStringList* refused);

// The compatibility mask of a flags text: bit i-1 is set when character i is "1".
int CompatibilityMask(const QString& flags);

// Writes the columns an info file fills into the package row in edit state: the
// description, licence, full source, version, compatibility, author, e-mail and web
// address. Returns the compatibility mask; version parts the columns cannot hold are
// stored as 0 and named in refused.
int WriteInfoColumns(TTable& packages, const TDSPInfoClass& info, QStringList* refused);

}  // namespace velm
