#include "widgets/db_date_edit.h"

#include "kit/messages.h"
#include "catalogue/field.h"

#include <QFocusEvent>
#include <QTimer>

namespace velm {

TDBDateEdit::TDBDateEdit(QWidget* parent) : TDateEdit(parent), TDataAware(this) {
    DataLink().OnDataChange = [this] { ShowField(); };
    DataLink().OnUpdateData = [this] { StoreField(); };
    DataLink().OnStateChange = [this] { setReadOnly(!DataLink().CanModify()); };
    connect(this, &QLineEdit::textEdited, this, &TDBDateEdit::UserEdited);
    connect(this, &TDateEdit::dateChosen, this, &TDBDateEdit::UserChose);
}

void TDBDateEdit::ShowField() {
    const TField* field = DataLink().Field();
    SetDate(field && DataLink().Active() ? field->AsDate() : QDate());
}

QString InvalidDateText(const QString& typed) {
    return QStringLiteral("'%1' is not a valid date.\rType the date as %2, or leave the field empty.")
        .arg(typed.trimmed(), TDateEdit::DisplayFormat());
}

void TDBDateEdit::StoreField() {
    TField* field = DataLink().Field();
    if (IsEmpty()) {
        field->Clear();
    } else if (Date().isValid()) {
        field->SetAsDate(Date());
    } else {
        // The row is stored or left now: it keeps its date, and the user hears why.
        const QString typed = text();
        ShowField();
        ShowError(InvalidDateText(typed));
    }
}

void TDBDateEdit::RefuseTypedText() {
    // Corrected, emptied or shown anew for another row since the focus left; or hidden,
    // when the row's next store tells the user.
    if (HasValidDate() || !DataLink().Modified() || !isVisible())
        return;
    ShowError(InvalidDateText(text()));
    setFocus(Qt::OtherFocusReason);
    selectAll();
}

void TDBDateEdit::UserEdited() { NoteUserEdit(); }

void TDBDateEdit::UserChose() { StoreUserChoice(); }

void TDBDateEdit::focusOutEvent(QFocusEvent* event) {
    TDateEdit::focusOutEvent(event);
    if (!HasValidDate() && DataLink().Modified()) {
        // Another window taking the focus (a menu, a message box, another program) is no
        // leaving of the box. For another control the message waits until the event that
        // moved the focus is done: a click on another component stores the row first,
        // and that refusal is the one the user hears.
        const Qt::FocusReason reason = event->reason();
        if (reason != Qt::PopupFocusReason && reason != Qt::ActiveWindowFocusReason)
            QTimer::singleShot(0, this, &TDBDateEdit::RefuseTypedText);
        return;
    }
    StoreInputOnFocusOut(event);
}

}  // namespace velm
