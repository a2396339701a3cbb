#include "widgets/db_text.h"

#include "catalogue/field.h"

namespace velm {

TDBText::TDBText(QWidget* parent) : QLabel(parent), TDataAware(this) {
    setTextFormat(Qt::PlainText);
    DataLink().OnDataChange = [this] { ShowField(); };
}

void TDBText::ShowField() {
    const TField* field = DataLink().Field();
    setText(field && DataLink().Active() ? field->AsString() : QString());
}

}  // namespace velm
