#pragma once

#include <QColor>
#include <QMenu>
#include <QString>

namespace velm {

// A drop-down menu with a title strip down its left edge: the title, turned to read
// upwards, on a vertical colour gradient. The menu's items move right by the strip's
// width while the strip is shown.
class TTitleStripMenu : public QMenu {
    Q_OBJECT
public:
    static constexpr int kStripWidth = 30;

    explicit TTitleStripMenu(QWidget* parent = nullptr);
    explicit TTitleStripMenu(const QString& title, QWidget* parent = nullptr);

    void SetStripVisible(bool visible);
    bool StripVisible() const { return stripVisible_; }
    void SetStripText(const QString& text);
    const QString& StripText() const { return stripText_; }

    // Where the strip is painted, in the menu's coordinates; empty while it is hidden.
    QRect StripRect() const;

    static QColor StripStartColor();  // top of the gradient
    static QColor StripEndColor();    // bottom
    static QColor StripTextColor();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void ApplyMargins();

    bool stripVisible_ = true;
    QString stripText_ = QStringLiteral("Velmora");
};

}  // namespace velm
