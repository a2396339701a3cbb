#include "browser/form_about.h"

#include "ui_form_about.h"

#include "kit/settings.h"
#include "catalogue/data_module.h"

#include <QApplication>
#include <QDir>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>

namespace velm {

namespace {

constexpr ColorRef kNameColour = 12615808;
constexpr ColorRef kNoticeColour = 8510703;

qreal ScreenPixelRatio() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->devicePixelRatio() : 1.0;
}

void SetTextColour(QLabel* label, const QColor& colour) {
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, colour);
    label->setPalette(palette);
}

QFont ArialFont(int pixelSize) {
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(pixelSize);
    return font;
}

// A closed package seen from the front-left: front face, lid and right side, with a
// zip fastener down the front.
void DrawPackage(QPainter& painter, const QRectF& front, qreal depth, const QColor& colour) {
    const QPointF lift(depth, -depth);
    const QPolygonF lid{front.topLeft(), front.topRight(), front.topRight() + lift, front.topLeft() + lift};
    const QPolygonF side{front.topRight(), front.bottomRight(), front.bottomRight() + lift, front.topRight() + lift};
    painter.setPen(QPen(colour.darker(220), 1.0));
    painter.setBrush(colour.lighter(125));
    painter.drawPolygon(lid);
    painter.setBrush(colour.darker(135));
    painter.drawPolygon(side);
    painter.setBrush(colour);
    painter.drawRect(front);

    const qreal middle = front.center().x();
    painter.setPen(QPen(colour.darker(250), 1.0));
    painter.drawLine(QPointF(middle, front.top()), QPointF(middle, front.bottom()));
    for (qreal y = front.top() + 3; y < front.bottom() - 1; y += 4)
        painter.drawLine(QPointF(middle - 2, y), QPointF(middle + 2, y));
}

// An open card-index drawer: cards with tabs standing behind the drawer's front.
void DrawCardDrawer(QPainter& painter, const QRectF& front) {
    const QColor card(0xF4, 0xEE, 0xD8);
    for (int i = 0; i < 6; ++i) {
        const QRectF body(front.left() + 6 + i * 2, front.top() - 34 + i * 5, front.width() - 16, 40);
        const QRectF tab(body.left() + 8 + (i * 23) % static_cast<int>(body.width() - 30), body.top() - 6, 18, 8);
        QPainterPath path;
        path.addRoundedRect(tab, 2, 2);
        path.addRect(body);
        painter.setPen(QPen(QColor(0x9A, 0x8E, 0x6C), 0.8));
        painter.setBrush(i % 2 ? card : card.darker(106));
        painter.drawPath(path.simplified());
    }
    QLinearGradient wood(front.topLeft(), front.bottomLeft());
    wood.setColorAt(0.0, QColor(0xA9, 0x7C, 0x50));
    wood.setColorAt(1.0, QColor(0x6E, 0x4B, 0x2C));
    painter.setPen(QPen(QColor(0x3E, 0x2A, 0x18), 1.0));
    painter.setBrush(wood);
    painter.drawRoundedRect(front, 3, 3);
    const QRectF holder(front.center().x() - 16, front.top() + 7, 32, 12);
    painter.setBrush(QColor(0xF4, 0xEE, 0xD8));
    painter.setPen(QPen(QColor(0xC8, 0xB0, 0x6A), 1.5));
    painter.drawRect(holder);
    painter.setBrush(QColor(0xC8, 0xB0, 0x6A));
    painter.drawRoundedRect(QRectF(front.center().x() - 14, front.bottom() - 14, 28, 6), 3, 3);
}

}  // namespace

TFormAbout::TFormAbout(QWidget* parent) : QDialog(parent), ui_(std::make_unique<Ui::FormAbout>()) {
    ui_->setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(size());
    setFont(ArialFont(15));

    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, Qt::black);
    palette.setColor(QPalette::WindowText, Qt::white);
    setPalette(palette);
    setAutoFillBackground(true);

    QFont nameFont(QStringLiteral("Comic Sans MS"));
    nameFont.setPixelSize(21);
    nameFont.setBold(true);
    ui_->LabelProductName->setFont(nameFont);
    SetTextColour(ui_->LabelProductName, ColorRefToQColor(kNameColour));
    for (QLabel* label : {ui_->LabelCopyright, ui_->LabelAuthor, ui_->LabelDescription, ui_->LabelScope})
        SetTextColour(label, ColorRefToQColor(kNoticeColour));

    // Which catalogue this is, in a smaller type; a long path loses its middle.
    if (DMvelm) {
        QLabel* folder = ui_->LabelCatalogueFolder;
        folder->setFont(ArialFont(11));
        SetTextColour(folder, ColorRefToQColor(kNoticeColour));
        const QString text = QStringLiteral("Catalogue: ") + QDir::toNativeSeparators(QDir::cleanPath(DMvelm->DataFolder()));
        folder->setText(folder->fontMetrics().elidedText(text, Qt::ElideMiddle, folder->width()));
        folder->setToolTip(text);
    }

    const qreal ratio = ScreenPixelRatio();
    ui_->ImageProgramIcon->setPixmap(ProgramIcon(ratio));
    ui_->ImagePicture->setPixmap(Picture(ratio));
}

TFormAbout::~TFormAbout() = default;

QLabel* TFormAbout::ImageProgramIcon() const { return ui_->ImageProgramIcon; }
QLabel* TFormAbout::LabelProductName() const { return ui_->LabelProductName; }
QLabel* TFormAbout::LabelVersion() const { return ui_->LabelVersion; }
QLabel* TFormAbout::LabelCopyright() const { return ui_->LabelCopyright; }
QLabel* TFormAbout::LabelAuthor() const { return ui_->LabelAuthor; }
QLabel* TFormAbout::ImagePicture() const { return ui_->ImagePicture; }
QLabel* TFormAbout::LabelDescription() const { return ui_->LabelDescription; }
QLabel* TFormAbout::LabelScope() const { return ui_->LabelScope; }
QLabel* TFormAbout::LabelCatalogueFolder() const { return ui_->LabelCatalogueFolder; }

// The labels leave mouse presses to the box, so every click ends here with the point in
// the box's own coordinates.
void TFormAbout::mousePressEvent(QMouseEvent* event) { event->accept(); }

void TFormAbout::mouseReleaseEvent(QMouseEvent* event) {
    event->accept();
    const QPoint point = event->position().toPoint();
    if (!rect().contains(point))
        return;
    const QWidget* hit = childAt(point);
    if (hit == ui_->ImageProgramIcon || hit == ui_->LabelCopyright)
        return;
    FormClick();
}

void TFormAbout::FormClick() { accept(); }

QPixmap TFormAbout::ProgramIcon(qreal devicePixelRatio) {
    const QIcon appIcon = QApplication::windowIcon();
    if (!appIcon.isNull())
        return appIcon.pixmap(QSize(32, 32), devicePixelRatio);

    QPixmap pixmap(QSize(32, 32) * devicePixelRatio);
    pixmap.setDevicePixelRatio(devicePixelRatio);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    QLinearGradient face(0, 0, 32, 32);
    face.setColorAt(0.0, QColor(0x40, 0x80, 0x80));
    face.setColorAt(1.0, QColor(0x1F, 0x4E, 0x4E));
    painter.setPen(Qt::NoPen);
    painter.setBrush(face);
    painter.drawRoundedRect(QRectF(0.5, 0.5, 31, 31), 6, 6);
    DrawPackage(painter, QRectF(5, 17, 13, 10), 4, QColor(0x9D, 0xB4, 0x98));
    DrawPackage(painter, QRectF(15, 19, 10, 8), 3, QColor(0xB7, 0xC7, 0xAD));
    DrawPackage(painter, QRectF(8, 8, 10, 8), 3, QColor(0xD9, 0xE6, 0xD2));
    return pixmap;
}

QPixmap TFormAbout::Picture(qreal devicePixelRatio) {
    const QSizeF size(300, 120);
    QPixmap pixmap((size * devicePixelRatio).toSize());
    pixmap.setDevicePixelRatio(devicePixelRatio);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF area(QPointF(0, 0), size);

    QLinearGradient night(area.topLeft(), area.bottomLeft());
    night.setColorAt(0.0, QColor(0x12, 0x2A, 0x36));
    night.setColorAt(1.0, QColor(0x02, 0x06, 0x08));
    painter.fillRect(area, night);

    // A shelf of zipped packages on the left, the catalogue's card drawer on the right.
    painter.setPen(QPen(QColor(0x5A, 0x44, 0x2C), 4));
    painter.drawLine(QPointF(10, 106), QPointF(290, 106));
    DrawPackage(painter, QRectF(22, 58, 58, 46), 12, QColor(0x9D, 0xB4, 0x98));
    DrawPackage(painter, QRectF(86, 72, 44, 32), 10, QColor(0x80, 0x80, 0x40));
    DrawPackage(painter, QRectF(30, 24, 40, 30), 9, QColor(0xB7, 0xC7, 0xAD));
    DrawCardDrawer(painter, QRectF(168, 62, 112, 42));

    painter.setPen(QPen(ColorRefToQColor(kNoticeColour), 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(area.adjusted(0.5, 0.5, -0.5, -0.5));
    return pixmap;
}

void RunAboutBox(QWidget* parent) {
    TFormAbout box(parent);
    box.exec();
}

}  // namespace velm
