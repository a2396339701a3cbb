#include "kit/color_picker.h"

#include <QColorDialog>

namespace velm {

namespace {

ColorPicker* g_picker = nullptr;

}  // namespace

ColorPicker* SetColorPicker(ColorPicker* picker) {
    ColorPicker* previous = g_picker;
    g_picker = picker;
    return previous;
}

ColorPick PickColor(const QColor& initial, QWidget* parent) {
    if (g_picker)
        return g_picker->Pick(initial, parent);
    const QColor chosen = QColorDialog::getColor(initial, parent);
    if (!chosen.isValid())
        return {ColorPick::Cancelled, {}};
    return {ColorPick::Chosen, chosen};
}

void ForgetCustomColors() {
    for (int i = 0; i < QColorDialog::customCount(); ++i)
        QColorDialog::setCustomColor(i, Qt::white);
}

}  // namespace velm
