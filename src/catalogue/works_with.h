#pragma once

#include <QHash>
#include <QString>
#include <QStringList>

#include <span>
#include <vector>

namespace velm {

class TArchiveIndex;

// The IDE versions a package works with, kept in the member index's WorksWith table:
// one row per version and source, with what shows it.
//
//   Source 'detected'   read from the archive's member names and package files; Evidence
//                       names the member (and the clue in its text).
//   Source 'info file'  one of the info file's compatibility flags; Evidence names the file.
//   Source 'user'       the user's own word, which no later detection touches: Evidence
//                       'added' for a version the user says it works with, 'removed' for
//                       one the user says it does not, whatever else shows it. A removal is
//                       kept as a row, so that a re-import finding the version again does
//                       not bring it back.
//
// A package works with a version when some row names it and no 'removed' row does.
// Readers of the table that do not go through this class must apply the same rule
// (WorksWithCondition does, for SQL).
namespace works_with_source {
inline constexpr const char* kDetected = "detected";
inline constexpr const char* kInfoFile = "info file";
inline constexpr const char* kUser = "user";
inline constexpr const char* kAdded = "added";
inline constexpr const char* kRemoved = "removed";
}  // namespace works_with_source

struct TWorksWithRow {
    QString Ide;  // the version's short code: "D7", "DXE2", "CB6"
    QString Source;
    QString Evidence;
};

// One version a package works with, as it is shown.
struct TWorksWithVersion {
    QString Ide;
    bool Detected = false;    // a detection found it
    bool FromInfoFile = false;
    bool ByUser = false;      // the user added it
    QStringList Evidence;     // the detection's and the info file's, in stored order
};

class TWorksWith {
public:
    explicit TWorksWith(TArchiveIndex& index) : index_(index) {}

    // Replaces what an archive showed of the package (its 'detected' and 'info file'
    // rows) and records that it was read with this revision of the detection rules. The
    // user's rows stay as they are.
    void ReplaceFound(qint64 packageId, std::span<const TWorksWithRow> found, int rulesRevision);
    // The revision of the detection rules the package's archive was last read with; 0
    // when it never was.
    int RulesRevision(qint64 packageId) const;

    // Every stored row of the package.
    std::vector<TWorksWithRow> Rows(qint64 packageId) const;
    // The versions the package works with, in the order their first rows were stored.
    std::vector<TWorksWithVersion> Versions(qint64 packageId) const;
    // The codes of the versions each package works with, for every package that has one.
    QHash<qint64, QStringList> AllVersions() const;

    // The user says the package works with the version, or does not.
    void SetByUser(qint64 packageId, const QString& ide, bool worksWith);

private:
    TArchiveIndex& index_;
};

// An SQL condition that holds for a package (its ID the expression packageId) working
// with the version bound as the parameter ideParameter ("?3"); the WorksWith table is in
// the schema indexSchema.
QString WorksWithCondition(const QString& indexSchema, const QString& packageId, const QString& ideParameter);

}  // namespace velm
