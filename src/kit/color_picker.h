#pragma once

#include <QColor>

class QWidget;

namespace velm {

// What became of one request for a colour.
struct ColorPick {
    enum Outcome {
        Chosen,     // the user confirmed `color`
        Cancelled,  // the user closed the picker without choosing
        Failed,     // the picker could not be shown at all
    };
    Outcome outcome = Cancelled;
    QColor color;
};

// Every colour choice goes through one picker, so tests can answer it and record what
// was asked.
class ColorPicker {
public:
    virtual ~ColorPicker() = default;
    virtual ColorPick Pick(const QColor& initial, QWidget* parent) = 0;
};

// Installs a picker (nullptr restores the system's colour dialog). Returns the previous one.
ColorPicker* SetColorPicker(ColorPicker* picker);

// Shows the picker preset to `initial`.
ColorPick PickColor(const QColor& initial, QWidget* parent);

// Custom colours defined in the picker are kept only while the window that asks for
// them is open; that window calls this when it opens.
void ForgetCustomColors();

}  // namespace velm
