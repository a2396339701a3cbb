#include "widgets/font_dialog.h"

#include <QFontDialog>

namespace velm {

namespace {

TFontChooser& Chooser() {
    static TFontChooser chooser;
    return chooser;
}

}  // namespace

std::optional<TFontChoice> ChooseFont(const TFontChoice& initial, QWidget* parent) {
    if (Chooser())
        return Chooser()(initial, parent);
    bool ok = false;
    // The dialog picks font, size and style; it has no colour choice, so the colour it
    // was loaded with is the one chosen.
    const QFont font = QFontDialog::getFont(&ok, initial.font, parent);
    if (!ok)
        return std::nullopt;
    return TFontChoice{font, initial.colour};
}

TFontChooser SetFontChooser(TFontChooser chooser) {
    TFontChooser previous = std::move(Chooser());
    Chooser() = std::move(chooser);
    return previous;
}

}  // namespace velm
