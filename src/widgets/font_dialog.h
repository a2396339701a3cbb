#pragma once

#include <QColor>
#include <QFont>

#include <functional>
#include <optional>

class QWidget;

namespace velm {

// What a font dialog chooses: the font with its style, and the text colour.
struct TFontChoice {
    QFont font;
    QColor colour;
};

// Shows the font dialog loaded with the given choice; empty when the user cancels.
// Every size is offered.
std::optional<TFontChoice> ChooseFont(const TFontChoice& initial, QWidget* parent);

// Tests answer the dialog here: the chooser runs in place of the real dialog. An empty
// chooser restores the dialog. Returns the one installed before.
using TFontChooser = std::function<std::optional<TFontChoice>(const TFontChoice& initial, QWidget* parent)>;
TFontChooser SetFontChooser(TFontChooser chooser);

}  // namespace velm
