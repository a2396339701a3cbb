#pragma once

// What the report tests share: a shown main window over a temporary catalogue with
// packages whose fields hold the awkward texts reports must carry (commas, quotes, line
// breaks, markup, rich text), menu commands chosen with real clicks, a print presenter
// that prints to a PDF file, and the outside tools that read the results back.

#include "browser/form_main.h"
#include "catalogue/database.h"
#include "catalogue/table.h"
#include "report/print_dialog.h"
#include "support/temp_catalogue.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QPrinter>
#include <QProcess>
#include <QProgressDialog>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include <functional>
#include <memory>

namespace velm::test {

// A rich-text description as the detail panel stores it after formatting.
inline QString RichDescription() {
    return QStringLiteral(
        "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.0//EN\" \"http://www.w3.org/TR/REC-html40/strict.dtd\">\n"
        "<html><head><meta name=\"qrichtext\" content=\"1\" /><style type=\"text/css\">p { white-space: pre-wrap; }"
        "</style></head><body style=\" font-family:'Arial'; font-size:10pt;\">\n"
        "<p>Grid with <span style=\" font-weight:700;\">bold</span> and <span style=\" font-style:italic;\">"
        "slanted</span> words</p>\n<p>Second paragraph</p></body></html>");
}

// Everything a package row can hold, with text that needs quoting or escaping.
struct PackageValues {
    QString name;
    QString description;
    QString comments;
    QString author;
    int licence = 0;
    int version[4] = {1, 2, 3, 4};
    bool beta = false;
    int compatibility = 0;
    int rating = 0;
    QVariant status;
    QString archive;
};

class ReportFixture {
public:
    TempCatalogue cat;
    std::unique_ptr<TFormMain> window;

    void Show() {
        window = std::make_unique<TFormMain>(cat.ProgramFolder());
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    }

    TTable& Packages() { return *cat.Module().TableCPInfo; }
    TTable& Categories() { return *cat.Module().TableCategory; }
    QTreeWidget* Tree() const { return window->TreeViewCategories(); }

    qint64 AddPackage(qint64 category, const PackageValues& values) {
        TTable& table = Packages();
        table.Append();
        const auto set = [&table](const char* field, const QVariant& value) {
            table.FieldByName(QString::fromLatin1(field))->SetValue(value);
        };
        set("ProductName", values.name);
        set("Category", int(category));
        if (!values.description.isNull())
            set("ProductDescription", values.description);
        if (!values.comments.isNull())
            set("Comments", values.comments);
        if (!values.author.isNull()) {
            set("Author", values.author);
            set("AuthorEmail", values.author.section(QLatin1Char(' '), 0, 0).toLower() + QStringLiteral("@example.org"));
            set("FreeShareCommercial", values.licence);
            set("VersionMajor", values.version[0]);
            set("VersionMinor", values.version[1]);
            set("Release", values.version[2]);
            set("Build", values.version[3]);
            set("Beta", values.beta);
            set("ReleaseDate", QDate(2001, 2, 3));
            set("DownloadDate", QDate(2002, 3, 4));
            set("Compatibility", values.compatibility);
            set("Rating", values.rating);
            set("FileURL", QStringLiteral("http://example.org/a,b?c=\"d\""));
            set("FullSourceIncl", true);
            set("ArchiveFile", values.archive);
            set("ArchiveFilePath", QStringLiteral("C:\\Archives\\"));
        }
        if (values.status.isValid())
            set("Status", values.status);
        table.Post();
        return table.FieldByName(QStringLiteral("ID"))->Value().toLongLong();
    }

    // Many plain packages in one category, in one transaction.
    void AddMany(qint64 category, int count, const QString& prefix) {
        TDatabase& database = TSession::Instance().DatabaseFor(QStringLiteral("VELM"));
        database.StartTransaction();
        for (int i = 0; i < count; ++i) {
            PackageValues values;
            values.name = QStringLiteral("%1 %2").arg(prefix).arg(i, 5, 10, QLatin1Char('0'));
            values.author = QStringLiteral("Author %1").arg(i % 17);
            values.description = QStringLiteral("Description of %1,\rwith \"quotes\" and a second line.").arg(i);
            values.rating = i % 11;
            values.compatibility = i % 64;
            values.archive = QStringLiteral("pack%1.zip").arg(i);
            AddPackage(category, values);
        }
        database.Commit();
    }

    QTreeWidgetItem* CategoryNode(const QString& name) const {
        for (int i = 0; i < Tree()->topLevelItemCount(); ++i)
            if (Tree()->topLevelItem(i)->text(0) == name)
                return Tree()->topLevelItem(i);
        return nullptr;
    }

    // Selects a node the way a user does: a click on its label.
    void ClickNode(QTreeWidgetItem* node) {
        if (node->parent())
            node->parent()->setExpanded(true);
        Tree()->scrollToItem(node);
        QTest::mouseClick(Tree()->viewport(), Qt::LeftButton, {}, Tree()->visualItemRect(node).center());
    }

    // Opens a menu of the menu bar with a click and clicks one of its items; the
    // command runs before this returns.
    void ChooseFromMenu(const char* menuName, const char* actionName) {
        QMenuBar* bar = window->menuBar();
        auto* menu = window->findChild<QMenu*>(QString::fromLatin1(menuName));
        auto* action = window->findChild<QAction*>(QString::fromLatin1(actionName));
        QVERIFY(menu && action);
        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->actionGeometry(menu->menuAction()).center());
        QTRY_VERIFY(menu->isVisible());
        const QPoint at = menu->actionGeometry(action).center();
        QTest::mouseMove(menu, at);
        QTest::mouseClick(menu, Qt::LeftButton, {}, at);
    }
};

// Answers the print dialog: prints the chosen report to a PDF file.
class PrintToPdf : public PrintPresenter {
public:
    explicit PrintToPdf(QString file, int choice = 0) : file_(std::move(file)), choice_(choice) {
        previous_ = SetPrintPresenter(this);
    }
    ~PrintToPdf() override { SetPrintPresenter(previous_); }
    PrintToPdf(const PrintToPdf&) = delete;
    PrintToPdf& operator=(const PrintToPdf&) = delete;

    void Present(QWidget*, const TPrintRequest& request) override {
        ++presented;
        choices = request.Choices;
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(file_);
        printer.setPageSize(QPageSize(QPageSize::A4));
        request.Print(printer, choice_);
    }

    int presented = 0;
    QStringList choices;

private:
    QString file_;
    int choice_;
    PrintPresenter* previous_ = nullptr;
};

// Runs a tool and hands back what it wrote; the test fails when it fails.
inline QString RunTool(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        qWarning("%s failed: %s", qPrintable(program), process.readAllStandardError().constData());
        return QString();
    }
    return QString::fromUtf8(process.readAllStandardOutput());
}

inline QString PdfText(const QString& pdf) {
    return RunTool(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
}

inline int PdfPages(const QString& pdf) {
    const QString info = RunTool(QStringLiteral("pdfinfo"), {pdf});
    for (const QString& line : info.split(QLatin1Char('\n')))
        if (line.startsWith(QLatin1String("Pages:")))
            return line.mid(6).trimmed().toInt();
    return 0;
}

// Calls the action once, on the event loop's first turn at which the running work's
// progress dialog is on screen past the given number of steps.
inline void WhenProgressPasses(int steps, std::function<void(QProgressDialog*)> action) {
    auto* timer = new QTimer(qApp);
    timer->setInterval(0);
    auto turns = std::make_shared<int>(0);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, steps, turns, action = std::move(action)] {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            auto* progress = qobject_cast<QProgressDialog*>(widget);
            if (progress && progress->isVisible() && progress->value() >= steps) {
                timer->stop();
                timer->deleteLater();
                action(progress);
                return;
            }
        }
        if (++*turns > 100000) {
            timer->stop();
            timer->deleteLater();
        }
    });
    timer->start();
}

}  // namespace velm::test
