#include "widgets/control_colour.h"

#include <QPalette>
#include <QWidget>

namespace velm {

void SetControlColour(QWidget* control, const QColor& colour) {
    QPalette palette = control->palette();
    palette.setColor(QPalette::Base, colour);
    palette.setColor(QPalette::Window, colour);
    palette.setColor(QPalette::Button, colour);
    control->setPalette(palette);
    control->setAutoFillBackground(true);
}

QColor ControlColour(const QWidget* control) { return control->palette().color(QPalette::Base); }

void SetControlTextColour(QWidget* control, const QColor& colour) {
    QPalette palette = control->palette();
    palette.setColor(QPalette::Text, colour);
    palette.setColor(QPalette::WindowText, colour);
    palette.setColor(QPalette::ButtonText, colour);
    control->setPalette(palette);
}

QColor ControlTextColour(const QWidget* control) { return control->palette().color(QPalette::Text); }

}  // namespace velm
