#include "catalogue/archive_index.h"

#include "catalogue/catalogue_files.h"
#include "catalogue/database.h"
#include "catalogue/database_error.h"
#include "catalogue/memo_markup.h"

#include <QDir>
#include <QFileInfo>

#include <sqlite3.h>

namespace velm {

namespace {

const QString kPackageTextsStamp = QStringLiteral("PackageTextsOf");
// The package rows indexed per step of a rebuild: progress is told between steps.
constexpr int kRebuildStep = 2000;

QString TextOf(sqlite3_value* value) {
    return QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_value_text(value)), sqlite3_value_bytes(value));
}

// velm_search_text(name, description, author, e-mail, address, comments, archive): a
// package's searched texts as the search compares them, folded, memos as shown.
void SearchTextFunction(sqlite3_context* context, int count, sqlite3_value** arguments) {
    QString text;
    for (int i = 0; i < count; ++i) {
        if (i > 0)
            text += kSearchTextSeparator;
        const bool memo = i == 1 || i == 5;
        text += FoldedForSearch(memo ? MemoShownText(TextOf(arguments[i])) : TextOf(arguments[i]));
    }
    const QByteArray utf8 = text.toUtf8();
    sqlite3_result_text(context, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
}

// velm_fold(text): the text with its letter case folded.
void FoldFunction(sqlite3_context* context, int, sqlite3_value** arguments) {
    if (sqlite3_value_type(arguments[0]) == SQLITE_NULL) {
        sqlite3_result_null(context);
        return;
    }
    const QByteArray folded = FoldedForSearch(TextOf(arguments[0])).toUtf8();
    sqlite3_result_text(context, folded.constData(), int(folded.size()), SQLITE_TRANSIENT);
}

void RegisterFunctions(TDatabase& database) {
    const int flags = SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_INNOCUOUS;
    int rc = sqlite3_create_function_v2(database.Handle(), "velm_search_text", 7, flags, nullptr, SearchTextFunction,
                                        nullptr, nullptr, nullptr);
    if (rc == SQLITE_OK)
        rc = sqlite3_create_function_v2(database.Handle(), "velm_fold", 1, flags, nullptr, FoldFunction, nullptr,
                                        nullptr, nullptr);
    if (rc != SQLITE_OK)
        database.Fail(rc);
}

// What fills the package texts' index from a package row.
QString SearchTextOf(const QString& row) {
    return QStringLiteral("velm_search_text(%1.ProductName, %1.ProductDescription, %1.Author, %1.AuthorEmail, "
                          "%1.FileURL, %1.Comments, %1.ArchiveFile)")
        .arg(row);
}

QString IsoText(const QDateTime& moment) {
    return moment.isValid() ? moment.toString(Qt::ISODate) : QString();
}

void AppendJsonString(QString& json, const QString& text) {
    json += u'"';
    for (const QChar c : text) {
        if (c == u'"' || c == u'\\') {
            json += u'\\';
            json += c;
        } else if (c.unicode() < 0x20) {
            json += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
        } else {
            json += c;
        }
    }
    json += u'"';
}

// The members as one JSON array of [name, size, packed size, date, CRC-32, folder]; the
// numbers as integers, so that none loses a digit.
QString MembersAsJson(std::span<const TArchiveMemberRecord> members) {
    QString json;
    json.reserve(qsizetype(members.size()) * 80);
    json += u'[';
    for (const TArchiveMemberRecord& member : members) {
        if (json.size() > 1)
            json += u',';
        json += u'[';
        AppendJsonString(json, member.Name);
        json += u',' + QString::number(member.Size) + u',' + QString::number(member.PackedSize) + u',';
        if (member.Modified.isValid())
            AppendJsonString(json, IsoText(member.Modified));
        else
            json += QLatin1String("null");
        json += u',' + QString::number(member.Crc32) + (member.IsFolder ? QLatin1String(",1]") : QLatin1String(",0]"));
    }
    json += u']';
    return json;
}

}  // namespace

qint64 TArchiveIndex::CountOf(const QString& sql) const {
    TStatement& count = database_.Prepare(sql);
    const TResetOnExit reset(count);
    return count.Step() ? count.ColumnInt(0) : 0;
}

QString FoldedForSearch(const QString& text) { return text.toCaseFolded(); }

TArchiveIndex::TArchiveIndex(TDatabase& database) : database_(database) {}

TArchiveIndex::~TArchiveIndex() { Close(); }

void TArchiveIndex::Open() {
    if (open_)
        return;
    packageSchema_ = database_.SchemaOf(QStringLiteral("CPInfo.DB"));
    categorySchema_ = database_.SchemaOf(QStringLiteral("Category.db"));
    if (packageSchema_.isEmpty() || categorySchema_.isEmpty())
        throw EDatabaseError(QStringLiteral("The member index needs the package and category tables open"));
    const QString path = QDir(database_.Folder()).filePath(QString::fromLatin1(kFileName));
    const bool made = !QFileInfo::exists(path);
    if (made && !CreateMembersFile(path)) {
        EDatabaseError error(QStringLiteral("Cannot create %1").arg(QString::fromLatin1(kFileName)), {SQLITE_CANTOPEN});
        error.SetFile(path, AdviceFor(SQLITE_CANTOPEN, QString()));
        throw error;
    }
    schema_ = database_.AttachFile(QString::fromLatin1(kFileName));
    try {
        // A file of an older build gains what it lacks; the statements change nothing
        // that is there. Its triggers that indexed members at once give way to the queue
        // (its index is complete, so nothing is queued for it).
        for (const char* trigger : {"ArchiveMemberAdded", "ArchiveMemberRemoved", "ArchiveMemberRenamed"})
            database_.Exec(QStringLiteral("DROP TRIGGER IF EXISTS %1.%2").arg(QuoteIdentifier(schema_), QLatin1String(trigger)));
        database_.Exec(MembersFileSchema(QuoteIdentifier(schema_)));
        // Package texts kept in another layout by an earlier build are indexed anew.
        const bool otherLayout =
            CountOf(QStringLiteral("SELECT count(*) FROM pragma_table_info('PackageText', '%1') WHERE name <> 'Text'")
                        .arg(schema_)) > 0;
        if (otherLayout) {
            database_.Exec(QStringLiteral("DROP TABLE %1.PackageText").arg(QuoteIdentifier(schema_)));
            database_.Exec(MembersFileSchema(QuoteIdentifier(schema_)));
        }
        RegisterFunctions(database_);
        CreateConnectionTriggers();
        TStatement& stamp = database_.Prepare(
            QStringLiteral("SELECT Value FROM %1.IndexState WHERE Key = ?").arg(QuoteIdentifier(schema_)));
        stamp.Bind(1, kPackageTextsStamp);
        const TResetOnExit reset(stamp);
        const QString stored = stamp.Step() ? stamp.ColumnText(0) : QString();
        packageTextsStale_ = made || otherLayout || stored != PackageFileStamp();
    } catch (...) {
        DropConnectionTriggers();
        database_.DetachFile(QString::fromLatin1(kFileName));
        throw;
    }
    open_ = true;
}

void TArchiveIndex::Close() {
    if (!open_)
        return;
    open_ = false;
    try {
        if (!database_.InTransaction())
            ApplyPendingTexts();
        // The package file as it is now is the one the texts were indexed from, unless a
        // rebuild is still owed.
        if (!packageTextsStale_ && !database_.InTransaction()) {
            TStatement& stamp = database_.Prepare(QStringLiteral("INSERT OR REPLACE INTO %1.IndexState (Key, Value) "
                                                                 "VALUES (?, ?)")
                                                      .arg(QuoteIdentifier(schema_)));
            stamp.Bind(1, kPackageTextsStamp);
            stamp.Bind(2, PackageFileStamp());
            stamp.Run();
        }
        DropConnectionTriggers();
    } catch (const EDatabaseError&) {
        // Without the stamp the next start indexes the texts again; the triggers go
        // with the connection.
    }
    database_.DetachFile(QString::fromLatin1(kFileName));
}

QString TArchiveIndex::PackageFileStamp() const {
    const QFileInfo file(QDir(database_.Folder()).filePath(QStringLiteral("CPInfo.DB")));
    return QStringLiteral("%1 %2").arg(file.size()).arg(file.lastModified().toMSecsSinceEpoch());
}

void TArchiveIndex::CreateConnectionTriggers() {
    // Connection triggers (TEMP) may watch a table of another file; they live as long
    // as the connection and are never stored, so other programs see plain tables. Their
    // statements name the index's tables without a schema, which resolves to the one
    // file that has them.
    const QString packages = QuoteIdentifier(packageSchema_) + QStringLiteral(".CPInfo");
    // A package's text is queued and indexed later (ApplyPendingTexts), as members are.
    database_.Exec(QStringLiteral("CREATE TEMP TRIGGER IF NOT EXISTS VelmPackageAdded AFTER INSERT ON %1 BEGIN "
                                  "INSERT OR IGNORE INTO PackageTextPending (ID) VALUES (new.ID); END;")
                       .arg(packages));
    database_.Exec(QStringLiteral("CREATE TEMP TRIGGER IF NOT EXISTS VelmPackageChanged AFTER UPDATE OF ID, "
                                  "ProductName, ProductDescription, Author, AuthorEmail, FileURL, Comments, ArchiveFile "
                                  "ON %1 BEGIN INSERT OR IGNORE INTO PackageTextPending (ID) VALUES (old.ID); "
                                  "INSERT OR IGNORE INTO PackageTextPending (ID) VALUES (new.ID); END;")
                       .arg(packages));
    database_.Exec(QStringLiteral("CREATE TEMP TRIGGER IF NOT EXISTS VelmPackageRemoved AFTER DELETE ON %1 BEGIN "
                                  "INSERT OR IGNORE INTO PackageTextPending (ID) VALUES (old.ID); "
                                  "DELETE FROM ArchiveMember WHERE PackageID = old.ID; "
                                  "DELETE FROM ArchiveFile WHERE PackageID = old.ID; "
                                  "DELETE FROM WorksWith WHERE PackageID = old.ID; "
                                  "DELETE FROM WorksWithRead WHERE PackageID = old.ID; END;")
                       .arg(packages));
}

void TArchiveIndex::DropConnectionTriggers() {
    if (!database_.Handle())
        return;
    for (const char* name : {"VelmPackageAdded", "VelmPackageChanged", "VelmPackageRemoved"})
        database_.Exec(QStringLiteral("DROP TRIGGER IF EXISTS temp.%1").arg(QString::fromLatin1(name)));
}

void TArchiveIndex::ApplyPendingTexts() const {
    if (!open_)
        return;
    const QString index = QuoteIdentifier(schema_);
    if (CountOf(QStringLiteral("SELECT EXISTS (SELECT 1 FROM %1.PackageTextPending) OR "
                               "EXISTS (SELECT 1 FROM %1.MemberTextPending)")
                    .arg(index)) == 0)
        return;
    InTransaction(database_, [&] {
        const QString packages = QuoteIdentifier(packageSchema_) + QStringLiteral(".CPInfo");
        database_.Exec(
            QStringLiteral("DELETE FROM %1.PackageText WHERE rowid IN (SELECT ID FROM %1.PackageTextPending)").arg(index));
        database_.Exec(QStringLiteral("INSERT INTO %1.PackageText (rowid, Text) SELECT p.ID, %2 FROM %3 p "
                                      "WHERE p.ID IN (SELECT ID FROM %1.PackageTextPending)")
                           .arg(index, SearchTextOf(QStringLiteral("p")), packages));
        database_.Exec(QStringLiteral("DELETE FROM %1.PackageTextPending").arg(index));
        database_.Exec(QStringLiteral("INSERT INTO %1.MemberText (MemberText, rowid, Name) "
                                      "SELECT 'delete', ID, Name FROM %1.MemberTextPending WHERE Name IS NOT NULL")
                           .arg(index));
        database_.Exec(QStringLiteral("INSERT INTO %1.MemberText (rowid, Name) SELECT m.ID, m.Name "
                                      "FROM %1.MemberTextPending q JOIN %1.ArchiveMember m ON m.ID = q.ID")
                           .arg(index));
        database_.Exec(QStringLiteral("DELETE FROM %1.MemberTextPending").arg(index));
    });
}

bool TArchiveIndex::RebuildPackageTexts(const TIndexProgress& progress) {
    const QString index = QuoteIdentifier(schema_);
    const QString packages = QuoteIdentifier(packageSchema_) + QStringLiteral(".CPInfo");
    const qint64 total = CountOf(QStringLiteral("SELECT count(*) FROM %1").arg(packages));
    const bool ownTransaction = !database_.InTransaction();
    if (ownTransaction)
        database_.StartTransaction();
    try {
        database_.Exec(QStringLiteral("DELETE FROM %1.PackageText").arg(index));
        database_.Exec(QStringLiteral("DELETE FROM %1.PackageTextPending").arg(index));
        TStatement& step = database_.Prepare(
            QStringLiteral("INSERT INTO %1.PackageText (rowid, Text) SELECT p.ID, %2 FROM %3 p WHERE p.ID > ? "
                           "ORDER BY p.ID LIMIT %4")
                .arg(index, SearchTextOf(QStringLiteral("p")), packages)
                .arg(kRebuildStep));
        qint64 after = -1;
        qint64 done = 0;
        for (;;) {
            if (progress && !progress(done, total))
                throw EAbort();
            step.Bind(1, after);
            step.Run();
            const int added = database_.Changes();
            if (added == 0)
                break;
            done += added;
            // The rows go in ID order: the last one added is where the next step starts.
            after = database_.LastInsertId();
        }
        if (progress)
            progress(total, total);
        if (ownTransaction)
            database_.Commit();
    } catch (const EAbort&) {
        if (ownTransaction)
            database_.Rollback();
        return false;
    } catch (...) {
        if (ownTransaction)
            database_.Rollback();
        throw;
    }
    packageTextsStale_ = false;
    return true;
}

void TArchiveIndex::ReplaceMembers(qint64 packageId, std::span<const TArchiveMemberRecord> members,
                                   const TArchiveFileRecord& archive) {
    const QString index = QuoteIdentifier(schema_);
    InTransaction(database_, [&] {
        TStatement& remove = database_.Prepare(QStringLiteral("DELETE FROM %1.ArchiveMember WHERE PackageID = ?").arg(index));
        remove.Bind(1, packageId);
        remove.Run();
        // All members in one statement: every statement of a transaction makes the
        // full-text index write out what it holds, which one statement per member made
        // most of an archive's cost.
        if (!members.empty()) {
            TStatement& insert = database_.Prepare(
                QStringLiteral("INSERT INTO %1.ArchiveMember (PackageID, Name, Size, PackedSize, Modified, CRC32, "
                               "IsFolder) SELECT ?1, value ->> 0, value ->> 1, value ->> 2, value ->> 3, value ->> 4, "
                               "value ->> 5 FROM json_each(?2) ORDER BY key")
                    .arg(index));
            insert.Bind(1, packageId);
            insert.Bind(2, MembersAsJson(members));
            insert.Run();
        }
        TStatement& file = database_.Prepare(
            QStringLiteral("INSERT OR REPLACE INTO %1.ArchiveFile (PackageID, Sha256, Size, Modified) VALUES (?, ?, ?, ?)")
                .arg(index));
        file.Bind(1, packageId);
        file.Bind(2, archive.Sha256.isEmpty() ? QVariant() : QVariant(archive.Sha256));
        file.Bind(3, archive.Size);
        file.Bind(4, IsoText(archive.Modified));
        file.Run();
    });
}

std::vector<TArchiveMemberRecord> TArchiveIndex::Members(qint64 packageId) const {
    TStatement& select = database_.Prepare(
        QStringLiteral("SELECT Name, Size, PackedSize, Modified, CRC32, IsFolder FROM %1.ArchiveMember "
                       "WHERE PackageID = ? ORDER BY ID")
            .arg(QuoteIdentifier(schema_)));
    select.Bind(1, packageId);
    const TResetOnExit reset(select);
    std::vector<TArchiveMemberRecord> members;
    while (select.Step()) {
        TArchiveMemberRecord member;
        member.Name = select.ColumnText(0);
        member.Size = select.ColumnInt(1);
        member.PackedSize = select.ColumnInt(2);
        member.Modified = QDateTime::fromString(select.ColumnText(3), Qt::ISODate);
        member.Crc32 = quint32(select.ColumnInt(4));
        member.IsFolder = select.ColumnInt(5) != 0;
        members.push_back(std::move(member));
    }
    return members;
}

qint64 TArchiveIndex::MemberCount() const {
    return CountOf(QStringLiteral("SELECT count(*) FROM %1.ArchiveMember").arg(QuoteIdentifier(schema_)));
}

std::optional<TArchiveFileRecord> TArchiveIndex::ArchiveFileOf(qint64 packageId) const {
    TStatement& select = database_.Prepare(
        QStringLiteral("SELECT Size, Modified, Sha256 FROM %1.ArchiveFile WHERE PackageID = ?").arg(QuoteIdentifier(schema_)));
    select.Bind(1, packageId);
    const TResetOnExit reset(select);
    return select.Step() ? ArchiveFileRecordAt(select, 0) : std::nullopt;
}

std::optional<TArchiveFileRecord> ArchiveFileRecordAt(TStatement& row, int first) {
    if (row.ColumnIsNull(first))
        return std::nullopt;
    TArchiveFileRecord record;
    record.Size = row.ColumnInt(first);
    record.Modified = QDateTime::fromString(row.ColumnText(first + 1), Qt::ISODate);
    record.Sha256 = row.ColumnText(first + 2);
    return record;
}

}  // namespace velm
