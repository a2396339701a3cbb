#include "browser/form_options.h"

#include "ui_form_options.h"

#include "kit/color_picker.h"
#include "kit/dialog_colours.h"
#include "kit/launcher.h"
#include "kit/messages.h"
#include "kit/settings.h"

#include <QApplication>
#include <QMouseEvent>
#include <QShowEvent>

namespace velm {

TFormOptions::TFormOptions(QWidget* parent) : QDialog(parent), ui_(std::make_unique<Ui::FormOptions>()) {
    ui_->setupUi(this);
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(15);
    setFont(font);
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(size());

    const SettingsRecord& settings = Settings();
    PaintPanel(ui_->PanelMainColor, ColorRefToQColor(settings.MainColor));
    PaintPanel(ui_->PanelPanelColor, ColorRefToQColor(settings.PanelColor));
    PaintPanel(ui_->PanelSecondPanelColor, ColorRefToQColor(settings.SecondPanelColor));
    ColourDialogPanels(ui_->PanelMain, {ui_->PanelOptions});
    // The samples sit on a neutral face, so that no panel colour hides them.
    PaintPanel(ui_->GroupBoxColorScheme, QApplication::palette().color(QPalette::Button));
    ui_->BitBtnHelp->setProperty("HelpContext", kHelpTopic);
    ForgetCustomColors();

    for (QLabel* sample : {ui_->PanelMainColor, ui_->PanelPanelColor, ui_->PanelSecondPanelColor})
        sample->installEventFilter(this);

    connect(ui_->ButtonTest, &QPushButton::clicked, this, &TFormOptions::ButtonTestClick);
    connect(ui_->ButtonReset, &QPushButton::clicked, this, &TFormOptions::ButtonResetClick);
    connect(ui_->BitBtnOK, &QPushButton::clicked, this, &TFormOptions::BitBtnOKClick);
    connect(ui_->BitBtnCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(ui_->BitBtnHelp, &QPushButton::clicked, this, &TFormOptions::BitBtnHelpClick);
}

TFormOptions::~TFormOptions() = default;

QFrame* TFormOptions::PanelMain() const { return ui_->PanelMain; }
QFrame* TFormOptions::PanelOptions() const { return ui_->PanelOptions; }
QLabel* TFormOptions::PanelMainColor() const { return ui_->PanelMainColor; }
QLabel* TFormOptions::PanelPanelColor() const { return ui_->PanelPanelColor; }
QLabel* TFormOptions::PanelSecondPanelColor() const { return ui_->PanelSecondPanelColor; }
QCheckBox* TFormOptions::CheckBoxDragNDropInfoMsg() const { return ui_->CheckBoxDragNDropInfoMsg; }
QCheckBox* TFormOptions::CheckBoxConfirmDelete() const { return ui_->CheckBoxConfirmDelete; }
QPushButton* TFormOptions::ButtonTest() const { return ui_->ButtonTest; }
QPushButton* TFormOptions::ButtonReset() const { return ui_->ButtonReset; }
QPushButton* TFormOptions::BitBtnOK() const { return ui_->BitBtnOK; }
QPushButton* TFormOptions::BitBtnCancel() const { return ui_->BitBtnCancel; }
QPushButton* TFormOptions::BitBtnHelp() const { return ui_->BitBtnHelp; }

void TFormOptions::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (event->spontaneous())
        return;
    ui_->CheckBoxDragNDropInfoMsg->setChecked(Settings().ShowDragNDropInfoMsg);
    ui_->CheckBoxConfirmDelete->setChecked(Settings().ConfirmDelete);
}

bool TFormOptions::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonDblClick &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        if (auto* sample = qobject_cast<QLabel*>(watched)) {
            SampleDblClick(sample);
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TFormOptions::SampleDblClick(QLabel* sample) {
    const ColorPick pick = PickColor(PanelColour(sample), this);
    switch (pick.outcome) {
    case ColorPick::Chosen:
        // The scheme stores plain colour references: no transparency.
        PaintPanel(sample, ColorRefToQColor(QColorToColorRef(pick.color)));
        break;
    case ColorPick::Cancelled:
        break;
    case ColorPick::Failed:
        ShowNotice(QStringLiteral("Color selection dialog failed to load."));
        break;
    }
}

void TFormOptions::ButtonTestClick() {
    PaintPanel(ui_->PanelMain, PanelColour(ui_->PanelPanelColor));
    PaintPanel(ui_->PanelOptions, PanelColour(ui_->PanelMainColor));
}

void TFormOptions::ButtonResetClick() {
    const SettingsRecord defaults;
    PaintPanel(ui_->PanelMainColor, ColorRefToQColor(defaults.MainColor));
    PaintPanel(ui_->PanelPanelColor, ColorRefToQColor(defaults.PanelColor));
    PaintPanel(ui_->PanelSecondPanelColor, ColorRefToQColor(defaults.SecondPanelColor));
}

void TFormOptions::BitBtnOKClick() {
    SettingsRecord& settings = Settings();
    settings.ShowDragNDropInfoMsg = ui_->CheckBoxDragNDropInfoMsg->isChecked();
    settings.ConfirmDelete = ui_->CheckBoxConfirmDelete->isChecked();
    settings.MainColor = QColorToColorRef(PanelColour(ui_->PanelMainColor));
    settings.PanelColor = QColorToColorRef(PanelColour(ui_->PanelPanelColor));
    settings.SecondPanelColor = QColorToColorRef(PanelColour(ui_->PanelSecondPanelColor));
    accept();
}

void TFormOptions::BitBtnHelpClick() { OpenHelpTopic(ui_->BitBtnHelp->property("HelpContext").toInt()); }

bool RunOptionsDialog(QWidget* parent) {
    TFormOptions dialog(parent);
    return dialog.exec() == QDialog::Accepted;
}

}  // namespace velm
