#include "report/print_dialog.h"

#include <QComboBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPrintDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

namespace velm {

namespace {

PrintPresenter* presenter = nullptr;

QToolButton* ToolButton(QWidget* parent, QStyle::StandardPixmap picture, const QString& hint) {
    auto* button = new QToolButton(parent);
    button->setIcon(parent->style()->standardIcon(picture));
    button->setToolTip(hint);
    button->setAutoRaise(true);
    return button;
}

}  // namespace

PrintPresenter* SetPrintPresenter(PrintPresenter* next) {
    PrintPresenter* previous = presenter;
    presenter = next;
    return previous;
}

void RunPrintDialog(QWidget* parent, const TPrintRequest& request) {
    if (presenter) {
        presenter->Present(parent, request);
        return;
    }
    TPrintPreviewDialog dialog(request, parent);
    dialog.exec();
}

TPrintPreviewDialog::TPrintPreviewDialog(const TPrintRequest& request, QWidget* parent)
    : QDialog(parent), request_(request), printer_(std::make_unique<QPrinter>(QPrinter::HighResolution)) {
    setWindowTitle(QStringLiteral("Print"));
    setSizeGripEnabled(true);
    // A page's width and most of its height, as far as the screen allows.
    const QScreen* screen = parent ? parent->screen() : QGuiApplication::primaryScreen();
    const QSize room = screen ? screen->availableGeometry().size() * 0.9 : QSize(760, 820);
    resize(std::min(760, room.width()), std::min(820, room.height()));

    auto* top = new QHBoxLayout;
    auto* what = new QLabel(QStringLiteral("&Print:"), this);
    choice_ = new QComboBox(this);
    choice_->setObjectName(QStringLiteral("ComboBoxPrintWhat"));
    choice_->addItems(request_.Choices);
    what->setBuddy(choice_);
    top->addWidget(what);
    top->addWidget(choice_, 1);
    top->addSpacing(12);
    QToolButton* previous = ToolButton(this, QStyle::SP_ArrowLeft, QStringLiteral("Previous page"));
    previous->setObjectName(QStringLiteral("ButtonPreviousPage"));
    page_ = new QLabel(this);
    page_->setObjectName(QStringLiteral("LabelPage"));
    page_->setMinimumWidth(110);
    page_->setAlignment(Qt::AlignCenter);
    QToolButton* next = ToolButton(this, QStyle::SP_ArrowRight, QStringLiteral("Next page"));
    next->setObjectName(QStringLiteral("ButtonNextPage"));
    top->addWidget(previous);
    top->addWidget(page_);
    top->addWidget(next);

    preview_ = new QPrintPreviewWidget(printer_.get(), this);
    preview_->setObjectName(QStringLiteral("PrintPreview"));
    preview_->fitToWidth();

    note_ = new QLabel(this);
    note_->setObjectName(QStringLiteral("LabelPreviewNote"));
    note_->setWordWrap(true);
    note_->hide();

    auto* buttons = new QHBoxLayout;
    print_ = new QPushButton(QStringLiteral("P&rint..."), this);
    print_->setObjectName(QStringLiteral("ButtonPrint"));
    print_->setDefault(true);
    close_ = new QPushButton(QStringLiteral("Close"), this);
    close_->setObjectName(QStringLiteral("ButtonClose"));
    buttons->addWidget(note_, 1);
    buttons->addWidget(print_);
    buttons->addWidget(close_);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(preview_, 1);
    layout->addLayout(buttons);

    connect(preview_, &QPrintPreviewWidget::paintRequested, this, &TPrintPreviewDialog::PaintPreview);
    connect(preview_, &QPrintPreviewWidget::previewChanged, this, &TPrintPreviewDialog::ShowPage);
    connect(choice_, &QComboBox::currentIndexChanged, preview_, &QPrintPreviewWidget::updatePreview);
    // The preview tells of a page change when it is scrolled, not when it is asked to
    // turn a page: the arrows update the label themselves.
    const auto turn = [this](int by) {
        preview_->setCurrentPage(preview_->currentPage() + by);
        ShowPage();
    };
    connect(previous, &QToolButton::clicked, this, [turn] { turn(-1); });
    connect(next, &QToolButton::clicked, this, [turn] { turn(1); });
    connect(print_, &QPushButton::clicked, this, &TPrintPreviewDialog::PrintClick);
    connect(close_, &QPushButton::clicked, this, &QDialog::reject);
}

TPrintPreviewDialog::~TPrintPreviewDialog() = default;

void TPrintPreviewDialog::PaintPreview(QPrinter* printer) {
    const TPrintOutcome outcome = request_.Preview(*printer, choice_->currentIndex());
    note_->setText(QStringLiteral("The preview shows the first %1 pages; all pages are printed.").arg(outcome.Pages));
    note_->setVisible(outcome.PageLimitReached);
}

void TPrintPreviewDialog::ShowPage() {
    page_->setText(QStringLiteral("Page %1 of %2").arg(preview_->currentPage()).arg(preview_->pageCount()));
}

void TPrintPreviewDialog::PrintClick() {
    QPrintDialog dialog(printer_.get(), this);
    dialog.setOption(QAbstractPrintDialog::PrintToFile, true);
    if (dialog.exec() != QDialog::Accepted)
        return;
    request_.Print(*printer_, choice_->currentIndex());
    accept();
}

}  // namespace velm
