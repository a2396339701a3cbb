#include "import/form_moveto_category.h"

#include "ui_form_moveto_category.h"

#include "kit/dialog_colours.h"
#include "kit/launcher.h"
#include "kit/settings.h"
#include "catalogue/data_module.h"
#include "catalogue/field_names.h"
#include "catalogue/table.h"

#include <QGraphicsDropShadowEffect>
#include <QHeaderView>
#include <QShowEvent>

namespace velm {

namespace {

TTable& Categories() { return *DMvelm->TableCategory; }

}  // namespace

TFormMovetoCategory::TFormMovetoCategory(QWidget* parent)
    : QDialog(parent), ui_(std::make_unique<Ui::FormMovetoCategory>()) {
    ui_->setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(size());

    PaintPanel(ui_->PanelMain, Settings().PanelColor);
    PaintPanel(ui_->PanelCat, Settings().MainColor);
    ui_->BitBtnHelp->setProperty("HelpContext", kHelpTopic);

    auto* shadow = new QGraphicsDropShadowEffect(ui_->RxLabelCompName);
    shadow->setBlurRadius(0);
    shadow->setOffset(1, 1);
    shadow->setColor(Qt::white);
    ui_->RxLabelCompName->setGraphicsEffect(shadow);
    ui_->RxLabelCompName->setStyleSheet(QStringLiteral("color: navy;"));
    ui_->DBGridCategories->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);

    connect(ui_->BitBtnOK, &QPushButton::clicked, this, &TFormMovetoCategory::BitBtnOKClick);
    connect(ui_->BitBtnCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(ui_->BitBtnHelp, &QPushButton::clicked, this, &TFormMovetoCategory::BitBtnHelpClick);
    connect(ui_->DBGridCategories, &QTableWidget::currentCellChanged, this,
            [this](int row) { DBGridCategoriesCurrentRowChanged(row); });
}

TFormMovetoCategory::~TFormMovetoCategory() {
    // A dialog released while still shown must not leave the categories unfiltered.
    RestoreFilter();
}

void TFormMovetoCategory::SetComponentName(const QString& name) { ui_->RxLabelCompName->setText(name); }

QLabel* TFormMovetoCategory::RxLabelCompName() const { return ui_->RxLabelCompName; }
QTableWidget* TFormMovetoCategory::DBGridCategories() const { return ui_->DBGridCategories; }
QPushButton* TFormMovetoCategory::BitBtnOK() const { return ui_->BitBtnOK; }
QPushButton* TFormMovetoCategory::BitBtnCancel() const { return ui_->BitBtnCancel; }
QPushButton* TFormMovetoCategory::BitBtnHelp() const { return ui_->BitBtnHelp; }

void TFormMovetoCategory::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (showing_ || event->spontaneous())
        return;
    showing_ = true;
    TTable& categories = Categories();
    wasFiltered_ = categories.Filtered();
    categories.SetFiltered(false);
    SelectedCategoryID = -1;
    FillGrid();
}

// The grid is a view of the category table: one line per row, in the table's order, and
// the line selected is the table's current row.
void TFormMovetoCategory::FillGrid() {
    TTable& categories = Categories();
    QTableWidget* grid = ui_->DBGridCategories;
    filling_ = true;
    const TBookmark current = categories.GetBookmark();
    int currentLine = 0;
    categories.DisableControls();
    try {
        grid->setRowCount(0);
        grid->setRowCount(categories.RecordCount());
        int line = 0;
        for (categories.First(); !categories.Eof(); categories.Next(), ++line) {
            auto* item = new QTableWidgetItem(categories.FieldByName(fields::Name)->AsString());
            const TBookmark bookmark = categories.GetBookmark();
            item->setData(Qt::UserRole, bookmark);
            grid->setItem(line, 0, item);
            if (startCategoryId_ >= 0 ? categories.FieldByName(fields::ID)->AsInteger() == startCategoryId_
                                      : bookmark == current)
                currentLine = line;
        }
        if (categories.BookmarkValid(current))
            categories.GotoBookmark(current);
        else
            categories.First();
    } catch (...) {
        categories.EnableControls();
        filling_ = false;
        throw;
    }
    categories.EnableControls();
    filling_ = false;
    if (grid->rowCount() > 0) {
        grid->setCurrentCell(currentLine, 0);
        grid->scrollToItem(grid->item(currentLine, 0), QAbstractItemView::PositionAtCenter);
    }
    // With no category there is nothing to choose.
    ui_->BitBtnOK->setEnabled(grid->rowCount() > 0);
}

void TFormMovetoCategory::DBGridCategoriesCurrentRowChanged(int row) {
    if (filling_ || row < 0)
        return;
    const QTableWidgetItem* item = ui_->DBGridCategories->item(row, 0);
    if (!item)
        return;
    TTable& categories = Categories();
    const TBookmark bookmark = item->data(Qt::UserRole).toLongLong();
    if (categories.BookmarkValid(bookmark) && categories.GetBookmark() != bookmark)
        categories.GotoBookmark(bookmark);
}

void TFormMovetoCategory::BitBtnOKClick() {
    TTable& categories = Categories();
    if (categories.IsEmpty())
        return;
    SelectedCategoryID = categories.FieldByName(fields::ID)->AsInteger();
    SelectedCategoryName = categories.FieldByName(fields::Name)->AsString();
    accept();
}

void TFormMovetoCategory::BitBtnHelpClick() { OpenHelpTopic(ui_->BitBtnHelp->property("HelpContext").toInt()); }

void TFormMovetoCategory::done(int result) {
    RestoreFilter();
    QDialog::done(result);
}

void TFormMovetoCategory::RestoreFilter() {
    if (!showing_)
        return;
    showing_ = false;
    if (DMvelm && DMvelm->TableCategory->Active())
        DMvelm->TableCategory->SetFiltered(wasFiltered_);
}

}  // namespace velm
