// The search strip across the top of the main window.
#include "browser/search_strip.h"

#include "browser/category_tree.h"
#include "catalogue/data_module.h"
#include "catalogue/field_names.h"
#include "catalogue/table.h"
#include "kit/command_guard.h"
#include "kit/work_guard.h"
#include "ui_form_main.h"

#include <QComboBox>
#include <QGraphicsDropShadowEffect>
#include <QGuiApplication>
#include <QLineEdit>
#include <QPainter>
#include <QPainterPath>
#include <QStatusBar>

namespace velm {

namespace {

constexpr int kCompactHeight = 37;
constexpr int kExtendedHeight = 72;

// A magnifying glass; the one that searches on carries an arrow.
QIcon SearchPicture(bool onwards) {
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(0x40, 0x40, 0x40), 1.5));
    p.setBrush(QColor(0xc8, 0xe4, 0xf8));
    p.drawEllipse(QPointF(6, 6), 4.5, 4.5);
    p.setPen(QPen(QColor(0x80, 0x50, 0x10), 2.5, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(9.5, 9.5), QPointF(14, 14));
    if (onwards) {
        QPainterPath arrow;
        arrow.moveTo(10, 1);
        arrow.lineTo(15, 4);
        arrow.lineTo(10, 7);
        arrow.closeSubpath();
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0x10, 0x80, 0x10));
        p.drawPath(arrow);
    }
    return QIcon(pixmap);
}

// White 15-pixel Arial with a dark shadow below right.
void StyleShadowLabel(QLabel* label) {
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(15);
    label->setFont(font);
    label->setStyleSheet(QStringLiteral("color: white;"));
    auto* shadow = new QGraphicsDropShadowEffect(label);
    shadow->setBlurRadius(0);
    shadow->setOffset(1, 1);
    shadow->setColor(QColor(0x20, 0x20, 0x20));
    label->setGraphicsEffect(shadow);
}

}  // namespace

TSearchStrip::TSearchStrip(Ui::FormMain& ui, TCategoryTree& tree, TWorkGuard& guard, QStatusBar* statusBar,
                           std::function<bool()> windowClosed, QObject* parent)
    : QObject(parent), ui_(ui), tree_(tree), guard_(guard), statusBar_(statusBar), windowClosed_(std::move(windowClosed)) {
    locate_ = new TfxLocate(this);
    locate_->SetDataSource(DMvelm ? DMvelm->DSCPInfo : nullptr);
    locate_->ShowCursor = [](Qt::CursorShape shape) { QGuiApplication::setOverrideCursor(QCursor(shape)); };
    locate_->RestoreCursor = [] { QGuiApplication::restoreOverrideCursor(); };
    connect(locate_, &TfxLocate::busyChanged, this, &TSearchStrip::BusyChanged);

    StyleShadowLabel(ui_.LabelSearchIn);
    StyleShadowLabel(ui_.LabelFor);
    ui_.BitBtnSearch->setIcon(SearchPicture(false));
    ui_.BitBtnSearchNext->setIcon(SearchPicture(true));
    // Design-time entries never survive: the list is filled when the window is shown.
    ui_.ComboBoxSearchIn->clear();

    connect(ui_.BitBtnSearch, &QPushButton::clicked, this, [this] { RunCommand([this] { RunSearch(false); }); });
    connect(ui_.BitBtnSearchNext, &QPushButton::clicked, this, [this] { RunCommand([this] { RunSearch(true); }); });
    // Enter after the text searches as "Search now !" does; not while that is disabled.
    connect(ui_.EditSearch, &QLineEdit::returnPressed, ui_.BitBtnSearch, &QPushButton::click);
    // toggled, not clicked: setting the box from the menu must run the same handling.
    connect(ui_.CheckBoxSearchOptions, &QCheckBox::toggled, this, &TSearchStrip::ShowOptions);
    // The View menu's two items run after the menu has toggled their check marks.
    connect(ui_.ViewHideSearchPanel, &QAction::triggered, this,
            [this] { ui_.PanelSearch->setVisible(!ui_.ViewHideSearchPanel->isChecked()); });
    connect(ui_.ViewShowSearchOptions, &QAction::triggered, this,
            [this] { ui_.CheckBoxSearchOptions->setChecked(ui_.ViewShowSearchOptions->isChecked()); });
    ShowOptions();
}

void TSearchStrip::FillFieldList(const TTable& packages) {
    QStringList names;
    for (int i = 0; i < packages.FieldCount(); ++i) {
        const TField* field = packages.Field(i);
        const TFieldKind kind = field->Kind();
        if (kind == TFieldKind::String || kind == TFieldKind::Memo || kind == TFieldKind::Lookup)
            names << field->FieldName();
    }
    QComboBox* list = ui_.ComboBoxSearchIn;
    list->clear();
    list->addItems(names);
    // A field is chosen from the start, so that a first search does not do nothing.
    list->setCurrentIndex(names.isEmpty() ? -1 : 0);
    // Wide enough for its longest field name; the controls to its right move along.
    list->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    const int grow = list->sizeHint().width() - list->width();
    if (grow <= 0)
        return;
    list->resize(list->width() + grow, list->height());
    const QList<QWidget*> right = {ui_.LabelFor, ui_.EditSearch, ui_.BitBtnSearch, ui_.CheckBoxSearchOptions,
                                   ui_.BitBtnSearchNext};
    for (QWidget* control : right)
        control->move(control->x() + grow, control->y());
}

void TSearchStrip::RunSearch(bool fromNext) {
    const int chosen = ui_.ComboBoxSearchIn->currentIndex();
    if (chosen < 0)
        return;
    const QString text = ui_.EditSearch->text();
    if (text.isEmpty())
        return;
    TfxMatchType match = maFull;
    if (ui_.RadioButtonMatchAnywhere->isChecked())
        match = maAnywhere;
    else if (ui_.RadioButtonMatchBeginning->isChecked())
        match = maBeginning;
    bool found = false;
    // The scan lets events run; the guard keeps the user's input, drops and a close
    // from acting on the rows under it.
    guard_.Run([&] {
        found = LocateRecord(ui_.ComboBoxSearchIn->itemText(chosen), text, match,
                             ui_.CheckBoxCaseSensitive->isChecked(), fromNext);
    });
    if (windowClosed_() || guard_.CloseRequested())
        return;
    // Nothing happening at all would read as a button that does not work; and the
    // button's hint, still shown after a search, would answer nothing.
    const QString field = ui_.ComboBoxSearchIn->itemText(chosen);
    if (!found) {
        const QString message =
            fromNext ? QStringLiteral("No further match: no component after this one holds \"%1\" in %2.")
                     : QStringLiteral("Nothing found: no component holds \"%1\" in %2.");
        statusBar_->showMessage(message.arg(text, field));
        return;
    }
    TTable& packages = *DMvelm->TableCPInfo;
    const QString name = packages.FieldByName(fields::ProductName)->AsString();
    tree_.SelectComponentNode(packages.FieldByName(fields::ID)->Value().toLongLong());
    statusBar_->showMessage(QStringLiteral("Found %1: it holds \"%2\" in %3.").arg(name, text, field));
}

bool TSearchStrip::LocateRecord(const QString& fieldName, const QString& searchText, TfxMatchType match,
                                bool caseSensitive, bool fromNext) {
    // A running scan took its settings when it began; a second search is refused and
    // must not leave its settings behind either.
    if (locate_->Busy())
        return false;
    locate_->SetDataField(fieldName);
    locate_->SetFindText(searchText);
    locate_->SetIgnoreCase(!caseSensitive);
    locate_->SetMatchType(match);
    if (fromNext)
        locate_->FindNext();
    else
        locate_->FindFirst();
    return locate_->Found();
}

void TSearchStrip::ShowOptions() {
    const bool extended = ui_.CheckBoxSearchOptions->isChecked();
    ui_.PanelSearch->setFixedHeight(extended ? kExtendedHeight : kCompactHeight);
    // The second row is cut off in the compact form; hidden, it cannot take the focus
    // either, and its settings still govern every search.
    for (QWidget* control : {static_cast<QWidget*>(ui_.PanelMatch), static_cast<QWidget*>(ui_.PanelCaseSensitive),
                             static_cast<QWidget*>(ui_.BitBtnSearchNext)})
        control->setVisible(extended);
    ui_.ViewShowSearchOptions->setChecked(extended);
}

void TSearchStrip::BusyChanged(bool busy) {
    QPushButton* buttons[] = {ui_.BitBtnSearch, ui_.BitBtnSearchNext};
    if (busy) {
        // A disabled button hands its focus on down the tab chain, perhaps into the
        // detail panel; park it in the search text and give it back afterwards.
        searchFocus_ = nullptr;
        for (QPushButton* button : buttons)
            if (button->hasFocus()) {
                searchFocus_ = button;
                ui_.EditSearch->setFocus(Qt::OtherFocusReason);
            }
    }
    for (QPushButton* button : buttons)
        button->setEnabled(!busy);
    if (!busy && searchFocus_) {
        if (searchFocus_->isVisible() && ui_.EditSearch->hasFocus())
            searchFocus_->setFocus(Qt::OtherFocusReason);
        searchFocus_ = nullptr;
    }
}

}  // namespace velm
