#pragma once

#include "widgets/field_data_link.h"

#include <QLineEdit>

namespace velm {

// A one-line edit bound to a field of the current row. Text fields limit the input to
// the field's size; small integer fields take only numbers in their range.
class TDBEdit : public QLineEdit, public TDataAware {
    Q_OBJECT
    Q_PROPERTY(QString DataField READ DataField WRITE SetDataField)
public:
    explicit TDBEdit(QWidget* parent = nullptr);

protected:
    void FieldBound() override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    void ShowField();
    void StoreField();
    void UserEdited();
};

}  // namespace velm
