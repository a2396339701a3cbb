#include "catalogue/catalogue_files.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <sqlite3.h>

namespace velm {

namespace {

struct TableFile {
    const char* fileName;
    const char* schema;
};

// Column types follow the field kinds; the unique names ignore letter case, and
// an empty name is refused by the engine itself.
const TableFile kTableFiles[] = {
    {"Category.db",
     "CREATE TABLE Category ("
     " Name TEXT NOT NULL UNIQUE COLLATE NOCASE CHECK (Name <> ''),"
     " ID INTEGER PRIMARY KEY AUTOINCREMENT);"},
    {"CPInfo.DB",
     "CREATE TABLE CPInfo ("
     " ID INTEGER PRIMARY KEY AUTOINCREMENT,"
     " ProductName TEXT NOT NULL UNIQUE COLLATE NOCASE CHECK (ProductName <> ''),"
     " ProductDescription TEXT,"
     " Category INTEGER,"
     " FreeShareCommercial INTEGER,"
     " VersionMajor INTEGER,"
     " VersionMinor INTEGER,"
     " Release INTEGER,"
     " Build INTEGER,"
     " Beta INTEGER,"
     " ReleaseDate TEXT,"
     " Compatibility INTEGER,"
     " Author TEXT,"
     " DownloadDate TEXT,"
     " Status INTEGER,"
     " Comments TEXT,"
     " Rating INTEGER,"
     " FileURL TEXT,"
     " AuthorEmail TEXT,"
     " FullSourceIncl INTEGER,"
     " ArchiveFile TEXT,"
     " ArchiveFilePath TEXT);"
     "CREATE INDEX CPInfoByCategory ON CPInfo (Category);"
     "CREATE INDEX CPInfoByStatus ON CPInfo (Status);"
     // Opening reads every row's short fields; this index holds them apart from the
     // memos, so the open does not read every description's page.
     "CREATE INDEX CPInfoShortFields ON CPInfo (ID, ProductName, Category, FreeShareCommercial,"
     " VersionMajor, VersionMinor, Release, Build, Beta, ReleaseDate, Compatibility, Author,"
     " DownloadDate, Status, Rating, FileURL, AuthorEmail, FullSourceIncl, ArchiveFile, ArchiveFilePath);"},
    {"Status.db",
     "CREATE TABLE Status ("
     " ID INTEGER PRIMARY KEY AUTOINCREMENT,"
     " Description TEXT);"},
};

// The member index; {s} stands for the schema that holds it. Members get an ID of their
// own, which the full-text index of their names refers to (a rowid without it may
// change when the file is vacuumed). The package texts' index holds one folded text per
// package, since a formatted description is searched by the text it shows, not by its
// markup; it keeps no positions (detail none), which halves its size: its searches are
// patterns, whose every candidate is checked against the text.
const char kMembersSchema[] =
    "CREATE TABLE IF NOT EXISTS {s}ArchiveMember ("
    " ID INTEGER PRIMARY KEY,"
    " PackageID INTEGER NOT NULL,"
    " Name TEXT NOT NULL,"
    " Size INTEGER,"
    " PackedSize INTEGER,"
    " Modified TEXT,"
    " CRC32 INTEGER,"
    " IsFolder INTEGER NOT NULL DEFAULT 0);"
    "CREATE INDEX IF NOT EXISTS {s}ArchiveMemberByPackage ON ArchiveMember (PackageID);"
    "CREATE TABLE IF NOT EXISTS {s}ArchiveFile ("
    " PackageID INTEGER PRIMARY KEY,"
    " Sha256 TEXT,"
    " Size INTEGER,"
    " Modified TEXT);"
    "CREATE VIRTUAL TABLE IF NOT EXISTS {s}MemberText USING fts5"
    " (Name, content='ArchiveMember', content_rowid='ID', tokenize='trigram');"
    // A change to the members is queued, not indexed at once: every statement of a
    // transaction makes the full-text index write out what it holds, which cost more than
    // the rest of an import. The queue names each member whose index entry is out of date
    // and the name the index holds for it (NULL: none); the first entry for a member
    // wins, since it names what the index still holds.
    "CREATE TABLE IF NOT EXISTS {s}MemberTextPending ("
    " ID INTEGER PRIMARY KEY,"
    " Name TEXT);"
    "CREATE TRIGGER IF NOT EXISTS {s}ArchiveMemberQueuedAdded AFTER INSERT ON ArchiveMember BEGIN"
    " INSERT OR IGNORE INTO MemberTextPending (ID, Name) VALUES (new.ID, NULL); END;"
    "CREATE TRIGGER IF NOT EXISTS {s}ArchiveMemberQueuedRemoved AFTER DELETE ON ArchiveMember BEGIN"
    " INSERT OR IGNORE INTO MemberTextPending (ID, Name) VALUES (old.ID, old.Name); END;"
    "CREATE TRIGGER IF NOT EXISTS {s}ArchiveMemberQueuedRenamed AFTER UPDATE OF Name ON ArchiveMember BEGIN"
    " INSERT OR IGNORE INTO MemberTextPending (ID, Name) VALUES (old.ID, old.Name); END;"
    "CREATE VIRTUAL TABLE IF NOT EXISTS {s}PackageText USING fts5"
    " (Text, tokenize='trigram', detail='none');"
    // The packages whose texts changed since they were last indexed.
    "CREATE TABLE IF NOT EXISTS {s}PackageTextPending ("
    " ID INTEGER PRIMARY KEY);"
    "CREATE INDEX IF NOT EXISTS {s}ArchiveFileBySha256 ON ArchiveFile (Sha256);"
    // The IDE versions a package works with: detected in its archive, declared by its
    // info file, or set by the user, each with what shows it.
    "CREATE TABLE IF NOT EXISTS {s}WorksWith ("
    " PackageID INTEGER NOT NULL,"
    " Ide TEXT NOT NULL,"
    " Source TEXT NOT NULL,"
    " Evidence TEXT);"
    "CREATE INDEX IF NOT EXISTS {s}WorksWithByPackage ON WorksWith (PackageID);"
    // Which revision of the detection rules last read each package's archive: an older
    // row, or one read by older rules, is read again by the next indexing run.
    "CREATE TABLE IF NOT EXISTS {s}WorksWithRead ("
    " PackageID INTEGER PRIMARY KEY,"
    " Rules INTEGER NOT NULL);"
    "CREATE TABLE IF NOT EXISTS {s}IndexState ("
    " Key TEXT PRIMARY KEY,"
    " Value TEXT);";

// Builds one table file under a temporary name and moves it into place only when it is
// complete, so an interrupted build never leaves a half-made table behind.
bool WriteTableFile(const QString& path, const char* schema, const QStringList& statusValues) {
    const QString partial = path + QStringLiteral(".partial");
    QFile::remove(partial);
    sqlite3* db = nullptr;
    bool ok = sqlite3_open_v2(partial.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE,
                              nullptr) == SQLITE_OK;
    ok = ok && sqlite3_exec(db, "PRAGMA journal_mode=DELETE", nullptr, nullptr, nullptr) == SQLITE_OK;
    ok = ok && sqlite3_exec(db, schema, nullptr, nullptr, nullptr) == SQLITE_OK;
    if (ok && QString::fromLatin1(schema).contains(QLatin1String("CREATE TABLE Status"))) {
        sqlite3_stmt* insert = nullptr;
        ok = sqlite3_prepare_v2(db, "INSERT INTO Status (Description) VALUES (?)", -1, &insert, nullptr) == SQLITE_OK;
        for (const QString& value : statusValues) {
            if (!ok)
                break;
            const QByteArray text = value.left(40).toUtf8();
            sqlite3_bind_text(insert, 1, text.constData(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
            ok = sqlite3_step(insert) == SQLITE_DONE;
            sqlite3_reset(insert);
        }
        sqlite3_finalize(insert);
    }
    sqlite3_close_v2(db);
    if (!ok || !QFile::rename(partial, path)) {
        QFile::remove(partial);
        return false;
    }
    return true;
}

}  // namespace

QString MembersFileSchema(const QString& schema) {
    return QString::fromLatin1(kMembersSchema).replace(QLatin1String("{s}"), schema.isEmpty() ? QString() : schema + u'.');
}

bool CreateMembersFile(const QString& path) {
    return WriteTableFile(path, MembersFileSchema(QString()).toUtf8().constData(), {});
}

QStringList DefaultStatusValues() {
    return {QStringLiteral("Not installed"), QStringLiteral("Installed"), QStringLiteral("Installed and tested"),
            QStringLiteral("To be evaluated"), QStringLiteral("Uninstalled")};
}

bool CreateCatalogue(const QString& dataFolder, const QStringList& statusValues) {
    QDir folder(dataFolder);
    for (const TableFile& table : kTableFiles)
        if (QFileInfo::exists(folder.filePath(QString::fromLatin1(table.fileName))))
            return false;
    if (!folder.mkpath(QStringLiteral(".")))
        return false;
    QStringList written;
    for (const TableFile& table : kTableFiles) {
        const QString path = folder.filePath(QString::fromLatin1(table.fileName));
        if (!WriteTableFile(path, table.schema, statusValues)) {
            for (const QString& done : written)
                QFile::remove(done);
            return false;
        }
        written << path;
    }
    return true;
}

}  // namespace velm
