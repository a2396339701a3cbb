#include "kit/messages.h"
#include "catalogue/database_error.h"
#include "support/message_recorder.h"

#include <QTest>

#include <stdexcept>

using namespace velm;

class TestMessages : public QObject {
    Q_OBJECT

private slots:
    void defaultErrorAppendsADotAfterCharactersSortingAboveIt_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("shown");
        QTest::newRow("letter") << "Disk full" << "Disk full.";
        QTest::newRow("digit") << "Error 9729" << "Error 9729.";
        QTest::newRow("slash") << "C:/tmp/" << "C:/tmp/.";
        QTest::newRow("non-ASCII") << "Größe" << "Größe.";
        QTest::newRow("dot") << "Done." << "Done.";
        QTest::newRow("exclamation") << "Not found !" << "Not found !";
        QTest::newRow("hyphen") << "x -" << "x -";
        QTest::newRow("empty") << "" << "";
    }

    void defaultErrorAppendsADotAfterCharactersSortingAboveIt() {
        QFETCH(QString, text);
        QFETCH(QString, shown);
        QCOMPARE(DefaultErrorText(text), shown);
        test::MessageRecorder messages;
        ShowDefaultErrorReport(text);
        QCOMPARE(messages.Last().kind, MessageKind::DefaultError);
        QCOMPARE(messages.Last().caption, QStringLiteral("VELM - Velmora"));
        QCOMPARE(messages.Last().text, shown);
    }

    void eachBoxHasItsCaption() {
        test::MessageRecorder messages;
        ShowInfo(QStringLiteral("i"));
        ShowError(QStringLiteral("e"));
        QVERIFY(ConfirmYesNo(QStringLiteral("y")));
        QVERIFY(ConfirmOkCancel(QStringLiteral("o")));
        ShowNotice(QStringLiteral("n"));
        const QList<QPair<MessageKind, QString>> expected = {
            {MessageKind::Information, "Information"}, {MessageKind::Error, "Error"},
            {MessageKind::ConfirmYesNo, "Confirm"},    {MessageKind::ConfirmOkCancel, "Confirm"},
            {MessageKind::PlainNotice, "VELM - Velmora"},
        };
        QCOMPARE(messages.Count(), expected.size());
        for (int i = 0; i < expected.size(); ++i) {
            QCOMPARE(messages.shown[i].kind, expected[i].first);
            QCOMPARE(messages.shown[i].caption, expected[i].second);
            QCOMPARE(CaptionFor(expected[i].first), expected[i].second);
        }
        QCOMPARE(messages.shown[2].text, QStringLiteral("y"));
    }

    void exceptionsReachTheDefaultReportExceptTheSilentAbort() {
        test::MessageRecorder messages;
        ReportException(EAbort());
        QCOMPARE(messages.Count(), 0);
        ReportException(EDatabaseError(QStringLiteral("Table is busy"), {10243}));
        QCOMPARE(messages.Last().kind, MessageKind::DefaultError);
        QCOMPARE(messages.Last().text, QStringLiteral("Table is busy."));
        ReportException(std::runtime_error("Zugriff verweigert: Größe"));
        QCOMPARE(messages.Last().text, QStringLiteral("Zugriff verweigert: Größe."));
        QCOMPARE(messages.Count(), 2);
    }
};

QTEST_GUILESS_MAIN(TestMessages)
#include "test_messages.moc"
