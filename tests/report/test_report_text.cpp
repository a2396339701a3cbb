// The memos in reports: as plain text, and rebuilt as safe HTML from whatever the
// stored rich text holds.
#include "catalogue/memo_markup.h"
#include "report/memo_text.h"

#include <QTest>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>
#include <QTextList>

using namespace velm;

namespace {

// Rich text as the detail panel's memo stores it.
QString StoredRichText(const std::function<void(QTextEdit&)>& edit) {
    QTextEdit memo;
    memo.document()->setDefaultFont(QFont(QStringLiteral("Arial"), 10));
    edit(memo);
    return memo.toHtml();
}

}  // namespace

class ReportTextTest : public QObject {
    Q_OBJECT
private slots:
    void memosAsPlainText();
    void richMemosKeepTheirFormattingOnly();
    void nothingInAStoredMemoEscapesItsMarkup();
};

void ReportTextTest::memosAsPlainText() {
    const QString plain = QStringLiteral("Line <one>\r\rLine & two");
    QCOMPARE(MemoPlainText(plain), plain);
    QCOMPARE(MemoSafeHtml(plain),
             QStringLiteral("<div style=\"white-space:pre-wrap\">Line &lt;one&gt;\r\rLine &amp; two</div>"));
    QCOMPARE(MemoSafeHtml(QString()), QString());
    // An archive's text that looks like HTML is text.
    const QString page = QStringLiteral("<html><body><b>bold?</b></body></html>");
    QCOMPARE(MemoPlainText(page), page);
    QCOMPARE(MemoSafeHtml(page), QStringLiteral("<div style=\"white-space:pre-wrap\">&lt;html&gt;&lt;body&gt;&lt;b&gt;"
                                                "bold?&lt;/b&gt;&lt;/body&gt;&lt;/html&gt;</div>"));
    const QString rich = StoredRichText([](QTextEdit& memo) {
        memo.setPlainText(QStringLiteral("First\nSecond line"));
        QTextCursor cursor(memo.document());
        cursor.movePosition(QTextCursor::NextWord, QTextCursor::KeepAnchor);
        QTextCharFormat bold;
        bold.setFontWeight(QFont::Bold);
        cursor.mergeCharFormat(bold);
    });
    QCOMPARE(MemoPlainText(rich), QStringLiteral("First\nSecond line"));
    // Printing reads a plain memo's CR breaks as lines.
    QTextDocument document;
    LoadMemoDocument(document, plain);
    QCOMPARE(document.blockCount(), 3);
    QCOMPARE(document.toPlainText(), QStringLiteral("Line <one>\n\nLine & two"));
}

void ReportTextTest::richMemosKeepTheirFormattingOnly() {
    const QString rich = StoredRichText([](QTextEdit& memo) {
        QTextCursor cursor(memo.document());
        const auto add = [&cursor](const QString& text, const std::function<void(QTextCharFormat&)>& style) {
            QTextCharFormat format;
            style(format);
            cursor.insertText(text, format);
        };
        add(QStringLiteral("under"), [](QTextCharFormat& f) { f.setFontUnderline(true); });
        add(QStringLiteral("struck"), [](QTextCharFormat& f) { f.setFontStrikeOut(true); });
        add(QStringLiteral("big"), [](QTextCharFormat& f) { f.setFontPointSize(18); });
        add(QStringLiteral("blue"), [](QTextCharFormat& f) { f.setForeground(QColor(0, 0, 255)); });
        add(QStringLiteral("serif"), [](QTextCharFormat& f) { f.setFontFamilies({QStringLiteral("Times New Roman")}); });
        cursor.insertList(QTextListFormat::ListDecimal);
        cursor.insertText(QStringLiteral("item"));
    });
    const QString html = MemoSafeHtml(rich);
    // Every span carries the memo's font as well: Qt's HTML gives each piece its own.
    for (const char* part : {"text-decoration:underline;font-family:'Arial';font-size:10pt\">under</span>",
                             "text-decoration:line-through;", "font-size:18pt\">big", "color:#0000ff\">blue",
                             "font-family:'Times New Roman';font-size:10pt\">serif", "1. <span"})
        QVERIFY2(html.contains(QLatin1String(part)), qPrintable(html));
    // Read back by Qt, the safe form is the same text with the same formats.
    QTextDocument back;
    back.setHtml(html);
    QCOMPARE(back.toPlainText(), QStringLiteral("understruckbigblueserif\n1. item"));
    QTextCursor at(&back);
    at.setPosition(1);
    QVERIFY(at.charFormat().fontUnderline());
    at.setPosition(8);
    QVERIFY(at.charFormat().fontStrikeOut());
}

void ReportTextTest::nothingInAStoredMemoEscapesItsMarkup() {
    // Rich text as only a tool other than this program writes it.
    const QString stored = QString(kMemoMarkupHead) + QStringLiteral(
        "<script>steal()</script><style>p { background: url(http://x) }</style></head>"
        "<body onload=\"steal()\"><p style=\"background-image:url(http://x)\">"
        "<a href=\"javascript:steal()\" onclick=\"steal()\">a link</a>"
        "<img src=\"file:///etc/passwd\" width=\"5000\"><span style=\"font-family:'Arial&quot;&gt;&lt;script&gt;'\">"
        "&lt;script&gt;quoted&lt;/script&gt;</span></p><table><tr><td>cell</td></tr></table>"
        "<object data=\"x.swf\"></object><iframe src=\"http://x\"></iframe></body></html>");
    const QString html = MemoSafeHtml(stored);
    for (const char* banned : {"<script", "<a ", "<img", "<table", "<object", "<iframe", "url(", "onload", "onclick",
                               "href", "src=", "steal"})
        QVERIFY2(!html.contains(QLatin1String(banned), Qt::CaseInsensitive), qPrintable(html + " has " + banned));
    QVERIFY(html.contains(QStringLiteral("a link")));
    QVERIFY(html.contains(QStringLiteral("&lt;script&gt;quoted&lt;/script&gt;")));
    QVERIFY(html.contains(QStringLiteral("cell")));
    QVERIFY(html.contains(QStringLiteral("font-family:'Arialscript'")));
}

QTEST_MAIN(ReportTextTest)
#include "test_report_text.moc"
