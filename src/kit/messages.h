#pragma once

#include <QString>

#include <exception>

namespace velm {

// The kinds of message box the program shows; each has a fixed caption, icon and
// button row.
enum class MessageKind {
    Information,      // "Information", information icon, OK
    Error,            // "Error", stop icon, OK
    ConfirmYesNo,     // "Confirm", question icon, &Yes / &No
    ConfirmOkCancel,  // "Confirm", question icon, OK / Cancel
    PlainNotice,      // application title, no icon, OK
    DefaultError,     // application title, stop icon, OK: the report of unhandled failures
    ConfirmOrSkip,    // "Confirm", question icon, &Import / &Skip, Skip the default and Esc
    InformationWithCheck,  // "Information", information icon, a check box, OK
};

// Every message box goes through one presenter, so tests can answer questions and
// record what was shown. Show returns true for Yes / OK, false for No / Cancel / Esc.
class MessagePresenter {
public:
    virtual ~MessagePresenter() = default;
    virtual bool Show(MessageKind kind, const QString& caption, const QString& text) = 0;
    // A box with a check box: returns whether the box was left with it ticked.
    virtual bool ShowWithCheck(MessageKind kind, const QString& caption, const QString& text, const QString& checkText) {
        Q_UNUSED(checkText);
        return Show(kind, caption, text);
    }
};

// Installs a presenter (nullptr restores the real message boxes). Returns the previous one.
MessagePresenter* SetMessagePresenter(MessagePresenter* presenter);

QString ApplicationTitle();  // "VELM - Velmora"
QString CaptionFor(MessageKind kind);

void ShowInfo(const QString& text);
void ShowError(const QString& text);
bool ConfirmYesNo(const QString& text);
bool ConfirmOkCancel(const QString& text);
void ShowNotice(const QString& text);
// True for Import; Skip, the default, and Esc give false.
bool ConfirmOrSkip(const QString& text);
// An information box with a check box, unticked at first; true when the user ticked it.
bool ShowInfoWithCheck(const QString& text, const QString& checkText);

// The default error report: title caption, stop icon, OK; a "." is appended when the
// text's last character sorts after ".".
QString DefaultErrorText(const QString& text);
void ShowDefaultErrorReport(const QString& text);
// Reports an exception escaping a command: the silent abort shows nothing.
void ReportException(const std::exception& error);

}  // namespace velm
