#pragma once

#include <QDateTime>
#include <QString>

#include <functional>
#include <optional>
#include <span>
#include <vector>

namespace velm {

class TDatabase;
class TStatement;

// One member of a catalogued archive, as the member index keeps it.
struct TArchiveMemberRecord {
    QString Name;  // with its folders, separated by "\"
    qint64 Size = 0;
    qint64 PackedSize = 0;
    QDateTime Modified;  // invalid when the archive holds no real date
    quint32 Crc32 = 0;
    bool IsFolder = false;
};

// What the index knows of a package's archive file when it was last read.
struct TArchiveFileRecord {
    qint64 Size = 0;
    QDateTime Modified;
    QString Sha256;  // lower-case hex; empty when not computed
};

// Told how far a long run has got; returns false to stop it.
using TIndexProgress = std::function<bool(qint64 done, qint64 total)>;

// The catalogue's fourth file, Members.db: every package archive's members, the archive
// file they were read from (size, date, SHA-256), the IDE versions each package works
// with, and the full-text index (SQLite FTS5, trigram) that the instant search reads,
// over the packages' texts and the members' names.
//
// It is attached to the catalogue's one connection like the table files, and connection
// triggers keep it in step with the package table: a package's index rows change and
// go in the same transaction as the package row itself, whoever changes it through this
// connection. The three table files keep their own layout; an older catalogue without
// Members.db gets an empty one when it is opened.
class TArchiveIndex {
public:
    static constexpr const char* kFileName = "Members.db";

    // The package and category tables must already be open on the database.
    explicit TArchiveIndex(TDatabase& database);
    ~TArchiveIndex();
    TArchiveIndex(const TArchiveIndex&) = delete;
    TArchiveIndex& operator=(const TArchiveIndex&) = delete;

    // Makes Members.db when the folder has none, attaches it and links it to the package
    // table. Raises EDatabaseError (naming the file) when it cannot.
    void Open();
    // Records that the package texts are current and detaches the file; never raises.
    void Close();
    bool IsOpen() const { return open_; }

    // Whether the packages' texts must be indexed again: the file is new, or the
    // package table was changed while the index was not watching (another program, or a
    // run that ended without closing).
    bool PackageTextsStale() const { return packageTextsStale_; }
    // Indexes every package's texts anew, in one transaction; false (and nothing
    // changed) when progress asked to stop.
    bool RebuildPackageTexts(const TIndexProgress& progress = {});

    // Changes to packages and members reach the full-text index queued; this indexes
    // what is queued, in one go. Searches call it first; so does Close.
    void ApplyPendingTexts() const;
    // Replaces the package's members and the record of the archive they came from.
    void ReplaceMembers(qint64 packageId, std::span<const TArchiveMemberRecord> members,
                        const TArchiveFileRecord& archive);
    std::vector<TArchiveMemberRecord> Members(qint64 packageId) const;
    qint64 MemberCount() const;
    std::optional<TArchiveFileRecord> ArchiveFileOf(qint64 packageId) const;

    // The schema that holds the index's tables, and those of the package and category
    // tables, for queries that join them.
    const QString& Schema() const { return schema_; }
    const QString& PackageSchema() const { return packageSchema_; }
    const QString& CategorySchema() const { return categorySchema_; }
    TDatabase& Database() const { return database_; }

private:
    void CreateConnectionTriggers();
    void DropConnectionTriggers();
    QString PackageFileStamp() const;
    qint64 CountOf(const QString& sql) const;

    TDatabase& database_;
    QString schema_;
    QString packageSchema_;
    QString categorySchema_;
    bool open_ = false;
    bool packageTextsStale_ = false;
};

// The archive file's record from three columns of a row, Size, Modified and Sha256 in
// that order from `first` on; nothing where the package has none (Size is NULL).
std::optional<TArchiveFileRecord> ArchiveFileRecordAt(TStatement& row, int first);

// Texts folded for a comparison that ignores letter case (ASCII and the other Latin
// letters alike), as the search compares them (velm_fold).
QString FoldedForSearch(const QString& text);

// The package texts' index holds one text per package: its searched fields folded and
// joined by this character, which no search text holds.
inline constexpr QChar kSearchTextSeparator = u'\x1f';

}  // namespace velm
