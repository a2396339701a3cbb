#pragma once

#include <QDialog>
#include <QString>

#include <memory>

class QLabel;
class QPushButton;
class QTableWidget;

namespace Ui {
class FormMovetoCategory;
}

namespace velm {

// Asks for a category: every category is listed, also while the category table is
// filtered, and the one chosen with OK is handed back. Created for one use.
class TFormMovetoCategory : public QDialog {
    Q_OBJECT
public:
    static constexpr int kHelpTopic = 350;

    explicit TFormMovetoCategory(QWidget* parent = nullptr);
    ~TFormMovetoCategory() override;

    // -1 and empty until the dialog is closed with OK.
    int SelectedCategoryID = -1;
    QString SelectedCategoryName;

    void SetComponentName(const QString& name);
    // The category the list opens on (the component's own), instead of whichever row the
    // category table happens to stand on.
    void SetCurrentCategory(int categoryId) { startCategoryId_ = categoryId; }

    QLabel* RxLabelCompName() const;
    QTableWidget* DBGridCategories() const;
    QPushButton* BitBtnOK() const;
    QPushButton* BitBtnCancel() const;
    QPushButton* BitBtnHelp() const;

    void done(int result) override;

protected:
    void showEvent(QShowEvent* event) override;

private slots:
    void BitBtnOKClick();
    void BitBtnHelpClick();
    void DBGridCategoriesCurrentRowChanged(int row);

private:
    void FillGrid();
    void RestoreFilter();

    std::unique_ptr<Ui::FormMovetoCategory> ui_;
    bool showing_ = false;       // between the first showing and the close
    bool wasFiltered_ = false;   // the category table's filter state before showing
    bool filling_ = false;
    int startCategoryId_ = -1;
};

}  // namespace velm
