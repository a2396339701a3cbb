// Catalogues that hold what no one types by hand: a description of twenty megabytes (the
// most the info-file reader gives: 10,000 lines of 2,047 characters), rows whose category
// is gone. The window must start, answer and show them without losing any of it.
#include "support/largest_description.h"
#include "support/main_window_fixture.h"
#include "support/message_recorder.h"
#include "widgets/db_rich_edit.h"

#include <QScrollBar>
#include <QTabBar>
#include <QTest>
#include <QTimer>

using namespace velm;
using velm::test::MainWindowFixture;
using velm::test::MessageRecorder;

namespace {

void SetMemo(TTable& packages, const QString& product, const char* field, const QString& text) {
    QVERIFY(packages.Locate(QStringLiteral("ProductName"), product, true));
    packages.Edit();
    packages.FieldByName(QString::fromLatin1(field))->SetAsString(text);
    packages.Post();
}

}  // namespace

class LargeTextsTest : public QObject {
    Q_OBJECT
private slots:
    void aHugeDescriptionIsShownInPartsAndNeverWrittenBack();
    void rowsWithoutTheirCategoryAreGatheredUnderUnfiled();
};

void LargeTextsTest::aHugeDescriptionIsShownInPartsAndNeverWrittenBack() {
    MessageRecorder messages;
    MainWindowFixture f;
    const qint64 tools = f.cat.AddCategory(QStringLiteral("Tools"));
    f.cat.AddPackage(QStringLiteral("Huge"), tools);
    f.cat.AddPackage(QStringLiteral("Small"), tools);
    const QString huge = velm::test::LargestDescription();
    QCOMPARE(huge.size(), 10000 * 2049);
    SetMemo(f.Packages(), QStringLiteral("Huge"), "ProductDescription", huge);
    f.Packages().First();  // the large row is current, as at every start
    QVERIFY(f.Show());
    auto* memo = f.window->findChild<TDBRichEdit*>(QStringLiteral("DBRichEditDescription"));
    // Nothing of it is read or laid out before its component is shown.
    QVERIFY(memo->document()->isEmpty());

    // A queued event posted before the click runs right after it: the window answers.
    bool answered = false;
    QTimer::singleShot(0, f.window.get(), [&answered] { answered = true; });
    f.Select(f.Node(QStringLiteral("Huge")));
    QVERIFY(memo->isVisible());
    QVERIFY(memo->ShowsLargeText());
    QVERIFY(memo->isReadOnly());
    const int shownAtFirst = memo->document()->characterCount();
    QVERIFY(shownAtFirst < TDBRichEdit::kLargeTextLength);
    QVERIFY(memo->toPlainText().contains(QStringLiteral("00001 xxx")));
    QCoreApplication::processEvents();
    QVERIFY(answered);

    // Scrolling to the end brings the next part.
    const qsizetype left = memo->LargeTextLeft();
    memo->verticalScrollBar()->setValue(memo->verticalScrollBar()->maximum());
    QVERIFY(memo->LargeTextLeft() < left);
    QVERIFY(memo->document()->characterCount() > shownAtFirst);

    // Typing changes nothing; moving on and rating the row stores the text untouched.
    velm::test::Click(memo->viewport());
    velm::test::Type(f.window.get(), QStringLiteral("typed"));
    f.Select(f.Node(QStringLiteral("Small")));
    f.Select(f.Node(QStringLiteral("Huge")));
    QCOMPARE(f.cat.Stored(QStringLiteral("SELECT length(ProductDescription) = %1, "
                                         "substr(ProductDescription, 1, 9) FROM CPInfo WHERE ProductName = 'Huge'")
                              .arg(huge.size())),
             QStringList{"1|00001 xxx"});
    // An ordinary text is shown whole and editable again.
    f.Select(f.Node(QStringLiteral("Small")));
    QVERIFY(!memo->ShowsLargeText());
    QVERIFY(!memo->isReadOnly());
    QCOMPARE(messages.Count(), 0);
}

void LargeTextsTest::rowsWithoutTheirCategoryAreGatheredUnderUnfiled() {
    MessageRecorder messages;
    MainWindowFixture f;
    const qint64 tools = f.cat.AddCategory(QStringLiteral("Tools"));
    f.cat.AddPackage(QStringLiteral("Hammer"), tools);
    f.cat.AddPackage(QStringLiteral("Lost"), 999);
    f.cat.AddPackage(QStringLiteral("Nowhere"), tools);
    // Written by another tool: one row without any category, one whose category went.
    QVERIFY(f.cat.Execute(QStringLiteral("UPDATE CPInfo SET Category = NULL WHERE ProductName = 'Nowhere';")));
    f.cat.Module().TableCPInfo->Refresh();
    QVERIFY(f.Show());
    QTRY_COMPARE(messages.Count(), 1);
    QCOMPARE(messages.Last().kind, MessageKind::Information);
    QCOMPARE(messages.Last().text,
             QStringLiteral("2 component(s) whose category no longer exists were put into the category \"Unfiled\"."));
    QCOMPARE(f.TopLevelTexts(), (QStringList{"Tools", "Unfiled"}));
    QCOMPARE(MainWindowFixture::ChildTexts(f.Node(QStringLiteral("Unfiled"))), (QStringList{"Lost", "Nowhere"}));
    QCOMPARE(f.cat.Stored(QStringLiteral("SELECT p.ProductName FROM CPInfo p JOIN c.Category c ON p.Category = c.ID "
                                         "WHERE c.Name = 'Unfiled' ORDER BY p.ProductName")),
             (QStringList{"Lost", "Nowhere"}));

    // The next start has nothing to say.
    f.window->close();
    f.window.reset();
    messages.Clear();
    QVERIFY(f.Show());
    QCoreApplication::processEvents();
    QCOMPARE(messages.Count(), 0);
    QCOMPARE(f.TopLevelTexts(), (QStringList{"Tools", "Unfiled"}));
}

QTEST_MAIN(LargeTextsTest)
#include "test_large_texts.moc"
