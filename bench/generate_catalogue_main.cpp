// Writes a fresh catalogue of N packages in M categories, with contents that look like a
// real collection, for measuring the table layer on a realistic size. The rows go in
// through SQLite directly, in one transaction: building them through TTable would take
// minutes and measure the wrong thing.
#include "catalogue/data_module.h"

#include "catalogue_content.h"

#include <QDir>
#include <QFileInfo>
#include <QString>

#include <sqlite3.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <vector>

using velm::bench::ContentMaker;
using velm::bench::PackageContent;

namespace {

constexpr int kMaxSmallInt = 32767;

void Usage() {
    std::fprintf(stderr,
                 "usage: generate-catalogue FOLDER PACKAGES CATEGORIES [SEED]\n"
                 "  Writes a new catalogue into FOLDER/dbase (which must not hold one) with\n"
                 "  PACKAGES packages in CATEGORIES categories (1 to %d). The same SEED\n"
                 "  (default 1) gives the same catalogue.\n",
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

void Fill(const QString& dataFolder, int packages, int categories, std::uint64_t seed) {
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
            const PackageContent p = maker.Package(names[static_cast<std::size_t>(category)]);
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

int main(int argc, char** argv) {
    long long packages = 0;
    long long categories = 0;
    long long seed = 1;
    if (argc < 4 || argc > 5 || !ParseCount(argv[2], 0, 10'000'000, packages) ||
        !ParseCount(argv[3], 1, kMaxSmallInt, categories) ||
        (argc == 5 && !ParseCount(argv[4], 0, 9'000'000'000'000'000'000LL, seed))) {
        Usage();
        return 2;
    }
    const QString dataFolder = QDir(QString::fromLocal8Bit(argv[1])).filePath(QStringLiteral("dbase"));
    const auto start = std::chrono::steady_clock::now();
    if (!velm::CreateCatalogue(dataFolder, velm::DefaultStatusValues())) {
        std::fprintf(stderr, "Could not write a new catalogue into %s (is one there already?)\n",
                     qPrintable(QDir::toNativeSeparators(dataFolder)));
        return 1;
    }
    try {
        Fill(dataFolder, static_cast<int>(packages), static_cast<int>(categories), static_cast<std::uint64_t>(seed));
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
    return 0;
}
