#include "widgets/date_edit.h"

#include <QAction>
#include <QCalendarWidget>
#include <QFrame>
#include <QKeyEvent>
#include <QLocale>
#include <QPainter>
#include <QPixmap>
#include <QScreen>
#include <QValidator>
#include <QVBoxLayout>

#include <algorithm>

namespace velm {

namespace {

// Accepts an empty box or a whole date; partial dates may be typed on the way there.
class TDateValidator : public QValidator {
public:
    using QValidator::QValidator;
    State validate(QString& input, int&) const override {
        const QString trimmed = input.trimmed();
        if (trimmed.isEmpty())
            return Acceptable;
        const QString format = TDateEdit::DisplayFormat();
        if (trimmed.size() > format.size() + 2)
            return Invalid;
        if (QDate::fromString(trimmed, format).isValid())
            return Acceptable;
        for (QChar c : trimmed)
            if (!c.isDigit() && (c.isLetter() || !format.contains(c)))
                return Invalid;
        return Intermediate;
    }
};

// A small calendar page with a drop-down mark.
QIcon CalendarIcon() {
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setPen(QColor(0x30, 0x30, 0x40));
    p.setBrush(Qt::white);
    p.drawRect(1, 2, 13, 12);
    p.fillRect(2, 3, 12, 3, QColor(0xc0, 0x30, 0x30));
    for (int row = 0; row < 2; ++row)
        for (int col = 0; col < 3; ++col)
            p.fillRect(3 + col * 4, 8 + row * 3, 2, 2, QColor(0x30, 0x30, 0x40));
    return QIcon(pixmap);
}

}  // namespace

TDateEdit::TDateEdit(QWidget* parent) : QLineEdit(parent) {
    setValidator(new TDateValidator(this));
    QAction* drop = addAction(CalendarIcon(), QLineEdit::TrailingPosition);
    drop->setToolTip(tr("Choose a date"));
    connect(drop, &QAction::triggered, this, &TDateEdit::ShowCalendar);
}

QString TDateEdit::DisplayFormat() {
    static const QString format = [] {
        QString f = QLocale().dateFormat(QLocale::ShortFormat);
        // Month names cannot be typed into a numeric box; two-digit years are ambiguous.
        if (f.contains(QLatin1String("MMM")) || f.contains(QLatin1String("ddd")))
            return QStringLiteral("yyyy-MM-dd");
        if (!f.contains(QLatin1String("yyyy")))
            f.replace(QLatin1String("yy"), QLatin1String("yyyy"));
        return f;
    }();
    return format;
}

QDate TDateEdit::Date() const { return QDate::fromString(text().trimmed(), DisplayFormat()); }

void TDateEdit::SetDate(const QDate& date) { setText(date.isValid() ? date.toString(DisplayFormat()) : QString()); }

bool TDateEdit::HasValidDate() const { return IsEmpty() || Date().isValid(); }

void TDateEdit::ShowCalendar() {
    if (isReadOnly())
        return;
    if (!popup_) {
        popup_ = new QFrame(this, Qt::Popup);
        popup_->setFrameShape(QFrame::Box);
        auto* layout = new QVBoxLayout(popup_);
        layout->setContentsMargins(1, 1, 1, 1);
        calendar_ = new QCalendarWidget(popup_);
        calendar_->setObjectName(QStringLiteral("CalendarDropDown"));
        calendar_->setVerticalHeaderFormat(QCalendarWidget::NoVerticalHeader);
        layout->addWidget(calendar_);
        connect(calendar_, &QCalendarWidget::clicked, this, &TDateEdit::CalendarPicked);
        connect(calendar_, &QCalendarWidget::activated, this, &TDateEdit::CalendarPicked);
    }
    const QDate current = Date();
    calendar_->setSelectedDate(current.isValid() ? current : QDate::currentDate());
    popup_->adjustSize();
    QPoint at = mapToGlobal(rect().bottomLeft());
    if (const QScreen* screen = this->screen()) {
        const QRect area = screen->availableGeometry();
        if (at.y() + popup_->height() > area.bottom())
            at.setY(mapToGlobal(rect().topLeft()).y() - popup_->height());
        at.setX(std::clamp(at.x(), area.left(), std::max(area.left(), area.right() - popup_->width())));
    }
    popup_->move(at);
    popup_->show();
    calendar_->setFocus(Qt::PopupFocusReason);
}

void TDateEdit::HideCalendar() {
    if (popup_)
        popup_->close();
}

QCalendarWidget* TDateEdit::Calendar() const { return popup_ && popup_->isVisible() ? calendar_ : nullptr; }

void TDateEdit::CalendarPicked(const QDate& date) {
    HideCalendar();
    SetDate(date);
    emit dateChosen(date);
}

void TDateEdit::keyPressEvent(QKeyEvent* event) {
    const bool altDown = event->key() == Qt::Key_Down && (event->modifiers() & Qt::AltModifier);
    if (altDown || event->key() == Qt::Key_F4) {
        ShowCalendar();
        event->accept();
        return;
    }
    QLineEdit::keyPressEvent(event);
}

}  // namespace velm
