#pragma once

#include "catalogue/field.h"

#include <QDate>
#include <QString>
#include <QVariant>

#include <string_view>

// How the table layer reads, compares and converts the values of its fields. Internal to
// the table layer.
namespace velm {

// A date as the files hold it, "yyyy-MM-dd"; other forms go to the general parser.
QDate ParseIsoDate(const QString& text);

// The same straight from the engine's bytes; plain ASCII digits need no QString. Inline:
// loading calls it for every date of every row.
inline QDate ParseIsoDate(std::string_view utf8) {
    const auto digit = [&](size_t i) { return utf8[i] >= '0' && utf8[i] <= '9'; };
    if (utf8.size() == 10 && utf8[4] == '-' && utf8[7] == '-' && digit(0) && digit(1) && digit(2) && digit(3) &&
        digit(5) && digit(6) && digit(8) && digit(9)) {
        const auto number = [&](size_t from, size_t count) {
            int n = 0;
            for (size_t i = from; i < from + count; ++i)
                n = n * 10 + (utf8[i] - '0');
            return n;
        };
        return QDate(number(0, 4), number(5, 2), number(8, 2));
    }
    return ParseIsoDate(QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size())));
}

// What a field holds when it holds nothing: no value, a null, or a text without characters.
bool IsEmptyValue(const QVariant& value);

// Orders two values of a field of this kind as the indexes do: empty first, numbers and
// dates by value, texts by UTF-16 code units with A to Z folded when asked.
int CompareValues(const QVariant& a, const QVariant& b, TFieldKind kind, bool caseInsensitive);

// A value given for the field, in the form the edit buffer keeps: texts cut to the field's
// size, numbers and dates read from text. Raises when it is no value of the field's kind.
QVariant FieldInput(const TField& field, const QVariant& value);

// A kept value in the form the file stores.
QVariant ToStorage(TFieldKind kind, const QVariant& value);

// A value searched for in a field of this kind, as the file holds it; empty when no row
// can hold it.
QVariant SearchKey(TFieldKind kind, const QVariant& value);

}  // namespace velm
