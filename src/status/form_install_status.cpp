#include "status/form_install_status.h"

#include "ui_form_install_status.h"

#include "kit/dialog_colours.h"
#include "kit/launcher.h"
#include "kit/messages.h"
#include "kit/settings.h"
#include "catalogue/data_module.h"
#include "widgets/db_grid.h"
#include "widgets/db_navigator.h"

namespace velm {

namespace {

constexpr ColorRef kTitleColour = 0x808040;

}  // namespace

TFormInstallStatus::TFormInstallStatus(TDMvelm& module, QWidget* parent)
    : QDialog(parent), module_(module), ui_(std::make_unique<Ui::FormInstallStatus>()) {
    ui_->setupUi(this);
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(15);
    setFont(font);
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(size());
    ColourDialogPanels(ui_->PanelMain, {ui_->PanelDesc});
    ui_->BitBtnHelp->setProperty("HelpContext", kHelpTopic);

    TDBGrid* grid = ui_->DBGridInstallStatus;
    grid->setFont(font);
    grid->SetColumns({TDBGridColumn{QStringLiteral("Description"), QStringLiteral("Description"), 200,
                                    ColorRefToQColor(kTitleColour), Qt::white}});
    grid->SetDataSource(module_.DSStatus);

    TDBNavigator* navigator = ui_->DBNavigatorStatus;
    navigator->SetOrientation(Qt::Vertical);
    navigator->SetHints({QStringLiteral("First"), QStringLiteral("Previous"), QStringLiteral("Next"),
                         QStringLiteral("Last"), QStringLiteral("Add Status Description"),
                         QStringLiteral("Delete current Status Description"),
                         QStringLiteral("Edit current Status Description"), QStringLiteral("Save changes"),
                         QStringLiteral("Cancel changes"), QStringLiteral("Refresh")});
    navigator->SetButtonVisible(TNavigateBtn::nbRefresh, false);
    navigator->SetDataSource(module_.DSStatus);

    connect(ui_->BitBtnOK, &QPushButton::clicked, this, &QDialog::accept);
    connect(ui_->BitBtnHelp, &QPushButton::clicked, this, &TFormInstallStatus::BitBtnHelpClick);
    grid->setFocus();
}

TFormInstallStatus::~TFormInstallStatus() = default;

QFrame* TFormInstallStatus::PanelMain() const { return ui_->PanelMain; }
QFrame* TFormInstallStatus::PanelDesc() const { return ui_->PanelDesc; }
TDBGrid* TFormInstallStatus::DBGridInstallStatus() const { return ui_->DBGridInstallStatus; }
TDBNavigator* TFormInstallStatus::DBNavigatorStatus() const { return ui_->DBNavigatorStatus; }
QPushButton* TFormInstallStatus::BitBtnHelp() const { return ui_->BitBtnHelp; }
QPushButton* TFormInstallStatus::BitBtnOK() const { return ui_->BitBtnOK; }

void TFormInstallStatus::done(int result) {
    // Left in edit state, a typed value would wait on the shared table for a move that
    // may never come before the tables close and drop it; store it now instead.
    TTable* table = module_.TableStatus;
    try {
        if (table->Active())
            table->CheckBrowseMode();
    } catch (const std::exception& error) {
        ReportException(error);
        return;
    }
    QDialog::done(result);
}

void TFormInstallStatus::BitBtnHelpClick() { OpenHelpTopic(ui_->BitBtnHelp->property("HelpContext").toInt()); }

void RunInstallStatusDialog(QWidget* parent) {
    TFormInstallStatus dialog(*DMvelm, parent);
    dialog.exec();
}

}  // namespace velm
