#pragma once

#include "widgets/date_edit.h"
#include "widgets/field_data_link.h"

namespace velm {

// A date edit bound to a date field; an empty box stores an empty date. A date picked
// in the calendar goes into the row at once, a typed one when the box loses the focus or
// the row is stored. A typed text that is no valid date is refused with a message:
// leaving the box for another control brings the focus back to correct it; when the row
// is stored or left meanwhile, it keeps its stored date.
class TDBDateEdit : public TDateEdit, public TDataAware {
    Q_OBJECT
    Q_PROPERTY(QString DataField READ DataField WRITE SetDataField)
public:
    explicit TDBDateEdit(QWidget* parent = nullptr);

protected:
    void focusOutEvent(QFocusEvent* event) override;

private:
    void ShowField();
    void StoreField();
    void UserEdited();
    void UserChose();
    // The focus left with a typed text that is no date: tell the user and take it back.
    void RefuseTypedText();
};

// The message for a typed text that is no valid date.
QString InvalidDateText(const QString& typed);

}  // namespace velm
