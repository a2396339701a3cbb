#include "catdesc/form_import_cat_des.h"

#include "ui_form_import_cat_des.h"

#include "kit/dialog_colours.h"
#include "kit/file_dialogs.h"
#include "kit/launcher.h"
#include "kit/messages.h"
#include "kit/settings.h"
#include "catdesc/cat_file.h"

#include <QDir>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QGuiApplication>
#include <QItemSelectionModel>
#include <QScreen>
#include <QShowEvent>

namespace velm {

TFormImportCatDes::TFormImportCatDes(QWidget* parent)
    : QDialog(parent), ui_(std::make_unique<Ui::FormImportCatDes>()), rootFolderPath_(QDir::rootPath()) {
    ui_->setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(size());
    if (const QScreen* screen = this->screen())
        move(screen->availableGeometry().center() - rect().center());

    QPalette navyText = palette();
    navyText.setColor(QPalette::WindowText, Qt::darkBlue);
    navyText.setColor(QPalette::ButtonText, Qt::darkBlue);
    navyText.setColor(QPalette::Text, Qt::darkBlue);
    setPalette(navyText);

    // Folders always show; of the files only those named "*.cat", in any letter case.
    model_ = new QFileSystemModel(this);
    model_->setObjectName(QStringLiteral("ShellTree1Model"));
    model_->setReadOnly(true);
    model_->setIconProvider(NameOnlyIconProvider());
    model_->setFilter(QDir::AllDirs | QDir::Files | QDir::Drives | QDir::NoDotAndDotDot);
    model_->setNameFilters({QStringLiteral("*.cat")});
    model_->setNameFilterDisables(false);
    QTreeView* tree = ui_->ShellTree1;
    tree->setModel(model_);
    for (int column = 1; column < model_->columnCount(); ++column)
        tree->hideColumn(column);
    tree->setSortingEnabled(true);
    tree->sortByColumn(0, Qt::AscendingOrder);
    ApplyTreeRoot();

    PaintPanel(ui_->PanelMain, Settings().PanelColor);
    PaintPanel(ui_->PanelCategories, Settings().PanelColor);
    PaintPanel(ui_->PanelTree, Settings().MainColor);
    ui_->BitBtnHelp->setProperty("HelpContext", kHelpTopic);

    // An item is chosen when the keys or a click select it (the focus alone marks one
    // without selecting it); a click on the item already selected chooses it again, so
    // that a file is read anew.
    connect(tree->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this](const QItemSelection& selected) {
        if (selected.isEmpty())
            return;
        const QModelIndex index = selected.indexes().first().siblingAtColumn(0);
        chosenByPress_ = QGuiApplication::mouseButtons() != Qt::NoButton ? index : QModelIndex();
        ShellTree1Click(index);
    });
    connect(tree, &QTreeView::clicked, this, [this](const QModelIndex& index) {
        const bool handled = index == chosenByPress_;
        chosenByPress_ = QModelIndex();
        if (!handled)
            ShellTree1Click(index);
    });
    connect(ui_->RadioButtonLastSelectedDir, &QRadioButton::clicked, this, &TFormImportCatDes::RadioButtonClick);
    connect(ui_->RadioButtonAll, &QRadioButton::clicked, this, &TFormImportCatDes::RadioButtonClick);
    connect(ui_->BitBtnOK, &QPushButton::clicked, this, &TFormImportCatDes::BitBtnOKClick);
    connect(ui_->BitBtnCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(ui_->BitBtnHelp, &QPushButton::clicked, this, &TFormImportCatDes::BitBtnHelpClick);
}

TFormImportCatDes::~TFormImportCatDes() = default;

QTreeView* TFormImportCatDes::ShellTree1() const { return ui_->ShellTree1; }
QRadioButton* TFormImportCatDes::RadioButtonLastSelectedDir() const { return ui_->RadioButtonLastSelectedDir; }
QRadioButton* TFormImportCatDes::RadioButtonAll() const { return ui_->RadioButtonAll; }
QListWidget* TFormImportCatDes::ListBoxCategories() const { return ui_->ListBoxCategories; }
QPushButton* TFormImportCatDes::BitBtnOK() const { return ui_->BitBtnOK; }
QPushButton* TFormImportCatDes::BitBtnCancel() const { return ui_->BitBtnCancel; }
QPushButton* TFormImportCatDes::BitBtnHelp() const { return ui_->BitBtnHelp; }

void TFormImportCatDes::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (shown_ || event->spontaneous())
        return;
    shown_ = true;
    FormShow();
}

void TFormImportCatDes::FormShow() {
    ui_->ListBoxCategories->clear();
    SelectedNames.clear();
    const QString lastSelected = Settings().LastSelectedDir;
    if (!lastSelected.isEmpty())
        rootFolderPath_ = QFileInfo(lastSelected).isDir() ? lastSelected : QDir::rootPath();
    ApplyTreeRoot();
}

// "Last selected dir" roots the tree at the folder chosen when the dialog was shown,
// "Show All" at the top of the file system.
void TFormImportCatDes::ApplyTreeRoot() {
    QTreeView* tree = ui_->ShellTree1;
    tree->collapseAll();
    if (ui_->RadioButtonLastSelectedDir->isChecked()) {
        model_->setRootPath(rootFolderPath_);
        tree->setRootIndex(model_->index(rootFolderPath_));
    } else {
        model_->setRootPath(QString());
        tree->setRootIndex(QModelIndex());
    }
}

void TFormImportCatDes::RadioButtonClick() { ApplyTreeRoot(); }

void TFormImportCatDes::ShellTree1Click(const QModelIndex& index) {
    if (!index.isValid())
        return;
    const QString path = model_->filePath(index);
    if (path.isEmpty())
        return;
    if (model_->isDir(index)) {
        Settings().LastSelectedDir = QDir::toNativeSeparators(path);
        return;
    }
    ListCatFile(path);
}

void TFormImportCatDes::ListCatFile(const QString& path) {
    QListWidget* list = ui_->ListBoxCategories;
    list->clear();
    CatEntries entries;
    try {
        entries = ReadCatFile(path);
    } catch (const ECatFileError& error) {
        ShowDefaultErrorReport(error.Message());
        return;
    }
    list->addItems(entries.Names);
    if (entries.Truncated) {
        ShowInfo(QStringLiteral("The file %1 is too large: only its first %2 entries are listed.")
                     .arg(QDir::toNativeSeparators(path))
                     .arg(entries.Names.size()));
    }
}

void TFormImportCatDes::BitBtnOKClick() {
    const QListWidget* list = ui_->ListBoxCategories;
    for (int row = 0; row < list->count(); ++row) {
        if (list->item(row)->isSelected())
            SelectedNames.append(list->item(row)->text());
    }
    accept();
}

void TFormImportCatDes::BitBtnHelpClick() { OpenHelpTopic(ui_->BitBtnHelp->property("HelpContext").toInt()); }

bool RunImportCatDes(QWidget* parent, QStringList& selectedNames) {
    TFormImportCatDes dialog(parent);
    if (dialog.exec() != QDialog::Accepted || dialog.SelectedNames.isEmpty())
        return false;
    selectedNames = dialog.SelectedNames;
    return true;
}

}  // namespace velm
