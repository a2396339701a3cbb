#pragma once

#include <QImage>

namespace velm {

constexpr int kSplashWidth = 360;
constexpr int kSplashHeight = 270;

// The splash picture as drawn: the source of the rendered files the program shows
// (velmora-render-splash writes them), and what it shows when they are missing.
QImage DrawSplashPicture(qreal devicePixelRatio = 1.0);

}  // namespace velm
