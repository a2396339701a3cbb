#include "kit/messages.h"

#include "catalogue/database_error.h"

#include <QApplication>
#include <QCheckBox>
#include <QMessageBox>
#include <QPushButton>

namespace velm {

namespace {

MessagePresenter* g_presenter = nullptr;

// The real boxes: modal, centred, word-wrapped, with the fixed button rows.
bool ShowBox(MessageKind kind, const QString& caption, const QString& text, const QString& checkText = QString()) {
    // No parent: the box is centred on the screen, not on a window.
    QMessageBox box;
    box.setWindowTitle(caption);
    // Carriage returns start new lines in our texts; Qt wants line feeds.
    QString shown = text;
    shown.replace(QLatin1String("\r\n"), QLatin1String("\n")).replace(QLatin1Char('\r'), QLatin1Char('\n'));
    box.setText(shown);
    box.setTextFormat(Qt::PlainText);
    QAbstractButton* accept = nullptr;
    switch (kind) {
    case MessageKind::Information:
        box.setIcon(QMessageBox::Information);
        accept = box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
        break;
    case MessageKind::Error:
    case MessageKind::DefaultError:
        box.setIcon(QMessageBox::Critical);
        accept = box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
        break;
    case MessageKind::PlainNotice:
        box.setIcon(QMessageBox::NoIcon);
        accept = box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
        break;
    case MessageKind::ConfirmYesNo: {
        box.setIcon(QMessageBox::Question);
        accept = box.addButton(QStringLiteral("&Yes"), QMessageBox::YesRole);
        QPushButton* no = box.addButton(QStringLiteral("&No"), QMessageBox::NoRole);
        box.setDefaultButton(static_cast<QPushButton*>(accept));
        box.setEscapeButton(no);
        break;
    }
    case MessageKind::ConfirmOrSkip: {
        // Importing an archive twice is the exception: Enter and Esc both keep it out.
        box.setIcon(QMessageBox::Question);
        accept = box.addButton(QStringLiteral("&Import"), QMessageBox::AcceptRole);
        QPushButton* skip = box.addButton(QStringLiteral("&Skip"), QMessageBox::RejectRole);
        box.setDefaultButton(skip);
        box.setEscapeButton(skip);
        break;
    }
    case MessageKind::InformationWithCheck:
        box.setIcon(QMessageBox::Information);
        accept = box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
        box.setCheckBox(new QCheckBox(checkText, &box));
        break;
    case MessageKind::ConfirmOkCancel: {
        box.setIcon(QMessageBox::Question);
        accept = box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
        QPushButton* cancel = box.addButton(QStringLiteral("Cancel"), QMessageBox::RejectRole);
        box.setDefaultButton(static_cast<QPushButton*>(accept));
        box.setEscapeButton(cancel);
        break;
    }
    }
    const bool question = kind == MessageKind::ConfirmYesNo || kind == MessageKind::ConfirmOkCancel ||
                          kind == MessageKind::ConfirmOrSkip;
    if (!question)
        box.setEscapeButton(accept);
    box.exec();
    if (box.checkBox())
        return box.checkBox()->isChecked();
    return box.clickedButton() == accept;
}

bool Present(MessageKind kind, const QString& text) {
    const QString caption = CaptionFor(kind);
    if (g_presenter)
        return g_presenter->Show(kind, caption, text);
    return ShowBox(kind, caption, text);
}

}  // namespace

MessagePresenter* SetMessagePresenter(MessagePresenter* presenter) {
    MessagePresenter* previous = g_presenter;
    g_presenter = presenter;
    return previous;
}

QString ApplicationTitle() { return QStringLiteral("VELM - Velmora"); }

QString CaptionFor(MessageKind kind) {
    switch (kind) {
    case MessageKind::Information: return QStringLiteral("Information");
    case MessageKind::Error: return QStringLiteral("Error");
    case MessageKind::ConfirmYesNo:
    case MessageKind::ConfirmOkCancel:
    case MessageKind::ConfirmOrSkip: return QStringLiteral("Confirm");
    case MessageKind::InformationWithCheck: return QStringLiteral("Information");
    case MessageKind::PlainNotice:
    case MessageKind::DefaultError: return ApplicationTitle();
    }
    return ApplicationTitle();
}

void ShowInfo(const QString& text) { Present(MessageKind::Information, text); }
void ShowError(const QString& text) { Present(MessageKind::Error, text); }
bool ConfirmYesNo(const QString& text) { return Present(MessageKind::ConfirmYesNo, text); }
bool ConfirmOkCancel(const QString& text) { return Present(MessageKind::ConfirmOkCancel, text); }
void ShowNotice(const QString& text) { Present(MessageKind::PlainNotice, text); }
bool ConfirmOrSkip(const QString& text) { return Present(MessageKind::ConfirmOrSkip, text); }

bool ShowInfoWithCheck(const QString& text, const QString& checkText) {
    const MessageKind kind = MessageKind::InformationWithCheck;
    if (g_presenter)
        return g_presenter->ShowWithCheck(kind, CaptionFor(kind), text, checkText);
    return ShowBox(kind, CaptionFor(kind), text, checkText);
}

QString DefaultErrorText(const QString& text) {
    if (!text.isEmpty() && text.back() > QLatin1Char('.'))
        return text + QLatin1Char('.');
    return text;
}

void ShowDefaultErrorReport(const QString& text) { Present(MessageKind::DefaultError, DefaultErrorText(text)); }

void ReportException(const std::exception& error) {
    if (dynamic_cast<const EAbort*>(&error))
        return;
    if (const auto* refused = dynamic_cast<const ERefused*>(&error)) {
        ShowError(refused->Text());
        return;
    }
    if (const auto* db = dynamic_cast<const EDatabaseError*>(&error)) {
        ShowDefaultErrorReport(db->Text());
        return;
    }
    ShowDefaultErrorReport(QString::fromUtf8(error.what()));
}

}  // namespace velm
