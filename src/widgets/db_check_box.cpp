#include "widgets/db_check_box.h"

#include "catalogue/field.h"

namespace velm {

TDBCheckBox::TDBCheckBox(QWidget* parent) : QCheckBox(parent), TDataAware(this) {
    DataLink().OnDataChange = [this] { ShowField(); };
    DataLink().OnUpdateData = [this] { DataLink().Field()->SetAsBoolean(isChecked()); };
    // clicked comes from the user only (mouse or space bar), never from setChecked.
    connect(this, &QCheckBox::clicked, this, &TDBCheckBox::UserClicked);
}

void TDBCheckBox::ShowField() {
    const TField* field = DataLink().Field();
    setChecked(field && DataLink().Active() && field->AsBoolean());
}

void TDBCheckBox::UserClicked() { StoreUserChoice(); }

}  // namespace velm
