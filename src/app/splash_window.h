#pragma once

#include "app/splash_picture.h"

#include <QPixmap>
#include <QSplashScreen>

namespace velm {

// The borderless window shown while the program starts: a 360 x 270 picture, centred
// on the screen.
class TSplashWindow : public QSplashScreen {
    Q_OBJECT
public:
    static constexpr int kWidth = kSplashWidth;
    static constexpr int kHeight = kSplashHeight;

    TSplashWindow();

    // Shows the window and paints it before returning, so it is on screen while the
    // rest of the start-up runs without an event loop.
    void ShowAndPaint();

    // The picture for the given device pixel ratio: the rendered file, or drawn when
    // the file is missing.
    static QPixmap Picture(qreal devicePixelRatio = 1.0);
};

}  // namespace velm
