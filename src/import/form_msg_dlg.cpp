#include "import/form_msg_dlg.h"

#include "ui_form_msg_dlg.h"

#include "kit/dialog_colours.h"
#include "kit/settings.h"

#include <QShowEvent>

namespace velm {

TFormMsgDlg* FormMsgDlg = nullptr;

TFormMsgDlg::TFormMsgDlg(QWidget* parent) : QDialog(parent), ui_(std::make_unique<Ui::FormMsgDlg>()) {
    ui_->setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(size());
    ui_->CheckBoxDontShowAgain->setChecked(false);
    ui_->RadioButtonUseSelected->setChecked(true);
    ApplyColours();
    connect(ui_->BitBtnOK, &QPushButton::clicked, this, &TFormMsgDlg::BitBtnOKClick);
}

TFormMsgDlg::~TFormMsgDlg() {
    if (FormMsgDlg == this)
        FormMsgDlg = nullptr;
}

void TFormMsgDlg::SetTexts(const QString& productName, const QString& categoryName) {
    ui_->StaticTextComp->setText(productName);
    ui_->StaticTextCategory->setText(categoryName);
}

QLabel* TFormMsgDlg::StaticTextComp() const { return ui_->StaticTextComp; }
QLabel* TFormMsgDlg::StaticTextCategory() const { return ui_->StaticTextCategory; }
QRadioButton* TFormMsgDlg::RadioButtonUseSelected() const { return ui_->RadioButtonUseSelected; }
QRadioButton* TFormMsgDlg::RadioButtonSelectFromList() const { return ui_->RadioButtonSelectFromList; }
QCheckBox* TFormMsgDlg::CheckBoxDontShowAgain() const { return ui_->CheckBoxDontShowAgain; }
QPushButton* TFormMsgDlg::BitBtnOK() const { return ui_->BitBtnOK; }

// The dialog outlives changes of the colour scheme, so it takes the colours anew.
void TFormMsgDlg::showEvent(QShowEvent* event) {
    if (!event->spontaneous())
        ApplyColours();
    QDialog::showEvent(event);
}

void TFormMsgDlg::ApplyColours() {
    PaintPanel(ui_->PanelMain, Settings().PanelColor);
    PaintPanel(ui_->PanelActions, Settings().MainColor);
}

void TFormMsgDlg::BitBtnOKClick() {
    DontShowAgain = ui_->CheckBoxDontShowAgain->isChecked();
    UseSelectedCategory = ui_->RadioButtonUseSelected->isChecked();
    accept();
}

}  // namespace velm
