#include "widgets/db_date_edit.h"

#include "app/messages.h"
#include "catalogue/field.h"

#include <QFocusEvent>

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

void TDBDateEdit::StoreField() {
    TField* field = DataLink().Field();
    if (IsEmpty())
        field->Clear();
    else if (Date().isValid())
        field->SetAsDate(Date());
    else
        ShowField();  // half a date: the stored one stays
}

void TDBDateEdit::UserEdited() {
    try {
        if (!DataLink().Modify())
            ShowField();
    } catch (const std::exception& error) {
        ShowField();
        ReportException(error);
    }
}

void TDBDateEdit::UserChose() {
    try {
        if (DataLink().Modify())
            DataLink().UpdateRecord();
        else
            ShowField();
    } catch (const std::exception& error) {
        DataLink().Reset();
        ReportException(error);
    }
}

void TDBDateEdit::focusOutEvent(QFocusEvent* event) {
    TDateEdit::focusOutEvent(event);
    StoreInputOnFocusOut(event);
}

}  // namespace velm
