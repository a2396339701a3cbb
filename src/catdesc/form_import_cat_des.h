#pragma once

#include <QDialog>
#include <QModelIndex>
#include <QPersistentModelIndex>
#include <QString>
#include <QStringList>

#include <memory>

class QFileSystemModel;
class QListWidget;
class QPushButton;
class QRadioButton;
class QTreeView;

namespace Ui {
class FormImportCatDes;
}

namespace velm {

// Lets the user browse for a category description file, shows the names it holds and
// hands back the ones selected. The folder clicked last becomes LastSelectedDir at once,
// whether the dialog is confirmed or not. Created for one showing.
class TFormImportCatDes : public QDialog {
    Q_OBJECT
public:
    static constexpr int kHelpTopic = 220;

    explicit TFormImportCatDes(QWidget* parent = nullptr);
    ~TFormImportCatDes() override;

    // Emptied when the dialog is shown, filled by OK.
    QStringList SelectedNames;

    // The folder the tree is rooted at while "Last selected dir" is checked.
    QString RootFolderPath() const { return rootFolderPath_; }

    QTreeView* ShellTree1() const;
    QFileSystemModel* ShellTreeModel() const { return model_; }
    QRadioButton* RadioButtonLastSelectedDir() const;
    QRadioButton* RadioButtonAll() const;
    QListWidget* ListBoxCategories() const;
    QPushButton* BitBtnOK() const;
    QPushButton* BitBtnCancel() const;
    QPushButton* BitBtnHelp() const;

public slots:
    // A tree item chosen with a click or the keyboard: a folder becomes LastSelectedDir,
    // a file is listed.
    void ShellTree1Click(const QModelIndex& index);

protected:
    void showEvent(QShowEvent* event) override;

private slots:
    void BitBtnOKClick();
    void BitBtnHelpClick();
    void RadioButtonClick();

private:
    void FormShow();
    void ApplyTreeRoot();
    void ListCatFile(const QString& path);

    std::unique_ptr<Ui::FormImportCatDes> ui_;
    QFileSystemModel* model_ = nullptr;
    QString rootFolderPath_;
    bool shown_ = false;
    // The item a mouse press made current: its click that follows is already handled.
    QPersistentModelIndex chosenByPress_;
};

// The main window's "Import Category Descriptions" command: true when the dialog was
// confirmed with at least one name selected; the names are then in selectedNames.
bool RunImportCatDes(QWidget* parent, QStringList& selectedNames);

}  // namespace velm
