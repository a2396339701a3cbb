#include "browser/form_main.h"

#include "app/command_guard.h"
#include "app/settings.h"
#include "app/tmp_folder.h"
#include "app/window_fit.h"
#include "browser/component_detail_panel.h"
#include "browser/instant_search_panel.h"
#include "browser/pictures.h"
#include "browser/tree_label_delegate.h"
#include "browser/tree_node.h"
#include "browser/work_guard.h"
#include "app/messages.h"
#include "catalogue/data_module.h"
#include "catalogue/database.h"
#include "import/velm_component.h"
#include "ui_FormMain.h"

#include <QCloseEvent>
#include <QDir>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScreen>
#include <QSet>
#include <QSignalBlocker>
#include <QTimer>
#include <QTreeWidget>

namespace velm {

namespace {

constexpr int kFieldNameColumn = 0;

void Paint(QWidget* widget, ColorRef colour) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, ColorRefToQColor(colour));
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

void SetImages(QTreeWidgetItem* node, int image) { node->setIcon(kFieldNameColumn, TreeImageIcon(image)); }

}  // namespace

TFormMain::TFormMain(const QString& programFolder, QWidget* parent)
    : QMainWindow(parent), ui_(std::make_unique<Ui::FormMain>()) {
    ui_->setupUi(this);
    ProgramFolder = programFolder;

    QFont windowFont(QStringLiteral("Arial"));
    windowFont.setPixelSize(15);
    setFont(windowFont);
    QFont treeFont(QStringLiteral("Times New Roman"));
    treeFont.setPixelSize(15);
    ui_->TreeViewCategories->setFont(treeFont);
    // Every row has the same font and picture size; telling the view so spares it
    // measuring all rows each time a node is added.
    ui_->TreeViewCategories->setUniformRowHeights(true);
    ui_->LabelCategories->setFont(windowFont);
    ui_->LabelCategories->setStyleSheet(QStringLiteral("color: navy;"));
    ui_->ImageLogo->setPixmap(LogoPicture());
    ui_->ImageLogo->hide();
    // The right panel's own colour shows through; the text is the window's navy.
    ui_->LabelEmptyHint->setFont(windowFont);
    ui_->LabelEmptyHint->setStyleSheet(QStringLiteral("color: navy;"));
    // The detail panel shares the right panel's cell with the logo; one is shown at a time.
    auto* detail = new TComponentDetailPanel(*DMvelm, ui_->PanelRight);
    detail->hide();
    ui_->LayoutRight->addWidget(detail, 0, 0);
    pageControl_ = detail;
    connect(detail, &TComponentDetailPanel::viewArchiveRequested, this,
            [this] { RunCommand([this] { ViewArchiveContentsClick(); }); });
    ui_->Splitter1->setSizes({265, 763 - 265});
    ui_->Splitter1->setStretchFactor(1, 1);

    connect(ui_->TreeViewCategories, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem* current, QTreeWidgetItem* previous) {
                // A component node shows its selected picture only while it is selected.
                if (previous && previous->parent())
                    SetImages(previous, kImageComponent);
                if (current && current->parent())
                    SetImages(current, kImageComponentSelected);
                // The node shown is the node selected: when the tree makes a neighbour
                // current (the selected node was removed), it is selected as well.
                if (current && !current->isSelected())
                    current->setSelected(true);
                TreeViewCategoriesChange(current);
            });

    connect(ui_->TreeViewCategories, &QTreeWidget::itemExpanded, this, &TFormMain::TreeViewCategoriesExpanded);
    connect(ui_->TreeViewCategories, &QTreeWidget::itemCollapsed, this, &TFormMain::TreeViewCategoriesCollapsed);
    ui_->TreeViewCategories->installEventFilter(this);
    ui_->TreeViewCategories->viewport()->installEventFilter(this);
    workGuard_ = new TWorkGuard(this, ui_->TreeViewCategories->viewport());
    labelDelegate_ = new TTreeLabelDelegate(ui_->TreeViewCategories, [this](QTreeWidgetItem* node, const QString& text) {
        if (Component)
            RunCommand([&] { TreeViewCategoriesEdited(node, text); });
    });
    ui_->TreeViewCategories->setItemDelegate(labelDelegate_);
    ConnectCommands();
    ConnectImportCommands();
    ConnectMenuCommands();
    ConnectSearchPanel();
    new TInstantSearchPanel(this);

    // Centred on the screen until the show sequence has read where the last run left it.
    resize(763, 554);
    CentreOnScreen(this, QGuiApplication::primaryScreen());
}

TFormMain::~TFormMain() {
    // A label edit left open by a window that never closed renames nothing.
    labelDelegate_->EndEdit(false);
    delete Component;
    Component = nullptr;
}

QTreeWidget* TFormMain::TreeViewCategories() const { return ui_->TreeViewCategories; }
QFrame* TFormMain::PanelSearch() const { return ui_->PanelSearch; }
QFrame* TFormMain::PanelLeft() const { return ui_->PanelLeft; }
QFrame* TFormMain::PanelRight() const { return ui_->PanelRight; }
QLabel* TFormMain::ImageLogo() const { return ui_->ImageLogo; }
QLabel* TFormMain::LabelEmptyHint() const { return ui_->LabelEmptyHint; }

void TFormMain::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (!initialised_) {
        initialised_ = true;
        InitialiseMainWindow();
    }
}

void TFormMain::InitialiseMainWindow() {
    // 1. Files dropped from the desktop land on the tree.
    ui_->TreeViewCategories->setAcceptDrops(true);
    // 2. The program folder always ends in a separator.
    if (!ProgramFolder.endsWith(QLatin1Char('/')) && !ProgramFolder.endsWith(QLatin1Char('\\')))
        ProgramFolder += QLatin1Char('/');
    // 3. One level only; a failure shows later, when something is extracted.
    TmpFolder = ProgramFolder + QStringLiteral("Tmp/");
    QDir().mkdir(TmpFolder);
    // 4 - 6.
    LoadSettings(ProgramFolder);
    PlaceWindow();
    ApplyColours();
    FocusColor = QColor(Qt::white);
    UnfocusedColor = QColor(0xC0, 0xC0, 0xC0);
    DetailPanel()->SetFocusColours(FocusColor, UnfocusedColor);
    // 7.
    DetailPanel()->SetDescriptionStylePlain();
    // 8 - 11.
    Component = new TVELMComponent(QString());
    TComponentDetailPanel::TComponentHooks hooks;
    hooks.LoadComponent = [this](qint64 rowId) { Component->LoadComponent(rowId); };
    hooks.CachedRating = [this] { return Component->CachedRating; };
    hooks.CachedCompatibility = [this] { return Component->CachedCompatibility; };
    hooks.SetRating = [this](int rating) { Component->SetRating(rating); };
    hooks.SetCompatibility = [this](int bit, bool set) { Component->SetCompatibility(bit, set); };
    DetailPanel()->SetComponentHooks(std::move(hooks));
    Component->TmpFolder = TmpFolder;
    Component->AddCategory = [this](const QString& name) { return AddCategory(name); };
    Component->ShowCompatibility = [this](int mask) { DetailPanel()->ShowCompatibility(mask); };
    LoadCategoryTree();
    GatherUnfiledComponents();
    ShowDetail(false);
    ui_->ImageLogo->hide();
    if (QTreeWidgetItem* first = ui_->TreeViewCategories->topLevelItem(0)) {
        ui_->TreeViewCategories->setCurrentItem(first);
        TreeViewCategoriesChange(first);
    }
    // 12.
    FillSearchFieldList();
}

void TFormMain::PlaceWindow() {
    // Where the last run left the window, on a screen that is still there and wholly on
    // it; else the middle of the primary screen.
    const SettingsRecord& settings = Settings();
    QScreen* screen = settings.MainWindowRect.isValid() ? ScreenHolding(settings.MainWindowRect) : nullptr;
    if (screen) {
        resize(settings.MainWindowRect.size());
        FitToScreen(this, screen, settings.MainWindowRect.topLeft());
    } else {
        CentreOnScreen(this, QGuiApplication::primaryScreen());
    }
    if (settings.MainWindowMaximized)
        setWindowState(windowState() | Qt::WindowMaximized);
}

void TFormMain::ApplyColours() {
    const SettingsRecord& settings = Settings();
    Paint(ui_->PanelRight, settings.MainColor);
    Paint(ui_->PanelLeft, settings.PanelColor);
    Paint(ui_->PanelSearch, settings.SecondPanelColor);
}

void TFormMain::closeEvent(QCloseEvent* event) {
    // Work that lets the event loop run holds objects the close would free: the window
    // closes when the work has ended.
    if (workGuard_->PostponeClose()) {
        event->ignore();
        return;
    }
    FormClose();
    event->accept();
}

void TFormMain::FormClose() {
    if (closed_)
        return;
    closed_ = true;
    // A name typed into a label still open is the user's last rename.
    labelDelegate_->EndEdit(true);
    // A pending edit of the shown component is stored, as a move to another row would.
    if (DMvelm && DMvelm->TableCPInfo->Active())
        RunCommand([] { DMvelm->TableCPInfo->CheckBrowseMode(); });
    EmptyTmpFolder(TmpFolder);
    if (initialised_) {
        Settings().MainWindowRect = normalGeometry();
        Settings().MainWindowMaximized = isMaximized();
    }
    SaveSettings();
    delete Component;
    Component = nullptr;
}

void TFormMain::LoadCategoryTree() {
    QTreeWidget* tree = ui_->TreeViewCategories;
    TTable& categories = *DMvelm->TableCategory;
    TTable& packages = *DMvelm->TableCPInfo;
    // Selection handling is held back until the tree is built: showing every component
    // on the way would cost one locate per row for nothing.
    loadingTree_ = true;
    const QSignalBlocker blocker(tree);
    tree->clear();
    const bool wasFiltered = packages.Filtered();
    // The controls would follow every row of the walk; they hear one change at the end.
    packages.DisableControls();
    categories.DisableControls();
    struct ControlsBack {
        TTable& a;
        TTable& b;
        ~ControlsBack() {
            a.EnableControls();
            b.EnableControls();
        }
    } controlsBack{packages, categories};
    // Nodes are built apart from the tree and added in one go: a tree that is on screen
    // would lay itself out again for every node.
    QList<QTreeWidgetItem*> nodes;
    QList<QTreeWidgetItem*> children;
    try {
        for (categories.First(); !categories.Eof(); categories.Next()) {
            const qint64 categoryId = categories.FieldByName(QStringLiteral("ID"))->AsInteger();
            QTreeWidgetItem* category = NewCategoryItem(categories.FieldByName(QStringLiteral("Name"))->AsString(), categoryId);
            nodes << category;
            packages.SetFilter(QStringLiteral("Category = %1").arg(categoryId));
            packages.SetFiltered(true);
            TField* name = packages.FieldByName(QStringLiteral("ProductName"));
            TField* id = packages.FieldByName(QStringLiteral("ID"));
            for (packages.First(); !packages.Eof(); packages.Next())
                children << NewComponentItem(name->AsString(), id->AsInteger());
            category->addChildren(children);
            children.clear();
            packages.SetFiltered(false);
        }
        tree->addTopLevelItems(nodes);
    } catch (...) {
        // The tree keeps what was read before the failure.
        if (!nodes.isEmpty())
            nodes.last()->addChildren(children);
        tree->addTopLevelItems(nodes);
        packages.SetFiltered(wasFiltered);
        loadingTree_ = false;
        throw;
    }
    tree->collapseAll();
    for (int i = 0; i < tree->topLevelItemCount(); ++i)
        SetImages(tree->topLevelItem(i), kImageDrawerClosed);
    tree->setCurrentItem(nullptr);
    loadingTree_ = false;
    ShowEmptyHint();
}

void TFormMain::GatherUnfiledComponents() {
    TTable& categories = *DMvelm->TableCategory;
    TTable& packages = *DMvelm->TableCPInfo;
    QTreeWidget* tree = ui_->TreeViewCategories;
    // The rebuild put every row of an existing category into the tree: when the counts
    // agree, no row is left out and nothing needs a walk.
    int shown = 0;
    for (int i = 0; i < tree->topLevelItemCount(); ++i)
        shown += tree->topLevelItem(i)->childCount();
    if (shown == packages.RecordCount())
        return;
    // Rows whose category is gone (another tool, an older version) would be reachable
    // nowhere: no node, no search, yet their names block new ones.
    QSet<int> categoryIds;
    for (categories.First(); !categories.Eof(); categories.Next())
        categoryIds.insert(categories.FieldByName(QStringLiteral("ID"))->AsInteger());
    std::vector<TBookmark> unfiled;
    packages.DisableControls();
    for (packages.First(); !packages.Eof(); packages.Next()) {
        const TField* category = packages.FieldByName(QStringLiteral("Category"));
        if (category->IsNull() || !categoryIds.contains(category->AsInteger()))
            unfiled.push_back(packages.GetBookmark());
    }
    packages.EnableControls();
    if (unfiled.empty())
        return;
    const QString name = QStringLiteral("Unfiled");
    if (!categories.Locate(QStringLiteral("Name"), name, true))
        CreateCategoryRecord(name);
    const int unfiledId = categories.FieldByName(QStringLiteral("ID"))->AsInteger();
    TDatabase& database = TSession::Instance().DatabaseFor(QString::fromLatin1(TDMvelm::kAlias));
    database.StartTransaction();
    try {
        for (TBookmark row : unfiled) {
            packages.GotoBookmark(row);
            packages.Edit();
            packages.FieldByName(QStringLiteral("Category"))->SetAsInteger(unfiledId);
            packages.Post();
        }
        database.Commit();
    } catch (...) {
        database.Rollback();
        packages.Refresh();
        categories.Refresh();
        throw;
    }
    LoadCategoryTree();
    const QString notice = QStringLiteral("%1 component(s) whose category no longer exists were put into the "
                                          "category \"%2\".")
                               .arg(unfiled.size())
                               .arg(categories.FieldByName(QStringLiteral("Name"))->AsString());
    // Told once the window is on screen.
    QTimer::singleShot(0, this, [notice] { ShowInfo(notice); });
}

QTreeWidgetItem* TFormMain::NewCategoryItem(const QString& text, qint64 rowId) {
    auto* node = new TTreeNode(text, TreeImageIcon(kImageDrawerClosed), rowId);
    node->setFlags(node->flags() | Qt::ItemIsEditable);
    return node;
}

QTreeWidgetItem* TFormMain::NewComponentItem(const QString& text, qint64 rowId) {
    auto* node = new TTreeNode(text, TreeImageIcon(kImageComponent), rowId);
    node->setFlags(node->flags() | Qt::ItemIsEditable);
    return node;
}

QTreeWidgetItem* TFormMain::AddCategoryNode(QTreeWidgetItem* /*anchor*/, const QString& text, qint64 rowId) {
    QTreeWidgetItem* node = NewCategoryItem(text, rowId);
    ui_->TreeViewCategories->addTopLevelItem(node);
    ShowEmptyHint();
    if (!loadingTree_)
        ui_->TreeViewCategories->setCurrentItem(node);
    return node;
}

QTreeWidgetItem* TFormMain::AddComponentNode(QTreeWidgetItem* anchor, const QString& text, qint64 rowId) {
    QTreeWidgetItem* category = anchor && anchor->parent() ? anchor->parent() : anchor;
    QTreeWidgetItem* node = NewComponentItem(text, rowId);
    category->addChild(node);
    if (!loadingTree_)
        ui_->TreeViewCategories->setCurrentItem(node);
    return node;
}

QTreeWidgetItem* TFormMain::SelectedNode() const {
    QTreeWidgetItem* node = ui_->TreeViewCategories->currentItem();
    return node && node->isSelected() ? node : nullptr;
}

void TFormMain::UpdateCategoryImage(QTreeWidgetItem* category) {
    if (category && !category->parent())
        SetImages(category, category->isExpanded() && category->childCount() > 0 ? kImageDrawerOpen : kImageDrawerClosed);
}

void TFormMain::RemoveNode(QTreeWidgetItem* node) {
    QTreeWidgetItem* category = node->parent();
    delete node;
    UpdateCategoryImage(category);
    ShowEmptyHint();
}

void TFormMain::TreeViewCategoriesChange(QTreeWidgetItem* node) {
    if (!node)
        return;
    if (node->parent()) {
        DetailPanel()->ShowComponent(RowIdOf(node));
        if (DetailPanel()->currentIndex() != 0)
            DetailPanel()->setCurrentIndex(0);
        ui_->ImageLogo->hide();
        ShowDetail(true);
    } else {
        ShowDetail(false);
        ui_->ImageLogo->show();
    }
}

TComponentDetailPanel* TFormMain::DetailPanel() const { return static_cast<TComponentDetailPanel*>(pageControl_); }

void TFormMain::ShowDetail(bool detail) {
    if (pageControl_)
        pageControl_->setVisible(detail);
}

void TFormMain::ShowEmptyHint() {
    // Neither the logo nor the detail panel shows on an empty catalogue; the hint tells
    // a new user how to fill it.
    ui_->LabelEmptyHint->setVisible(initialised_ && ui_->TreeViewCategories->topLevelItemCount() == 0);
}

void TFormMain::TreeViewCategoriesExpanded(QTreeWidgetItem* node) {
    // An empty category has nothing to show open, whatever expanded it.
    UpdateCategoryImage(node);
}

void TFormMain::TreeViewCategoriesCollapsed(QTreeWidgetItem* node) { UpdateCategoryImage(node); }

bool TFormMain::eventFilter(QObject* watched, QEvent* event) {
    QTreeWidget* tree = ui_->TreeViewCategories;
    // A key the label editor did not use travels on to the tree; it belongs to the
    // editor all the same, so only keys typed into the tree itself are the tree's.
    if (watched == tree && event->type() == QEvent::KeyPress && tree->hasFocus()) {
        const auto* key = static_cast<QKeyEvent*>(event);
        // Shift+F10 is the keyboard's right click: the pop-up menu, at the selected node.
        if (key->key() == Qt::Key_F10 && key->modifiers() == Qt::ShiftModifier) {
            const QTreeWidgetItem* selected = SelectedNode();
            ShowTreePopupMenu(selected ? tree->visualItemRect(selected).center() : QPoint());
            return true;
        }
        TreeViewCategoriesKeyDown(key->key());
    }
    if (watched == tree->viewport() && (TreeMouseEvent(event) || DropEvent(event)))
        return true;
    return QMainWindow::eventFilter(watched, event);
}

bool TFormMain::TreeMouseEvent(QEvent* event) {
    const QEvent::Type type = event->type();
    if (type != QEvent::MouseButtonPress && type != QEvent::MouseButtonRelease && type != QEvent::MouseButtonDblClick)
        return false;
    auto* mouse = static_cast<QMouseEvent*>(event);
    // A right click opens the pop-up menu (the context-menu event that follows it) and
    // selects nothing: the commands act on the selected node, not the one under it.
    return mouse->button() == Qt::RightButton;
}

void TFormMain::TreeViewCategoriesKeyDown(int key) {
    QTreeWidgetItem* selected = SelectedNode();
    if (key == Qt::Key_Delete) {
        RunCommand([this] { EditDeleteClick(); });
    } else if (key == Qt::Key_Insert && selected) {
        if (selected->parent())
            RunCommand([this] { FileNewComponentPackageClick(); });
        else
            RunCommand([this] { FileNewCategoryClick(); });
    }
}

}  // namespace velm
