#pragma once

#include <QColor>

class QWidget;

namespace velm {

// A control's background colour, whatever part of the palette its kind paints with
// (edit fields, check box faces, drop-down buttons).
void SetControlColour(QWidget* control, const QColor& colour);
QColor ControlColour(const QWidget* control);

// The colour of a control's text.
void SetControlTextColour(QWidget* control, const QColor& colour);
QColor ControlTextColour(const QWidget* control);

}  // namespace velm
