#pragma once

#include <QPoint>
#include <QRect>

class QScreen;
class QWidget;

namespace velm {

// Keeps top-level windows on the screen they open on: no larger than the screen's free
// area, frame included, and wholly inside it, so that no title bar, status bar or
// button is out of reach on a small screen.

// The screen a window asked for from `owner` opens on: the owner's, else the primary.
QScreen* ScreenFor(const QWidget* owner);

// Puts the window on the screen with its client area at `topLeft` (its current place
// when none is given), shrunk and moved as far as needed to fit the screen's free area.
void FitToScreen(QWidget* window, QScreen* screen, const QPoint& topLeft);
void FitToScreen(QWidget* window, QScreen* screen);
// The window in the middle of the screen's free area, fitted.
void CentreOnScreen(QWidget* window, QScreen* screen);

// The screen whose free area holds most of the rectangle; null when none holds any.
QScreen* ScreenHolding(const QRect& rect);

}  // namespace velm
