// File > Export through the main window: CSV read back with Python's csv module, HTML
// parsed back with Python's html.parser, and the long run's Cancel, close and input.
#include "catalogue/archive_index.h"
#include "catalogue/works_with.h"
#include "catalogue/memo_markup.h"
#include "report/memo_text.h"
#include "report_fixture.h"
#include "support/file_dialog_recorder.h"
#include "support/file_size_limit.h"
#include "support/modal_dialog.h"
#include "support/message_recorder.h"

#include <QAbstractFileIconProvider>
#include <QFile>
#include <QFileInfo>
#include <QFileDialog>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStatusBar>

using namespace velm;
using velm::test::FileDialogRecorder;
using velm::test::MessageRecorder;
using velm::test::PackageValues;
using velm::test::PrintToPdf;
using velm::test::ReportFixture;

namespace {

// The save dialog's file types, as the export offers them with a category selected.
enum Filter { CategoryCsv = 0, CategoryHtml = 1, WholeCsv = 2, WholeHtml = 3 };

const char* const kReadCsv = R"(
import csv, json, sys
with open(sys.argv[1], newline='', encoding='utf-8') as f:
    print(json.dumps(list(csv.reader(f, strict=True))))
)";

// The page as a parser sees it: every tag with its attributes, the headings, each
// table row's cells as text, and the text inside spans with their style.
const char* const kReadHtml = R"(
import json, sys
from html.parser import HTMLParser
class Page(HTMLParser):
    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.tags = []; self.attrs = set(); self.h2 = []; self.rows = []; self.spans = []
        self.stack = []; self.cell = None; self.row = None; self.span = None
    def handle_starttag(self, tag, attrs):
        self.tags.append(tag); self.attrs.update(name for name, _ in attrs)
        if tag not in ('br', 'meta'): self.stack.append(tag)
        if tag == 'tr': self.row = []
        if tag in ('td', 'th'): self.cell = ''
        if tag == 'h2': self.h2.append('')
        if tag == 'span': self.span = [dict(attrs).get('style', ''), '']
    def handle_endtag(self, tag):
        if self.stack and self.stack[-1] == tag: self.stack.pop()
        if tag in ('td', 'th') and self.row is not None: self.row.append(self.cell); self.cell = None
        if tag == 'tr' and self.row is not None: self.rows.append(self.row); self.row = None
        if tag == 'span' and self.span: self.spans.append(self.span); self.span = None
    def handle_data(self, data):
        if self.cell is not None: self.cell += data
        if self.stack and self.stack[-1] == 'h2': self.h2[-1] += data
        if self.span: self.span[1] += data
page = Page()
page.feed(open(sys.argv[1], encoding='utf-8').read()); page.close()
print(json.dumps({'tags': sorted(set(page.tags)), 'attrs': sorted(page.attrs), 'h2': page.h2,
                  'rows': page.rows, 'spans': page.spans, 'open': page.stack}))
)";

QJsonDocument RunPython(const char* script, const QString& file) {
    return QJsonDocument::fromJson(
        velm::test::RunTool(QStringLiteral("python3"), {QStringLiteral("-c"), QString::fromLatin1(script), file})
            .toUtf8());
}

QStringList Strings(const QJsonArray& array) {
    QStringList list;
    for (const QJsonValue& value : array)
        list << value.toString();
    return list;
}

struct Fixture : ReportFixture {
    QTemporaryDir out;
    qint64 tools = cat.AddCategory(QStringLiteral("Tools"));
    qint64 grids = cat.AddCategory(QStringLiteral("Grids, \"Lists\""));
    qint64 empty = cat.AddCategory(QStringLiteral("Empty"));

    // Exports through the menu; the save dialog answers with the file and file type.
    void Export(const QString& file, int filter) {
        FileDialogRecorder dialogs;
        dialogs.SaveNext(file, filter);
        ChooseFromMenu("MenuFile", "FileExport");
        QCOMPARE(dialogs.saveRequests.size(), 1);
        lastRequest = dialogs.saveRequests.first();
    }
    // Every package row, in the order the export writes them (category names in
    // order, the table's order within), each field as the table gives it.
    QList<QStringList> TableRows(const QList<qint64>& categoryOrder) {
        QList<QStringList> rows;
        TTable& table = Packages();
        for (qint64 category : categoryOrder) {
            for (table.First(); !table.Eof(); table.Next()) {
                if (table.FieldByName(QStringLiteral("Category"))->AsInteger() != category)
                    continue;
                QStringList row;
                for (int i = 0; i < table.FieldCount(); ++i)
                    row << table.Field(i)->AsString();
                rows << (row << QString());  // the versions it works with: none stored
            }
        }
        return rows;
    }
    TSaveDialogRequest lastRequest;
};

void AddAwkwardPackages(Fixture& f, QVariant status) {
    PackageValues hammer;
    hammer.name = QStringLiteral("Hammer");
    hammer.description = QStringLiteral("First line, with a comma\r\"Quoted\" second line\r\rAfter an empty line");
    hammer.comments = QStringLiteral("Ünïcödé comments ✓");
    hammer.author = QStringLiteral("Ann \"The\" Smith, Jr.");
    hammer.licence = 1;
    hammer.beta = true;
    hammer.compatibility = 37;
    hammer.rating = 7;
    hammer.status = status;
    hammer.archive = QStringLiteral("hammer,1.zip");
    f.AddPackage(f.tools, hammer);

    PackageValues evil;
    evil.name = QStringLiteral("<b>Evil</b> & Co");
    evil.description = QStringLiteral("<script>alert('x')</script> & <img src=x onerror=alert(1)>");
    evil.comments = QStringLiteral("</td></tr></table><script>alert(2)</script>");
    evil.author = QStringLiteral("<i>Mallory</i>");
    evil.licence = 2;
    evil.archive = QStringLiteral("evil\".zip");
    f.AddPackage(f.tools, evil);

    PackageValues rich;
    rich.name = QStringLiteral("RichGrid");
    rich.description = velm::test::RichDescription();
    rich.author = QStringLiteral("Bob");
    rich.compatibility = 63;
    f.AddPackage(f.grids, rich);

    PackageValues bare;  // a new component: nothing but its name and category
    bare.name = QStringLiteral("Bare");
    f.AddPackage(f.grids, bare);
}

}  // namespace

class ReportExportTest : public QObject {
    Q_OBJECT
private slots:
    void csvHoldsEveryFieldOfEveryRow();
    void csvOfTheSelectedCategoryOnly();
    void csvCellsNeverRunAsFormulas();
    void htmlIsOnePageWithEscapedTextAndSafeRichText();
    void saveDialogOffersTypesAndScopes();
    void aFileThatCannotBeWrittenIsReported();
    void cancelInTheMiddleLeavesTheOldFile();
    void closeInputAndSecondCommandsWaitForTheExport();
};

void ReportExportTest::csvHoldsEveryFieldOfEveryRow() {
    MessageRecorder messages;
    Fixture f;
    AddAwkwardPackages(f, QVariant(1));
    // A package whose category row is gone (another tool changed the catalogue): the
    // start files it under "Unfiled" and says so.
    PackageValues stray;
    stray.name = QStringLiteral("Stray");
    f.AddPackage(999, stray);
    // Versions found, one of them removed by the user: the column lists the others in
    // release order.
    const qint64 rich = f.cat.Stored(QStringLiteral("SELECT ID FROM CPInfo WHERE ProductName = 'RichGrid'")).value(0).toLongLong();
    TWorksWith worksWith(*f.cat.Module().ArchiveIndex());
    const std::vector<TWorksWithRow> found{{"DXE2", "detected", "XE2\\Rich.dpk"}, {"D12", "detected", "Rich290.bpl"},
                                           {"D7", "info file", "Rich.inf"}};
    worksWith.ReplaceFound(rich, found, 1);
    worksWith.SetByUser(rich, QStringLiteral("D12"), false);
    f.Show();
    QTRY_COMPARE(messages.Count(), 1);
    QVERIFY(f.Categories().Locate(QStringLiteral("Name"), QStringLiteral("Unfiled"), false));
    const qint64 unfiled = f.Categories().FieldByName(QStringLiteral("ID"))->AsInteger();
    const QString file = f.out.filePath(QStringLiteral("all.csv"));
    f.Export(file, WholeCsv);
    QCOMPARE(messages.Count(), 1);

    const QJsonArray rows = RunPython(kReadCsv, file).array();
    QCOMPARE(rows.size(), 1 + 5);
    QCOMPARE(Strings(rows.at(0).toArray()), f.Packages().FieldNames() << QStringLiteral("WorksWith"));
    // Categories in name order (Empty, Grids, Tools, Unfiled).
    QList<QStringList> expected = f.TableRows({f.grids, f.tools, unfiled});
    QCOMPARE(expected.size(), 5);
    const int description = int(f.Packages().FieldNames().indexOf(QStringLiteral("ProductDescription")));
    // A rich description goes out as its text alone.
    QCOMPARE(expected[0][1], QStringLiteral("RichGrid"));
    expected[0][description] = QStringLiteral("Grid with bold and slanted words\nSecond paragraph");
    expected[0].last() = QStringLiteral("D7 DXE2");
    for (int i = 0; i < expected.size(); ++i)
        QCOMPARE(Strings(rows.at(i + 1).toArray()), expected[i]);
    // Line breaks stay inside their quoted field, rows end in CR LF.
    QFile raw(file);
    QVERIFY(raw.open(QIODevice::ReadOnly));
    const QByteArray bytes = raw.readAll();
    QVERIFY(bytes.contains("\"First line, with a comma\r\"\"Quoted\"\" second line\r\rAfter an empty line\""));
    QVERIFY(bytes.startsWith("ID,ProductName,ProductDescription,Category,"));
    QVERIFY(bytes.endsWith("\r\n"));
    QVERIFY(bytes.contains("Ünïcödé comments ✓"));
}

void ReportExportTest::csvOfTheSelectedCategoryOnly() {
    Fixture f;
    AddAwkwardPackages(f, QVariant());
    f.Show();
    // A component selected exports its category.
    f.ClickNode(f.CategoryNode(QStringLiteral("Tools"))->child(0));
    const QString file = f.out.filePath(QStringLiteral("tools.csv"));
    f.Export(file, CategoryCsv);
    const QJsonArray rows = RunPython(kReadCsv, file).array();
    QCOMPARE(rows.size(), 1 + 2);
    QCOMPARE(rows.at(1).toArray().at(1).toString(), QStringLiteral("Hammer"));
    QCOMPARE(rows.at(2).toArray().at(1).toString(), QStringLiteral("<b>Evil</b> & Co"));
    // The export leaves the shown component where it was.
    QCOMPARE(f.Tree()->currentItem()->text(0), QStringLiteral("Hammer"));
    QCOMPARE(f.Packages().FieldByName(QStringLiteral("ProductName"))->AsString(), QStringLiteral("Hammer"));
    QVERIFY(!f.Packages().Filtered());

    // An empty category gives the header row alone.
    f.ClickNode(f.CategoryNode(QStringLiteral("Empty")));
    const QString none = f.out.filePath(QStringLiteral("empty.csv"));
    f.Export(none, CategoryCsv);
    QCOMPARE(RunPython(kReadCsv, none).array().size(), 1);
}

void ReportExportTest::csvCellsNeverRunAsFormulas() {
    Fixture f;
    const qint64 formulae = f.cat.AddCategory(QStringLiteral("=Formulae"));
    PackageValues hostile;
    hostile.name = QStringLiteral("=HYPERLINK(\"http://x.example\")");
    hostile.author = QStringLiteral("@SUM(1+1)");
    hostile.description = QStringLiteral("-2+3+cmd|' /C calc'!A0");
    hostile.comments = QStringLiteral("\tTabbed");
    hostile.archive = QStringLiteral("+1.zip");
    hostile.version[0] = -2;
    f.AddPackage(formulae, hostile);
    PackageValues broken;
    broken.name = QStringLiteral("Broken");
    broken.description = QStringLiteral("\rafter a break");
    broken.comments = QStringLiteral("a = b - c");
    f.AddPackage(formulae, broken);
    f.Show();
    const QString file = f.out.filePath(QStringLiteral("formulae.csv"));
    f.Export(file, WholeCsv);

    const QJsonArray rows = RunPython(kReadCsv, file).array();
    QCOMPARE(rows.size(), 3);
    const QStringList names = Strings(rows.at(0).toArray());
    const auto cell = [&](int row, const char* field) {
        return rows.at(row).toArray().at(names.indexOf(QString::fromLatin1(field))).toString();
    };
    // Text that a spreadsheet would run reads as text there; numbers stay numbers.
    QCOMPARE(cell(1, "ProductName"), QStringLiteral("'") + hostile.name);
    QCOMPARE(cell(1, "Author"), QStringLiteral("'@SUM(1+1)"));
    QCOMPARE(cell(1, "ProductDescription"), QStringLiteral("'-2+3+cmd|' /C calc'!A0"));
    QCOMPARE(cell(1, "Comments"), QStringLiteral("'\tTabbed"));
    QCOMPARE(cell(1, "ArchiveFile"), QStringLiteral("'+1.zip"));
    QCOMPARE(cell(1, "CategoryName"), QStringLiteral("'=Formulae"));
    QCOMPARE(cell(1, "VersionMajor"), QStringLiteral("-2"));
    QCOMPARE(cell(2, "ProductDescription"), QStringLiteral("'\rafter a break"));
    QCOMPARE(cell(2, "Comments"), QStringLiteral("a = b - c"));
}

void ReportExportTest::htmlIsOnePageWithEscapedTextAndSafeRichText() {
    MessageRecorder messages;  // the start's notice about the stray row
    Fixture f;
    AddAwkwardPackages(f, QVariant(1));
    // A row whose category is gone: the start files it under "Unfiled".
    PackageValues stray;
    stray.name = QStringLiteral("Stray");
    f.AddPackage(999, stray);
    // A rich memo (written by another tool) carrying what a page must never run or load.
    PackageValues hostile;
    hostile.name = QStringLiteral("Hostile");
    hostile.description =
        QString(kMemoMarkupHead) +
        QStringLiteral("<script>alert(3)</script></head><body><p><a href=\"javascript:alert(4)\">link text</a> "
                       "<img src=\"http://example.org/track.png\"> <span style=\"font-family:'x&quot; "
                       "onmouseover=&quot;alert(5)'; color:#ff0000\">red</span></p>"
                       "<iframe src=\"http://example.org\"></iframe></body></html>");
    f.AddPackage(f.grids, hostile);
    f.Show();
    const QString file = f.out.filePath(QStringLiteral("all.html"));
    f.Export(file, WholeHtml);

    const QJsonObject page = RunPython(kReadHtml, file).object();
    const QStringList tags = Strings(page.value(QStringLiteral("tags")).toArray());
    for (const char* banned : {"script", "img", "a", "iframe", "link", "object", "embed", "form"})
        QVERIFY2(!tags.contains(QString::fromLatin1(banned)), banned);
    QCOMPARE(Strings(page.value(QStringLiteral("attrs")).toArray()),
             (QStringList{"charset", "class", "colspan", "content", "http-equiv", "lang", "style"}));
    QVERIFY(page.value(QStringLiteral("open")).toArray().isEmpty());  // every element closed
    QCOMPARE(Strings(page.value(QStringLiteral("h2")).toArray()),
             (QStringList{"Empty", "Grids, \"Lists\"", "Tools", "Unfiled"}));

    // Cells come back as the text they were: markup from the data stays text.
    QStringList cells;
    for (const QJsonValue& row : page.value(QStringLiteral("rows")).toArray())
        cells << Strings(row.toArray());
    QVERIFY(cells.contains(QStringLiteral("<b>Evil</b> & Co")));
    QVERIFY(cells.contains(QStringLiteral("<i>Mallory</i>")));
    QVERIFY(cells.contains(QStringLiteral("1.2.3.4 beta")));
    QVERIFY(cells.contains(QStringLiteral("Delphi 1, Delphi 3, C++ Builder 3")));
    QVERIFY(cells.contains(QStringLiteral("Shareware")));
    const auto memoCell = [&cells](const QString& part) {
        for (const QString& cell : cells)
            if (cell.contains(part))
                return cell;
        return QString();
    };
    QVERIFY(memoCell(QStringLiteral("<script>alert('x')</script> & <img src=x onerror=alert(1)>")).startsWith("Description"));
    QVERIFY(memoCell(QStringLiteral("</td></tr></table><script>alert(2)</script>")).contains(QStringLiteral("Comments")));
    QVERIFY(memoCell(QStringLiteral("First line, with a comma\n\"Quoted\" second line")).size() > 0);
    // The hostile memo keeps its text and its colour, nothing else.
    const QString hostileText = memoCell(QStringLiteral("link text"));
    QVERIFY(hostileText.contains(QStringLiteral("red")));
    QVERIFY(!hostileText.contains(QStringLiteral("alert")));

    // Rich text keeps its formatting.
    bool bold = false, italic = false, red = false;
    for (const QJsonValue& span : page.value(QStringLiteral("spans")).toArray()) {
        const QString style = span.toArray().at(0).toString();
        const QString text = span.toArray().at(1).toString();
        bold = bold || (text == QStringLiteral("bold") && style.contains(QStringLiteral("font-weight:bold")));
        italic = italic || (text == QStringLiteral("slanted") && style.contains(QStringLiteral("font-style:italic")));
        // The family's quotes could not end the value: what is left of them is inert text.
        if (text == QStringLiteral("red"))
            red = style == QStringLiteral("font-family:'x onmouseoveralert5';color:#ff0000");
    }
    QVERIFY(bold && italic && red);
}

void ReportExportTest::saveDialogOffersTypesAndScopes() {
    Fixture f;
    f.Show();
    // With a category selected: that category or the whole catalogue, as CSV or HTML.
    f.ClickNode(f.CategoryNode(QStringLiteral("Grids, \"Lists\"")));
    f.Export(QString(), 0);  // cancelled
    QCOMPARE(f.lastRequest.Title, QStringLiteral("Export Catalogue"));
    QCOMPARE(f.lastRequest.Filters.size(), 4);
    QCOMPARE(f.lastRequest.Filters.at(CategoryCsv), QStringLiteral("CSV file, category Grids, _Lists_ (*.csv)"));
    QCOMPARE(f.lastRequest.Filters.at(WholeHtml), QStringLiteral("HTML page, whole catalogue (*.html *.htm)"));
    QCOMPARE(FilterSuffix(f.lastRequest.Filters.at(CategoryHtml)), QStringLiteral("html"));
    QCOMPARE(f.lastRequest.FileName, QStringLiteral("Grids, _Lists_.csv"));

    // A name typed without a suffix takes the chosen type's.
    const QString bare = f.out.filePath(QStringLiteral("whole"));
    f.Export(bare, WholeHtml);
    QVERIFY(QFile::exists(bare + QStringLiteral(".html")));
    // A typed suffix that names a type wins over the type the list shows.
    const auto head = [](const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.read(14) : QByteArray();
    };
    f.Export(f.out.filePath(QStringLiteral("tools.html")), CategoryCsv);
    QCOMPARE(head(f.out.filePath(QStringLiteral("tools.html"))), QByteArray("<!DOCTYPE html"));
    f.Export(f.out.filePath(QStringLiteral("tools.HTM")), WholeCsv);
    QCOMPARE(head(f.out.filePath(QStringLiteral("tools.HTM"))), QByteArray("<!DOCTYPE html"));
    f.Export(f.out.filePath(QStringLiteral("list.CSV")), WholeHtml);
    QCOMPARE(head(f.out.filePath(QStringLiteral("list.CSV"))), QByteArray("ID,ProductName"));
    f.Export(f.out.filePath(QStringLiteral("list.txt")), WholeHtml);
    QCOMPARE(head(f.out.filePath(QStringLiteral("list.txt"))), QByteArray("<!DOCTYPE html"));

    // The menu item and its hint.
    auto* exportItem = f.window->findChild<QAction*>(QStringLiteral("FileExport"));
    QCOMPARE(exportItem->text(), QStringLiteral("&Export..."));
    auto* file = f.window->findChild<QMenu*>(QStringLiteral("MenuFile"));
    const QList<QAction*> items = file->actions();
    QCOMPARE(items.indexOf(exportItem), items.indexOf(f.window->findChild<QAction*>(QStringLiteral("FilePrint"))) + 1);
    f.window->menuBar()->setActiveAction(file->menuAction());
    file->setActiveAction(exportItem);
    QCOMPARE(f.window->statusBar()->currentMessage(),
             QStringLiteral("Export the catalogue or a category as a CSV file or an HTML page"));
    file->hide();
}

void ReportExportTest::aFileThatCannotBeWrittenIsReported() {
    MessageRecorder messages;
    Fixture f;
    AddAwkwardPackages(f, QVariant());
    f.Show();
    const QString missingFolder = f.out.filePath(QStringLiteral("no/such/folder/x.csv"));
    f.Export(missingFolder, WholeCsv);
    QCOMPARE(messages.Count(), 1);
    QCOMPARE(messages.Last().kind, MessageKind::Error);
    QVERIFY(messages.Last().text.startsWith(
        QStringLiteral("The catalogue could not be exported to %1: ").arg(QDir::toNativeSeparators(missingFolder))));
    QVERIFY(!QFile::exists(missingFolder));
    f.Export(QStringLiteral("/proc/x.csv"), WholeCsv);
    QCOMPARE(messages.Count(), 2);
    // A disk that takes part of the file and refuses the rest: its own reason is shown.
    const QString file = f.out.filePath(QStringLiteral("ok.csv"));
    {
        velm::test::FileSizeLimit limit(200);
        f.Export(file, WholeCsv);
    }
    QCOMPARE(messages.Count(), 3);
    QVERIFY2(messages.Last().text.endsWith(QStringLiteral(": File too large")), qPrintable(messages.Last().text));
    QVERIFY(!QFile::exists(file));
    // The window goes on: the next export works, and does not start in a folder where
    // one failed.
    f.Export(file, WholeCsv);
    QVERIFY(f.lastRequest.StartFolder != QStringLiteral("/proc"));
    QCOMPARE(RunPython(kReadCsv, file).array().size(), 5);

    // The real save dialog opens where the export went, and tells a file's type by its
    // name: reading the file (a special one may block for good) would say PNG.
    QFile picture(f.out.filePath(QStringLiteral("picture")));
    QVERIFY(picture.open(QIODevice::WriteOnly));
    picture.write(QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16));
    picture.close();
    QString startedIn, pictureType;
    velm::test::AnswerNextModal<QFileDialog>([&](QFileDialog* dialog) {
        startedIn = dialog->directory().canonicalPath();
        pictureType = dialog->iconProvider()->type(QFileInfo(picture.fileName()));
        QTest::keyClick(dialog, Qt::Key_Escape);
    });
    f.ChooseFromMenu("MenuFile", "FileExport");
    QCOMPARE(startedIn, QDir(f.out.path()).canonicalPath());
    QVERIFY2(!pictureType.isEmpty() && !pictureType.contains(QStringLiteral("PNG")), qPrintable(pictureType));
    QCOMPARE(messages.Count(), 3);
}

void ReportExportTest::cancelInTheMiddleLeavesTheOldFile() {
    MessageRecorder messages;
    Fixture f;
    f.AddMany(f.tools, 2000, QStringLiteral("Pack"));
    f.Show();
    const QString file = f.out.filePath(QStringLiteral("big.csv"));
    {
        QFile old(file);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("the old file\n");
    }
    int cancelledAt = 0;
    velm::test::WhenProgressPasses(500, [&cancelledAt](QProgressDialog* progress) {
        cancelledAt = progress->value();
        QTest::mouseClick(progress->findChild<QPushButton*>(), Qt::LeftButton);
    });
    f.Export(file, WholeCsv);
    QVERIFY(cancelledAt >= 500 && cancelledAt < 2000);
    QCOMPARE(messages.Count(), 0);
    QFile kept(file);
    QVERIFY(kept.open(QIODevice::ReadOnly));
    QCOMPARE(kept.readAll(), QByteArray("the old file\n"));
    QCOMPARE(QDir(f.out.path()).entryList(QDir::Files), QStringList{"big.csv"});
    // No progress dialog stays behind.
    for (QWidget* widget : QApplication::topLevelWidgets())
        QVERIFY(!qobject_cast<QProgressDialog*>(widget));
}

void ReportExportTest::closeInputAndSecondCommandsWaitForTheExport() {
    MessageRecorder messages;
    Fixture f;
    f.AddMany(f.tools, 2000, QStringLiteral("Pack"));
    f.AddMany(f.grids, 10, QStringLiteral("Grid"));
    f.Show();
    // Clicks reach the window through the window system, as a user's do.
    const auto clickThroughWindow = [&f](const QString& category) {
        QTreeWidgetItem* node = f.CategoryNode(category);
        const QPoint at = f.Tree()->viewport()->mapTo(f.window.get(), f.Tree()->visualItemRect(node).center());
        QTest::mouseClick(f.window->windowHandle(), Qt::LeftButton, {}, at);
    };
    clickThroughWindow(QStringLiteral("Tools"));
    QCOMPARE(f.Tree()->currentItem()->text(0), QStringLiteral("Tools"));
    const QString file = f.out.filePath(QStringLiteral("big.html"));
    PrintToPdf printer(f.out.filePath(QStringLiteral("never.pdf")));
    bool ranInTheMiddle = false;
    velm::test::WhenProgressPasses(500, [&](QProgressDialog* progress) {
        ranInTheMiddle = progress->value() < 2010;
        // A click on another category is held while the export runs.
        clickThroughWindow(QStringLiteral("Grids, \"Lists\""));
        // Neither a second export nor a print starts under this one.
        f.window->findChild<QAction*>(QStringLiteral("FilePrint"))->trigger();
        f.window->findChild<QAction*>(QStringLiteral("FileExport"))->trigger();
        // The close waits for the export.
        f.window->close();
        QVERIFY(f.window->isVisible());
    });
    f.Export(file, WholeHtml);
    QVERIFY(ranInTheMiddle);
    QCOMPARE(printer.presented, 0);
    QCOMPARE(messages.Count(), 0);
    QCOMPARE(f.Tree()->currentItem()->text(0), QStringLiteral("Tools"));
    const QJsonObject page = RunPython(kReadHtml, file).object();
    QCOMPARE(page.value(QStringLiteral("rows")).toArray().size(), 2 * 2010 + 2);  // rows, memo rows, two headers
    // The held close is carried out once the export is over.
    QVERIFY(f.window->isVisible());
    QTRY_VERIFY(!f.window->isVisible());
    QVERIFY(QFileInfo::exists(f.cat.SettingsFile()));  // the close sequence ran
}

QTEST_MAIN(ReportExportTest)
#include "test_report_export.moc"
