#include "catalogue/field.h"

#include "catalogue/table.h"

namespace velm {

TField::TField(TTable* table, TFieldDef def, int index) : table_(table), def_(std::move(def)), index_(index) {}

QVariant TField::Value() const { return table_->FieldValue(index_); }

bool TField::IsNull() const {
    const QVariant value = Value();
    return !value.isValid() || value.isNull();
}

namespace {

// As QDate::toString(Qt::ISODate) writes it, for the years the catalogue holds, at a
// fraction of its cost: reports convert every date of every row.
QString IsoDateText(const QDate& date) {
    const int year = date.year();
    if (year < 0 || year > 9999)
        return date.toString(Qt::ISODate);
    const int parts[] = {year / 1000, year / 100 % 10, year / 10 % 10, year % 10, -1,
                         date.month() / 10, date.month() % 10, -1, date.day() / 10, date.day() % 10};
    QString text(10, Qt::Uninitialized);
    QChar* out = text.data();
    for (int part : parts)
        *out++ = part < 0 ? QLatin1Char('-') : QLatin1Char(char('0' + part));
    return text;
}

}  // namespace

QString TField::AsString() const {
    // Walks over many rows read names: a text comes without a QVariant between.
    if (def_.kind == TFieldKind::String)
        return table_->FieldText(index_);
    const QVariant value = Value();
    if (!value.isValid() || value.isNull())
        return QString();
    switch (def_.kind) {
    case TFieldKind::Boolean: return value.toBool() ? QStringLiteral("True") : QStringLiteral("False");
    case TFieldKind::Date: return IsoDateText(value.toDate());
    case TFieldKind::SmallInt:
    case TFieldKind::AutoInc: return QString::number(value.toLongLong());
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
