#pragma once

#include <QDialog>

#include <memory>

class QCheckBox;
class QLabel;
class QPushButton;
class QRadioButton;

namespace Ui {
class FormMsgDlg;
}

namespace velm {

// Tells the user that an imported archive holds no info file and asks whether to keep
// the category the import was aimed at or to pick one from the list. Created once at
// start-up and kept for the whole run, so that its two answers last until the end.
class TFormMsgDlg : public QDialog {
    Q_OBJECT
public:
    explicit TFormMsgDlg(QWidget* parent = nullptr);
    ~TFormMsgDlg() override;

    // Changed only by OK; never saved.
    bool DontShowAgain = false;
    bool UseSelectedCategory = true;

    // The two framed texts: the imported component and the category it was aimed at.
    void SetTexts(const QString& productName, const QString& categoryName);

    QLabel* StaticTextComp() const;
    QLabel* StaticTextCategory() const;
    QRadioButton* RadioButtonUseSelected() const;
    QRadioButton* RadioButtonSelectFromList() const;
    QCheckBox* CheckBoxDontShowAgain() const;
    QPushButton* BitBtnOK() const;

protected:
    void showEvent(QShowEvent* event) override;

private slots:
    void BitBtnOKClick();

private:
    void ApplyColours();

    std::unique_ptr<Ui::FormMsgDlg> ui_;
};

// The dialog of the running program, set by the start-up; null before and after.
extern TFormMsgDlg* FormMsgDlg;

}  // namespace velm
