// File > Print through the main window: the category, a component's record and the
// whole catalogue printed to PDF and read back with pdftotext; the preview dialog; and
// Cancel and close in the middle of a long print.
#include "report_fixture.h"
#include "support/message_recorder.h"
#include "support/modal_dialog.h"

#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QPrintDialog>
#include <QPrintPreviewWidget>
#include <QRegularExpression>
#include <QToolButton>

using namespace velm;
using velm::test::MessageRecorder;
using velm::test::PackageValues;
using velm::test::PrintToPdf;
using velm::test::ReportFixture;
using velm::test::PdfPages;
using velm::test::PdfText;

namespace {

struct Fixture : ReportFixture {
    QTemporaryDir out;
    qint64 tools = cat.AddCategory(QStringLiteral("Tools"));
    qint64 grids = cat.AddCategory(QStringLiteral("Grids"));
    qint64 empty = cat.AddCategory(QStringLiteral("Empty Drawer"));

    Fixture() {
        PackageValues hammer;
        hammer.name = QStringLiteral("Hammer");
        hammer.description = QStringLiteral("Drives nails.\rWorks on wood\r\rand on <b>walls</b>.");
        hammer.comments = QStringLiteral("Keep it dry");
        hammer.author = QStringLiteral("Ann Smith");
        hammer.licence = 1;
        hammer.beta = true;
        hammer.compatibility = 37;
        hammer.rating = 7;
        hammer.status = 1;
        hammer.archive = QStringLiteral("hammer10.zip");
        AddPackage(tools, hammer);
        PackageValues saw;
        saw.name = QStringLiteral("Saw");
        saw.author = QStringLiteral("Bob Jones");
        saw.licence = 2;
        saw.archive = QStringLiteral("saw.zip");
        AddPackage(tools, saw);
        PackageValues grid;
        grid.name = QStringLiteral("RichGrid");
        grid.description = velm::test::RichDescription();
        grid.author = QStringLiteral("Carol");
        AddPackage(grids, grid);
    }

    // Prints through the menu; the print dialog prints the chosen report to a file.
    QString Print(const QString& name, int choice, QStringList* choices = nullptr) {
        const QString file = out.filePath(name);
        PrintToPdf printer(file, choice);
        ChooseFromMenu("MenuFile", "FilePrint");
        if (choices)
            *choices = printer.choices;
        return file;
    }
};

// The words of the text in their order, whatever the layout put between them.
QString Words(const QString& text) { return text.simplified(); }

}  // namespace

class ReportPrintTest : public QObject {
    Q_OBJECT
private slots:
    void categoryPrintsItsComponentsTable();
    void componentPrintsItsWholeRecord();
    void wholeCatalogueOneCategoryAfterAnother();
    void longTablesRunOverNumberedPages();
    void previewDialogShowsTheChosenReport();
    void previewPrintsThroughTheSystemPrintDialog();
    void cancelInTheMiddleLeavesNoFile();
    void closeDuringAPrintWaitsForIt();
};

void ReportPrintTest::categoryPrintsItsComponentsTable() {
    MessageRecorder messages;
    Fixture f;
    f.Show();
    f.ClickNode(f.CategoryNode(QStringLiteral("Tools")));
    QStringList choices;
    const QString pdf = f.Print(QStringLiteral("tools.pdf"), 0, &choices);
    QCOMPARE(choices, (QStringList{"Category Tools", "Whole catalogue"}));
    QCOMPARE(messages.Count(), 0);
    const QString text = PdfText(pdf);
    QVERIFY2(text.contains(QStringLiteral("Velmora catalogue: Category Tools")), qPrintable(text));
    QVERIFY(text.contains(QStringLiteral("Page 1")));
    QVERIFY(text.contains(QStringLiteral("Tools (2)")));
    const QString words = Words(text);
    for (const char* column : {"Product", "Version", "Author", "Licence", "Compat.", "Works with", "Status", "Rating",
                               "Archive file"})
        QVERIFY2(words.contains(QString::fromLatin1(column)), column);
    QVERIFY(words.contains(QStringLiteral("Hammer 1.2.3.4 beta Ann Smith Shareware D1 D3 CB3")));
    QVERIFY(words.contains(QStringLiteral("7 hammer10.zip")));
    QVERIFY2(words.contains(QStringLiteral("Saw 1.2.3.4 Bob Jones Commercial")), qPrintable(text));
    QVERIFY(!text.contains(QStringLiteral("RichGrid")));
    QVERIFY(!text.contains(QStringLiteral("Drives nails")));  // no descriptions in a table
    QCOMPARE(PdfPages(pdf), 1);
    // The print leaves the selection and the tables as they were.
    QCOMPARE(f.Tree()->currentItem()->text(0), QStringLiteral("Tools"));
    QVERIFY(!f.Packages().Filtered());
}

void ReportPrintTest::componentPrintsItsWholeRecord() {
    Fixture f;
    f.Show();
    f.ClickNode(f.CategoryNode(QStringLiteral("Tools"))->child(0));
    QStringList choices;
    QString text = PdfText(f.Print(QStringLiteral("hammer.pdf"), 0, &choices));
    QCOMPARE(choices, (QStringList{"Component Hammer", "Whole catalogue"}));
    QString words = Words(text);
    for (const char* line : {"Category Tools", "Version 1.2.3.4 beta", "Date 2001-02-03", "With source Yes",
                             "Author Ann Smith", "Email ann@example.org", "Archive filename hammer10.zip",
                             "Download date 2002-03-04", "Compatibility Delphi 1, Delphi 3, C++ Builder 3",
                             "Availability Shareware", "Install status", "Rating 7"})
        QVERIFY2(words.contains(QString::fromLatin1(line)), line);
    // The plain description keeps its lines, markup in it printed as text.
    QVERIFY(text.contains(QStringLiteral("Drives nails.")));
    QVERIFY(text.contains(QStringLiteral("and on <b>walls</b>.")));
    QVERIFY(words.contains(QStringLiteral("Comments Keep it dry")));
    // The shown component is still the one shown, in the detail panel too.
    QCOMPARE(f.Packages().FieldByName(QStringLiteral("ProductName"))->AsString(), QStringLiteral("Hammer"));

    // A rich description prints its text with its formatting.
    f.ClickNode(f.CategoryNode(QStringLiteral("Grids"))->child(0));
    const QString pdf = f.Print(QStringLiteral("grid.pdf"), 0);
    words = Words(PdfText(pdf));
    QVERIFY(words.contains(QStringLiteral("Description Grid with bold and slanted words Second paragraph")));
    const QString fonts = velm::test::RunTool(QStringLiteral("pdffonts"), {pdf});
    QVERIFY2(fonts.contains(QStringLiteral("Bold")) && fonts.contains(QStringLiteral("Italic")), qPrintable(fonts));
}

void ReportPrintTest::wholeCatalogueOneCategoryAfterAnother() {
    Fixture f;
    f.Show();
    f.ClickNode(f.CategoryNode(QStringLiteral("Grids")));
    const QString text = PdfText(f.Print(QStringLiteral("all.pdf"), 1));
    QVERIFY(text.contains(QStringLiteral("Velmora catalogue: Whole catalogue")));
    const QString words = Words(text);
    const QStringList order{"Empty Drawer (0)", "No components.", "Grids (1)", "RichGrid", "Tools (2)", "Hammer",
                            "Saw"};
    qsizetype at = 0;
    for (const QString& part : order) {
        const qsizetype found = words.indexOf(part, at);
        QVERIFY2(found >= 0, qPrintable(part));
        at = found + part.size();
    }
    QVERIFY(words.contains(QStringLiteral("Compatibility: D1 Delphi 1, D2 Delphi 2")));

    // With nothing selected only the whole catalogue is offered.
    f.Tree()->setCurrentItem(nullptr);
    QStringList choices;
    f.Print(QStringLiteral("none.pdf"), 0, &choices);
    QCOMPARE(choices, QStringList{"Whole catalogue"});
}

void ReportPrintTest::longTablesRunOverNumberedPages() {
    Fixture f;
    f.AddMany(f.grids, 150, QStringLiteral("Cell"));
    f.Show();
    f.ClickNode(f.CategoryNode(QStringLiteral("Grids")));
    const QString pdf = f.Print(QStringLiteral("grids.pdf"), 0);
    const int pages = PdfPages(pdf);
    QVERIFY2(pages >= 3, qPrintable(QString::number(pages)));
    const QString text = PdfText(pdf);
    QVERIFY(text.contains(QStringLiteral("Page %1").arg(pages)));
    // Every page after the first repeats the table's heading.
    QCOMPARE(text.count(QStringLiteral("Grids (continued)")), pages - 1);
    QCOMPARE(text.count(QStringLiteral("Archive file")), pages);
    for (int i = 0; i < 150; ++i)
        QVERIFY(text.contains(QStringLiteral("Cell %1").arg(i, 5, 10, QLatin1Char('0'))));
}

void ReportPrintTest::previewDialogShowsTheChosenReport() {
    Fixture f;
    f.AddMany(f.grids, 2000, QStringLiteral("Cell"));
    f.Show();
    f.ClickNode(f.CategoryNode(QStringLiteral("Tools")));
    int toolsPages = 0, allPages = 0;
    QString note;
    bool noteShown = false;
    QStringList items, pageLabels;
    velm::test::AnswerNextModal<TPrintPreviewDialog>([&](TPrintPreviewDialog* dialog) {
        for (int i = 0; i < dialog->ComboBoxPrintWhat()->count(); ++i)
            items << dialog->ComboBoxPrintWhat()->itemText(i);
        toolsPages = dialog->Preview()->pageCount();
        // The whole catalogue: the preview stops after its first pages.
        QComboBox* combo = dialog->ComboBoxPrintWhat();
        combo->setFocus();
        QTest::keyClick(combo, Qt::Key_Down);
        allPages = dialog->Preview()->pageCount();
        noteShown = dialog->LabelPreviewNote()->isVisible();
        note = dialog->LabelPreviewNote()->text();
        // The arrows move through the pages, and the label follows them.
        const auto* page = dialog->findChild<QLabel*>(QStringLiteral("LabelPage"));
        pageLabels << page->text();
        for (const char* arrow : {"ButtonNextPage", "ButtonNextPage", "ButtonPreviousPage"}) {
            QTest::mouseClick(dialog->findChild<QToolButton*>(QString::fromLatin1(arrow)), Qt::LeftButton);
            pageLabels << QStringLiteral("%1 %2").arg(dialog->Preview()->currentPage()).arg(page->text());
        }
        QTest::mouseClick(dialog->ButtonClose(), Qt::LeftButton);
    });
    f.ChooseFromMenu("MenuFile", "FilePrint");
    QCOMPARE(items, (QStringList{"Category Tools", "Whole catalogue"}));
    QCOMPARE(toolsPages, 1);
    QCOMPARE(allPages, kPreviewPages);
    QVERIFY(noteShown);
    QCOMPARE(note, QStringLiteral("The preview shows the first 30 pages; all pages are printed."));
    QCOMPARE(pageLabels, (QStringList{"Page 1 of 30", "2 Page 2 of 30", "3 Page 3 of 30", "2 Page 2 of 30"}));
    QVERIFY(!f.Packages().Filtered());
}

void ReportPrintTest::previewPrintsThroughTheSystemPrintDialog() {
    Fixture f;
    f.Show();
    f.ClickNode(f.CategoryNode(QStringLiteral("Tools")));
    const QString pdf = f.out.filePath(QStringLiteral("dialog.pdf"));
    bool printDialogShown = false;
    velm::test::AnswerNextModal<TPrintPreviewDialog>([&](TPrintPreviewDialog* dialog) {
        dialog->Printer().setOutputFormat(QPrinter::PdfFormat);
        dialog->Printer().setOutputFileName(pdf);
        velm::test::AnswerNextModal<QPrintDialog>([&](QPrintDialog* print) {
            printDialogShown = true;
            print->accept();
        });
        QTest::mouseClick(dialog->ButtonPrint(), Qt::LeftButton);
    });
    f.ChooseFromMenu("MenuFile", "FilePrint");
    QVERIFY(printDialogShown);
    QVERIFY(Words(PdfText(pdf)).contains(QStringLiteral("Hammer 1.2.3.4 beta Ann Smith")));
}

void ReportPrintTest::cancelInTheMiddleLeavesNoFile() {
    MessageRecorder messages;
    Fixture f;
    f.AddMany(f.grids, 1500, QStringLiteral("Cell"));
    f.Show();
    f.ClickNode(f.CategoryNode(QStringLiteral("Grids")));
    int cancelledAt = 0;
    velm::test::WhenProgressPasses(300, [&cancelledAt](QProgressDialog* progress) {
        cancelledAt = progress->value();
        QTest::mouseClick(progress->findChild<QPushButton*>(), Qt::LeftButton);
    });
    const QString pdf = f.Print(QStringLiteral("cancelled.pdf"), 0);
    QVERIFY(cancelledAt >= 300 && cancelledAt < 1501);
    QVERIFY(!QFile::exists(pdf));
    QCOMPARE(messages.Count(), 0);
    QCOMPARE(f.Tree()->currentItem()->text(0), QStringLiteral("Grids"));
}

void ReportPrintTest::closeDuringAPrintWaitsForIt() {
    Fixture f;
    f.AddMany(f.grids, 1500, QStringLiteral("Cell"));
    f.Show();
    f.ClickNode(f.CategoryNode(QStringLiteral("Grids")));
    bool stillOpen = false;
    velm::test::WhenProgressPasses(300, [&](QProgressDialog*) {
        // The window system's close, as the title bar's close box sends it.
        f.window->windowHandle()->close();
        stillOpen = f.window->isVisible();
    });
    const QString pdf = f.Print(QStringLiteral("whole.pdf"), 0);
    QVERIFY(stillOpen);
    QVERIFY(PdfText(pdf).contains(QStringLiteral("Cell 01499")));
    QTRY_VERIFY(!f.window->isVisible());
}

QTEST_MAIN(ReportPrintTest)
#include "test_report_print.moc"
