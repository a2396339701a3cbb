// The about box: what it shows, and which clicks close it.
#include "browser/form_about.h"
#include "support/modal_dialog.h"
#include "catalogue/data_module.h"
#include "support/temp_catalogue.h"

#include <QDir>
#include <QLabel>
#include <QTest>

using namespace velm;
using velm::test::AnswerNextModal;

class FormAboutTest : public QObject {
    Q_OBJECT
private slots:
    void showsNameVersionAndPictures();
    void clickClosesTheBox_data();
    void clickClosesTheBox();
    void modalBoxClosesOnTheVersionText();
    void namesTheCatalogueFolderInUse();
};

void FormAboutTest::showsNameVersionAndPictures() {
    TFormAbout box;
    QCOMPARE(box.windowTitle(), QStringLiteral("About"));
    QCOMPARE(box.size(), QSize(353, 291));
    QCOMPARE(box.palette().color(QPalette::Window), QColor(Qt::black));
    QCOMPARE(box.LabelProductName()->text(), QStringLiteral("Velmora"));
    QCOMPARE(box.LabelVersion()->text(), QStringLiteral("v0.1.0"));
    QCOMPARE(box.ImageProgramIcon()->pixmap().deviceIndependentSize(), QSizeF(32, 32));
    QCOMPARE(box.ImagePicture()->pixmap().deviceIndependentSize(), QSizeF(300, 120));
    QCOMPARE(box.ImagePicture()->size(), QSize(300, 120));
}

void FormAboutTest::clickClosesTheBox_data() {
    QTest::addColumn<QString>("target");
    QTest::addColumn<bool>("closes");
    QTest::newRow("background") << QString() << true;
    QTest::newRow("product name") << "LabelProductName" << true;
    QTest::newRow("version") << "LabelVersion" << true;
    QTest::newRow("author") << "LabelAuthor" << true;
    QTest::newRow("picture") << "ImagePicture" << true;
    QTest::newRow("first contact line") << "LabelDescription" << true;
    QTest::newRow("second contact line") << "LabelScope" << true;
    QTest::newRow("icon") << "ImageProgramIcon" << false;
    QTest::newRow("years") << "LabelCopyright" << false;
}

void FormAboutTest::clickClosesTheBox() {
    QFETCH(QString, target);
    QFETCH(bool, closes);
    TFormAbout box;
    box.show();
    QVERIFY(QTest::qWaitForWindowExposed(&box));
    if (target.isEmpty()) {
        const QPoint corner(box.width() - 4, box.height() - 4);
        QCOMPARE(box.childAt(corner), nullptr);
        QTest::mouseClick(&box, Qt::LeftButton, {}, corner);
    } else {
        auto* label = box.findChild<QLabel*>(target);
        QVERIFY(label);
        QTest::mouseClick(label, Qt::LeftButton);
    }
    QCOMPARE(!box.isVisible(), closes);
}

void FormAboutTest::modalBoxClosesOnTheVersionText() {
    bool iconKeptItOpen = false, answered = false;
    AnswerNextModal<TFormAbout>(
        [&](TFormAbout* shown) {
            QTest::mouseClick(shown->ImageProgramIcon(), Qt::LeftButton);
            iconKeptItOpen = shown->isVisible();
            QTest::mouseClick(shown->LabelVersion(), Qt::LeftButton);
        },
        &answered);
    RunAboutBox(nullptr);
    QVERIFY(answered);
    QVERIFY(iconKeptItOpen);
}

void FormAboutTest::namesTheCatalogueFolderInUse() {
    {
        test::TempCatalogue cat;
        TFormAbout box;
        const QString folder = QDir::toNativeSeparators(cat.ProgramFolder() + QStringLiteral("dbase"));
        QCOMPARE(box.LabelCatalogueFolder()->text(), QStringLiteral("Catalogue: ") + folder);
        // The rest of the box stays as it was.
        QCOMPARE(box.size(), QSize(353, 291));
        QCOMPARE(box.LabelScope()->geometry(), QRect(16, 254, 321, 19));
    }
    // A path too long for the line keeps its start and its end; the tip has it whole.
    const QString deep = QStringLiteral("/home/someone/") + QString(120, QLatin1Char('x')) + QStringLiteral("/Velmora/");
    TDMvelm module(deep);
    DMvelm = &module;
    TFormAbout box;
    const QString shown = box.LabelCatalogueFolder()->text();
    QCOMPARE(box.LabelCatalogueFolder()->toolTip(), QStringLiteral("Catalogue: ") + deep + QStringLiteral("dbase"));
    QVERIFY(shown.startsWith(QStringLiteral("Catalogue: /home/")));
    QVERIFY(shown.endsWith(QStringLiteral("/Velmora/dbase")));
    QVERIFY(box.LabelCatalogueFolder()->fontMetrics().horizontalAdvance(shown) <= box.LabelCatalogueFolder()->width());
    DMvelm = nullptr;
}

QTEST_MAIN(FormAboutTest)
#include "test_form_about.moc"
