#pragma once

#include "widgets/field_data_link.h"

#include <QCheckBox>

namespace velm {

// A check box bound to a boolean field: checked is true, unchecked (or empty) false.
// A click stores the new state in the row at once.
class TDBCheckBox : public QCheckBox, public TDataAware {
    Q_OBJECT
    Q_PROPERTY(QString DataField READ DataField WRITE SetDataField)
public:
    explicit TDBCheckBox(QWidget* parent = nullptr);

private:
    void ShowField();
    void UserClicked();
};

}  // namespace velm
