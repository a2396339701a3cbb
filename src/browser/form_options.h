#pragma once

#include <QDialog>

#include <memory>

class QCheckBox;
class QFrame;
class QLabel;
class QPushButton;

namespace Ui {
class FormOptions;
}

namespace velm {

// The message options and the three colours of the colour scheme. The choices stay in
// the dialog's own controls until OK stores them in the settings record. Created for
// one use.
//
// The sample captioned "Panel Color" holds `MainColor` (the inner panels, the main
// window's detail side) and the one captioned "Main Color" holds `PanelColor` (the
// outer panels, the tree side): the captions name what users see in the main window,
// the settings keep their stored names.
class TFormOptions : public QDialog {
    Q_OBJECT
public:
    static constexpr int kHelpTopic = 430;

    explicit TFormOptions(QWidget* parent = nullptr);
    ~TFormOptions() override;

    QFrame* PanelMain() const;
    QFrame* PanelOptions() const;
    QLabel* PanelMainColor() const;        // "Panel Color": MainColor
    QLabel* PanelPanelColor() const;       // "Main Color": PanelColor
    QLabel* PanelSecondPanelColor() const; // "2nd Panel Color": SecondPanelColor
    QCheckBox* CheckBoxDragNDropInfoMsg() const;
    QCheckBox* CheckBoxConfirmDelete() const;
    QPushButton* ButtonTest() const;
    QPushButton* ButtonReset() const;
    QPushButton* BitBtnOK() const;
    QPushButton* BitBtnCancel() const;
    QPushButton* BitBtnHelp() const;

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private slots:
    void ButtonTestClick();
    void ButtonResetClick();
    void BitBtnOKClick();
    void BitBtnHelpClick();

private:
    void SampleDblClick(QLabel* sample);

    std::unique_ptr<Ui::FormOptions> ui_;
};

// Shows the options dialog modally and releases it; true when it was closed with OK,
// after which the settings record holds the new choices.
bool RunOptionsDialog(QWidget* parent);

}  // namespace velm
