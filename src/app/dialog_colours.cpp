#include "app/dialog_colours.h"

#include "app/settings.h"

#include <QPalette>
#include <QWidget>

namespace velm {

void PaintPanel(QWidget* panel, const QColor& colour) {
    QPalette palette = panel->palette();
    palette.setColor(QPalette::Window, colour);
    panel->setPalette(palette);
    panel->setAutoFillBackground(true);
}

QColor PanelColour(const QWidget* panel) { return panel->palette().color(QPalette::Window); }

void ColourDialogPanels(QWidget* outer, std::initializer_list<QWidget*> inner) {
    if (outer)
        PaintPanel(outer, ColorRefToQColor(Settings().PanelColor));
    const QColor innerColour = ColorRefToQColor(Settings().MainColor);
    for (QWidget* panel : inner)
        if (panel)
            PaintPanel(panel, innerColour);
}

}  // namespace velm
