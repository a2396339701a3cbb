// The read-only text window that shows an archive member: every byte visible, nothing
// interpreted, a bounded read, and a window that never blocks the archive viewer.
#include "kit/launcher.h"
#include "support/message_recorder.h"
#include "support/modal_dialog.h"
#include "support/user_input.h"
#include "viewer/form_view_zip.h"
#include "viewer/member_text_view.h"
#include "viewer/reading_windows.h"
#include "widgets/sort_grid.h"

#include "../import/zip_builder.h"

#include <QApplication>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QtTest>

using namespace velm;
using velm::test::MessageRecorder;
using velm::test::ZipBuilder;

namespace {

QString WriteFile(const QTemporaryDir& dir, const QString& name, const QByteArray& bytes) {
    const QString path = dir.filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        return QString();
    return path;
}

QList<TMemberTextView*> TextWindows() {
    QList<TMemberTextView*> windows;
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (auto* view = qobject_cast<TMemberTextView*>(widget); view && view->isVisible())
            windows << view;
    return windows;
}

}  // namespace

class MemberTextViewTest : public QObject {
    Q_OBJECT

private slots:
    // The program's own windows, as the program installs them.
    void initTestCase() { SetDefaultLauncher(&ReadingWindows()); }
    void everyByteIsShownAndNothingInterpreted_data();
    void everyByteIsShownAndNothingInterpreted();
    void largeFilesShowTheirBeginningAndSaySo();
    void longLinesAreShownInPieces();
    void unreadableFileIsReported();
    void viewerStaysUsableBesideTheTextWindow();
    void textWindowsFitTheOwnersScreenAndCtrlHomeEndMove();
};

void MemberTextViewTest::everyByteIsShownAndNothingInterpreted_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("shown");
    QTest::newRow("markup stays text") << QByteArray("<b>bold</b><script>alert(1)</script>")
                                       << QStringLiteral("<b>bold</b><script>alert(1)</script>");
    QTest::newRow("NUL and other controls") << QByteArray("a\0b\x01\x1B[2Jc\x7F", 10)
                                            << QStringLiteral("a^@b^A^[[2Jc^?");
    QTest::newRow("line breaks of every kind") << QByteArray("one\r\ntwo\rthree\nfour\tend")
                                               << QStringLiteral("one\ntwo\nthree\nfour\tend");
    QTest::newRow("UTF-8") << QByteArray("Caf\xC3\xA9 \xE2\x82\xAC") << QString::fromUtf8("Café €");
    // Not UTF-8: read as Windows text, whose undefined bytes are shown as replacements.
    QTest::newRow("Windows-1252") << QByteArray("Caf\xE9 \x80 \x81") << QString::fromUtf8("Café € �");
    QTest::newRow("UTF-16 with its mark") << QByteArray("\xFF\xFEH\0i\0\0\0", 8) << QStringLiteral("Hi^@");
    // Marks that would show a line in another order than it is stored.
    QTest::newRow("reordering marks") << QByteArray("x = \xE2\x80\xAE" "cba\xE2\x81\xA6")
                                      << QString::fromUtf8("x = �cba�");
}

void MemberTextViewTest::everyByteIsShownAndNothingInterpreted() {
    QFETCH(QByteArray, bytes);
    QFETCH(QString, shown);
    QCOMPARE(DisplayableText(bytes), shown);

    QTemporaryDir dir;
    TMemberTextView view;
    QVERIFY(view.LoadFile(WriteFile(dir, QStringLiteral("member.html"), bytes)));
    QCOMPARE(view.PlainTextMember()->toPlainText(), shown);
    QVERIFY(view.PlainTextMember()->isReadOnly());
    QVERIFY(view.LabelNotShown()->isHidden());
    QCOMPARE(view.windowTitle(), QStringLiteral("member.html"));
}

void MemberTextViewTest::largeFilesShowTheirBeginningAndSaySo() {
    QTemporaryDir dir;
    QByteArray bytes = QByteArray("0123456789abcde\n").repeated(int(TMemberTextView::kMaxShownBytes / 16));
    bytes += QByteArray("beyond the limit\n").repeated(1000);
    // A character cut in two at the limit does not turn the text into Windows-1252.
    bytes.replace(TMemberTextView::kMaxShownBytes - 1, 2, "\xC3\xA9");
    TMemberTextView view;
    QVERIFY(view.LoadFile(WriteFile(dir, QStringLiteral("big.txt"), bytes)));
    const QPlainTextEdit* text = view.PlainTextMember();
    QCOMPARE(text->blockCount(), int(TMemberTextView::kMaxShownBytes / 16));
    QVERIFY(!text->toPlainText().contains(QStringLiteral("beyond")));
    QVERIFY(text->document()->firstBlock().text().startsWith(QStringLiteral("0123456789")));
    QVERIFY(!view.LabelNotShown()->isHidden());
    QCOMPARE(view.LabelNotShown()->text(),
             QStringLiteral("Only the first %1 bytes of %2 are shown.")
                 .arg(QLocale().toString(TMemberTextView::kMaxShownBytes), QLocale().toString(bytes.size())));
}

void MemberTextViewTest::longLinesAreShownInPieces() {
    QTemporaryDir dir;
    const qsizetype limit = TMemberTextView::kMaxLineLength;
    const QByteArray longLine = QByteArray("x").repeated(limit * 2 + 10);
    TMemberTextView view;
    QVERIFY(view.LoadFile(WriteFile(dir, QStringLiteral("minified.js"), "short\n" + longLine + "\nend")));
    const QPlainTextEdit* text = view.PlainTextMember();
    QCOMPARE(text->blockCount(), 5);
    QCOMPARE(text->document()->findBlockByNumber(1).length() - 1, limit);
    QCOMPARE(text->document()->findBlockByNumber(3).text(), QStringLiteral("xxxxxxxxxx"));
    QCOMPARE(text->toPlainText().remove(u'\n'), QString::fromLatin1("short" + longLine + "end"));
    QCOMPARE(view.LabelNotShown()->text(),
             QStringLiteral("Lines longer than %1 characters are shown in pieces.").arg(QLocale().toString(limit)));

    // A line of exactly the limit stays whole.
    TMemberTextView exact;
    QVERIFY(exact.LoadFile(WriteFile(dir, QStringLiteral("exact.txt"), QByteArray("y").repeated(limit))));
    QCOMPARE(exact.PlainTextMember()->blockCount(), 1);
    QVERIFY(exact.LabelNotShown()->isHidden());
}

void MemberTextViewTest::unreadableFileIsReported() {
    MessageRecorder messages;
    QTemporaryDir dir;
    ShowMemberText(dir.filePath(QStringLiteral("gone.txt")), nullptr);
    QCOMPARE(messages.Count(), 1);
    QCOMPARE(messages.Last().kind, MessageKind::Error);
    QVERIFY(messages.Last().text.startsWith(QStringLiteral("The file ") +
                                            QDir::toNativeSeparators(dir.filePath(QStringLiteral("gone.txt"))) +
                                            QStringLiteral(" cannot be shown: ")));
    QVERIFY(TextWindows().isEmpty());
}

void MemberTextViewTest::viewerStaysUsableBesideTheTextWindow() {
    // The program's own launcher, as in use: no recorder in between.
    QTemporaryDir dir;
    const QString zipPath = dir.filePath(QStringLiteral("pkg.zip"));
    QVERIFY(ZipBuilder()
                .Add("readme.txt", "read me")
                .Add("page.html", QByteArray("<h1>Hi</h1>\0<script>x()</script>", 32))
                .WriteTo(zipPath));
    MessageRecorder messages;
    QStringList seen;
    bool answered = false;
    velm::test::AnswerNextModal<TFormViewZip>(
        [&](TFormViewZip* viewer) {
            // A failed check returns early: the viewer closes all the same.
            const auto closeViewer = qScopeGuard([viewer] { viewer->reject(); });
            TSortGrid* grid = viewer->SortGrid1();
            QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->visualItemRect(grid->item(2, 0)).center());
            QCOMPARE(grid->Cells(0, grid->Row()), QStringLiteral("page.html"));
            QTest::mouseClick(viewer->BitBtnViewFile(), Qt::LeftButton);
            QList<TMemberTextView*> windows = TextWindows();
            QCOMPARE(windows.size(), 1);
            TMemberTextView* view = windows.first();
            QCOMPARE(view->PlainTextMember()->toPlainText(), QStringLiteral("<h1>Hi</h1>^@<script>x()</script>"));
            // A window of its own, owned by the viewer and not modal, while the viewer
            // stays the modal dialog.
            QVERIFY(view->isWindow());
            QCOMPARE(view->parentWidget(), viewer);
            QCOMPARE(view->windowModality(), Qt::NonModal);
            QCOMPARE(QApplication::activeModalWidget(), viewer);

            // Input reaches both through the window system, as a user's would: a second
            // member from the viewer, a click into each text window (which places its
            // cursor), then Escape, which closes it.
            QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->visualItemRect(grid->item(1, 0)).center());
            const QPoint viewButton = viewer->BitBtnViewFile()->mapTo(viewer, viewer->BitBtnViewFile()->rect().center());
            QTest::mouseClick(viewer->windowHandle(), Qt::LeftButton, {}, viewButton);
            windows = TextWindows();
            QCOMPARE(windows.size(), 2);
            for (TMemberTextView* window : windows) {
                const QPointer<TMemberTextView> alive(window);
                seen << window->windowTitle();
                QApplication::setActiveWindow(window);
                QPlainTextEdit* text = window->PlainTextMember();
                const QPoint endOfLine = text->viewport()->mapTo(window, QPoint(text->viewport()->width() - 5, 5));
                QTest::mouseClick(window->windowHandle(), Qt::LeftButton, {}, endOfLine);
                QCOMPARE(text->textCursor().position(), text->document()->firstBlock().length() - 1);
                QTest::keyClick(window->windowHandle(), Qt::Key_Escape);
                QVERIFY(!alive || !alive->isVisible());
            }
            QVERIFY(TextWindows().isEmpty());
        },
        &answered);
    ShowArchiveContents(nullptr, zipPath, dir.path() + u'/');
    QVERIFY(answered);
    seen.sort();
    QCOMPARE(seen, (QStringList{"page.html", "readme.txt"}));
    QCOMPARE(messages.Count(), 0);
}

void MemberTextViewTest::textWindowsFitTheOwnersScreenAndCtrlHomeEndMove() {
    QTemporaryDir dir;
    QByteArray lines;
    for (int i = 0; i < 400; ++i)
        lines += "line " + QByteArray::number(i) + ' ' + QByteArray(100, 'x') + '\n';
    const QString path = WriteFile(dir, QStringLiteral("long.txt"), lines);
    // An 800 x 600 screen and a 1280 x 1024 one; the owner near each one's far corner.
    for (QScreen* screen : QGuiApplication::screens()) {
        QWidget owner;
        owner.setScreen(screen);
        owner.setGeometry(QRect(screen->availableGeometry().bottomRight() - QPoint(260, 200), QSize(240, 160)));
        QVERIFY(velm::test::ShowAndActivate(&owner));
        ShowMemberText(path, &owner);
        const QList<TMemberTextView*> windows = TextWindows();
        QCOMPARE(windows.size(), 1);
        TMemberTextView* view = windows.first();
        QCOMPARE(view->screen(), screen);
        QVERIFY(screen->availableGeometry().contains(view->frameGeometry()));

        QVERIFY(QTest::qWaitForWindowActive(view));
        QPlainTextEdit* text = view->PlainTextMember();
        QTest::keyClick(view->windowHandle(), Qt::Key_End, Qt::ControlModifier);
        QVERIFY(text->textCursor().atEnd());
        QVERIFY(text->viewport()->rect().contains(text->cursorRect()));
        QVERIFY(text->verticalScrollBar()->value() > 0);
        QTest::keyClick(view->windowHandle(), Qt::Key_Home, Qt::ControlModifier);
        QVERIFY(text->textCursor().atStart());
        QCOMPARE(text->verticalScrollBar()->value(), 0);
        view->close();
    }
}

QTEST_MAIN(MemberTextViewTest)
#include "test_member_text_view.moc"
