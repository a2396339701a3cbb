#pragma once

#include <QDialog>

#include <memory>

class QFrame;
class QPushButton;

namespace Ui {
class FormInstallStatus;
}

namespace velm {

class TDBGrid;
class TDBNavigator;
class TDMvelm;

// Keeps the list of install status values: a grid and a navigator that edit the status
// table directly, so every posted change is stored at once and every other view of the
// table sees it. There is no Cancel: closing (Esc too, when it does not cancel a grid
// edit) never undoes a posted change, and an edit still open when the dialog closes is
// stored then (an unchanged new row is dropped).
class TFormInstallStatus : public QDialog {
    Q_OBJECT
public:
    static constexpr int kHelpTopic = 400;

    explicit TFormInstallStatus(TDMvelm& module, QWidget* parent = nullptr);
    ~TFormInstallStatus() override;

    QFrame* PanelMain() const;
    QFrame* PanelDesc() const;
    TDBGrid* DBGridInstallStatus() const;
    TDBNavigator* DBNavigatorStatus() const;
    QPushButton* BitBtnHelp() const;
    QPushButton* BitBtnOK() const;

    void done(int result) override;

private slots:
    void BitBtnHelpClick();

private:
    TDMvelm& module_;
    std::unique_ptr<Ui::FormInstallStatus> ui_;
};

// Shows the install status editor modally over the catalogue's data module and releases
// it when it closes.
void RunInstallStatusDialog(QWidget* parent);

}  // namespace velm
