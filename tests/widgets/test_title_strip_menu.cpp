// The File menu's title strip: the room it takes beside the items and what it paints.
#include "widgets/title_strip_menu.h"

#include <QImage>
#include <QTest>

using namespace velm;

namespace {

void AddItems(QMenu& menu) {
    menu.addAction(QStringLiteral("&Import Component Info..."));
    menu.addSeparator();
    menu.addAction(QStringLiteral("E&xit"));
}

bool Near(const QColor& a, const QColor& b, int tolerance = 12) {
    return qAbs(a.red() - b.red()) <= tolerance && qAbs(a.green() - b.green()) <= tolerance &&
           qAbs(a.blue() - b.blue()) <= tolerance;
}

}  // namespace

class TitleStripMenuTest : public QObject {
    Q_OBJECT
private slots:
    void stripWidensTheMenuAndKeepsItemsBesideIt();
    void paintsTheGradientAndTheTitleOnlyWhileShown();
};

void TitleStripMenuTest::stripWidensTheMenuAndKeepsItemsBesideIt() {
    QMenu plain;
    AddItems(plain);
    TTitleStripMenu menu(QStringLiteral("&File"));
    AddItems(menu);
    QVERIFY(menu.StripVisible());
    QCOMPARE(menu.sizeHint().width(), plain.sizeHint().width() + TTitleStripMenu::kStripWidth);
    QCOMPARE(menu.sizeHint().height(), plain.sizeHint().height());

    menu.resize(menu.sizeHint());
    const QRect strip = menu.StripRect();
    QCOMPARE(strip.width(), TTitleStripMenu::kStripWidth);
    for (QAction* action : menu.actions())
        QVERIFY(menu.actionGeometry(action).left() > strip.right());

    menu.SetStripVisible(false);
    QCOMPARE(menu.sizeHint(), plain.sizeHint());
    QVERIFY(menu.StripRect().isEmpty());
    menu.SetStripVisible(true);
    QCOMPARE(menu.sizeHint().width(), plain.sizeHint().width() + TTitleStripMenu::kStripWidth);
}

void TitleStripMenuTest::paintsTheGradientAndTheTitleOnlyWhileShown() {
    TTitleStripMenu menu;
    AddItems(menu);
    menu.resize(menu.sizeHint());
    const QRect strip = menu.StripRect();
    const QImage shown = menu.grab().toImage();
    const int x = strip.left() + 2;  // beside the title, which sits on the middle line
    QVERIFY(Near(shown.pixelColor(x, strip.top()), TTitleStripMenu::StripStartColor()));
    QVERIFY(Near(shown.pixelColor(x, strip.bottom()), TTitleStripMenu::StripEndColor()));
    QCOMPARE(TTitleStripMenu::StripStartColor(), QColor(0xff, 0xff, 0xd9));
    QCOMPARE(TTitleStripMenu::StripEndColor(), QColor(0x80, 0x80, 0xc0));

    int maroon = 0;
    for (int y = strip.top(); y <= strip.bottom(); ++y)
        for (int px = strip.left(); px <= strip.right(); ++px)
            if (Near(shown.pixelColor(px, y), TTitleStripMenu::StripTextColor(), 40))
                ++maroon;
    QVERIFY2(maroon > 20, "the title is painted in the strip");

    menu.SetStripVisible(false);
    menu.resize(menu.sizeHint());
    const QImage hidden = menu.grab().toImage();
    QVERIFY(!Near(hidden.pixelColor(x, strip.bottom()), TTitleStripMenu::StripEndColor()));
}

QTEST_MAIN(TitleStripMenuTest)
#include "test_title_strip_menu.moc"
