#include "widgets/db_navigator.h"

#include "kit/messages.h"
#include "catalogue/data_source.h"
#include "catalogue/table.h"

#include <QEvent>
#include <QPainter>
#include <QPainterPath>
#include <QToolButton>

namespace velm {

namespace {

constexpr int kGlyphSize = 16;

int Index(TNavigateBtn button) { return static_cast<int>(button); }

const char* const kButtonNames[kNavigateBtnCount] = {"nbFirst", "nbPrior", "nbNext",  "nbLast",   "nbInsert",
                                                      "nbDelete", "nbEdit", "nbPost", "nbCancel", "nbRefresh"};

const char* const kDefaultHints[kNavigateBtnCount] = {"First record", "Prior record", "Next record", "Last record",
                                                       "Insert record", "Delete record", "Edit record", "Post edit",
                                                       "Cancel edit", "Refresh data"};

// A triangle pointing towards the start (up or left) or the end (down or right) of the
// table, drawn in the 16 x 16 glyph box around its centre line.
QPolygonF Arrow(bool towardsStart, bool vertical, qreal offset) {
    QPolygonF points;
    const qreal tip = towardsStart ? 4.5 : 11.5;
    const qreal base = towardsStart ? 10.5 : 5.5;
    points << QPointF(tip + offset, 8) << QPointF(base + offset, 3) << QPointF(base + offset, 13);
    if (vertical)
        for (QPointF& p : points)
            p = QPointF(p.y(), p.x());
    return points;
}

QRectF Bar(bool atStart, bool vertical) {
    const QRectF horizontal(atStart ? 2.5 : 11.5, 3, 2, 10);
    return vertical ? QRectF(horizontal.y(), horizontal.x(), horizontal.height(), horizontal.width()) : horizontal;
}

QPixmap Glyph(TNavigateBtn button, bool vertical) {
    QPixmap pixmap(kGlyphSize, kGlyphSize);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor ink(0x20, 0x20, 0x20);
    p.setPen(Qt::NoPen);
    p.setBrush(ink);
    switch (button) {
    case TNavigateBtn::nbFirst:
        p.drawRect(Bar(true, vertical));
        p.drawPolygon(Arrow(true, vertical, 1.5));
        break;
    case TNavigateBtn::nbPrior: p.drawPolygon(Arrow(true, vertical, 0)); break;
    case TNavigateBtn::nbNext: p.drawPolygon(Arrow(false, vertical, 0)); break;
    case TNavigateBtn::nbLast:
        p.drawRect(Bar(false, vertical));
        p.drawPolygon(Arrow(false, vertical, -1.5));
        break;
    case TNavigateBtn::nbInsert:
        p.drawRect(QRectF(3, 7, 10, 2));
        p.drawRect(QRectF(7, 3, 2, 10));
        break;
    case TNavigateBtn::nbDelete: p.drawRect(QRectF(3, 7, 10, 2)); break;
    case TNavigateBtn::nbEdit: {
        // A pencil, tip at the lower left.
        p.setPen(QPen(ink, 1));
        p.setBrush(QColor(0xf0, 0xd0, 0x60));
        QPolygonF pencil;
        pencil << QPointF(3, 13) << QPointF(4, 10) << QPointF(11, 3) << QPointF(13, 5) << QPointF(6, 12);
        p.drawPolygon(pencil);
        p.setBrush(ink);
        p.drawPolygon(QPolygonF({QPointF(3, 13), QPointF(3.6, 11.2), QPointF(4.8, 12.4)}));
        break;
    }
    case TNavigateBtn::nbPost: {
        p.setPen(QPen(QColor(0x00, 0x70, 0x00), 2.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.setBrush(Qt::NoBrush);
        QPainterPath tick;
        tick.moveTo(3, 8.5);
        tick.lineTo(6.5, 12);
        tick.lineTo(13, 4);
        p.drawPath(tick);
        break;
    }
    case TNavigateBtn::nbCancel:
        p.setPen(QPen(QColor(0xa0, 0x00, 0x00), 2.2, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(4, 4), QPointF(12, 12));
        p.drawLine(QPointF(12, 4), QPointF(4, 12));
        break;
    case TNavigateBtn::nbRefresh: {
        p.setPen(QPen(ink, 1.6));
        p.setBrush(Qt::NoBrush);
        p.drawArc(QRectF(3, 3, 10, 10), 90 * 16, 270 * 16);
        p.setPen(Qt::NoPen);
        p.setBrush(ink);
        p.drawPolygon(QPolygonF({QPointF(8, 0.5), QPointF(12, 3), QPointF(8, 5.5)}));
        break;
    }
    }
    return pixmap;
}

}  // namespace

TDBNavigator::TDBNavigator(QWidget* parent) : QWidget(parent) {
    for (int i = 0; i < kNavigateBtnCount; ++i) {
        auto* button = new QToolButton(this);
        const auto which = static_cast<TNavigateBtn>(i);
        button->setObjectName(QString::fromLatin1(kButtonNames[i]));
        button->setFocusPolicy(Qt::NoFocus);
        button->setToolButtonStyle(Qt::ToolButtonIconOnly);
        button->setIconSize(QSize(kGlyphSize, kGlyphSize));
        button->setToolTip(QString::fromLatin1(kDefaultHints[i]));
        button->setStatusTip(button->toolTip());
        connect(button, &QToolButton::clicked, this, [this, which] { BtnClick(which); });
        buttons_[static_cast<size_t>(i)] = button;
        visible_[static_cast<size_t>(i)] = true;
    }
    UpdateGlyphs();
    UpdateButtons();
}

TDBNavigator::~TDBNavigator() {
    // The buttons go before QObject would cut the table's notices off.
    if (source_)
        disconnect(source_, nullptr, this, nullptr);
}

void TDBNavigator::SetDataSource(TDataSource* source) {
    if (source_ == source)
        return;
    if (source_)
        disconnect(source_, nullptr, this, nullptr);
    source_ = source;
    if (source_) {
        connect(source_, &TDataSource::dataSetChanged, this, &TDBNavigator::UpdateButtons);
        connect(source_, &TDataSource::stateChanged, this, &TDBNavigator::UpdateButtons);
        connect(source_, &TDataSource::fieldChanged, this, &TDBNavigator::UpdateButtons);
    }
    UpdateButtons();
}

TTable* TDBNavigator::Table() const { return source_ ? source_->DataSet() : nullptr; }

void TDBNavigator::SetOrientation(Qt::Orientation orientation) {
    if (orientation_ == orientation)
        return;
    orientation_ = orientation;
    UpdateGlyphs();
    LayOutButtons();
}

void TDBNavigator::SetButtonVisible(TNavigateBtn button, bool visible) {
    visible_[static_cast<size_t>(Index(button))] = visible;
    Button(button)->setVisible(visible);
    LayOutButtons();
}

bool TDBNavigator::ButtonVisible(TNavigateBtn button) const { return visible_[static_cast<size_t>(Index(button))]; }

void TDBNavigator::SetHints(const QStringList& hints) {
    for (int i = 0; i < kNavigateBtnCount; ++i) {
        const QString hint = i < hints.size() ? hints.at(i) : QString::fromLatin1(kDefaultHints[i]);
        buttons_[static_cast<size_t>(i)]->setToolTip(hint);
        buttons_[static_cast<size_t>(i)]->setStatusTip(hint);
    }
}

QStringList TDBNavigator::Hints() const {
    QStringList hints;
    for (const QToolButton* button : buttons_)
        hints << button->toolTip();
    return hints;
}

QToolButton* TDBNavigator::Button(TNavigateBtn button) const { return buttons_[static_cast<size_t>(Index(button))]; }

void TDBNavigator::UpdateButtons() {
    const TTable* table = Table();
    const bool active = table && table->Active();
    const TDataSetState state = active ? table->State() : TDataSetState::Inactive;
    const bool editing = state == TDataSetState::Edit || state == TDataSetState::Insert;
    int count = active ? table->RecordCount() : 0;
    int pos = active ? table->RecNo() : -1;
    if (state == TDataSetState::Insert) {
        // The new row is stored after the others, so it counts as the last one.
        pos = count;
        ++count;
    }
    const bool notFirst = active && pos > 0;
    const bool notLast = active && pos >= 0 && pos < count - 1;
    const bool enabled = isEnabled();
    auto set = [&](TNavigateBtn button, bool on) { Button(button)->setEnabled(enabled && on); };
    set(TNavigateBtn::nbFirst, notFirst);
    set(TNavigateBtn::nbPrior, notFirst);
    set(TNavigateBtn::nbNext, notLast);
    set(TNavigateBtn::nbLast, notLast);
    set(TNavigateBtn::nbInsert, active);
    set(TNavigateBtn::nbDelete, active && !table->IsEmpty());
    set(TNavigateBtn::nbEdit, active && !editing);
    set(TNavigateBtn::nbPost, editing);
    set(TNavigateBtn::nbCancel, editing);
    set(TNavigateBtn::nbRefresh, active);
}

void TDBNavigator::BtnClick(TNavigateBtn button) {
    try {
        DoAction(button);
    } catch (const std::exception& error) {
        ReportException(error);
    }
    UpdateButtons();
}

void TDBNavigator::DoAction(TNavigateBtn button) {
    TTable* table = Table();
    if (!table || !table->Active())
        return;
    switch (button) {
    case TNavigateBtn::nbFirst: table->First(); break;
    case TNavigateBtn::nbPrior: table->Prior(); break;
    case TNavigateBtn::nbNext: table->Next(); break;
    case TNavigateBtn::nbLast: table->Last(); break;
    case TNavigateBtn::nbInsert: table->Insert(); break;
    case TNavigateBtn::nbDelete:
        table->CheckDeleteAllowed();
        if (!ConfirmDelete || ConfirmOkCancel(QStringLiteral("Delete record?")))
            table->Delete();
        break;
    case TNavigateBtn::nbEdit: table->Edit(); break;
    case TNavigateBtn::nbPost: table->Post(); break;
    case TNavigateBtn::nbCancel: table->Cancel(); break;
    case TNavigateBtn::nbRefresh:
        table->CheckBrowseMode();
        table->Refresh();
        break;
    }
}

void TDBNavigator::UpdateGlyphs() {
    const bool vertical = orientation_ == Qt::Vertical;
    for (int i = 0; i < kNavigateBtnCount; ++i)
        buttons_[static_cast<size_t>(i)]->setIcon(QIcon(Glyph(static_cast<TNavigateBtn>(i), vertical)));
}

void TDBNavigator::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    LayOutButtons();
}

void TDBNavigator::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::EnabledChange)
        UpdateButtons();
}

// The visible buttons share the length evenly; the last one takes what is left over.
void TDBNavigator::LayOutButtons() {
    int shown = 0;
    for (bool visible : visible_)
        shown += visible ? 1 : 0;
    if (shown == 0)
        return;
    const bool vertical = orientation_ == Qt::Vertical;
    const int length = vertical ? height() : width();
    const int step = length / shown;
    int at = 0;
    int placed = 0;
    for (int i = 0; i < kNavigateBtnCount; ++i) {
        if (!visible_[static_cast<size_t>(i)])
            continue;
        ++placed;
        const int size = placed == shown ? length - at : step;
        QToolButton* button = buttons_[static_cast<size_t>(i)];
        button->setGeometry(vertical ? QRect(0, at, width(), size) : QRect(at, 0, size, height()));
        at += size;
    }
}

}  // namespace velm
