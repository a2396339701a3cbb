// The search panel across the top of the main window: a field of the package table, a
// text, the match options, and two buttons that run the record locate engine and then
// select the found package in the tree.
#include "app/command_guard.h"
#include "browser/form_main.h"
#include "browser/tree_node.h"
#include "browser/work_guard.h"
#include "catalogue/data_module.h"
#include "catalogue/table.h"
#include "import/velm_component.h"
#include "search/fx_locate.h"
#include "ui_FormMain.h"

#include <QComboBox>
#include <QGraphicsDropShadowEffect>
#include <QGuiApplication>
#include <QLineEdit>
#include <QPainter>
#include <QPainterPath>
#include <QStatusBar>
#include <QTreeWidget>

namespace velm {

namespace {

constexpr int kCompactHeight = 37;
constexpr int kExtendedHeight = 72;

constexpr int kMatchAnywhere = 1;
constexpr int kMatchBeginning = 2;

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

void TFormMain::ConnectSearchPanel() {
    fxLocate1 = new TfxLocate(this);
    fxLocate1->SetDataSource(DMvelm ? DMvelm->DSCPInfo : nullptr);
    fxLocate1->ShowCursor = [](Qt::CursorShape shape) { QGuiApplication::setOverrideCursor(QCursor(shape)); };
    fxLocate1->RestoreCursor = [] { QGuiApplication::restoreOverrideCursor(); };
    connect(fxLocate1, &TfxLocate::busyChanged, this, [this](bool busy) { SearchBusyChanged(busy); });

    StyleShadowLabel(ui_->LabelSearchIn);
    StyleShadowLabel(ui_->LabelFor);
    ui_->BitBtnSearch->setIcon(SearchPicture(false));
    ui_->BitBtnSearchNext->setIcon(SearchPicture(true));
    // Design-time entries never survive: the list is filled when the window is shown.
    ui_->ComboBoxSearchIn->clear();

    connect(ui_->BitBtnSearch, &QPushButton::clicked, this, [this] { RunCommand([this] { RunSearch(false); }); });
    connect(ui_->BitBtnSearchNext, &QPushButton::clicked, this, [this] { RunCommand([this] { RunSearch(true); }); });
    // Enter after the text searches as "Search now !" does; not while that is disabled.
    connect(ui_->EditSearch, &QLineEdit::returnPressed, ui_->BitBtnSearch, &QPushButton::click);
    // toggled, not clicked: setting the box from the menu must run the same handling.
    connect(ui_->CheckBoxSearchOptions, &QCheckBox::toggled, this, [this] { CheckBoxSearchOptionsClick(); });
    connect(ui_->ViewHideSearchPanel, &QAction::triggered, this,
            [this] { RunCommand([this] { ViewHideSearchPanelClick(); }); });
    connect(ui_->ViewShowSearchOptions, &QAction::triggered, this,
            [this] { RunCommand([this] { ViewShowSearchOptionsClick(); }); });
    CheckBoxSearchOptionsClick();
}

void TFormMain::FillSearchFieldList() {
    QComboBox* list = ui_->ComboBoxSearchIn;
    list->clear();
    QStringList names;
    if (Component)
        Component->FillSearchFields(names);
    list->addItems(names);
    // A field is chosen from the start, so that a first search does not do nothing.
    list->setCurrentIndex(names.isEmpty() ? -1 : 0);
    // Wide enough for its longest field name; the controls to its right move along.
    list->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    const int grow = list->sizeHint().width() - list->width();
    if (grow <= 0)
        return;
    list->resize(list->width() + grow, list->height());
    const QList<QWidget*> right = {ui_->LabelFor, ui_->EditSearch, ui_->BitBtnSearch, ui_->CheckBoxSearchOptions,
                                   ui_->BitBtnSearchNext};
    for (QWidget* control : right)
        control->move(control->x() + grow, control->y());
}

void TFormMain::RunSearch(bool fromNext) {
    const int chosen = ui_->ComboBoxSearchIn->currentIndex();
    if (chosen < 0)
        return;
    const QString text = ui_->EditSearch->text();
    if (text.isEmpty())
        return;
    int kind = 3;
    if (ui_->RadioButtonMatchAnywhere->isChecked())
        kind = kMatchAnywhere;
    else if (ui_->RadioButtonMatchBeginning->isChecked())
        kind = kMatchBeginning;
    bool found = false;
    // The scan lets events run; the guard keeps the user's input, drops and a close
    // from acting on the rows under it.
    workGuard_->Run([&] {
        found = LocateRecord(ui_->ComboBoxSearchIn->itemText(chosen), text, kind,
                             ui_->CheckBoxCaseSensitive->isChecked(), fromNext);
    });
    if (closed_ || workGuard_->CloseRequested())
        return;
    // Nothing happening at all would read as a button that does not work; and the
    // button's hint, still shown after a search, would answer nothing.
    const QString field = ui_->ComboBoxSearchIn->itemText(chosen);
    if (!found) {
        const QString message =
            fromNext ? QStringLiteral("No further match: no component after this one holds \"%1\" in %2.")
                     : QStringLiteral("Nothing found: no component holds \"%1\" in %2.");
        statusBar()->showMessage(message.arg(text, field));
        return;
    }
    TTable& packages = *DMvelm->TableCPInfo;
    const QString name = packages.FieldByName(QStringLiteral("ProductName"))->AsString();
    SelectComponentNode(packages.FieldByName(QStringLiteral("ID"))->Value().toLongLong());
    statusBar()->showMessage(QStringLiteral("Found %1: it holds \"%2\" in %3.").arg(name, text, field));
}

bool TFormMain::LocateRecord(const QString& fieldName, const QString& searchText, int matchKind, bool caseSensitive,
                             bool fromNext) {
    // A running scan took its settings when it began; a second search is refused and
    // must not leave its settings behind either.
    if (fxLocate1->Busy())
        return false;
    fxLocate1->SetDataField(fieldName);
    fxLocate1->SetFindText(searchText);
    fxLocate1->SetIgnoreCase(!caseSensitive);
    fxLocate1->SetMatchType(matchKind == kMatchAnywhere    ? maAnywhere
                            : matchKind == kMatchBeginning ? maBeginning
                                                           : maFull);
    if (fromNext)
        fxLocate1->FindNext();
    else
        fxLocate1->FindFirst();
    return fxLocate1->Found();
}

void TFormMain::SelectComponentNode(qint64 packageId) {
    QTreeWidget* tree = ui_->TreeViewCategories;
    QTreeWidgetItem* node = FindComponentNode(tree, packageId);
    if (!node) {
        tree->setCurrentItem(nullptr);
        tree->clearSelection();
        return;
    }
    // A package node is revealed by opening its category, as a user would.
    if (node->parent() && !node->parent()->isExpanded())
        node->parent()->setExpanded(true);
    tree->setCurrentItem(node);
    tree->scrollToItem(node);
}

void TFormMain::CheckBoxSearchOptionsClick() {
    const bool extended = ui_->CheckBoxSearchOptions->isChecked();
    ui_->PanelSearch->setFixedHeight(extended ? kExtendedHeight : kCompactHeight);
    // The second row is cut off in the compact form; hidden, it cannot take the focus
    // either, and its settings still govern every search.
    for (QWidget* control : {static_cast<QWidget*>(ui_->PanelMatch), static_cast<QWidget*>(ui_->PanelCaseSensitive),
                             static_cast<QWidget*>(ui_->BitBtnSearchNext)})
        control->setVisible(extended);
    ui_->ViewShowSearchOptions->setChecked(extended);
}

void TFormMain::ViewHideSearchPanelClick() { ui_->PanelSearch->setVisible(!ui_->ViewHideSearchPanel->isChecked()); }

void TFormMain::ViewShowSearchOptionsClick() {
    ui_->CheckBoxSearchOptions->setChecked(ui_->ViewShowSearchOptions->isChecked());
}

void TFormMain::SearchBusyChanged(bool busy) {
    QPushButton* buttons[] = {ui_->BitBtnSearch, ui_->BitBtnSearchNext};
    if (busy) {
        // A disabled button hands its focus on down the tab chain, perhaps into the
        // detail panel; park it in the search text and give it back afterwards.
        searchFocus_ = nullptr;
        for (QPushButton* button : buttons)
            if (button->hasFocus()) {
                searchFocus_ = button;
                ui_->EditSearch->setFocus(Qt::OtherFocusReason);
            }
    }
    for (QPushButton* button : buttons)
        button->setEnabled(!busy);
    if (!busy && searchFocus_) {
        if (searchFocus_->isVisible() && ui_->EditSearch->hasFocus())
            searchFocus_->setFocus(Qt::OtherFocusReason);
        searchFocus_ = nullptr;
    }
}

}  // namespace velm
