#include "viewer/form_view_zip.h"

#include "ui_form_view_zip.h"

#include "kit/dialog_colours.h"
#include "kit/launcher.h"
#include "kit/messages.h"
#include "kit/settings.h"
#include "import/zip_directory.h"

#include <QFileInfo>
#include <QIcon>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QShowEvent>
#include <QStatusBar>

namespace velm {

namespace {

const QString kCaptions[4] = {QStringLiteral("File Name"), QStringLiteral("Compr Size"), QStringLiteral("Uncmpr Size"),
                              QStringLiteral("Date/Time")};

const QString kEncryptedHint = QStringLiteral("Encrypted: cannot be read");

// The viewer keeps the colours of a fresh installation whatever scheme the user chose.
constexpr ColorRef kPanelColour = 10007709;
constexpr ColorRef kStripColour = 11388855;

QString StyleWord(TSortStyle style) {
    switch (style) {
    case TSortStyle::Numeric:
        return QStringLiteral(", Numeric, ");
    case TSortStyle::DateTime:
        return QStringLiteral(", Datetime, ");
    case TSortStyle::Time:
        return QStringLiteral(", Time, ");
    case TSortStyle::Alpha:
        break;
    }
    return QStringLiteral(", Alpha, ");
}

// A small padlock beside the name of an encrypted member, drawn here so that the mark
// needs no picture file.
QIcon PadlockIcon() {
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(90, 90, 90), 1.6));
    painter.setBrush(Qt::NoBrush);
    painter.drawArc(QRectF(4.5, 1.5, 7, 9), 0, 180 * 16);
    painter.drawLine(QPointF(4.5, 6), QPointF(4.5, 8));
    painter.drawLine(QPointF(11.5, 6), QPointF(11.5, 8));
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(200, 150, 30));
    painter.drawRoundedRect(QRectF(2.5, 7.5, 11, 7.5), 1.5, 1.5);
    painter.end();
    return QIcon(pixmap);
}

}  // namespace

TFormViewZip::TFormViewZip(QWidget* parent) : QDialog(parent), ui_(std::make_unique<Ui::FormViewZip>()) {
    ui_->setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(size());

    PaintPanel(ui_->PanelTop, kPanelColour);
    PaintPanel(ui_->PanelZipName, kStripColour);
    PaintPanel(ui_->StatusBar1, kPanelColour);
    statusPanel_ = new QLabel(ui_->StatusBar1);
    statusPanel_->setObjectName(QStringLiteral("StatusBar1Panel"));
    statusPanel_->setTextFormat(Qt::PlainText);
    ui_->StatusBar1->addWidget(statusPanel_, 1);

    TSortGrid* grid = ui_->SortGrid1;
    grid->ClickSorting = true;
    grid->CaseSensitive = false;
    grid->SetRowCount(1);
    grid->SetColCount(4);
    for (int col = 0; col < 4; ++col)
        grid->SetCells(col, 0, kCaptions[col]);
    ui_->BitBtnHelp->setProperty("HelpContext", kHelpTopic);

    ZipMasterViewZip.ExtrOptions = TZipExtrOptions(ExtrDirNames) | ExtrOverWrite;

    connect(ui_->BitBtnViewFile, &QPushButton::clicked, this, &TFormViewZip::BitBtnViewFileClick);
    connect(ui_->BitBtnHelp, &QPushButton::clicked, this, &TFormViewZip::BitBtnHelpClick);
    connect(ui_->BitBtnClose, &QPushButton::clicked, this, &QDialog::reject);
    connect(grid, &TSortGrid::BeginSort, this, &TFormViewZip::SortGrid1BeginSort);
}

TFormViewZip::~TFormViewZip() = default;

QLabel* TFormViewZip::RxLabelZipName() const { return ui_->RxLabelZipName; }
QPushButton* TFormViewZip::BitBtnViewFile() const { return ui_->BitBtnViewFile; }
QPushButton* TFormViewZip::BitBtnHelp() const { return ui_->BitBtnHelp; }
QPushButton* TFormViewZip::BitBtnClose() const { return ui_->BitBtnClose; }
TSortGrid* TFormViewZip::SortGrid1() const { return ui_->SortGrid1; }
QStatusBar* TFormViewZip::StatusBar1() const { return ui_->StatusBar1; }
QString TFormViewZip::StatusText() const { return statusPanel_->text(); }

void TFormViewZip::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (shown_ || event->spontaneous())
        return;
    shown_ = true;
    FormShow();
}

void TFormViewZip::FormShow() {
    ui_->RxLabelZipName->setText(ZipName);
    ResetGrid();
    for (int col = 0; col < 4; ++col)
        ui_->SortGrid1->SetColWidth(col, kColumnWidths[col]);
    // A folder is no archive: an empty file name leaves just the folder in ZipName.
    if (QFileInfo(ZipName).isFile()) {
        ZipMasterViewZip.SetZipFilename(ZipName);
    } else {
        ShowNotice(QStringLiteral("Error - file not found: ") + ZipName);
        // Queued: this runs while the dialog is being shown, before its event loop.
        QMetaObject::invokeMethod(this, &QDialog::reject, Qt::QueuedConnection);
    }
    FillGrid();
    if (!SelectMember.isEmpty())
        SelectMemberRow(SelectMember);
}

void TFormViewZip::SelectMemberRow(const QString& name) {
    TSortGrid* grid = ui_->SortGrid1;
    // The name as listed; two members may differ in letter case alone, so the exact one
    // wins over one that differs in case.
    int found = -1;
    for (int row = grid->FixedRows(); row < grid->RowCount() && found < 0; ++row)
        if (grid->Cells(0, row) == name)
            found = row;
    for (int row = grid->FixedRows(); row < grid->RowCount() && found < 0; ++row)
        if (grid->Cells(0, row).compare(name, Qt::CaseInsensitive) == 0)
            found = row;
    if (found < 0)
        return;
    grid->SetRow(found);
    grid->scrollToItem(grid->item(found, 0), QAbstractItemView::PositionAtCenter);
}

void TFormViewZip::ResetGrid() {
    ui_->SortGrid1->SetRowCount(1);
    ui_->SortGrid1->SetFixedRows(0);
}

void TFormViewZip::FillGrid() {
    TSortGrid* grid = ui_->SortGrid1;
    ResetGrid();
    const std::vector<ZipDirEntry>& entries = ZipMasterViewZip.Entries();
    if (entries.empty())
        return;
    grid->setUpdatesEnabled(false);
    // All rows at once: adding them one by one costs a layout pass each.
    grid->SetRowCount(int(entries.size()) + 1);
    grid->SetFixedRows(1);
    QIcon padlock;
    int row = 1;
    for (const ZipDirEntry& entry : entries) {
        grid->SetCells(0, row, entry.FileName);
        grid->SetCells(1, row, QString::number(entry.ComprSize64));
        grid->SetCells(2, row, QString::number(entry.UncomprSize64));
        grid->SetCells(3, row, FormatGridDateTime(DosDateTimeToLocal(entry.DateTime)));
        // Marked beside the name, which stays the member's name for viewing and sorting.
        if (entry.IsEncrypted()) {
            if (padlock.isNull())
                padlock = PadlockIcon();
            QTableWidgetItem* cell = grid->item(row, 0);
            cell->setIcon(padlock);
            cell->setToolTip(kEncryptedHint);
        }
        ++row;
    }
    grid->SetRow(1);
    grid->setUpdatesEnabled(true);
}

void TFormViewZip::BitBtnViewFileClick() {
    const TSortGrid* grid = ui_->SortGrid1;
    const QString name = grid->Cells(0, grid->Row());
    ZipMasterViewZip.ExtrBaseDir = TmpDir;
    ZipMasterViewZip.FSpecArgs.clear();
    ZipMasterViewZip.FSpecArgs.append(name);
    ZipMasterViewZip.Extract();
    if (ZipMasterViewZip.ExtractedCount() > 0)
        LaunchTextViewer(TmpDir + QString(name).replace(u'\\', u'/'));
}

void TFormViewZip::BitBtnHelpClick() { OpenHelpTopic(ui_->BitBtnHelp->property("HelpContext").toInt()); }

void TFormViewZip::SortGrid1BeginSort(int column, const TSortOptions& options) {
    statusPanel_->setText(QStringLiteral("Sorting By ") + ui_->SortGrid1->Cells(column, 0) + StyleWord(options.SortStyle) +
                          (options.SortDirection == TSortDirection::Descending ? QStringLiteral("Descending")
                                                                               : QStringLiteral("Ascending")));
}

void ShowArchiveContents(QWidget* parent, const QString& zipPath, const QString& tmpFolder, const QString& member) {
    TFormViewZip dialog(parent);
    dialog.ZipName = zipPath;
    dialog.TmpDir = tmpFolder;
    dialog.SelectMember = member;
    dialog.exec();
}

}  // namespace velm
