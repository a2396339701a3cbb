// How the table layer holds its rows compactly: texts in an arena, integers in the
// narrowest width, and the values of odd table files read back exactly as stored.
#include "catalogue/database.h"
#include "catalogue/row_store.h"
#include "catalogue/text_arena.h"
#include "support/temp_catalogue.h"

#include <QTest>

#include <algorithm>

using namespace velm;
using velm::test::TempCatalogue;

namespace {

std::string_view View(const QByteArray& bytes) { return {bytes.constData(), static_cast<size_t>(bytes.size())}; }

// The order the table's indexes keep for texts: UTF-16 code units, A to Z folded when asked.
int Reference(const QString& a, const QString& b, bool caseInsensitive) {
    auto fold = [&](QChar c) {
        const char16_t u = c.unicode();
        return caseInsensitive && u >= 'a' && u <= 'z' ? char16_t(u - 'a' + 'A') : u;
    };
    for (qsizetype i = 0; i < std::min(a.size(), b.size()); ++i)
        if (fold(a[i]) != fold(b[i]))
            return fold(a[i]) < fold(b[i]) ? -1 : 1;
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

QString Name(TTable& table, const char* field) { return table.FieldByName(QString::fromLatin1(field))->AsString(); }

}  // namespace

class RowStoreTest : public QObject {
    Q_OBJECT
private slots:
    void textsOfEveryLengthReadBackExactly();
    void textOrderIsTheUtf16Order();
    void integersWidenWithoutLosingWhatWasHeld();
    void oddTableFilesReadAsStored();
    void nameIndexOrdersNonAsciiNamesAsText();
    void deferredFieldsAreReadWhenFirstWanted();
    void categoryFiltersFollowEveryChangeAndOddFiles();
};

void RowStoreTest::textsOfEveryLengthReadBackExactly() {
    TTextArena arena;
    QList<QByteArray> texts;
    for (int size : {0, 1, 127, 128, 16383, 16384, 70000})
        texts << QByteArray(size, 'a' + char(size % 26));
    // Enough to fill several blocks, then one longer than a block, then small ones after it.
    for (int i = 0; i < 3000; ++i)
        texts << QByteArray::number(i).repeated(1 + i % 400);
    texts << QByteArray(3 * 1024 * 1024, 'L') << "after" << QByteArray("\xC3\xA9t\xC3\xA9");
    QList<TTextArena::Ref> refs;
    for (const QByteArray& text : texts)
        refs << arena.Add(View(text));
    for (qsizetype i = 0; i < texts.size(); ++i)
        QVERIFY2(arena.View(refs[i]) == View(texts[i]), qPrintable(QString::number(i)));
    QCOMPARE(refs.front(), TTextArena::kEmpty);

    // In the store an empty text is a value; a null is none.
    TRowStore store;
    store.Reset({TFieldKind::AutoInc, TFieldKind::String}, 0, 2);
    const TRowStore::Slot empty = store.Append(1);
    const TRowStore::Slot none = store.Append(2);
    store.SetText(empty, 1, {});
    QVERIFY(!store.IsNull(empty, 1) && store.IsEmpty(empty, 1));
    QVERIFY(store.Value(empty, 1).isValid() && store.Value(empty, 1).toString().isEmpty());
    QVERIFY(store.IsNull(none, 1) && !store.Value(none, 1).isValid());
    QCOMPARE(store.Compare(empty, none, 1, false), 0);
}

void RowStoreTest::textOrderIsTheUtf16Order() {
    // ASCII either side of the letters, Latin-1, the BMP's private area and its end, and
    // characters beyond the BMP, which UTF-16 sorts below U+E000 and UTF-8 above it.
    const QStringList texts{QString(), "a", "A", "b", "B", "_", "[", "ab", "aB", "abc", "é", "É", "€",
                            QString(QChar(0xE000)), QString(QChar(0xFFFD)), QString::fromUcs4(U"\U0001F600"),
                            QString::fromUcs4(U"\U00010000x"), "z\u00E9", "Z\u00C9"};
    for (bool caseInsensitive : {false, true})
        for (const QString& a : texts)
            for (const QString& b : texts) {
                const QByteArray x = a.toUtf8();
                const QByteArray y = b.toUtf8();
                QVERIFY2(CompareUtf8(View(x), View(y), caseInsensitive) == Reference(a, b, caseInsensitive),
                         qPrintable(a + QLatin1String(" / ") + b));
            }
}

void RowStoreTest::integersWidenWithoutLosingWhatWasHeld() {
    TIntColumn column(1);
    const qint64 values[] = {0, 127, -128, 300, -32768, 70000, -2147483648LL, qint64(1) << 40, -1};
    for (size_t i = 0; i < std::size(values); ++i) {
        column.Resize(i + 1);
        column.Set(i, values[i]);
        for (size_t j = 0; j <= i; ++j)
            QCOMPARE(column.Get(j), values[j]);
    }
}

void RowStoreTest::oddTableFilesReadAsStored() {
    TempCatalogue cat;
    const qint64 c = cat.AddCategory(QStringLiteral("C"));
    TDatabase& database = TSession::Instance().DatabaseFor(QString::fromLatin1(TDMvelm::kAlias));
    // What another program may have written: a small integer out of range, bytes that
    // are not UTF-8, a short field far longer than its size, an empty text beside a
    // null, and dates good and bad.
    database.Exec(QStringLiteral("INSERT INTO CPInfo (ProductName, Category, Rating, Author, FileURL, AuthorEmail, "
                                 "ArchiveFile, ReleaseDate, DownloadDate) VALUES ('Odd', %1, 100000, X'FF41', "
                                 "printf('%2000000s', 'x'), '', NULL, '1999-02-28', 'soon')")
                      .arg(c));
    TTable& packages = *cat.Module().TableCPInfo;
    packages.Refresh();
    QVERIFY(packages.Locate(QStringLiteral("ProductName"), QStringLiteral("odd"), true));
    QCOMPARE(packages.FieldByName(QStringLiteral("Rating"))->AsInteger(), 100000);
    QCOMPARE(Name(packages, "Author"), QString::fromUtf8("\xFF" "A"));
    QCOMPARE(Name(packages, "FileURL").size(), 2000000);
    QVERIFY(Name(packages, "FileURL").endsWith(QLatin1String(" x")));
    QVERIFY(!packages.FieldByName(QStringLiteral("AuthorEmail"))->IsNull());
    QVERIFY(Name(packages, "AuthorEmail").isEmpty());
    QVERIFY(packages.FieldByName(QStringLiteral("ArchiveFile"))->IsNull());
    QCOMPARE(packages.FieldByName(QStringLiteral("ReleaseDate"))->AsDate(), QDate(1999, 2, 28));
    QVERIFY(packages.FieldByName(QStringLiteral("DownloadDate"))->IsNull());
    QCOMPARE(Name(packages, "CategoryName"), QStringLiteral("C"));

    // The row keeps its odd values through an edit of another field.
    packages.Edit();
    packages.FieldByName(QStringLiteral("Comments"))->SetAsString(QStringLiteral("seen"));
    packages.Post();
    QCOMPARE(packages.FieldByName(QStringLiteral("Rating"))->AsInteger(), 100000);
    QCOMPARE(Name(packages, "Comments"), QStringLiteral("seen"));
}

void RowStoreTest::nameIndexOrdersNonAsciiNamesAsText() {
    TempCatalogue cat;
    const qint64 c = cat.AddCategory(QStringLiteral("C"));
    QStringList names{"zebra", "Émile", "émile2", "apple", "Zoo", "\u20AC uro", "\U0001F600 smile", "\uE000 private", "_under"};
    for (const QString& name : names)
        cat.AddPackage(name, c);
    TTable& packages = *cat.Module().TableCPInfo;
    packages.SetIndexName(QStringLiteral("ProductName"));
    QStringList walked;
    for (packages.First(); !packages.Eof(); packages.Next())
        walked << Name(packages, "ProductName");
    std::stable_sort(names.begin(), names.end(), [](const QString& a, const QString& b) { return Reference(a, b, true) < 0; });
    QCOMPARE(walked, names);
    QVERIFY(packages.FindKey(QStringLiteral("ZEBRA")));
    QCOMPARE(Name(packages, "ProductName"), QStringLiteral("zebra"));
}

void RowStoreTest::deferredFieldsAreReadWhenFirstWanted() {
    TempCatalogue cat({QStringLiteral("Installed")});
    const qint64 c = cat.AddCategory(QStringLiteral("C"));
    TTable& packages = *cat.Module().TableCPInfo;
    // More rows than are ever read one by one before all are read together.
    constexpr int kRows = 40;
    QStringList expected;
    for (int i = 1; i <= kRows; ++i) {
        cat.AddPackage(QStringLiteral("p%1").arg(i), c, i == 3 ? QVariant(1) : QVariant());
        packages.Edit();
        packages.FieldByName(QStringLiteral("Author"))->SetAsString(QStringLiteral("author %1").arg(i));
        packages.FieldByName(QStringLiteral("Rating"))->SetAsInteger(i * 2);
        packages.Post();
        expected << QStringLiteral("author %1").arg(i);
    }
    // Each case starts from a fresh open, with the deferred fields not read yet.
    const auto reopen = [&] {
        cat.Module().Close();
        QVERIFY(cat.Module().Open());
    };
    const auto authors = [&] {
        QStringList all;
        for (packages.First(); !packages.Eof(); packages.Next())
            all << Name(packages, "Author");
        return all;
    };

    reopen();
    QCOMPARE(Name(packages, "Author"), QStringLiteral("author 1"));
    QCOMPARE(authors(), expected);
    reopen();
    packages.SetFilter(QStringLiteral("Rating = 6"));
    packages.SetFiltered(true);
    QCOMPARE(packages.RecordCount(), 1);
    QCOMPARE(Name(packages, "StatusDescr"), QStringLiteral("Installed"));
    packages.SetFiltered(false);
    reopen();
    QVERIFY(packages.Locate(QStringLiteral("Author"), QStringLiteral("AUTHOR 4"), true));
    QCOMPARE(Name(packages, "ProductName"), QStringLiteral("p4"));
    reopen();
    QVERIFY(packages.AnyRowHas(QStringLiteral("Rating"), 8));

    // Changes made before the deferred fields are read are neither lost nor read over.
    reopen();
    QVERIFY(packages.Locate(QStringLiteral("ProductName"), QStringLiteral("p2"), false));
    packages.Edit();
    QCOMPARE(packages.FieldByName(QStringLiteral("Rating"))->AsInteger(), 4);
    packages.FieldByName(QStringLiteral("Author"))->SetAsString(QStringLiteral("changed"));
    packages.Post();
    expected[1] = QStringLiteral("changed");
    QCOMPARE(authors(), expected);
    reopen();
    QVERIFY(packages.Locate(QStringLiteral("ProductName"), QStringLiteral("p1"), false));
    packages.Delete();
    cat.AddPackage(QStringLiteral("p41"), c);
    expected.removeFirst();
    expected << QString();
    QCOMPARE(authors(), expected);
    reopen();
    cat.Module().LoadDeferredFields();
    QCOMPARE(authors(), expected);
}

void RowStoreTest::categoryFiltersFollowEveryChangeAndOddFiles() {
    TempCatalogue cat;
    const qint64 one = cat.AddCategory(QStringLiteral("One"));
    const qint64 two = cat.AddCategory(QStringLiteral("Two"));
    for (int i = 0; i < 6; ++i)
        cat.AddPackage(QStringLiteral("p%1").arg(i), i % 2 ? two : one);
    TTable& packages = *cat.Module().TableCPInfo;
    const auto inCategory = [&](qint64 id) {
        packages.SetFilter(QStringLiteral("Category = %1").arg(id));
        packages.SetFiltered(true);
        QStringList names;
        for (packages.First(); !packages.Eof(); packages.Next())
            names << Name(packages, "ProductName");
        packages.SetFiltered(false);
        return names;
    };
    QCOMPARE(inCategory(one), (QStringList{"p0", "p2", "p4"}));

    // Moved, added and deleted after the first filter: every later filter sees it.
    QVERIFY(packages.Locate(QStringLiteral("ProductName"), QStringLiteral("p2"), false));
    packages.Edit();
    packages.FieldByName(QStringLiteral("Category"))->SetAsInteger(static_cast<int>(two));
    packages.Post();
    cat.AddPackage(QStringLiteral("p6"), one);
    QVERIFY(packages.Locate(QStringLiteral("ProductName"), QStringLiteral("p1"), false));
    packages.Delete();
    QCOMPARE(inCategory(one), (QStringList{"p0", "p4", "p6"}));
    QCOMPARE(inCategory(two), (QStringList{"p2", "p3", "p5"}));
    QCOMPARE(inCategory(999), QStringList());

    // Values another program wrote that only look like the category's ID once cut to a
    // whole 32-bit number are not in it, as the engine compares them.
    TDatabase& database = TSession::Instance().DatabaseFor(QString::fromLatin1(TDMvelm::kAlias));
    database.Exec(QStringLiteral("INSERT INTO CPInfo (ProductName, Category) VALUES ('half', %1.5), ('wide', %2)")
                      .arg(one)
                      .arg((qint64(1) << 32) + one));
    packages.Refresh();
    QCOMPARE(inCategory(one), (QStringList{"p0", "p4", "p6"}));
}

QTEST_GUILESS_MAIN(RowStoreTest)
#include "test_row_store.moc"
