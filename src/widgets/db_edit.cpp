#include "widgets/db_edit.h"

#include "catalogue/field.h"

#include <QFocusEvent>
#include <QValidator>

namespace velm {

namespace {

// Whole numbers of a small integer field; nothing outside its range can be typed.
class TSmallIntValidator : public QValidator {
public:
    using QValidator::QValidator;
    State validate(QString& input, int&) const override {
        const QString text = input.trimmed();
        if (text.isEmpty())
            return Acceptable;
        if (text == QLatin1String("-"))
            return Intermediate;
        bool ok = false;
        const int value = text.toInt(&ok);
        return ok && value >= -32768 && value <= 32767 ? Acceptable : Invalid;
    }
};

}  // namespace

TDBEdit::TDBEdit(QWidget* parent) : QLineEdit(parent), TDataAware(this) {
    DataLink().OnDataChange = [this] { ShowField(); };
    DataLink().OnUpdateData = [this] { StoreField(); };
    DataLink().OnStateChange = [this] { setReadOnly(!DataLink().CanModify()); };
    connect(this, &QLineEdit::textEdited, this, &TDBEdit::UserEdited);
}

void TDBEdit::FieldBound() {
    const TField* field = DataLink().Field();
    if (validator()) {
        delete validator();
        setValidator(nullptr);
    }
    setMaxLength(32767);
    if (!field)
        return;
    if (field->Kind() == TFieldKind::String && field->Size() > 0) {
        setMaxLength(field->Size());
    } else if (field->Kind() == TFieldKind::SmallInt) {
        setValidator(new TSmallIntValidator(this));
        setMaxLength(6);
    }
    ShowField();
}

void TDBEdit::ShowField() {
    const TField* field = DataLink().Field();
    setText(field && DataLink().Active() ? field->AsString() : QString());
}

void TDBEdit::StoreField() {
    if (!hasAcceptableInput()) {
        ShowField();  // a lone minus sign is no number: the stored value stays
        return;
    }
    DataLink().Field()->SetAsString(text());
}

void TDBEdit::UserEdited() { NoteUserEdit(); }

void TDBEdit::focusOutEvent(QFocusEvent* event) {
    QLineEdit::focusOutEvent(event);
    StoreInputOnFocusOut(event);
}

}  // namespace velm
