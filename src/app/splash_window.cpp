#include "app/splash_window.h"

#include "app/splash_picture.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QScreen>

// The rendered pictures are in the core library's resources; a static library's
// resources must be named once to be linked in (outside any namespace).
static void LoadSplashResources() {
    Q_INIT_RESOURCE(pictures);
}

namespace velm {

namespace {

qreal ScreenPixelRatio() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->devicePixelRatio() : 1.0;
}

}  // namespace

TSplashWindow::TSplashWindow()
    : QSplashScreen(QGuiApplication::primaryScreen(), Picture(ScreenPixelRatio()),
                    Qt::SplashScreen | Qt::FramelessWindowHint) {
    setObjectName(QStringLiteral("SplashWindow"));
    setFixedSize(kWidth, kHeight);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect frame(QPoint(0, 0), size());
        frame.moveCenter(screen->geometry().center());
        move(frame.topLeft());
    }
}

void TSplashWindow::ShowAndPaint() {
    show();
    raise();
    repaint();
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

QPixmap TSplashWindow::Picture(qreal devicePixelRatio) {
    // Drawing the picture would load two fonts of its own before the main window needs
    // any; the rendered file costs a read and a decode.
    LoadSplashResources();
    const bool sharp = devicePixelRatio > 1.0;
    QPixmap pixmap(sharp ? QStringLiteral(":/pictures/splash@2x.png") : QStringLiteral(":/pictures/splash.png"));
    if (pixmap.size() != QSize(kWidth, kHeight) * (sharp ? 2 : 1))
        return QPixmap::fromImage(DrawSplashPicture(devicePixelRatio));
    pixmap.setDevicePixelRatio(sharp ? 2.0 : 1.0);
    return pixmap;
}

}  // namespace velm
