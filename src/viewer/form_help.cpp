#include "viewer/form_help.h"

#include "kit/launcher.h"
#include "kit/shipped_files.h"
#include "kit/window_fit.h"
#include "ui_form_help.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QKeySequence>
#include <QPointer>
#include <QShortcut>
#include <QStyle>
#include <QTextBrowser>
#include <QTextDocument>
#include <QWindow>

namespace velm {

namespace {

// The pages' look within what Qt's rich text knows of CSS (their own help.css is
// written for desktop browsers and would come out wrong here).
const char* const kHelpWindowStyle = R"(
body { font-family: Arial, "Liberation Sans", sans-serif; font-size: 15px; color: #1b2a2a; }
h1 { font-size: 22px; color: #1f4e4e; }
h2 { font-size: 17px; color: #1f4e4e; }
a { color: #1f5f8f; }
.title { font-size: 13px; font-weight: bold; color: #408080; }
.ui { font-weight: bold; }
.note { background-color: #eef3e6; }
table { border-collapse: collapse; }
th { background-color: #dbe6d4; }
th, td { border: 1px solid #c8d6c0; padding: 3px 8px; }
)";

}  // namespace

TFormHelp::TFormHelp(QWidget* parent) : QWidget(parent, Qt::Window), ui_(std::make_unique<Ui::FormHelp>()) {
    ui_->setupUi(this);
    designedSize_ = size();
    // The main window's closing ends the program even while help is open.
    setAttribute(Qt::WA_QuitOnClose, false);
    ui_->ButtonBack->setIcon(style()->standardIcon(QStyle::SP_ArrowBack));
    ui_->ButtonForward->setIcon(style()->standardIcon(QStyle::SP_ArrowForward));
    ui_->ButtonContents->setIcon(style()->standardIcon(QStyle::SP_DirHomeIcon));
    QTextBrowser* browser = ui_->TextBrowserHelp;
    browser->document()->setDefaultStyleSheet(QString::fromLatin1(kHelpWindowStyle));
    browser->document()->setDocumentMargin(12);
    auto* close = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(close, &QShortcut::activated, this, &QWidget::close);
    connect(ui_->ButtonBack, &QToolButton::clicked, browser, &QTextBrowser::backward);
    connect(ui_->ButtonForward, &QToolButton::clicked, browser, &QTextBrowser::forward);
    connect(ui_->ButtonContents, &QToolButton::clicked, this, [this] { ShowTopic(kHelpContentsTopic); });
    connect(browser, &QTextBrowser::backwardAvailable, ui_->ButtonBack, &QToolButton::setEnabled);
    connect(browser, &QTextBrowser::forwardAvailable, ui_->ButtonForward, &QToolButton::setEnabled);
    connect(browser, &QTextBrowser::sourceChanged, this, [this] {
        missingPage_ = false;
        UpdateTitle();
    });
}

TFormHelp::~TFormHelp() = default;

QTextBrowser* TFormHelp::TextBrowserHelp() const { return ui_->TextBrowserHelp; }
QToolButton* TFormHelp::ButtonBack() const { return ui_->ButtonBack; }
QToolButton* TFormHelp::ButtonForward() const { return ui_->ButtonForward; }
QToolButton* TFormHelp::ButtonContents() const { return ui_->ButtonContents; }

QString TFormHelp::PagePath() const {
    return missingPage_ ? QString() : ui_->TextBrowserHelp->source().toLocalFile();
}

void TFormHelp::ShowTopic(int topic) {
    const QString page = FindHelpPage(topic);
    if (page.isEmpty())
        ShowMissingPage(topic);
    else
        ui_->TextBrowserHelp->setSource(QUrl::fromLocalFile(page));
    KeepUsableOver(QApplication::activeModalWidget());
    if (!isVisible()) {
        // On the screen of the window help was asked from, wholly; where the user left
        // it when that is on the same screen.
        QScreen* screen = ScreenFor(QApplication::activeWindow());
        if (placed_ && ScreenHolding(geometry()) == screen) {
            FitToScreen(this, screen);
        } else {
            resize(designedSize_);
            CentreOnScreen(this, screen);
        }
        placed_ = true;
    }
    show();
    raise();
    activateWindow();
    ui_->TextBrowserHelp->setFocus();
}

void TFormHelp::ShowMissingPage(int topic) {
    QString text = QStringLiteral("<h2>Help page not found</h2><p>The help page <b>%1</b> is not installed. "
                                  "It was looked for in:</p><ul>")
                       .arg(HelpPageName(topic).toHtmlEscaped());
    for (const QString& folder : HelpFolders())
        text += QStringLiteral("<li>%1</li>").arg(QDir::toNativeSeparators(folder).toHtmlEscaped());
    text += QStringLiteral("</ul>");
    ui_->TextBrowserHelp->setHtml(text);
    missingPage_ = true;
    UpdateTitle();
}

// A modal dialog blocks every window that is not its own; as the dialog's transient
// child the help window can still be scrolled and its links followed.
void TFormHelp::KeepUsableOver(QWidget* modalDialog) {
    if (modalDialog == this)
        return;
    winId();
    QWindow* owner = modalDialog ? modalDialog->window()->windowHandle() : nullptr;
    if (windowHandle()->transientParent() == owner)
        return;
    windowHandle()->setTransientParent(owner);
    // Once the dialog is gone, help is a window of its own again.
    if (owner)
        connect(
            owner, &QWindow::visibleChanged, this,
            [this, owner](bool visible) {
                if (!visible && windowHandle() && windowHandle()->transientParent() == owner)
                    windowHandle()->setTransientParent(nullptr);
            },
            Qt::SingleShotConnection);
}

void TFormHelp::UpdateTitle() {
    const QString title = missingPage_ ? QString() : ui_->TextBrowserHelp->documentTitle();
    setWindowTitle(title.isEmpty() ? QStringLiteral("Velmora Help") : title);
}

TFormHelp* HelpWindow() {
    static QPointer<TFormHelp> window;
    if (!window) {
        window = new TFormHelp;
        // A window without a parent would outlive the application object.
        QObject::connect(qApp, &QCoreApplication::aboutToQuit, window, &QObject::deleteLater);
    }
    return window;
}

}  // namespace velm
