// Tools > Check Catalogue as a user runs it: what it finds of each archive, the moved
// archive found in a folder and relinked, a folder's archives the catalogue lacks, the
// list exported; and a Cancel or a close in the middle of the run.
#include "browser/catalogue_check_command.h"
#include "browser/form_check_catalogue.h"
#include "browser/progress_run.h"
#include "catalogue/archive_index.h"
#include "catalogue/data_module.h"
#include "import/archive_fingerprint.h"
#include "import/zip_builder.h"
#include "kit/work_guard.h"
#include "report/report_fixture.h"
#include "support/file_dialog_recorder.h"
#include "support/main_window_fixture.h"
#include "support/message_recorder.h"
#include "support/modal_dialog.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QProgressDialog>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

using namespace velm;
using velm::test::Click;
using velm::test::FileDialogRecorder;
using velm::test::MessageRecorder;
using velm::test::ZipBuilder;
using velm::test::ZipMember;

namespace {

ZipMember Deflated(const QByteArray& name, const QByteArray& data) {
    ZipMember member(name, data);
    member.deflated = velm::test::RawDeflate(data);
    return member;
}

struct Fixture : velm::test::MainWindowFixture {
    QTemporaryDir archives;
    qint64 tools = cat.AddCategory(QStringLiteral("Tools"));

    QString Write(const QString& name, const QByteArray& bytes) {
        const QString path = archives.filePath(name);
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile file(path);
        file.open(QIODevice::WriteOnly);
        file.write(bytes);
        return path;
    }
    // A package whose row names the archive; recorded as the import records it (size and
    // SHA-256 of these bytes), or as an older catalogue has it (size only).
    qint64 AddPackage(const QString& name, const QString& archivePath, const QByteArray& recordedBytes,
                      bool withSha = true) {
        const qint64 id = cat.AddPackage(name, tools);
        TTable& packages = Packages();
        packages.Locate(QStringLiteral("ID"), id, false);
        packages.Edit();
        packages.FieldByName(QStringLiteral("ArchiveFilePath"))
            ->SetAsString(QDir::toNativeSeparators(QFileInfo(archivePath).absolutePath()) + QDir::separator());
        packages.FieldByName(QStringLiteral("ArchiveFile"))->SetAsString(QFileInfo(archivePath).fileName());
        packages.Post();
        TArchiveFileRecord record;
        record.Size = recordedBytes.size();
        if (withSha)
            record.Sha256 = QString::fromLatin1(QCryptographicHash::hash(recordedBytes, QCryptographicHash::Sha256).toHex());
        cat.Module().ArchiveIndex()->ReplaceMembers(id, {}, record);
        return id;
    }
    void RunCommand() { velm::test::ChooseMenu(window.get(), {"&Tools", "&Check Catalogue..."}); }
};

// "Component|State|Detail" of each row, in the order shown.
QStringList Rows(TFormCheckCatalogue* form) {
    QStringList rows;
    for (int i = 0; i < form->ListCheck()->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* row = form->ListCheck()->topLevelItem(i);
        rows << row->text(0) + u'|' + row->text(3) + u'|' + row->text(4);
    }
    return rows;
}

void ClickHeader(QTreeWidget* list, int column) {
    QHeaderView* header = list->header();
    Click(header->viewport(),
          QPoint(header->sectionViewportPosition(column) + header->sectionSize(column) / 2, header->height() / 2));
}

}  // namespace

class CheckCatalogueTest : public QObject {
    Q_OBJECT
private slots:
    void findsMissingChangedAndDamagedArchivesAndRelinksAMovedOne();
    void cancelAndCloseDuringTheRunLeaveTheCatalogueAsItWas();
};

void CheckCatalogueTest::findsMissingChangedAndDamagedArchivesAndRelinksAMovedOne() {
    MessageRecorder messages;
    FileDialogRecorder dialogs;
    Fixture f;
    const QByteArray alphaBytes =
        ZipBuilder().Add(Deflated("Source/Alpha.pas", QByteArray(5000, 'a') + "end.")).Add("Alpha.inf", "[x]").Build();
    const QString alpha = f.Write(QStringLiteral("Alpha.zip"), alphaBytes);
    f.AddPackage(QStringLiteral("Alpha"), alpha, alphaBytes);
    // One byte of a member changed: the archive still lists, the member's CRC fails. The
    // older row knows only the size, which has not changed.
    QByteArray betaBytes = ZipBuilder().Add("Beta.dpk", "package Beta;").Add("BetaReg.pas", "unit BetaReg; begin end.").Build();
    betaBytes.replace("BetaReg; begin", "BetaReg; bEgin");
    const QString beta = f.Write(QStringLiteral("Beta.zip"), betaBytes);
    f.AddPackage(QStringLiteral("Beta"), beta, betaBytes, false);
    // Moved below another folder since it was catalogued.
    const QByteArray gammaBytes = ZipBuilder().Add("Gamma.pas", "unit Gamma;").Build();
    const QString gammaMoved = f.Write(QStringLiteral("moved/sub/Gamma.zip"), gammaBytes);
    f.AddPackage(QStringLiteral("Gamma"), f.archives.filePath(QStringLiteral("Gamma.zip")), gammaBytes);
    // Replaced by another archive of the same name.
    const QString delta = f.Write(QStringLiteral("Delta.zip"), ZipBuilder().Add("Delta.pas", "unit Delta; {b}").Build());
    f.AddPackage(QStringLiteral("Delta"), delta, ZipBuilder().Add("Delta.pas", "unit Delta; {a}").Build());
    // Not catalogued: one new archive, and a copy of Alpha under another name.
    f.Write(QStringLiteral("incoming/New.zip"),
            ZipBuilder().Add("New.upl", "[DSP upload]\r\nCategory=Tools\r\nVersion=2\r\n").Build());
    f.Write(QStringLiteral("incoming/AlphaCopy.zip"), alphaBytes);
    QVERIFY(f.Show());

    bool shown = false;
    QStringList firstRows, byName, afterRelink;
    QString summary, relinkQuestion, importQuestion;
    const QString csv = f.archives.filePath(QStringLiteral("check.csv"));
    const QString pdf = f.archives.filePath(QStringLiteral("check.pdf"));
    velm::test::AnswerNextModal<TFormCheckCatalogue>(
        [&](TFormCheckCatalogue* form) {
            summary = form->LabelSummary()->text();
            firstRows = Rows(form);
            ClickHeader(form->ListCheck(), 0);
            byName = Rows(form);

            dialogs.FolderNext(f.archives.filePath(QStringLiteral("moved")));
            messages.AnswerNext(true);
            Click(form->BitBtnFindMoved());
            relinkQuestion = messages.Last().text;
            afterRelink = Rows(form);

            dialogs.SaveNext(csv, 0);
            Click(form->BitBtnExport());
            velm::test::PrintToPdf printer(pdf);
            Click(form->BitBtnPrint());

            dialogs.FolderNext(f.archives.path());
            messages.AnswerNext(true);
            Click(form->BitBtnNotCatalogued());
            importQuestion = messages.Last().text;
        },
        &shown);
    f.RunCommand();
    QVERIFY(shown);

    QCOMPARE(summary, QStringLiteral("4 archive(s) checked: 1 ok, 1 changed, 1 damaged, 1 missing."));
    // Worst first.
    QCOMPARE(firstRows, (QStringList{"Gamma|missing|not found", "Beta|damaged|member BetaReg.pas: CRC does not match",
                                     "Delta|changed|SHA-256 differs", "Alpha|ok|"}));
    QCOMPARE(byName, (QStringList{"Alpha|ok|", "Beta|damaged|member BetaReg.pas: CRC does not match",
                                  "Delta|changed|SHA-256 differs", "Gamma|missing|not found"}));

    QCOMPARE(relinkQuestion,
             QStringLiteral("1 of the 1 missing archive(s) were found:\r\rGamma: %1 (same SHA-256)\r\r"
                            "Change the components' archive folder and name to these?")
                 .arg(QDir::toNativeSeparators(gammaMoved)));
    QCOMPARE(afterRelink, (QStringList{"Alpha|ok|", "Beta|damaged|member BetaReg.pas: CRC does not match",
                                       "Delta|changed|SHA-256 differs", "Gamma|ok|"}));
    const QString movedFolder = QDir::toNativeSeparators(QFileInfo(gammaMoved).absolutePath()) + QDir::separator();
    QCOMPARE(f.cat.Stored(QStringLiteral("SELECT ArchiveFilePath || '|' || ArchiveFile FROM CPInfo WHERE ProductName = 'Gamma'")),
             QStringList{movedFolder + "|Gamma.zip"});

    QFile exported(csv);
    QVERIFY(exported.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(exported.readAll()).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 5);
    QCOMPARE(lines.first(), QStringLiteral("Component,Category,Archive,State,Detail"));
    QCOMPARE(lines.at(4), QStringLiteral("Gamma,Tools,%1Gamma.zip,ok,").arg(movedFolder));

    // Printed as shown: the heading, then each row.
    const QString printed = velm::test::RunTool(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
    QVERIFY(printed.contains(QStringLiteral("Velmora catalogue: Check Catalogue")));
    QVERIFY(printed.indexOf(QStringLiteral("Component")) < printed.indexOf(QStringLiteral("Alpha")));
    QVERIFY(printed.indexOf(QStringLiteral("Alpha")) < printed.indexOf(QStringLiteral("Gamma")));
    // A long detail wraps within its column.
    QVERIFY2(printed.simplified().contains(QStringLiteral("damaged member BetaReg.pas: CRC does not match")),
             qPrintable(printed));

    // Only New.zip: the others are catalogued where they are, or by their SHA-256.
    QCOMPARE(importQuestion, QStringLiteral("1 archive(s) in %1 are not catalogued:\r\r%2\r\rImport them?")
                                 .arg(QDir::toNativeSeparators(f.archives.path()),
                                      QDir::toNativeSeparators(QStringLiteral("incoming/New.zip"))));
    QVERIFY(QTest::qWaitFor([&] { return f.Node(QStringLiteral("New")) != nullptr; }));
    QCOMPARE(f.cat.Stored(QStringLiteral("SELECT ArchiveFile FROM CPInfo WHERE ProductName = 'New'")),
             QStringList{"New.zip"});
}

void CheckCatalogueTest::cancelAndCloseDuringTheRunLeaveTheCatalogueAsItWas() {
    MessageRecorder messages;
    Fixture f;
    const QByteArray bytes = ZipBuilder().Add("A.pas", "unit A;").Build();
    for (const char* name : {"A", "B", "C"})
        f.AddPackage(QString::fromLatin1(name), f.Write(QString::fromLatin1(name) + ".zip", bytes), bytes);
    QVERIFY(f.Show());
    const QString before = f.cat.Stored(QStringLiteral("SELECT group_concat(ArchiveFilePath || ArchiveFile) FROM CPInfo")).join(u',');
    const int interval = ProgressIntervalMs;
    ProgressIntervalMs = 0;

    // Cancel while the second archive is next: the list holds the first alone.
    const auto whenChecking = [&](const QString& text, std::function<void(QProgressDialog*)> action) {
        auto* timer = new QTimer(f.window.get());
        timer->setInterval(0);
        QObject::connect(timer, &QTimer::timeout, [timer, text, action] {
            for (QWidget* widget : QApplication::topLevelWidgets())
                if (auto* progress = qobject_cast<QProgressDialog*>(widget);
                    progress && progress->isVisible() && progress->labelText() == text) {
                    timer->stop();
                    action(progress);
                    return;
                }
        });
        timer->start();
    };
    whenChecking(QStringLiteral("Checking B.zip (2 of 3)"),
                 [](QProgressDialog* progress) { Click(progress->findChild<QPushButton*>()); });
    QString summary;
    QStringList rows;
    velm::test::AnswerNextModal<TFormCheckCatalogue>([&](TFormCheckCatalogue* form) {
        summary = form->LabelSummary()->text();
        rows = Rows(form);
        Click(form->BitBtnClose());
    });
    f.RunCommand();
    QCOMPARE(summary, QStringLiteral("The check was cancelled after 1 of 3 archive(s).\n"
                                     "1 archive(s) checked: 1 ok, 0 changed, 0 damaged, 0 missing."));
    QCOMPARE(rows, QStringList{"A|ok|"});

    // A close of the window stops the run and shows no results.
    bool resultsShown = false;
    velm::test::AnswerNextModal<TFormCheckCatalogue>([](TFormCheckCatalogue* form) { form->reject(); }, &resultsShown);
    whenChecking(QStringLiteral("Checking B.zip (2 of 3)"), [&](QProgressDialog*) { f.window->close(); });
    f.RunCommand();
    QVERIFY(!resultsShown);
    QVERIFY(QTest::qWaitFor([&] { return !f.window->isVisible(); }));
    QVERIFY(!f.window->WorkGuard()->Busy());
    ProgressIntervalMs = interval;

    QCOMPARE(f.cat.Stored(QStringLiteral("SELECT group_concat(ArchiveFilePath || ArchiveFile) FROM CPInfo")).join(u','), before);
    QCOMPARE(messages.Count(), 0);
}

QTEST_MAIN(CheckCatalogueTest)
#include "test_check_catalogue.moc"
