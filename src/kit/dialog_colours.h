#pragma once

#include "kit/settings.h"

#include <QColor>

#include <initializer_list>

class QWidget;

namespace velm {

// A panel's background colour; the panel's children show through unless they have one
// of their own. Its texts take black or white, whichever reads better on it.
void PaintPanel(QWidget* panel, const QColor& colour);
inline void PaintPanel(QWidget* panel, ColorRef colour) { PaintPanel(panel, ColorRefToQColor(colour)); }
QColor ContrastingText(const QColor& background);
QColor PanelColour(const QWidget* panel);

// The colour scheme of a dialog: the outer panel takes the `PanelColor` setting, every
// inner panel the `MainColor` setting.
void ColourDialogPanels(QWidget* outer, std::initializer_list<QWidget*> inner);

}  // namespace velm
