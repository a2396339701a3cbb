#pragma once

#include <QPixmap>
#include <QSplashScreen>

namespace velm {

// The borderless window shown while the program starts: a 360 x 270 picture, centred
// on the screen.
class TSplashWindow : public QSplashScreen {
    Q_OBJECT
public:
    static constexpr int kWidth = 360;
    static constexpr int kHeight = 270;

    TSplashWindow();

    // Shows the window and paints it before returning, so it is on screen while the
    // rest of the start-up runs without an event loop.
    void ShowAndPaint();

    // The picture, drawn for the given device pixel ratio.
    static QPixmap Picture(qreal devicePixelRatio = 1.0);
};

}  // namespace velm
