#pragma once

#include <QPushButton>

namespace velm {

// A push button whose caption wraps onto several lines when it does not fit in one.
class TWordWrapButton : public QPushButton {
    Q_OBJECT
public:
    using QPushButton::QPushButton;

protected:
    void paintEvent(QPaintEvent* event) override;
};

}  // namespace velm
