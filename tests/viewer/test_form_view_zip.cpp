// The archive contents viewer: the listing, sorting by a caption click, and handing a
// member to the text viewer.
#include "kit/messages.h"
#include "import/zip_directory.h"
#include "support/launcher_recorder.h"
#include "support/message_recorder.h"
#include "viewer/form_view_zip.h"
#include "widgets/sort_grid.h"

#include "../import/zip_builder.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <algorithm>
#include <memory>

using namespace velm;
using velm::test::LauncherRecorder;
using velm::test::MessageRecorder;
using velm::test::ZipBuilder;
using velm::test::ZipMember;

namespace {

constexpr quint32 DosTime(int year, int month, int day, int hour, int minute) {
    return (quint32((year - 1980) << 9 | month << 5 | day) << 16) | quint32(hour << 11 | minute << 5);
}

// A member listed with the given sizes: stored data of the compressed size, the
// uncompressed size only claimed (enough for listing, not for extracting).
ZipMember Listed(const char* name, int comprSize, qint64 uncomprSize, quint32 dosTime = velm::test::kSampleDosTime) {
    ZipMember member(name, QByteArray(comprSize, 'x'));
    member.declaredSize = uncomprSize;
    member.dosTime = dosTime;
    return member;
}

struct Fixture {
    QTemporaryDir dir;
    std::unique_ptr<TFormViewZip> dialog;

    QString ZipPath() const { return dir.filePath(QStringLiteral("pkg.zip")); }
    QString TmpDir() const { return dir.filePath(QStringLiteral("Tmp")) + u'/'; }

    // Shows the dialog over the archive, active so that the grid can take the focus.
    void Show(const ZipBuilder& zip) {
        QVERIFY(zip.WriteTo(ZipPath()));
        ShowPath(ZipPath());
        QApplication::setActiveWindow(dialog.get());
        QVERIFY(QTest::qWaitForWindowActive(dialog.get()));
    }
    void ShowPath(const QString& path) {
        QVERIFY(QDir().mkpath(TmpDir()));
        dialog = std::make_unique<TFormViewZip>();
        dialog->ZipName = path;
        dialog->TmpDir = TmpDir();
        dialog->show();
    }

    TSortGrid* Grid() const { return dialog->SortGrid1(); }
    QWidget* Captions() const { return Grid()->horizontalHeader()->viewport(); }

    QPoint CaptionPoint(int column) const {
        const QHeaderView* header = Grid()->horizontalHeader();
        return {header->sectionViewportPosition(column) + header->sectionSize(column) / 2, header->height() / 2};
    }
    void ClickCaption(int column, Qt::MouseButton button = Qt::LeftButton, Qt::KeyboardModifiers keys = {}) {
        QTest::mouseClick(Captions(), button, keys, CaptionPoint(column));
    }

    QStringList Column(int column) const {
        QStringList cells;
        for (int row = Grid()->FixedRows(); row < Grid()->RowCount(); ++row)
            cells << Grid()->Cells(column, row);
        return cells;
    }
    void SelectEntry(const QString& name) {
        for (int row = 1; row < Grid()->RowCount(); ++row)
            if (Grid()->Cells(0, row) == name)
                Grid()->setCurrentCell(row, 2);
    }
};

// Five entries whose uncompressed sizes pair up, so that equal keys show stability.
ZipBuilder SizesArchive() {
    ZipBuilder zip;
    zip.Add(Listed("a.pas", 4, 10)).Add(Listed("b.pas", 2, 5)).Add(Listed("c.pas", 9, 10)).Add(Listed("d.pas", 1, 5))
        .Add(Listed("e.pas", 3, 200));
    return zip;
}

}  // namespace

class FormViewZipTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }
    void listsEveryEntryUnderFixedCaptions();
    void emptyArchiveShowsOnlyTheCaptionRow();
    void singleEntryIsNeverSorted();
    void rightClickSortsDescendingAndReports();
    void equalCellsKeepTheirPreviousOrderBothWays();
    void dateColumnSortsByTimeNotText();
    void namesSortByAsciiUpperCaseOrdinal();
    void selectionFollowsItsRow();
    void onlyAPlainClickOnACaptionSorts();
    void styleDetection();
    void dateTimeTextReadsBackInEveryLocale();
    void memberInASubFolderIsViewedWithItsPath();
    void missingArchiveIsReportedAndCloses();
    void helpAndCloseButtons();
    void sizesBeyondFourGigabytesShowAndSort();
    void encryptedMembersAreMarkedAndNotViewed();
};

void FormViewZipTest::listsEveryEntryUnderFixedCaptions() {
    Fixture f;
    ZipBuilder zip;
    zip.Add(Listed("src/unit1.pas", 120, 345)).Add(Listed("readme.txt", 7, 7));
    f.Show(zip);

    QCOMPARE(f.dialog->windowTitle(), QStringLiteral("View Zip Contents"));
    QCOMPARE(f.dialog->RxLabelZipName()->text(), f.ZipPath());
    QCOMPARE(f.Grid()->FixedRows(), 1);
    QCOMPARE(f.Grid()->RowCount(), 3);
    QVERIFY(f.Grid()->horizontalHeader()->isVisible());
    const QStringList captions{"File Name", "Compr Size", "Uncmpr Size", "Date/Time"};
    const int widths[] = {316, 84, 84, 120};
    for (int col = 0; col < 4; ++col) {
        QCOMPARE(f.Grid()->Cells(col, 0), captions[col]);
        QCOMPARE(f.Grid()->horizontalHeaderItem(col)->text(), captions[col]);
        QCOMPARE(f.Grid()->columnWidth(col), widths[col]);
    }
    // Archive order; folders with "\"; plain decimal sizes.
    QCOMPARE(f.Column(0), (QStringList{"src\\unit1.pas", "readme.txt"}));
    QCOMPARE(f.Column(1), (QStringList{"120", "7"}));
    QCOMPARE(f.Column(2), (QStringList{"345", "7"}));
    const QString stamp = FormatGridDateTime(QDateTime(QDate(2001, 2, 3), QTime(4, 5, 6)));
    QCOMPARE(f.Column(3), (QStringList{stamp, stamp}));
    QCOMPARE(stamp, QStringLiteral("2/3/01  4:05 AM"));
    QCOMPARE(f.Grid()->Row(), 1);
    QCOMPARE(f.dialog->StatusText(), QString());
}

void FormViewZipTest::emptyArchiveShowsOnlyTheCaptionRow() {
    Fixture f;
    LauncherRecorder launcher;
    MessageRecorder messages;
    f.Show(ZipBuilder());

    QCOMPARE(f.Grid()->RowCount(), 1);
    QCOMPARE(f.Grid()->FixedRows(), 0);
    QVERIFY(!f.Grid()->horizontalHeader()->isVisible());
    QVERIFY(!f.Grid()->isRowHidden(0));
    QCOMPARE(f.Grid()->Cells(0, 0), QStringLiteral("File Name"));

    // Without a fixed caption row the captions are an ordinary row: clicking does nothing.
    const QPoint caption = f.Grid()->visualItemRect(f.Grid()->item(0, 1)).center();
    QTest::mouseClick(f.Grid()->viewport(), Qt::RightButton, {}, caption);
    QTest::mouseClick(f.Grid()->viewport(), Qt::LeftButton, {}, caption);
    f.Grid()->SortByColumn(0, TSortDirection::Descending);
    QCOMPARE(f.dialog->StatusText(), QString());
    QCOMPARE(f.Grid()->Cells(1, 0), QStringLiteral("Compr Size"));

    // The selected row is the caption row: "File Name" is looked for and not found.
    QCOMPARE(f.Grid()->Row(), 0);
    f.dialog->BitBtnViewFile()->click();
    QVERIFY(launcher.viewedFiles.isEmpty());
    QCOMPARE(messages.Count(), 0);
    QVERIFY(QDir(f.TmpDir()).isEmpty());
}

void FormViewZipTest::singleEntryIsNeverSorted() {
    Fixture f;
    ZipBuilder zip;
    zip.Add(Listed("only.txt", 3, 3));
    f.Show(zip);
    QCOMPARE(f.Grid()->FixedRows(), 1);
    f.ClickCaption(0, Qt::RightButton);
    f.ClickCaption(2);
    QCOMPARE(f.dialog->StatusText(), QString());
    QCOMPARE(f.Column(0), QStringList{"only.txt"});
}

void FormViewZipTest::rightClickSortsDescendingAndReports() {
    Fixture f;
    f.Show(SizesArchive());
    f.ClickCaption(2, Qt::RightButton);
    QCOMPARE(f.dialog->StatusText(), QStringLiteral("Sorting By Uncmpr Size, Numeric, Descending"));
    QCOMPARE(f.Column(0).first(), QStringLiteral("e.pas"));
    // Numbers, not texts: "200" sorts above "5" and "10".
    QCOMPARE(f.Column(2), (QStringList{"200", "10", "10", "5", "5"}));

    // The same caption again with the left button: ascending, no toggling.
    f.ClickCaption(2);
    QCOMPARE(f.dialog->StatusText(), QStringLiteral("Sorting By Uncmpr Size, Numeric, Ascending"));
    f.ClickCaption(2);
    QCOMPARE(f.dialog->StatusText(), QStringLiteral("Sorting By Uncmpr Size, Numeric, Ascending"));
    QCOMPARE(f.Column(2), (QStringList{"5", "5", "10", "10", "200"}));

    f.ClickCaption(3, Qt::RightButton);
    QCOMPARE(f.dialog->StatusText(), QStringLiteral("Sorting By Date/Time, Datetime, Descending"));
    f.ClickCaption(0);
    QCOMPARE(f.dialog->StatusText(), QStringLiteral("Sorting By File Name, Alpha, Ascending"));
}

void FormViewZipTest::equalCellsKeepTheirPreviousOrderBothWays() {
    Fixture f;
    f.Show(SizesArchive());
    f.ClickCaption(2);
    QCOMPARE(f.Column(0), (QStringList{"b.pas", "d.pas", "a.pas", "c.pas", "e.pas"}));
    f.ClickCaption(2, Qt::RightButton);
    QCOMPARE(f.Column(0), (QStringList{"e.pas", "a.pas", "c.pas", "b.pas", "d.pas"}));

    // "Previous order" is the order on screen, not the archive's: reverse the names first.
    f.ClickCaption(0, Qt::RightButton);
    QCOMPARE(f.Column(0), (QStringList{"e.pas", "d.pas", "c.pas", "b.pas", "a.pas"}));
    f.ClickCaption(2);
    QCOMPARE(f.Column(0), (QStringList{"d.pas", "b.pas", "c.pas", "a.pas", "e.pas"}));
    f.ClickCaption(0, Qt::RightButton);
    f.ClickCaption(2, Qt::RightButton);
    QCOMPARE(f.Column(0), (QStringList{"e.pas", "c.pas", "a.pas", "d.pas", "b.pas"}));
}

void FormViewZipTest::dateColumnSortsByTimeNotText() {
    Fixture f;
    ZipBuilder zip;
    zip.Add(Listed("new.txt", 1, 1, DosTime(2003, 1, 2, 8, 0)))
        .Add(Listed("old.txt", 1, 1, DosTime(1998, 11, 30, 23, 58)))
        .Add(Listed("noon.txt", 1, 1, DosTime(2003, 1, 2, 12, 30)))
        .Add(Listed("morning.txt", 1, 1, DosTime(2003, 1, 2, 9, 15)));
    f.Show(zip);
    f.ClickCaption(3);
    QCOMPARE(f.dialog->StatusText(), QStringLiteral("Sorting By Date/Time, Datetime, Ascending"));
    QCOMPARE(f.Column(0), (QStringList{"old.txt", "new.txt", "morning.txt", "noon.txt"}));
    f.ClickCaption(3, Qt::RightButton);
    QCOMPARE(f.Column(0), (QStringList{"noon.txt", "morning.txt", "new.txt", "old.txt"}));
}

void FormViewZipTest::namesSortByAsciiUpperCaseOrdinal() {
    Fixture f;
    ZipBuilder zip;
    // After ASCII upper-casing "a" (0x41) sorts before "_" (0x5F), while case-sensitively
    // it would come after; "B.txt" and "b.TXT" become equal and keep their order.
    zip.Add(Listed("_tools.txt", 1, 1)).Add(Listed("b.TXT", 1, 1)).Add(Listed("a.txt", 1, 1))
        .Add(Listed("B.txt", 1, 1)).Add(Listed("Z.txt", 1, 1));
    f.Show(zip);
    f.ClickCaption(0);
    QCOMPARE(f.Column(0), (QStringList{"a.txt", "b.TXT", "B.txt", "Z.txt", "_tools.txt"}));
    f.ClickCaption(0, Qt::RightButton);
    QCOMPARE(f.Column(0), (QStringList{"_tools.txt", "Z.txt", "b.TXT", "B.txt", "a.txt"}));

    // Only "a".."z" change case, and the order is that of the characters' codes.
    TSortOptions options;
    const QStringList cells{QStringLiteral("\u00e9"), QStringLiteral("\u00c9"), QStringLiteral("z"),
                            QStringLiteral("\U0001F600"), QStringLiteral("\uFF21")};
    const std::vector<int> order = SortedOrder(cells, options);
    QCOMPARE(order, (std::vector<int>{2, 1, 0, 4, 3}));
    QCOMPARE(AsciiUpperCase(QStringLiteral("ab\u00e9\u0131z")), QStringLiteral("AB\u00e9\u0131Z"));
}

void FormViewZipTest::selectionFollowsItsRow() {
    Fixture f;
    f.Show(SizesArchive());
    f.SelectEntry(QStringLiteral("c.pas"));
    f.ClickCaption(2, Qt::RightButton);
    QCOMPARE(f.Grid()->Cells(0, f.Grid()->Row()), QStringLiteral("c.pas"));
    QCOMPARE(f.Grid()->Row(), 3);
    QCOMPARE(f.Grid()->Col(), 2);
    QCOMPARE(f.Grid()->selectionModel()->selectedRows().size(), 1);
}

void FormViewZipTest::onlyAPlainClickOnACaptionSorts() {
    Fixture f;
    f.Show(SizesArchive());
    const QStringList archiveOrder = f.Column(0);

    f.ClickCaption(0, Qt::RightButton, Qt::ShiftModifier);
    f.ClickCaption(0, Qt::RightButton, Qt::ControlModifier);
    f.ClickCaption(0, Qt::RightButton, Qt::AltModifier);
    QCOMPARE(f.Column(0), archiveOrder);

    // Releasing after dragging a column border resizes; it does not sort.
    const QHeaderView* header = f.Grid()->horizontalHeader();
    const QPoint border(header->sectionViewportPosition(0) + header->sectionSize(0), header->height() / 2);
    QTest::mousePress(f.Captions(), Qt::LeftButton, {}, border);
    QTest::mouseMove(f.Captions(), border + QPoint(25, 0));
    QTest::mouseRelease(f.Captions(), Qt::LeftButton, {}, border + QPoint(25, 0));
    QCOMPARE(f.Column(0), archiveOrder);
    QCOMPARE(f.dialog->StatusText(), QString());

    // The middle button sorts ascending; double-clicking an entry opens nothing.
    f.ClickCaption(2, Qt::MiddleButton);
    QCOMPARE(f.dialog->StatusText(), QStringLiteral("Sorting By Uncmpr Size, Numeric, Ascending"));
    QVERIFY(f.Grid()->hasFocus());
    LauncherRecorder launcher;
    const QPoint entry = f.Grid()->visualItemRect(f.Grid()->item(2, 0)).center();
    QTest::mouseDClick(f.Grid()->viewport(), Qt::LeftButton, {}, entry);
    QTest::mouseRelease(f.Grid()->viewport(), Qt::LeftButton, {}, entry);
    QVERIFY(launcher.viewedFiles.isEmpty());

    // With click sorting off the captions are inert.
    f.Grid()->ClickSorting = false;
    f.ClickCaption(0, Qt::RightButton);
    QCOMPARE(f.dialog->StatusText(), QStringLiteral("Sorting By Uncmpr Size, Numeric, Ascending"));
}

void FormViewZipTest::styleDetection() {
    QCOMPARE(DetectSortStyle({"10", "2.5", "-3", "1E3"}), TSortStyle::Numeric);
    // An empty cell or a word makes the column alphabetic; "nan" and "inf" are words.
    QCOMPARE(DetectSortStyle({"10", ""}), TSortStyle::Alpha);
    QCOMPARE(DetectSortStyle({"10", "ten"}), TSortStyle::Alpha);
    QCOMPARE(DetectSortStyle({"nan", "inf"}), TSortStyle::Alpha);

    const QString early = FormatGridDateTime(QDateTime(QDate(1999, 12, 31), QTime(23, 0)));
    const QString late = FormatGridDateTime(QDateTime(QDate(2000, 1, 1), QTime(1, 0)));
    QCOMPARE(DetectSortStyle({late, early}), TSortStyle::DateTime);
    QVERIFY(*GridTextToDateTime(early) < *GridTextToDateTime(late));
    // Two-digit years lie in 1980..2079; four-digit ones are taken as written.
    QVERIFY(*GridTextToDateTime("12/31/99") < *GridTextToDateTime("1/1/00"));
    QVERIFY(*GridTextToDateTime("1/1/79") > *GridTextToDateTime("1/1/80"));
    QVERIFY(*GridTextToDateTime("1/1/1979") < *GridTextToDateTime("1/1/80"));
    TSortOptions byDate;
    byDate.SortStyle = TSortStyle::DateTime;
    QCOMPARE(SortedOrder({"1/1/1979", "1/1/01", "6/1/1990"}, byDate), (std::vector<int>{0, 2, 1}));
    // A date alone is a date-time too; a time alone is only a time.
    const QString day = QLocale().toString(QDate(2001, 2, 3), QLocale::ShortFormat);
    QCOMPARE(DetectSortStyle({day, late}), TSortStyle::DateTime);
    const QString nine = QLocale().toString(QTime(9, 0), QLocale::ShortFormat);
    const QString ten = QLocale().toString(QTime(22, 0), QLocale::ShortFormat);
    QCOMPARE(DetectSortStyle({ten, nine}), TSortStyle::Time);
    TSortOptions byTime;
    byTime.SortStyle = TSortStyle::Time;
    QCOMPARE(SortedOrder({ten, nine}, byTime), (std::vector<int>{1, 0}));
    QCOMPARE(DetectSortStyle({nine, "later"}), TSortStyle::Alpha);

    // A cell that does not convert counts as equal to every other cell, which no
    // consistent order allows; the sort must still hand back every row exactly once.
    TSortOptions numeric;
    numeric.SortStyle = TSortStyle::Numeric;
    numeric.SortDirection = TSortDirection::Descending;
    std::vector<int> order = SortedOrder({"3", "x", "1", "", "2", "y", "0"}, numeric);
    std::sort(order.begin(), order.end());
    QCOMPARE(order, (std::vector<int>{0, 1, 2, 3, 4, 5, 6}));
}

void FormViewZipTest::dateTimeTextReadsBackInEveryLocale() {
    const QList<QLocale> locales{QLocale::c(), QLocale(QLocale::English, QLocale::UnitedStates),
                                 QLocale(QLocale::German, QLocale::Germany), QLocale(QLocale::French, QLocale::France),
                                 QLocale(QLocale::Japanese, QLocale::Japan), QLocale(QLocale::English, QLocale::UnitedKingdom)};
    const QLocale saved;
    for (const QLocale& locale : locales) {
        QLocale::setDefault(locale);
        // Across a century, so that a two-digit year would give the wrong order.
        const QStringList cells{FormatGridDateTime(QDateTime(QDate(2000, 1, 1), QTime(1, 0))),
                                FormatGridDateTime(QDateTime(QDate(1999, 12, 31), QTime(23, 0))),
                                FormatGridDateTime(QDateTime(QDate(2000, 1, 1), QTime(0, 30)))};
        QVERIFY2(DetectSortStyle(cells) == TSortStyle::DateTime, qPrintable(locale.name() + u' ' + cells.join(u'|')));
        TSortOptions options;
        options.SortStyle = TSortStyle::DateTime;
        QCOMPARE(SortedOrder(cells, options), (std::vector<int>{1, 2, 0}));
    }
    QLocale::setDefault(saved);
}

void FormViewZipTest::memberInASubFolderIsViewedWithItsPath() {
    Fixture f;
    LauncherRecorder launcher;
    MessageRecorder messages;
    ZipBuilder zip;
    zip.Add("readme.txt", "top").Add("docs/readme.txt", "inside docs").Add("bin/pkg.bpl", QByteArray("\0\1\2", 3));
    f.Show(zip);

    f.SelectEntry(QStringLiteral("docs\\readme.txt"));
    f.dialog->BitBtnViewFile()->click();
    QCOMPARE(launcher.viewedFiles, QStringList{f.TmpDir() + QStringLiteral("docs/readme.txt")});
    QFile extracted(launcher.viewedFiles.first());
    QVERIFY(extracted.open(QIODevice::ReadOnly));
    QCOMPARE(extracted.readAll(), QByteArray("inside docs"));
    extracted.close();

    // Any member is handed over, text or not; viewing again overwrites the copy.
    f.SelectEntry(QStringLiteral("bin\\pkg.bpl"));
    f.dialog->BitBtnViewFile()->click();
    f.dialog->BitBtnViewFile()->click();
    QCOMPARE(launcher.viewedFiles.size(), 3);
    QCOMPARE(launcher.viewedFiles.last(), f.TmpDir() + QStringLiteral("bin/pkg.bpl"));
    QCOMPARE(messages.Count(), 0);
    QVERIFY(f.dialog->isVisible());
}

void FormViewZipTest::missingArchiveIsReportedAndCloses() {
    LauncherRecorder launcher;
    QTemporaryDir dir;
    const QString missing = dir.filePath(QStringLiteral("gone.zip"));
    {
        MessageRecorder messages;
        ShowArchiveContents(nullptr, missing, dir.path() + u'/');
        QCOMPARE(messages.Count(), 1);
        QCOMPARE(messages.Last().kind, MessageKind::PlainNotice);
        QCOMPARE(messages.Last().text, QStringLiteral("Error - file not found: ") + missing);
    }
    {
        // A record without a file name leaves the folder alone, which is no archive.
        MessageRecorder messages;
        Fixture f;
        f.ShowPath(dir.path() + u'/');
        QCOMPARE(messages.Last().text, QStringLiteral("Error - file not found: ") + dir.path() + u'/');
        QCOMPARE(f.Grid()->RowCount(), 1);
        QCOMPARE(f.Grid()->FixedRows(), 0);
        QVERIFY(f.dialog->isVisible());
        QCoreApplication::processEvents();
        QVERIFY(!f.dialog->isVisible());
    }
    QVERIFY(launcher.viewedFiles.isEmpty());
}

void FormViewZipTest::helpAndCloseButtons() {
    Fixture f;
    LauncherRecorder launcher;
    f.Show(SizesArchive());
    QCOMPARE(f.Grid()->toolTip(), QStringLiteral("Click on a caption to set sort order"));
    QCOMPARE(f.dialog->BitBtnViewFile()->text(), QStringLiteral("&View selected file"));
    f.dialog->BitBtnHelp()->click();
    QCOMPARE(launcher.helpTopics, QList<int>{410});
    f.dialog->BitBtnClose()->click();
    QVERIFY(!f.dialog->isVisible());
}

void FormViewZipTest::sizesBeyondFourGigabytesShowAndSort() {
    Fixture f;
    ZipBuilder zip;
    // Sizes a zip64 directory claims; the last two differ in their lowest bit only, which
    // a floating-point comparison cannot see.
    const QList<quint64> sizes{5'000'000'000ULL, 10, 0xFFFFFFFFULL + 1, 18446744073709551615ULL,
                               18446744073709551614ULL};
    for (int i = 0; i < sizes.size(); ++i) {
        ZipMember member(QByteArray("big") + char('a' + i), QByteArray(3, 'x'));
        member.zip64 = true;
        member.claimedSize64 = sizes[i];
        member.claimedComprSize64 = sizes[i] / 2;
        zip.Add(member);
    }
    zip.Zip64End();
    f.Show(zip);
    QCOMPARE(f.Column(2), (QStringList{"5000000000", "10", "4294967296", "18446744073709551615",
                                       "18446744073709551614"}));
    QCOMPARE(f.Column(1).first(), QStringLiteral("2500000000"));

    f.ClickCaption(2, Qt::RightButton);
    QCOMPARE(f.dialog->StatusText(), QStringLiteral("Sorting By Uncmpr Size, Numeric, Descending"));
    QCOMPARE(f.Column(0), (QStringList{"bigd", "bige", "biga", "bigc", "bigb"}));
    // Halved, the two largest are equal and keep their order.
    f.ClickCaption(1);
    QCOMPARE(f.Column(0), (QStringList{"bigb", "bigc", "biga", "bigd", "bige"}));
}

void FormViewZipTest::encryptedMembersAreMarkedAndNotViewed() {
    Fixture f;
    LauncherRecorder launcher;
    MessageRecorder messages;
    ZipMember secret("b_secret.inf", QByteArray(30, '\x5A'));
    secret.flags = 0x0001;
    ZipBuilder zip;
    zip.Add("c_plain.txt", "plain").Add(secret).Add("a_plain.txt", "plain");
    f.Show(zip);
    // The name stays the member's name; the padlock and its hint mark it.
    const auto marked = [&f] {
        QStringList names;
        for (int row = 1; row < f.Grid()->RowCount(); ++row) {
            const QTableWidgetItem* cell = f.Grid()->item(row, 0);
            if (!cell->icon().isNull())
                names << cell->text() + QStringLiteral(": ") + cell->toolTip();
        }
        return names;
    };
    QCOMPARE(f.Column(0), (QStringList{"c_plain.txt", "b_secret.inf", "a_plain.txt"}));
    QCOMPARE(marked(), QStringList{"b_secret.inf: Encrypted: cannot be read"});
    f.ClickCaption(0);
    QCOMPARE(f.Column(0), (QStringList{"a_plain.txt", "b_secret.inf", "c_plain.txt"}));
    QCOMPARE(marked(), QStringList{"b_secret.inf: Encrypted: cannot be read"});

    QTest::mouseClick(f.Grid()->viewport(), Qt::LeftButton, {}, f.Grid()->visualItemRect(f.Grid()->item(2, 3)).center());
    QCOMPARE(f.Grid()->Cells(0, f.Grid()->Row()), QStringLiteral("b_secret.inf"));
    QTest::mouseClick(f.dialog->BitBtnViewFile(), Qt::LeftButton);
    QVERIFY(launcher.viewedFiles.isEmpty());
    QCOMPARE(messages.Count(), 1);
    QVERIFY(messages.Last().text.endsWith(QStringLiteral("\rb_secret.inf: encrypted: cannot be read")));
}

QTEST_MAIN(FormViewZipTest)
#include "test_form_view_zip.moc"
