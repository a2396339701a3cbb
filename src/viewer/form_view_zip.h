#pragma once

#include "import/zip_master.h"
#include "widgets/sort_grid.h"

#include <QDialog>
#include <QString>

#include <memory>

class QLabel;
class QPushButton;
class QStatusBar;

namespace Ui {
class FormViewZip;
}

namespace velm {

// Lists the members of one archive in a grid the user can sort by any column, and opens
// a chosen member in the text viewer. Created for one showing.
class TFormViewZip : public QDialog {
    Q_OBJECT
public:
    static constexpr int kHelpTopic = 410;
    static constexpr int kColumnWidths[4] = {316, 84, 84, 120};

    explicit TFormViewZip(QWidget* parent = nullptr);
    ~TFormViewZip() override;

    // Set before the dialog is shown: the archive's full path, and the Tmp folder
    // (ending with a separator) that members are extracted into for viewing.
    QString ZipName;
    QString TmpDir;
    // A member (its name with its folders, as listed) to select and bring into view
    // when the list is first shown; none when empty.
    QString SelectMember;

    // Rebuilds the grid from the archive's listing.
    void FillGrid();

    QLabel* RxLabelZipName() const;
    QPushButton* BitBtnViewFile() const;
    QPushButton* BitBtnHelp() const;
    QPushButton* BitBtnClose() const;
    TSortGrid* SortGrid1() const;
    QStatusBar* StatusBar1() const;
    QString StatusText() const;

protected:
    void showEvent(QShowEvent* event) override;

private slots:
    void BitBtnViewFileClick();
    void BitBtnHelpClick();
    void SortGrid1BeginSort(int column, const velm::TSortOptions& options);

private:
    void FormShow();
    void ResetGrid();
    void SelectMemberRow(const QString& name);

    std::unique_ptr<Ui::FormViewZip> ui_;
    QLabel* statusPanel_ = nullptr;
    TZipMaster ZipMasterViewZip;
    bool shown_ = false;
};

// The main window's "Archive contents" command: shows the dialog for one archive,
// modally, and releases it when it closes; member, when given, is selected in the list.
void ShowArchiveContents(QWidget* parent, const QString& zipPath, const QString& tmpFolder,
                         const QString& member = QString());

}  // namespace velm
