#include "browser/instant_search_panel.h"

#include "browser/category_tree.h"
#include "browser/form_main.h"
#include "browser/match_delegate.h"
#include "browser/search_hit_model.h"
#include "browser/tree_node.h"
#include "catalogue/data_module.h"
#include "catalogue/database.h"
#include "kit/command_guard.h"
#include "kit/work_guard.h"
#include "import/ide_versions.h"
#include "viewer/form_view_zip.h"

#include <QAction>
#include <QComboBox>
#include <QDockWidget>
#include <QEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPainter>
#include <QStatusBar>
#include <QTableView>
#include <QTimer>
#include <QTreeWidget>

namespace velm {

namespace {

constexpr int kFieldWidth = 280;
// The list takes this share of the window's height when it first shows.
constexpr double kListShare = 0.3;

QIcon MagnifierPicture() {
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(0x50, 0x50, 0x50), 1.5));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QPointF(6.5, 6.5), 4.5, 4.5);
    p.setPen(QPen(QColor(0x50, 0x50, 0x50), 2.2, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(10, 10), QPointF(14, 14));
    return QIcon(pixmap);
}

bool SameHit(const TSearchHit& a, const TSearchHit& b) {
    return a.PackageId == b.PackageId && a.Field == b.Field && a.Member == b.Member;
}

}  // namespace

TInstantSearchPanel::TInstantSearchPanel(TFormMain* window) : QObject(window), window_(window) {
    field_ = new QLineEdit(window);
    field_->setObjectName(QStringLiteral("EditInstantSearch"));
    field_->setPlaceholderText(QStringLiteral("Search everything (Ctrl+F)"));
    field_->setToolTip(QStringLiteral("Finds what you type in the components' names, descriptions, authors, "
                                      "addresses, comments and archive names, and in the names of the files "
                                      "in their archives"));
    field_->setClearButtonEnabled(true);
    field_->addAction(MagnifierPicture(), QLineEdit::LeadingPosition);
    field_->installEventFilter(this);
    PlaceField();

    auto* find = new QAction(QStringLiteral("Search everything"), window);
    find->setObjectName(QStringLiteral("ActionInstantSearch"));
    find->setShortcut(QKeySequence::Find);
    find->setShortcutContext(Qt::WindowShortcut);
    window->addAction(find);
    connect(find, &QAction::triggered, this, [this] {
        field_->setFocus(Qt::ShortcutFocusReason);
        field_->selectAll();
        // The list closed by its close box comes back with the field.
        if (!(dock_ && dock_->isVisible()) && !field_->text().trimmed().isEmpty())
            RunCommand([this] { RunQuery(); });
    });

    model_ = new TSearchHitModel(this);

    typingPause_ = new QTimer(this);
    typingPause_->setSingleShot(true);
    typingPause_->setInterval(kTypingPauseMs);
    connect(typingPause_, &QTimer::timeout, this, [this] { RunCommand([this] { RunQuery(); }); });
    connect(field_, &QLineEdit::textChanged, this, &TInstantSearchPanel::TextEdited);

    // Whatever changes rows moves the package or category table; work that lets events
    // run is waited for, and a dialog that closed (an index run, say) hands the focus back.
    if (DMvelm) {
        for (TDataSource* source : {DMvelm->DSCPInfo, DMvelm->DSCategory}) {
            connect(source, &TDataSource::dataSetChanged, this, &TInstantSearchPanel::ScheduleRefresh);
            connect(source, &TDataSource::stateChanged, this, &TInstantSearchPanel::ScheduleRefresh);
        }
    }
    connect(window->WorkGuard(), &TWorkGuard::busyChanged, this, [this](bool busy) {
        if (!busy)
            ScheduleRefresh();
    });
    window->installEventFilter(this);
}

// The list and its dock are made at the first search: most starts never show them, and
// a table view with its headers in a dock costs a bare window's start-up a fifth again.
void TInstantSearchPanel::MakeList() {
    if (dock_)
        return;
    list_ = new QTableView;
    list_->setObjectName(QStringLiteral("GridSearchResults"));
    list_->setModel(model_);
    list_->setItemDelegateForColumn(TSearchHitModel::ColumnText,
                                    new TMatchDelegate(TSearchHitModel::MatchRole, list_));
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list_->setAlternatingRowColors(true);
    list_->setShowGrid(false);
    list_->setWordWrap(false);
    list_->setTextElideMode(Qt::ElideRight);
    list_->verticalHeader()->hide();
    list_->verticalHeader()->setDefaultSectionSize(list_->fontMetrics().height() + 6);
    list_->horizontalHeader()->setHighlightSections(false);
    list_->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    list_->horizontalHeader()->setStretchLastSection(true);
    list_->setStatusTip(QStringLiteral("Enter or a double click shows the component; on an archive member, "
                                       "also the archive's contents"));
    list_->installEventFilter(this);
    // Enter and a double click both activate.
    connect(list_, &QAbstractItemView::activated, this, &TInstantSearchPanel::ActivateHit);

    dock_ = new QDockWidget(QStringLiteral("Search results"), window_);
    dock_->setObjectName(QStringLiteral("DockSearchResults"));
    dock_->setFeatures(QDockWidget::DockWidgetClosable);
    dock_->setAllowedAreas(Qt::BottomDockWidgetArea);
    dock_->setWidget(ListWithFilter());
    window_->addDockWidget(Qt::BottomDockWidgetArea, dock_);
    dock_->hide();
}

QWidget* TInstantSearchPanel::ListWithFilter() {
    auto* holder = new QWidget;
    auto* layout = new QVBoxLayout(holder);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    auto* line = new QHBoxLayout;
    line->setContentsMargins(4, 2, 4, 0);
    line->addWidget(new QLabel(QStringLiteral("Works with:"), holder));
    worksWith_ = new QComboBox(holder);
    worksWith_->setObjectName(QStringLiteral("ComboSearchWorksWith"));
    worksWith_->addItem(QStringLiteral("Any version"));
    for (const IdeVersion& version : IdeVersions())
        worksWith_->addItem(version.NameText(), version.CodeText());
    worksWith_->setToolTip(QStringLiteral("Lists only the components that work with this IDE version"));
    line->addWidget(worksWith_);
    line->addStretch();
    layout->addLayout(line);
    layout->addWidget(list_);
    connect(worksWith_, &QComboBox::currentIndexChanged, this, [this] { RunCommand([this] { RunQuery(); }); });
    return holder;
}

void TInstantSearchPanel::PlaceField() {
    // On the menu bar's line, at its right end: the search strip below has no room to
    // spare in a window of the first-start size, and the field stays at hand when the
    // strip is hidden.
    field_->setFixedWidth(kFieldWidth);
    QMenuBar* menuBar = window_->menuBar();
    if (!menuBar->isNativeMenuBar()) {
        auto* holder = new QWidget(window_);
        auto* layout = new QHBoxLayout(holder);
        layout->setContentsMargins(0, 1, 6, 1);
        layout->addWidget(field_);
        menuBar->setCornerWidget(holder, Qt::TopRightCorner);
        return;
    }
    // A menu bar the desktop draws itself takes no field: the strip's right end does.
    field_->setParent(window_->PanelSearch());
    window_->PanelSearch()->installEventFilter(this);
}

void TInstantSearchPanel::TextEdited() {
    if (field_->text().trimmed().isEmpty()) {
        // Emptied: nothing to show, at once.
        typingPause_->stop();
        model_->SetHits({});
        if (dock_)
            dock_->hide();
        return;
    }
    typingPause_->start();
}

void TInstantSearchPanel::RunQuery() {
    typingPause_->stop();
    const QString text = field_->text().trimmed();
    TArchiveIndex* index = DMvelm ? DMvelm->ArchiveIndex() : nullptr;
    if (text.isEmpty() || !index || !window_)
        return;
    MakeList();
    TCatalogueSearch search(*index);
    search.WorksWith = worksWith_->currentData().toString();
    std::vector<TSearchHit> hits = search.Find(text, kShownHits + 1);
    stamp_ = CatalogueStamp();
    const bool more = int(hits.size()) > kShownHits;
    if (more)
        hits.resize(kShownHits);

    const TSearchHit* chosen = model_->HitAt(list_->currentIndex().row());
    const bool keep = chosen != nullptr;
    const TSearchHit kept = keep ? *chosen : TSearchHit();
    model_->SetHits(std::move(hits));
    for (int row = 0; keep && row < model_->rowCount(); ++row)
        if (SameHit(*model_->HitAt(row), kept)) {
            list_->setCurrentIndex(model_->index(row, 0));
            break;
        }
    // The names and the place take what they need, within reason; the text has the rest.
    // (The list may not be laid out yet: the window's width is the measure.)
    list_->resizeColumnsToContents();
    const int widest = std::max(120, window_->width() / 5);
    for (int column = 0; column < TSearchHitModel::ColumnText; ++column)
        list_->setColumnWidth(column, std::min(list_->columnWidth(column) + 12, widest));
    ShowTitle(text, model_->rowCount(), more);

    if (!dock_->isVisible()) {
        dock_->show();
        if (!dockSized_) {
            dockSized_ = true;
            window_->resizeDocks({dock_}, {int(window_->height() * kListShare)}, Qt::Vertical);
        }
    }
}

void TInstantSearchPanel::ShowTitle(const QString& text, int shown, bool more) {
    // The filter is named with the text: a short list then says why it is short.
    QString what = QStringLiteral("\"%1\"").arg(text);
    if (worksWith_->currentIndex() > 0)
        what += QStringLiteral(" in components for %1").arg(worksWith_->currentText());
    QString title;
    if (more)
        title = QStringLiteral("The first %1 hits for %2: type more to narrow them down").arg(shown).arg(what);
    else if (shown == 0)
        title = QStringLiteral("Nothing found for %1").arg(what);
    else if (shown == 1)
        title = QStringLiteral("1 hit for %1").arg(what);
    else
        title = QStringLiteral("%1 hits for %2").arg(shown).arg(what);
    dock_->setWindowTitle(title);
}

void TInstantSearchPanel::ScheduleRefresh() {
    if (refreshScheduled_ || field_->text().trimmed().isEmpty())
        return;
    refreshScheduled_ = true;
    QTimer::singleShot(0, this, [this] {
        refreshScheduled_ = false;
        RefreshIfChanged();
    });
}

void TInstantSearchPanel::RefreshIfChanged() {
    // Rows half written by work that lets events run are not looked at; its end asks again.
    if (!window_ || window_->WorkGuard()->Busy() || typingPause_->isActive())
        return;
    if (field_->text().trimmed().isEmpty() || CatalogueStamp() == stamp_)
        return;
    RunCommand([this] { RunQuery(); });
}

qint64 TInstantSearchPanel::CatalogueStamp() {
    TArchiveIndex* index = DMvelm ? DMvelm->ArchiveIndex() : nullptr;
    return index ? index->Database().TotalChanges() : -1;
}

void TInstantSearchPanel::ActivateHit(const QModelIndex& index) {
    const TSearchHit* hit = model_->HitAt(index.row());
    if (!hit)
        return;
    // A copy: selecting the component may change rows and so the list.
    const TSearchHit chosen = *hit;
    RunCommand([&] { OpenHit(chosen); });
}

void TInstantSearchPanel::OpenHit(const TSearchHit& hit) {
    window_->CategoryTree()->SelectComponentNode(hit.PackageId);
    const QTreeWidgetItem* node = window_->SelectedNode();
    if (!node || !node->parent() || RowIdOf(node) != hit.PackageId) {
        window_->statusBar()->showMessage(
            QStringLiteral("%1 is no longer in the catalogue.").arg(hit.ProductName));
        ScheduleRefresh();
        return;
    }
    if (!hit.IsMember())
        return;
    TTable& packages = *DMvelm->TableCPInfo;
    if (packages.FieldByName(QStringLiteral("ID"))->Value().toLongLong() != hit.PackageId)
        return;
    const QString archive = packages.FieldByName(QStringLiteral("ArchiveFilePath"))->AsString() +
                            packages.FieldByName(QStringLiteral("ArchiveFile"))->AsString();
    ShowArchiveContents(window_, archive, window_->TmpFolder(), hit.Member);
}

bool TInstantSearchPanel::eventFilter(QObject* watched, QEvent* event) {
    // The window sends child events while it is being destroyed; by then it is no longer a
    // TFormMain, so only the events handled below may look at it.
    const QEvent::Type type = event->type();
    if (type != QEvent::WindowActivate && type != QEvent::Resize && type != QEvent::KeyPress)
        return false;
    if (watched == window_ && event->type() == QEvent::WindowActivate) {
        ScheduleRefresh();
        return false;
    }
    if (window_ && watched == window_->PanelSearch() && event->type() == QEvent::Resize) {
        field_->move(window_->PanelSearch()->width() - field_->width() - 8, 6);
        return false;
    }
    if (event->type() != QEvent::KeyPress)
        return false;
    const auto* key = static_cast<QKeyEvent*>(event);
    if (watched == field_) {
        switch (key->key()) {
        case Qt::Key_Escape:
            // A first Escape empties the field, a second one goes back to the tree.
            if (field_->text().isEmpty())
                window_->TreeViewCategories()->setFocus(Qt::OtherFocusReason);
            else
                field_->clear();
            return true;
        case Qt::Key_Down:
        case Qt::Key_Return:
        case Qt::Key_Enter: {
            // What was typed last counts, pause or not.
            if (typingPause_->isActive())
                RunCommand([this] { RunQuery(); });
            if (model_->rowCount() == 0)
                return true;
            if (!list_->currentIndex().isValid())
                list_->setCurrentIndex(model_->index(0, 0));
            if (key->key() == Qt::Key_Down)
                list_->setFocus(Qt::OtherFocusReason);
            else
                ActivateHit(list_->currentIndex());
            return true;
        }
        default:
            return false;
        }
    }
    if (watched == list_ && key->key() == Qt::Key_Escape) {
        field_->setFocus(Qt::OtherFocusReason);
        field_->selectAll();
        return true;
    }
    return false;
}

}  // namespace velm
