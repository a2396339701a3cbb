#pragma once

#include <QDialog>

#include <memory>

class QLabel;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace Ui {
class FormFindDuplicates;
}

namespace velm {

class TCategoryTree;
class TWorkGuard;

// Tools > Find Duplicates...: the packages whose archives are identical, and those that
// are one product under several names or versions, each set newest first. The window
// stays open beside the main window: a double click or "Select in tree" shows a
// component there; "Delete checked" deletes the checked components after one question,
// all in one transaction.
class TFormFindDuplicates : public QDialog {
    Q_OBJECT
public:
    TFormFindDuplicates(TCategoryTree& tree, TWorkGuard& guard, QWidget* parent);
    ~TFormFindDuplicates() override;

    // Reads both lists again from the catalogue; the check marks go.
    void Fill();

    QLabel* LabelSummary() const;
    QTreeWidget* TreeDuplicates() const;
    QPushButton* BitBtnSelectInTree() const;
    QPushButton* BitBtnDeleteChecked() const;
    QPushButton* BitBtnClose() const;

private:
    void SelectInTree(QTreeWidgetItem* item);
    void DeleteChecked();

    std::unique_ptr<Ui::FormFindDuplicates> ui_;
    TCategoryTree& tree_;
    TWorkGuard& guard_;
};

// Opens the window over the main window, or brings the open one to the front with its
// lists read again. Does nothing without a member index.
void ShowFindDuplicates(QWidget* window, TCategoryTree& tree, TWorkGuard& guard);

}  // namespace velm
