#include "catalogue/field_values.h"

#include "catalogue/ascii_case.h"
#include "catalogue/database_error.h"
#include "catalogue/text_cut.h"

#include <algorithm>

namespace velm {

namespace {

constexpr int kSmallIntMin = -32768;
constexpr int kSmallIntMax = 32767;

int CompareTexts(const QString& a, const QString& b, bool caseInsensitive) {
    if (caseInsensitive)
        return CompareAsciiNoCase(a, b);
    const int c = a.compare(b);
    return c == 0 ? 0 : (c < 0 ? -1 : 1);
}

// The text a value holds, or null when it holds something else.
const QString* TextIn(const QVariant& value) {
    return value.typeId() == QMetaType::QString ? static_cast<const QString*>(value.constData()) : nullptr;
}

bool IsNumberKind(TFieldKind kind) {
    return kind == TFieldKind::SmallInt || kind == TFieldKind::AutoInc || kind == TFieldKind::Boolean;
}

qint64 SmallIntInput(const TField& field, const QVariant& value) {
    bool ok = true;
    qint64 number = 0;
    if (value.typeId() == QMetaType::QString)
        number = value.toString().trimmed().toLongLong(&ok);
    else
        number = value.toLongLong(&ok);
    if (!ok)
        throw EDatabaseError(QStringLiteral("'%1' is not a valid integer value for field '%2'")
                                 .arg(value.toString(), field.FieldName()));
    if (number < kSmallIntMin || number > kSmallIntMax)
        throw EDatabaseError(QStringLiteral("'%1' is not a valid value for field '%2'. The allowed range is %3 to %4")
                                 .arg(number)
                                 .arg(field.FieldName())
                                 .arg(kSmallIntMin)
                                 .arg(kSmallIntMax));
    return number;
}

}  // namespace

// Read by hand: the general parser costs more than the whole row.
QDate ParseIsoDate(const QString& text) {
    if (text.size() != 10 || text.at(4) != QLatin1Char('-') || text.at(7) != QLatin1Char('-'))
        return QDate::fromString(text, Qt::ISODate);
    int parts[3] = {0, 0, 0};
    const int starts[3] = {0, 5, 8};
    const int lengths[3] = {4, 2, 2};
    for (int p = 0; p < 3; ++p)
        for (int i = 0; i < lengths[p]; ++i) {
            const QChar c = text.at(starts[p] + i);
            if (!c.isDigit())
                return QDate();
            parts[p] = parts[p] * 10 + c.digitValue();
        }
    return QDate(parts[0], parts[1], parts[2]);
}

bool IsEmptyValue(const QVariant& value) {
    return !value.isValid() || value.isNull() ||
           (value.typeId() == QMetaType::QString && value.toString().isEmpty());
}

int CompareValues(const QVariant& a, const QVariant& b, TFieldKind kind, bool caseInsensitive) {
    // Texts compared in place: sorting a large table makes millions of these calls.
    if (const QString* x = TextIn(a)) {
        if (const QString* y = TextIn(b)) {
            if (x->isEmpty() || y->isEmpty())
                return x->isEmpty() == y->isEmpty() ? 0 : (x->isEmpty() ? -1 : 1);
            return CompareTexts(*x, *y, caseInsensitive);
        }
    }
    const bool aNull = IsEmptyValue(a);
    const bool bNull = IsEmptyValue(b);
    if (aNull || bNull)
        return aNull == bNull ? 0 : (aNull ? -1 : 1);
    switch (kind) {
    case TFieldKind::SmallInt:
    case TFieldKind::AutoInc:
    case TFieldKind::Boolean: {
        const qint64 x = a.toLongLong();
        const qint64 y = b.toLongLong();
        return x == y ? 0 : (x < y ? -1 : 1);
    }
    case TFieldKind::Date: {
        const QDate x = a.toDate();
        const QDate y = b.toDate();
        return x == y ? 0 : (x < y ? -1 : 1);
    }
    default: return CompareTexts(a.toString(), b.toString(), caseInsensitive);
    }
}

QVariant FieldInput(const TField& field, const QVariant& value) {
    if (IsEmptyValue(value))
        return QVariant();
    switch (field.Kind()) {
    case TFieldKind::String: return CutAtCharacter(value.toString(), field.Size());
    case TFieldKind::Memo: return value.toString();
    case TFieldKind::SmallInt: return static_cast<int>(SmallIntInput(field, value));
    case TFieldKind::Boolean:
        if (value.typeId() == QMetaType::QString) {
            const QString text = value.toString().trimmed();
            return text.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0 || text == QLatin1String("1");
        }
        return value.toBool();
    case TFieldKind::Date: {
        const QDate date =
            value.typeId() == QMetaType::QString ? QDate::fromString(value.toString(), Qt::ISODate) : value.toDate();
        if (!date.isValid())
            throw EDatabaseError(
                QStringLiteral("'%1' is not a valid date for field '%2'").arg(value.toString(), field.FieldName()));
        return date;
    }
    default: return QVariant();
    }
}

QVariant ToStorage(TFieldKind kind, const QVariant& value) {
    if (IsEmptyValue(value))
        return QVariant();
    switch (kind) {
    case TFieldKind::Boolean: return static_cast<qint64>(value.toBool() ? 1 : 0);
    case TFieldKind::Date: return value.toDate().toString(Qt::ISODate);
    case TFieldKind::SmallInt:
    case TFieldKind::AutoInc: return value.toLongLong();
    default: return value.toString();
    }
}

QVariant SearchKey(TFieldKind kind, const QVariant& value) {
    if (IsNumberKind(kind)) {
        if (value.typeId() == QMetaType::Bool)
            return static_cast<qint64>(value.toBool());
        bool ok = false;
        const qint64 number = value.toLongLong(&ok);
        return ok ? QVariant(number) : QVariant();
    }
    const QString text = kind == TFieldKind::Date && value.toDate().isValid() ? value.toDate().toString(Qt::ISODate)
                                                                               : value.toString();
    return text.isEmpty() ? QVariant() : QVariant(text);
}

}  // namespace velm
