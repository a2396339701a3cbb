#include "browser/component_detail_panel.h"

#include "ui_component_detail_panel.h"

#include "browser/newer_version_line.h"
#include "browser/works_with_line.h"

#include "catalogue/data_module.h"
#include "catalogue/field_names.h"
#include "catalogue/table.h"
#include "kit/helpers.h"
#include "kit/messages.h"
#include "widgets/control_colour.h"
#include "widgets/font_dialog.h"

#include <QApplication>
#include <QFocusEvent>
#include <QHideEvent>
#include <QShowEvent>
#include <QSignalBlocker>
#include <QMenu>
#include <QMouseEvent>
#include <QStyle>
#include <QTabBar>

#include <algorithm>

namespace velm {

namespace {

constexpr int kRatingMin = 0;
constexpr int kRatingMax = 10;
constexpr int kCompatibilityEntries = 6;

const QColor kNavy(0x00, 0x00, 0x80);
const QColor kHotTab(0x00, 0x66, 0xcc);
const QColor kSilver(0xc0, 0xc0, 0xc0);

QFont Arial(int pixels, bool bold = false) {
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(pixels);
    font.setBold(bold);
    return font;
}

// Focus moves that are not the user leaving the control: a pop-up menu or drop-down
// opening over it, another window becoming active.
bool LeavesControl(const QEvent* event) {
    const auto reason = static_cast<const QFocusEvent*>(event)->reason();
    return reason != Qt::PopupFocusReason && reason != Qt::ActiveWindowFocusReason;
}

}  // namespace

TComponentDetailPanel::TComponentDetailPanel(TDMvelm& module, QWidget* parent)
    : QTabWidget(parent), module_(module), ui_(std::make_unique<Ui::ComponentDetailPanel>()), operations_(module),
      focusColor_(Qt::white), unfocusedColor_(kSilver) {
    ui_->setupUi(this);
    setCurrentIndex(0);
    worksWith_ = new TWorksWithLine(module_, ui_->TabSheetAdditional);
    ui_->LayoutAdditional->addWidget(worksWith_, 5, 0, 1, 2);

    // The controls are bound when the panel is first shown, not before: a hidden panel
    // that followed the package table would load and lay out the first row's memos at
    // start, megabytes of them for a large description.
    ui_->RxDBLookupComboInstallStatus->SetListSource(module_.DSStatus);

    SetUpLooks();
    SetUpPopupMenu();

    // The colours follow where the focus really is: a dialog or a removed node can take
    // it away without the control seeing it leave for the window it stays in.
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) {
        if (now && now->window() == window())
            ShowFocusColours();
    });
    connect(ui_->TrackBarRating, &QSlider::valueChanged, this, &TComponentDetailPanel::TrackBarRatingChange);
    connect(ui_->RxCheckListBoxCompatibility, &TCheckListBox::clickCheck, this,
            &TComponentDetailPanel::RxCheckListBoxCompatibilityClickCheck);
    connect(ui_->SpeedButtonReimport, &QToolButton::clicked, this, &TComponentDetailPanel::reimportRequested);
    connect(ui_->SpeedButtonViewArchive, &QToolButton::clicked, this, &TComponentDetailPanel::viewArchiveRequested);
    newerVersion_ = new TNewerVersionLine(module_, ui_->TabSheetMain);
    ui_->LayoutMain->addWidget(newerVersion_, ui_->LayoutMain->rowCount(), 0, 1, 3);
    // Queued: the selection shows another record, whose line replaces this one under
    // the click.
    connect(newerVersion_, &TNewerVersionLine::newerVersionChosen, this, &TComponentDetailPanel::newerVersionChosen,
            Qt::QueuedConnection);
}

TComponentDetailPanel::~TComponentDetailPanel() = default;

void TComponentDetailPanel::BindControls(TDataSource* source) {
    for (QWidget* child : findChildren<QWidget*>()) {
        auto* control = dynamic_cast<TDataAware*>(child);
        if (!control)
            continue;
        if (!source)
            RunCommand([control] { control->DataLink().UpdateRecord(); });
        control->SetDataSource(source);
    }
}

// While the panel is hidden its controls follow no row: walks over the package table
// (the tree being built, a search) then cost nothing here. Shown again, they show the
// current row. Minimising the window is no reason to let go.
void TComponentDetailPanel::showEvent(QShowEvent* event) {
    QTabWidget::showEvent(event);
    if (event->spontaneous())
        return;
    // The buttons' pictures come through the desktop's icon theme, whose first lookup
    // reads the theme's folders: the start-up does not wait for it, the panel's first
    // showing does.
    if (ui_->SpeedButtonReimport->icon().isNull()) {
        ui_->SpeedButtonReimport->setIcon(style()->standardIcon(QStyle::SP_DialogOpenButton));
        ui_->SpeedButtonViewArchive->setIcon(style()->standardIcon(QStyle::SP_FileDialogContentsView));
    }
    BindControls(module_.DSCPInfo);
}

void TComponentDetailPanel::hideEvent(QHideEvent* event) {
    QTabWidget::hideEvent(event);
    if (!event->spontaneous())
        BindControls(nullptr);
}

void TComponentDetailPanel::SetUpLooks() {
    setFont(Arial(15));
    SetControlTextColour(this, kNavy);
    tabBar()->setMouseTracking(true);
    tabBar()->installEventFilter(this);

    ui_->DBEditAuthor->setFont(Arial(13));
    ui_->DBEditAuthorEmail->setFont(Arial(13));
    ui_->DBEditArchiveFilePath->setFont(Arial(12));
    ui_->DBEditFileURL->setFont(Arial(12));
    for (QLabel* dot : {ui_->LabelDot1, ui_->LabelDot2, ui_->LabelDot3})
        dot->setFont(Arial(22, true));
    for (QLabel* text : {ui_->DBTextCategory, ui_->DBTextProduct})
        text->setFont(Arial(15, true));

    const QList<QWidget*> watched = {
        ui_->DBEditVersionMajor,    ui_->DBEditVersionMinor, ui_->DBEditRelease,
        ui_->DBEditBuild,           ui_->DBEditAuthor,       ui_->DBEditAuthorEmail,
        ui_->DBEditArchiveFile,     ui_->DBEditArchiveFilePath, ui_->DBEditFileURL,
        ui_->DBDateEditReleaseDate, ui_->DBDateEditDownLoad, ui_->DBRichEditDescription,
        ui_->DBRichEditComments,    ui_->RxDBLookupComboInstallStatus, ui_->DBCheckBoxBeta,
        ui_->DBCheckBoxFullSourceIncl,
    };
    for (QWidget* control : watched)
        control->installEventFilter(this);
    // A wheel rolled over the panel changes no stored value in passing: these controls
    // take the wheel only while they have the focus, and the wheel never gives it.
    for (QWidget* control : WheelControls()) {
        control->setFocusPolicy(Qt::StrongFocus);
        control->installEventFilter(this);
    }
    // The compatibility list is as high as its six entries.
    TCheckListBox* list = ui_->RxCheckListBoxCompatibility;
    list->setFixedHeight(list->sizeHintForRow(0) * list->count() + 2 * list->frameWidth() + 4);
    // The controls without focus colours are silver throughout.
    SetControlColour(ui_->RxCheckListBoxCompatibility, kSilver);
    SetControlColour(ui_->TrackBarRating, kSilver);
    SetControlColour(ui_->DBRadioGroupAvailability, kSilver);
    SetFocusColours(focusColor_, unfocusedColor_);
}

void TComponentDetailPanel::SetUpPopupMenu() {
    popupMenu_ = new QMenu(this);
    popupMenu_->setObjectName(QStringLiteral("PopupMenuRichEdit"));
    popupMenu_->addAction(ui_->RichEditNormal);
    popupMenu_->addAction(ui_->RichEditBold);
    popupMenu_->addAction(ui_->RichEditItalic);
    popupMenu_->addAction(ui_->RichEditUnderlined);
    popupMenu_->addSeparator();
    popupMenu_->addAction(ui_->RichEditSetFont);
    popupMenu_->addSeparator();
    popupMenu_->addAction(ui_->RichEditCut);
    popupMenu_->addAction(ui_->RichEditCopy);
    popupMenu_->addAction(ui_->RichEditPaste);

    connect(ui_->RichEditNormal, &QAction::triggered, this, &TComponentDetailPanel::RichEditNormalClick);
    connect(ui_->RichEditBold, &QAction::triggered, this, &TComponentDetailPanel::RichEditBoldClick);
    connect(ui_->RichEditItalic, &QAction::triggered, this, &TComponentDetailPanel::RichEditItalicClick);
    connect(ui_->RichEditUnderlined, &QAction::triggered, this, &TComponentDetailPanel::RichEditUnderlinedClick);
    connect(ui_->RichEditSetFont, &QAction::triggered, this, &TComponentDetailPanel::RichEditSetFontClick);
    connect(ui_->RichEditCut, &QAction::triggered, this, &TComponentDetailPanel::RichEditCutClick);
    connect(ui_->RichEditCopy, &QAction::triggered, this, &TComponentDetailPanel::RichEditCopyClick);
    connect(ui_->RichEditPaste, &QAction::triggered, this, &TComponentDetailPanel::RichEditPasteClick);

    for (TDBRichEdit* memo : {ui_->DBRichEditDescription, ui_->DBRichEditComments}) {
        memo->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(memo, &QWidget::customContextMenuRequested, this,
                [this, memo](const QPoint& at) { popupMenu_->exec(memo->viewport()->mapToGlobal(at)); });
    }
}

void TComponentDetailPanel::SetFocusColours(const QColor& focusColor, const QColor& unfocusedColor) {
    focusColor_ = focusColor;
    unfocusedColor_ = unfocusedColor;
    ShowFocusColours();
}

QList<QWidget*> TComponentDetailPanel::WheelControls() const {
    return {ui_->RxDBLookupComboInstallStatus, ui_->TrackBarRating};
}

void TComponentDetailPanel::ShowFocusColours() {
    const auto focused = [](QWidget* control) {
        const QWidget* focus = control->window()->focusWidget();
        return focus && (focus == control || control->isAncestorOf(focus));
    };
    for (QWidget* control : {static_cast<QWidget*>(ui_->DBDateEditReleaseDate), static_cast<QWidget*>(ui_->DBDateEditDownLoad),
                             static_cast<QWidget*>(ui_->DBRichEditDescription), static_cast<QWidget*>(ui_->DBRichEditComments),
                             static_cast<QWidget*>(ui_->RxDBLookupComboInstallStatus), static_cast<QWidget*>(ui_->DBCheckBoxBeta),
                             static_cast<QWidget*>(ui_->DBCheckBoxFullSourceIncl)})
        SetControlColour(control, focused(control) ? focusColor_ : unfocusedColor_);
    for (QWidget* edit : {ui_->DBEditVersionMajor, ui_->DBEditVersionMinor, ui_->DBEditRelease, ui_->DBEditBuild,
                          ui_->DBEditAuthor, ui_->DBEditAuthorEmail, ui_->DBEditArchiveFile, ui_->DBEditArchiveFilePath,
                          ui_->DBEditFileURL}) {
        if (focused(edit))
            EditEnter(edit);
        else
            EditExit(edit);
    }
}

QWidget* TComponentDetailPanel::TabSheetMain() const { return ui_->TabSheetMain; }

// ---------------------------------------------------------------------------------
// Showing a component

void TComponentDetailPanel::ShowComponent(qint64 rowId) {
    TTable& packages = *module_.TableCPInfo;
    int rating = 0;
    shownRowId_ = rowId;
    shownCompatibility_ = 0;
    {
        // The controls hear of the row once it is in edit.
        const TControlsDisabled held(packages);
        const bool found = packages.Locate(fields::ID, rowId, false);
        if (found) {
            rating = packages.FieldByName(fields::Rating)->AsInteger();
            shownCompatibility_ = packages.FieldByName(fields::Compatibility)->AsInteger();
            packages.Edit();
        }
    }
    {
        // Showing a record never writes to it: an empty or out-of-range rating stays as
        // stored until the user moves the bar.
        const QSignalBlocker quiet(ui_->TrackBarRating);
        ui_->TrackBarRating->setValue(std::clamp(rating, kRatingMin, kRatingMax));
    }
    ShowCompatibility(shownCompatibility_);
    newerVersion_->ShowFor(rowId);
}

void TComponentDetailPanel::ShowCompatibility(int mask) {
    shownCompatibility_ = mask;
    TCheckListBox* list = ui_->RxCheckListBoxCompatibility;
    for (int i = 0; i < std::min(list->count(), kCompatibilityEntries); ++i)
        list->SetChecked(i, (mask & (1 << i)) != 0);
    // Shown on each showing and after each import of the row, as the marks are.
    worksWith_->ShowPackage(shownRowId_);
}

void TComponentDetailPanel::TrackBarRatingChange(int position) {
    if (shownRowId_ != 0)
        RunCommand([&] { operations_.SetRating(shownRowId_, position); });
}

void TComponentDetailPanel::RxCheckListBoxCompatibilityClickCheck(int index, bool checked) {
    if (shownRowId_ == 0)
        return;
    RunCommand([&] {
        const int mask = SetBit(shownCompatibility_, index, checked);
        operations_.SetCompatibility(shownRowId_, mask);
        shownCompatibility_ = mask;
    });
}

void TComponentDetailPanel::RunCommand(const std::function<void()>& command) {
    // Failures end the command with the general error report; the program goes on.
    try {
        command();
    } catch (const std::exception& error) {
        ReportException(error);
    }
}

// ---------------------------------------------------------------------------------
// Formatting and clipboard commands

TDBRichEdit* TComponentDetailPanel::ActiveMemo() const {
    return currentWidget() == ui_->TabSheetMain ? ui_->DBRichEditDescription : ui_->DBRichEditComments;
}

void TComponentDetailPanel::SetDescriptionStylePlain() {
    QTextDocument* document = ui_->DBRichEditDescription->document();
    QFont font = document->defaultFont();
    font.setBold(false);
    font.setItalic(false);
    font.setUnderline(false);
    font.setStrikeOut(false);
    document->setDefaultFont(font);
}

void TComponentDetailPanel::ApplyRichTextStyle(int kind, TDBRichEdit* memo) {
    if (!memo || !memo->textCursor().hasSelection())
        return;
    QTextCharFormat format;
    switch (kind) {
    case 0:
        // Strike-out is no part of "normal" here: it stays as it is.
        format.setFontWeight(QFont::Normal);
        format.setFontItalic(false);
        format.setFontUnderline(false);
        break;
    case 1: format.setFontWeight(QFont::Bold); break;
    case 2: format.setFontItalic(true); break;
    case 3: format.setFontUnderline(true); break;
    case 4: {
        // The dialog starts from the memo's default text, not from the selection.
        const TFontChoice initial{memo->document()->defaultFont(), memo->palette().color(QPalette::Text)};
        if (const auto choice = ChooseFont(initial, this)) {
            format.setFont(choice->font, QTextCharFormat::FontPropertiesAll);
            format.setForeground(choice->colour);
        }
        break;
    }
    default: return;
    }
    if (!format.properties().isEmpty())
        memo->MergeSelectionFormat(format);
    // Store the row so the formatting reaches the field, then go on editing it.
    TTable* table = module_.TableCPInfo;
    if (table->State() != TDataSetState::Edit && table->State() != TDataSetState::Insert)
        table->Edit();
    table->Post();
    table->Edit();
}

void TComponentDetailPanel::RichEditNormalClick() { RunCommand([this] { ApplyRichTextStyle(0, ActiveMemo()); }); }
void TComponentDetailPanel::RichEditBoldClick() { RunCommand([this] { ApplyRichTextStyle(1, ActiveMemo()); }); }
void TComponentDetailPanel::RichEditItalicClick() { RunCommand([this] { ApplyRichTextStyle(2, ActiveMemo()); }); }
void TComponentDetailPanel::RichEditUnderlinedClick() { RunCommand([this] { ApplyRichTextStyle(3, ActiveMemo()); }); }
void TComponentDetailPanel::RichEditSetFontClick() { RunCommand([this] { ApplyRichTextStyle(4, ActiveMemo()); }); }
void TComponentDetailPanel::RichEditCutClick() { ActiveMemo()->cut(); }
void TComponentDetailPanel::RichEditCopyClick() { ActiveMemo()->copy(); }
void TComponentDetailPanel::RichEditPasteClick() { ActiveMemo()->paste(); }

// ---------------------------------------------------------------------------------
// Focus colours and the lit tab

void TComponentDetailPanel::DBDateEditReleaseDateEnter() { SetControlColour(ui_->DBDateEditReleaseDate, focusColor_); }
void TComponentDetailPanel::DBDateEditReleaseDateExit() { SetControlColour(ui_->DBDateEditReleaseDate, unfocusedColor_); }
void TComponentDetailPanel::DBDateEditDownLoadEnter() { SetControlColour(ui_->DBDateEditDownLoad, focusColor_); }
void TComponentDetailPanel::DBDateEditDownLoadExit() { SetControlColour(ui_->DBDateEditDownLoad, unfocusedColor_); }
void TComponentDetailPanel::DBRichEditDescriptionEnter() { SetControlColour(ui_->DBRichEditDescription, focusColor_); }
void TComponentDetailPanel::DBRichEditDescriptionExit() { SetControlColour(ui_->DBRichEditDescription, unfocusedColor_); }
void TComponentDetailPanel::DBRichEditCommentsEnter() { SetControlColour(ui_->DBRichEditComments, focusColor_); }
void TComponentDetailPanel::DBRichEditCommentsExit() { SetControlColour(ui_->DBRichEditComments, unfocusedColor_); }
void TComponentDetailPanel::RxDBLookupComboInstallStatusEnter() {
    SetControlColour(ui_->RxDBLookupComboInstallStatus, focusColor_);
}
void TComponentDetailPanel::RxDBLookupComboInstallStatusExit() {
    SetControlColour(ui_->RxDBLookupComboInstallStatus, unfocusedColor_);
}
void TComponentDetailPanel::DBCheckBoxBetaEnter() { SetControlColour(ui_->DBCheckBoxBeta, focusColor_); }
void TComponentDetailPanel::DBCheckBoxBetaExit() { SetControlColour(ui_->DBCheckBoxBeta, unfocusedColor_); }
void TComponentDetailPanel::DBCheckBoxFullSourceInclEnter() { SetControlColour(ui_->DBCheckBoxFullSourceIncl, focusColor_); }
void TComponentDetailPanel::DBCheckBoxFullSourceInclExit() { SetControlColour(ui_->DBCheckBoxFullSourceIncl, unfocusedColor_); }

void TComponentDetailPanel::EditEnter(QWidget* edit) {
    SetControlColour(edit, Qt::white);
    SetControlTextColour(edit, Qt::black);
}

void TComponentDetailPanel::EditExit(QWidget* edit) {
    SetControlColour(edit, kSilver);
    SetControlTextColour(edit, kNavy);
}

void TComponentDetailPanel::HighlightTab(int index) {
    if (index == hotTab_)
        return;
    hotTab_ = index;
    for (int i = 0; i < count(); ++i)
        tabBar()->setTabTextColor(i, i == index ? kHotTab : kNavy);
}

bool TComponentDetailPanel::eventFilter(QObject* watched, QEvent* event) {
    if (watched == tabBar()) {
        if (event->type() == QEvent::MouseMove)
            HighlightTab(tabBar()->tabAt(static_cast<QMouseEvent*>(event)->position().toPoint()));
        else if (event->type() == QEvent::Leave)
            HighlightTab(-1);
        return QTabWidget::eventFilter(watched, event);
    }
    if (event->type() == QEvent::Wheel) {
        auto* control = static_cast<QWidget*>(watched);
        if (WheelControls().contains(control) && !control->hasFocus()) {
            event->ignore();
            return true;
        }
    }
    const bool in = event->type() == QEvent::FocusIn;
    const bool out = event->type() == QEvent::FocusOut && LeavesControl(event);
    if (!in && !out)
        return QTabWidget::eventFilter(watched, event);

    using Handler = void (TComponentDetailPanel::*)();
    struct ColourHandlers {
        QObject* control;
        Handler enter;
        Handler exit;
    };
    const ColourHandlers handlers[] = {
        {ui_->DBDateEditReleaseDate, &TComponentDetailPanel::DBDateEditReleaseDateEnter,
         &TComponentDetailPanel::DBDateEditReleaseDateExit},
        {ui_->DBDateEditDownLoad, &TComponentDetailPanel::DBDateEditDownLoadEnter,
         &TComponentDetailPanel::DBDateEditDownLoadExit},
        {ui_->DBRichEditDescription, &TComponentDetailPanel::DBRichEditDescriptionEnter,
         &TComponentDetailPanel::DBRichEditDescriptionExit},
        {ui_->DBRichEditComments, &TComponentDetailPanel::DBRichEditCommentsEnter,
         &TComponentDetailPanel::DBRichEditCommentsExit},
        {ui_->RxDBLookupComboInstallStatus, &TComponentDetailPanel::RxDBLookupComboInstallStatusEnter,
         &TComponentDetailPanel::RxDBLookupComboInstallStatusExit},
        {ui_->DBCheckBoxBeta, &TComponentDetailPanel::DBCheckBoxBetaEnter, &TComponentDetailPanel::DBCheckBoxBetaExit},
        {ui_->DBCheckBoxFullSourceIncl, &TComponentDetailPanel::DBCheckBoxFullSourceInclEnter,
         &TComponentDetailPanel::DBCheckBoxFullSourceInclExit},
    };
    for (const ColourHandlers& h : handlers) {
        if (h.control == watched) {
            (this->*(in ? h.enter : h.exit))();
            return QTabWidget::eventFilter(watched, event);
        }
    }
    if (auto* edit = qobject_cast<TDBEdit*>(watched)) {
        if (in)
            EditEnter(edit);
        else
            EditExit(edit);
    }
    return QTabWidget::eventFilter(watched, event);
}

}  // namespace velm
