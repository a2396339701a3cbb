#pragma once

#include "widgets/date_edit.h"
#include "widgets/field_data_link.h"

namespace velm {

// A date edit bound to a date field; an empty box stores an empty date. A date picked
// in the calendar goes into the row at once, a typed one when the box loses the focus or
// the row is stored. A typed text that is no whole date is dropped for the stored value.
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
};

}  // namespace velm
