#include "catalogue/field.h"

#include "catalogue/table.h"

namespace velm {

TField::TField(TTable* table, TFieldDef def, int index) : table_(table), def_(std::move(def)), index_(index) {}

QVariant TField::Value() const { return table_->FieldValue(index_); }

bool TField::IsNull() const {
    const QVariant value = Value();
    return !value.isValid() || value.isNull();
}

QString TField::AsString() const {
    // Walks over many rows read names: a text comes without a QVariant between.
    if (def_.kind == TFieldKind::String)
        return table_->FieldText(index_);
    const QVariant value = Value();
    if (!value.isValid() || value.isNull())
        return QString();
    switch (def_.kind) {
    case TFieldKind::Boolean: return value.toBool() ? QStringLiteral("True") : QStringLiteral("False");
    case TFieldKind::Date: return value.toDate().toString(Qt::ISODate);
    default: return value.toString();
    }
}

int TField::AsInteger() const { return Value().toInt(); }

bool TField::AsBoolean() const { return Value().toBool(); }

QDate TField::AsDate() const {
    const QVariant value = Value();
    return value.isValid() && !value.isNull() ? value.toDate() : QDate();
}

QByteArray TField::MemoBytes() const { return table_->ReadMemo(index_); }

void TField::SetValue(const QVariant& value) { table_->SetFieldValue(index_, value); }
void TField::SetAsString(const QString& text) { SetValue(text); }
void TField::SetAsInteger(int value) { SetValue(value); }
void TField::SetAsBoolean(bool value) { SetValue(value); }
void TField::SetAsDate(const QDate& date) { SetValue(date.isValid() ? QVariant(date) : QVariant()); }
void TField::Clear() { SetValue(QVariant()); }

}  // namespace velm
