// Feeds arbitrary bytes as an info file (.inf or .upl, by the first byte) through the
// reader and into a package row of a temporary catalogue, written as an import writes
// it, and checks that every text read back from the file is what the reader produced:
// whole, or cut at a whole character where the column is narrower. A NUL inside a value
// or half a surrogate pair would come back different.
#include "catalogue/data_module.h"
#include "catalogue/table.h"
#include "catalogue/text_cut.h"
#include "import/imported_columns.h"
#include "import/ini_file.h"
#include "import/package_info.h"

#include <QByteArray>
#include <QDir>
#include <QTemporaryDir>

#include <sqlite3.h>

#include <cstddef>
#include <cstdint>
#include <memory>

namespace {

using namespace velm;

// One catalogue for the whole run, with one category, read back through a connection
// of its own as another tool would.
struct Catalogue {
    QTemporaryDir dir;
    std::unique_ptr<TDMvelm> module;
    sqlite3* reader = nullptr;
    int category = 0;

    Catalogue() {
        if (!CreateCatalogue(dir.filePath(QStringLiteral("dbase")), {}))
            __builtin_trap();
        module = std::make_unique<TDMvelm>(dir.path());
        DMvelm = module.get();
        if (!module->Open())
            __builtin_trap();
        TTable& categories = *module->TableCategory;
        categories.Append();
        categories.FieldByName(QStringLiteral("Name"))->SetAsString(QStringLiteral("Fuzz"));
        categories.Post();
        category = categories.FieldByName(QStringLiteral("ID"))->AsInteger();
        sqlite3_open_v2(dir.filePath(QStringLiteral("dbase/CPInfo.DB")).toUtf8().constData(), &reader,
                        SQLITE_OPEN_READONLY, nullptr);
    }

    QString Stored(qint64 id, const char* column) const {
        sqlite3_stmt* statement = nullptr;
        const QByteArray sql = QByteArray("SELECT ") + column + " FROM CPInfo WHERE ID = ?";
        sqlite3_prepare_v2(reader, sql.constData(), -1, &statement, nullptr);
        sqlite3_bind_int64(statement, 1, id);
        QString value;
        if (sqlite3_step(statement) == SQLITE_ROW && sqlite3_column_type(statement, 0) != SQLITE_NULL)
            value = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(statement, 0)),
                                      sqlite3_column_bytes(statement, 0));
        sqlite3_finalize(statement);
        return value;
    }
};

void Expect(bool holds) {
    if (!holds)
        __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    static Catalogue catalogue;
    const TIniFile ini = TIniFile::FromBytes(QByteArray(reinterpret_cast<const char*>(data) + 1, qsizetype(size - 1)));
    TDSPInfoClass info;
    if (data[0] & 1)
        info.ReadUpl(ini);
    else
        info.ReadInf(ini);

    TTable& packages = *catalogue.module->TableCPInfo;
    packages.Append();
    packages.FieldByName(QStringLiteral("ProductName"))->SetAsString(QStringLiteral("Fuzzed"));
    packages.FieldByName(QStringLiteral("Category"))->SetAsInteger(catalogue.category);
    QStringList refused;
    const int mask = WriteInfoColumns(packages, info, &refused);
    packages.Post();
    const qint64 id = packages.FieldByName(QStringLiteral("ID"))->Value().toLongLong();

    // Empty texts are stored as no value at all; that reads back empty as well.
    Expect(catalogue.Stored(id, "ProductDescription") == ImportedDescription(info));
    Expect(catalogue.Stored(id, "Author") == CutAtCharacter(info.AuthorName, 50));
    Expect(catalogue.Stored(id, "AuthorEmail") == CutAtCharacter(info.AuthorMail, 50));
    Expect(catalogue.Stored(id, "FileURL") == CutAtCharacter(info.AuthorWeb, 100));
    const TVersionNumbers version = StorableVersion(info.VersionText, nullptr);
    Expect(catalogue.Stored(id, "VersionMajor").toInt() == version.Major);
    Expect(catalogue.Stored(id, "Build").toInt() == version.Build);
    Expect(catalogue.Stored(id, "Compatibility").toInt() == mask);
    // What the table holds in memory agrees with the file.
    Expect(packages.FieldByName(QStringLiteral("Author"))->AsString() == catalogue.Stored(id, "Author"));
    packages.Delete();
    return 0;
}
