#include "app/splash_window.h"

#include <QGuiApplication>
#include <QImage>
#include <QScreen>
#include <QSet>
#include <QTest>

using namespace velm;

class TestSplashWindow : public QObject {
    Q_OBJECT

private slots:
    void isABorderless360By270WindowCentredOnTheScreen() {
        TSplashWindow splash;
        splash.ShowAndPaint();
        QVERIFY(splash.isVisible());
        QVERIFY(splash.windowFlags() & Qt::FramelessWindowHint);
        QCOMPARE(splash.size(), QSize(360, 270));
        const QRect screen = QGuiApplication::primaryScreen()->geometry();
        QVERIFY(qAbs(splash.geometry().center().x() - screen.center().x()) <= 1);
        QVERIFY(qAbs(splash.geometry().center().y() - screen.center().y()) <= 1);
    }

    void pictureFillsTheWindowAtAnyPixelRatio() {
        for (qreal ratio : {1.0, 2.0}) {
            const QPixmap picture = TSplashWindow::Picture(ratio);
            QCOMPARE(picture.deviceIndependentSize().toSize(), QSize(360, 270));
            // A drawn picture, not a plain fill: many colours across it.
            const QImage image = picture.toImage();
            QSet<QRgb> colours;
            for (int y = 0; y < image.height(); y += 5)
                for (int x = 0; x < image.width(); x += 5)
                    colours.insert(image.pixel(x, y));
            QVERIFY(colours.size() > 100);
        }
    }

    void showsTheRenderedFilesNotADrawing() {
        // The files are rendered from the drawing and committed; a missing or mis-sized
        // file would make every start draw the picture again.
        for (const auto& [ratio, name] : {std::pair{1.0, ":/pictures/splash.png"}, std::pair{2.0, ":/pictures/splash@2x.png"}}) {
            const QImage shown = TSplashWindow::Picture(ratio).toImage();
            const QImage file(QString::fromLatin1(name));
            QCOMPARE(file.size(), QSize(360, 270) * ratio);
            QCOMPARE(shown.convertToFormat(QImage::Format_RGB32), file.convertToFormat(QImage::Format_RGB32));
        }
    }
};

QTEST_MAIN(TestSplashWindow)
#include "test_splash_window.moc"
