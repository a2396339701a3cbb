// Writes a fresh catalogue of N packages in M categories, with contents that look like a
// real collection, for measuring the table layer on a realistic size. The rows go in
// through SQLite directly, in one transaction: building them through TTable would take
// minutes and measure the wrong thing.
//
// With --members the packages' archives get members, stored through the member index as
// an import stores them; with --archives they go into real archive files instead, which
// the indexing command's core then reads, as for a catalogue that was never indexed.
// Either way the index build is timed.
#include "../tests/import/zip_builder.h"
#include "kit/messages.h"
#include "catalogue/data_module.h"
#include "catalogue/database.h"
#include "import/archive_indexer.h"

#include "bench_timing.h"
#include "catalogue_content.h"
#include "member_content.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>

#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <unordered_set>
#include <vector>

using velm::bench::ContentMaker;
using velm::bench::MemberContent;
using velm::bench::MemberMaker;
using velm::bench::PackageContent;

namespace {

constexpr int kMaxSmallInt = 32767;

// Archive files per folder, as --archives writes them.
constexpr int kArchivesPerFolder = 1000;

struct Options {
    long long members = 0;  // in all; 0: no member index is written
    bool archives = false;  // the members go into archive files, which are then indexed
};

void Usage() {
    std::fprintf(stderr,
                 "usage: generate-catalogue FOLDER PACKAGES CATEGORIES [SEED] [--members N [--archives]]\n"
                 "  Writes a new catalogue into FOLDER/dbase (which must not hold one) with\n"
                 "  PACKAGES packages in CATEGORIES categories (1 to %d). The same SEED\n"
                 "  (default 1) gives the same catalogue.\n"
                 "  --members N: the packages' archives hold N members in all, stored in the\n"
                 "  member index (Members.db) with the packages' search texts; timed.\n"
                 "  --archives: the members go into real archives below FOLDER/archives (empty\n"
                 "  members), which the packages name; the index is then built from them by\n"
                 "  the indexing command's core, timed.\n",
                 kMaxSmallInt);
}

bool ParseCount(const char* text, long long low, long long high, long long& value) {
    char* end = nullptr;
    value = std::strtoll(text, &end, 10);
    return end != text && *end == '\0' && value >= low && value <= high;
}

class Connection {
public:
    explicit Connection(const QString& path) {
        const QByteArray name = path.toUtf8();
        if (sqlite3_open_v2(name.constData(), &db_, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK)
            Fail("open " + name.toStdString());
    }
    ~Connection() {
        for (sqlite3_stmt* statement : statements_)
            sqlite3_finalize(statement);
        sqlite3_close_v2(db_);
    }
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    void Exec(const std::string& sql) {
        if (sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK)
            Fail(sql);
    }
    sqlite3_stmt* Prepare(const std::string& sql) {
        sqlite3_stmt* statement = nullptr;
        if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &statement, nullptr) != SQLITE_OK)
            Fail(sql);
        statements_.push_back(statement);
        return statement;
    }
    void Run(sqlite3_stmt* statement, const char* what) {
        if (sqlite3_step(statement) != SQLITE_DONE)
            Fail(what);
        sqlite3_reset(statement);
        sqlite3_clear_bindings(statement);
    }
    void Attach(const QString& path, const char* schema) {
        sqlite3_stmt* attach = Prepare(std::string("ATTACH DATABASE ? AS ") + schema);
        const QByteArray name = path.toUtf8();
        sqlite3_bind_text(attach, 1, name.constData(), static_cast<int>(name.size()), SQLITE_TRANSIENT);
        Run(attach, "attach");
    }
    sqlite3_int64 LastId() const { return sqlite3_last_insert_rowid(db_); }
    [[noreturn]] void Fail(const std::string& what) const {
        throw std::runtime_error(what + ": " + (db_ ? sqlite3_errmsg(db_) : "out of memory"));
    }

private:
    sqlite3* db_ = nullptr;
    std::vector<sqlite3_stmt*> statements_;
};

void BindText(sqlite3_stmt* statement, int position, const std::string& text, bool emptyIsNull = false) {
    if (emptyIsNull && text.empty())
        sqlite3_bind_null(statement, position);
    else
        sqlite3_bind_text(statement, position, text.data(), static_cast<int>(text.size()), SQLITE_STATIC);
}

// Every category gets a package first (when there are enough); the rest lean towards a
// few large categories, as real collections do. Insertion order is shuffled, so one
// category's rows are spread over the whole table.
std::vector<int> CategoryOfEachPackage(velm::bench::Rng& rng, int packages, int categories) {
    std::vector<int> owner;
    owner.reserve(static_cast<std::size_t>(packages));
    for (int i = 0; i < packages; ++i)
        owner.push_back(i < categories ? i
                                       : std::min(categories - 1, static_cast<int>(categories * std::pow(rng.Unit(), 1.3))));
    for (std::size_t i = owner.size(); i > 1; --i)
        std::swap(owner[i - 1], owner[static_cast<std::size_t>(rng.Below(static_cast<int>(i)))]);
    return owner;
}

quint32 DosTime(const QDateTime& moment) {
    const QDate d = moment.date();
    const QTime t = moment.time();
    return quint32((d.year() - 1980) << 9 | d.month() << 5 | d.day()) << 16 |
           quint32(t.hour() << 11 | t.minute() << 5 | t.second() / 2);
}

// One package's archive, its members empty (the index reads only the directory).
void WriteArchive(const QString& path, const std::vector<MemberContent>& members) {
    velm::test::ZipBuilder zip;
    for (const MemberContent& m : members) {
        velm::test::ZipMember member(QByteArray::fromStdString(m.name), QByteArray());
        member.dosTime = DosTime(m.modified);
        zip.Add(std::move(member));
    }
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(zip.Build()) < 0)
        throw std::runtime_error("cannot write " + path.toStdString());
}

// Where --archives puts a package's archive: a folder per thousand packages, the
// generated file name made unique within it.
class ArchivePlaces {
public:
    explicit ArchivePlaces(const QString& root) : root_(root) {}
    QString Folder(int package) {
        const int group = package / kArchivesPerFolder;
        if (group != group_) {
            group_ = group;
            names_.clear();
            folder_ = QDir(root_).filePath(QStringLiteral("%1").arg(group, 3, 10, QLatin1Char('0')));
            if (!QDir().mkpath(folder_))
                throw std::runtime_error("cannot make " + folder_.toStdString());
        }
        return folder_;
    }
    std::string FileName(const std::string& wanted) {
        std::string name = wanted;
        for (int n = 2; !names_.insert(name).second; ++n)
            name = wanted.substr(0, wanted.size() - 4) + "_" + std::to_string(n) + ".zip";
        return name;
    }

private:
    QString root_;
    QString folder_;
    int group_ = -1;
    std::unordered_set<std::string> names_;
};

void Fill(const QString& dataFolder, int packages, int categories, std::uint64_t seed, const Options& options) {
    const QDir folder(dataFolder);
    Connection db(folder.filePath(QStringLiteral("CPInfo.DB")));
    db.Attach(folder.filePath(QStringLiteral("Category.db")), "cat");
    db.Attach(folder.filePath(QStringLiteral("Status.db")), "st");
    // A generated file that a crash leaves half-written is simply generated again.
    for (const char* schema : {"main", "cat", "st"}) {
        db.Exec(std::string("PRAGMA ") + schema + ".synchronous=OFF");
        db.Exec(std::string("PRAGMA ") + schema + ".journal_mode=MEMORY");
    }
    db.Exec("PRAGMA main.cache_size=-262144");
    MemberMaker memberMaker(seed);
    const std::vector<int> memberCounts = memberMaker.Counts(options.archives ? packages : 0, options.members);
    ArchivePlaces places(QDir(QFileInfo(dataFolder).absolutePath()).filePath(QStringLiteral("archives")));

    std::vector<int> statusIds;
    sqlite3_stmt* statuses = db.Prepare("SELECT ID FROM st.Status ORDER BY ID");
    while (sqlite3_step(statuses) == SQLITE_ROW)
        statusIds.push_back(sqlite3_column_int(statuses, 0));
    sqlite3_reset(statuses);

    ContentMaker maker(seed);
    db.Exec("BEGIN");
    try {
        sqlite3_stmt* insertCategory = db.Prepare("INSERT INTO cat.Category (Name) VALUES (?)");
        const std::vector<std::string> names = maker.CategoryNames(categories);
        std::vector<sqlite3_int64> categoryIds;
        for (const std::string& name : names) {
            BindText(insertCategory, 1, name);
            db.Run(insertCategory, "insert category");
            categoryIds.push_back(db.LastId());
        }

        sqlite3_stmt* insertPackage = db.Prepare(
            "INSERT INTO main.CPInfo (ProductName, ProductDescription, Category, FreeShareCommercial,"
            " VersionMajor, VersionMinor, Release, Build, Beta, ReleaseDate, Compatibility, Author,"
            " DownloadDate, Status, Comments, Rating, FileURL, AuthorEmail, FullSourceIncl, ArchiveFile,"
            " ArchiveFilePath) VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)");
        const std::vector<int> owner = CategoryOfEachPackage(maker.Random(), packages, categories);
        for (int i = 0; i < packages; ++i) {
            const int category = owner[static_cast<std::size_t>(i)];
            PackageContent p = maker.Package(names[static_cast<std::size_t>(category)]);
            if (options.archives) {
                const std::vector<MemberContent> members =
                    memberMaker.Members(p.productName, p.releaseDate, memberCounts[static_cast<std::size_t>(i)]);
                const QString archiveFolder = places.Folder(i);
                p.archiveFile = places.FileName(p.archiveFile);
                p.archiveFilePath = QDir::toNativeSeparators(archiveFolder).toStdString() + '/';
                WriteArchive(QDir(archiveFolder).filePath(QString::fromStdString(p.archiveFile)), members);
            }
            BindText(insertPackage, 1, p.productName);
            BindText(insertPackage, 2, p.description);
            sqlite3_bind_int64(insertPackage, 3, categoryIds[static_cast<std::size_t>(category)]);
            sqlite3_bind_int(insertPackage, 4, p.freeShareCommercial);
            sqlite3_bind_int(insertPackage, 5, p.versionMajor);
            sqlite3_bind_int(insertPackage, 6, p.versionMinor);
            sqlite3_bind_int(insertPackage, 7, p.release);
            sqlite3_bind_int(insertPackage, 8, p.build);
            sqlite3_bind_int(insertPackage, 9, p.beta ? 1 : 0);
            BindText(insertPackage, 10, p.releaseDate);
            sqlite3_bind_int(insertPackage, 11, p.compatibility);
            BindText(insertPackage, 12, p.author);
            BindText(insertPackage, 13, p.downloadDate, true);
            // About a quarter of the packages have no status chosen yet.
            if (statusIds.empty() || maker.Random().Chance(25))
                sqlite3_bind_null(insertPackage, 14);
            else
                sqlite3_bind_int(insertPackage, 14,
                                 statusIds[static_cast<std::size_t>(maker.Random().Below(static_cast<int>(statusIds.size())))]);
            BindText(insertPackage, 15, p.comments, true);
            if (p.rating)
                sqlite3_bind_int(insertPackage, 16, *p.rating);
            else
                sqlite3_bind_null(insertPackage, 16);
            BindText(insertPackage, 17, p.fileUrl);
            BindText(insertPackage, 18, p.authorEmail);
            sqlite3_bind_int(insertPackage, 19, p.fullSource ? 1 : 0);
            BindText(insertPackage, 20, p.archiveFile);
            BindText(insertPackage, 21, p.archiveFilePath);
            db.Run(insertPackage, "insert package");
        }
        db.Exec("COMMIT");
    } catch (...) {
        try {
            db.Exec("ROLLBACK");
        } catch (...) {
        }
        throw;
    }
}

}  // namespace

double Seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

double MegabytesOf(const QString& path) { return static_cast<double>(QFileInfo(path).size()) / 1048576.0; }

// The member index completed through the program's data module: the packages' search
// texts, and with --archives the members read from the archives by the indexing
// command's core (timed, and timed again for a second run that finds nothing changed).
// The generated members of every package, stored through the member index as an import
// stores an archive's, a thousand packages to a transaction; returns the seconds spent
// storing (making the lists is not counted).
double StoreGeneratedMembers(velm::TArchiveIndex& index, std::uint64_t seed, long long total, long long& stored) {
    struct Package {
        qint64 id;
        std::string productName;
        std::string releaseDate;
        QString downloaded;
    };
    std::vector<Package> packages;
    velm::TStatement& select = index.Database().Prepare(
        QStringLiteral("SELECT ID, ProductName, ReleaseDate, coalesce(DownloadDate, ReleaseDate) FROM %1.CPInfo "
                       "ORDER BY ID")
            .arg(velm::QuoteIdentifier(index.PackageSchema())));
    while (select.Step())
        packages.push_back({select.ColumnInt(0), select.ColumnText(1).toStdString(), select.ColumnText(2).toStdString(),
                            select.ColumnText(3)});
    select.Reset();
    MemberMaker maker(seed);
    const std::vector<int> counts = maker.Counts(static_cast<int>(packages.size()), total);
    velm::TDatabase& database = index.Database();
    double seconds = 0;
    stored = 0;
    for (std::size_t i = 0; i < packages.size(); ++i) {
        const std::vector<MemberContent> members = maker.Members(packages[i].productName, packages[i].releaseDate, counts[i]);
        std::vector<velm::TArchiveMemberRecord> records;
        records.reserve(members.size());
        velm::TArchiveFileRecord archive;
        archive.Size = 22;
        archive.Modified = QDateTime(QDate::fromString(packages[i].downloaded, Qt::ISODate), QTime(12, 0), Qt::UTC);
        for (const MemberContent& m : members) {
            QString name = QString::fromStdString(m.name);
            name.replace(u'/', u'\\');
            records.push_back({name, m.size, m.packedSize, m.modified, m.crc32, m.isFolder});
            archive.Size += m.packedSize + 76 + 2 * static_cast<qint64>(m.name.size());
        }
        const auto start = std::chrono::steady_clock::now();
        if (i % 1000 == 0)
            database.StartTransaction();
        index.ReplaceMembers(packages[i].id, records, archive);
        if (i % 1000 == 999 || i + 1 == packages.size()) {
            // As the index command does at each commit: the names into the full-text index.
            index.ApplyPendingTexts();
            database.Commit();
        }
        seconds += Seconds(start);
        stored += static_cast<long long>(records.size());
    }
    return seconds;
}

bool BuildIndex(const QString& programFolder, const QString& dataFolder, std::uint64_t seed, const Options& options) {
    velm::bench::ConsolePresenter console;
    velm::SetMessagePresenter(&console);
    velm::TDMvelm module(programFolder);
    velm::DMvelm = &module;
    auto start = std::chrono::steady_clock::now();
    if (!module.Open())
        return false;
    std::printf("Indexed the packages' search texts in %.1f s.\n", Seconds(start));
    velm::TArchiveIndex& index = *module.ArchiveIndex();
    if (!options.archives) {
        long long stored = 0;
        const double seconds = StoreGeneratedMembers(index, seed, options.members, stored);
        std::printf("Index build from the generated member lists: %lld members in %.1f s: %.0f members/s.\n", stored,
                    seconds, static_cast<double>(stored) / seconds);
    } else {
        for (const char* run : {"first", "second"}) {
            velm::TArchiveIndexer indexer(index);
            start = std::chrono::steady_clock::now();
            const velm::TArchiveIndexRun done = indexer.Run();
            const double seconds = Seconds(start);
            std::printf("Index build (%s run): %d archives read, %d unchanged, %zu unread, %lld members in %.1f s: "
                        "%.0f members/s, %.0f archives/s.\n",
                        run, done.Read, done.Unchanged, done.Unread.size(), static_cast<long long>(done.Members),
                        seconds, static_cast<double>(done.Members) / seconds, (done.Read + done.Unchanged) / seconds);
        }
    }
    const qint64 members = index.MemberCount();
    // What the members take (their table, its index by package, their names' full-text
    // index) apart from the packages' search texts.
    velm::TStatement& parts = index.Database().Prepare(
        QStringLiteral("SELECT name GLOB 'PackageText*', sum(pgsize) FROM dbstat(?) GROUP BY 1"));
    parts.Bind(1, index.Schema());
    double memberBytes = 0;
    double textBytes = 0;
    while (parts.Step())
        (parts.ColumnInt(0) ? textBytes : memberBytes) += static_cast<double>(parts.ColumnInt(1));
    parts.Reset();
    module.Close();
    velm::DMvelm = nullptr;
    velm::SetMessagePresenter(nullptr);
    const double megabytes = MegabytesOf(QDir(dataFolder).filePath(QString::fromLatin1(velm::TArchiveIndex::kFileName)));
    const double perMember = members > 0 ? 1.0 / static_cast<double>(members) : 0.0;
    std::printf("Members.db holds %lld members in %.1f MB: %.0f bytes per member; the members' part %.1f MB "
                "(%.0f bytes per member), the packages' search texts %.1f MB.\n",
                static_cast<long long>(members), megabytes, megabytes * 1048576.0 * perMember, memberBytes / 1048576.0,
                memberBytes * perMember, textBytes / 1048576.0);
    return true;
}

int main(int argc, char** argv) {
    long long packages = 0;
    long long categories = 0;
    long long seed = 1;
    Options options;
    std::vector<const char*> positional;
    bool ok = true;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--members" && i + 1 < argc)
            ok = ok && ParseCount(argv[++i], 1, 2'000'000'000LL, options.members);
        else if (arg == "--archives")
            options.archives = true;
        else
            positional.push_back(argv[i]);
    }
    if (!ok || positional.size() < 3 || positional.size() > 4 || !ParseCount(positional[1], 0, 10'000'000, packages) ||
        !ParseCount(positional[2], 1, kMaxSmallInt, categories) ||
        (positional.size() == 4 && !ParseCount(positional[3], 0, 9'000'000'000'000'000'000LL, seed)) ||
        (options.archives && options.members == 0)) {
        Usage();
        return 2;
    }
    const QString programFolder = QString::fromLocal8Bit(positional[0]);
    const QString dataFolder = QDir(programFolder).filePath(QStringLiteral("dbase"));
    const auto start = std::chrono::steady_clock::now();
    if (!velm::CreateCatalogue(dataFolder, velm::DefaultStatusValues())) {
        std::fprintf(stderr, "Could not write a new catalogue into %s (is one there already?)\n",
                     qPrintable(QDir::toNativeSeparators(dataFolder)));
        return 1;
    }
    try {
        Fill(dataFolder, static_cast<int>(packages), static_cast<int>(categories), static_cast<std::uint64_t>(seed),
             options);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "Generating the catalogue failed: %s\nThe catalogue in %s is left empty.\n", e.what(),
                     qPrintable(QDir::toNativeSeparators(dataFolder)));
        return 1;
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const double megabytes =
        static_cast<double>(QFileInfo(QDir(dataFolder).filePath(QStringLiteral("CPInfo.DB"))).size()) / 1048576.0;
    std::printf("Wrote %lld packages in %lld categories (seed %lld) into %s in %.1f s; CPInfo.DB is %.1f MB.\n",
                packages, categories, seed, qPrintable(QDir::toNativeSeparators(dataFolder)), seconds, megabytes);
    if (options.members > 0) {
        std::printf("Their archives hold %lld members%s.\n", options.members,
                    options.archives ? ", written as archive files" : "");
        try {
            if (!BuildIndex(programFolder, dataFolder, static_cast<std::uint64_t>(seed), options))
                return 1;
        } catch (const std::exception& e) {
            std::fprintf(stderr, "Building the member index failed: %s\n", e.what());
            return 1;
        }
    }
    return 0;
}
