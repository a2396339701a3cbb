#include "kit/dialog_colours.h"

#include "kit/settings.h"

#include <QPalette>
#include <QWidget>

#include <cmath>

namespace velm {

namespace {

// Relative luminance as contrast ratios are defined on it (sRGB, linearised).
double Luminance(const QColor& colour) {
    const auto linear = [](double c) { return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4); };
    const QColor rgb = colour.toRgb();
    return 0.2126 * linear(rgb.redF()) + 0.7152 * linear(rgb.greenF()) + 0.0722 * linear(rgb.blueF());
}

}  // namespace

QColor ContrastingText(const QColor& background) {
    // Black's contrast against the colour, against white's: the larger one wins.
    const double l = Luminance(background);
    return (l + 0.05) / 0.05 >= 1.05 / (l + 0.05) ? QColor(Qt::black) : QColor(Qt::white);
}

void PaintPanel(QWidget* panel, const QColor& colour) {
    QPalette palette = panel->palette();
    palette.setColor(QPalette::Window, colour);
    // A colour scheme may be dark: the panel's labels, titles and check boxes must stay
    // readable on it.
    palette.setColor(QPalette::WindowText, ContrastingText(colour));
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
