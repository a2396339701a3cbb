#pragma once

#include <QString>
#include <QStringList>

#include <vector>

namespace velm {

// The SQL a table runs on its file, one function per statement shape. Fields are named by
// their number in the table; `?` marks the values bound before stepping. Each shape is
// prepared once per connection and reused, so a text must not change between calls that
// mean the same.
class TTableStatements {
public:
    TTableStatements() = default;
    // The table of fileName in schema, with these fields; idField is the row identity.
    TTableStatements(const QString& schema, const QString& fileName, const QStringList& fieldNames, int idField);

    QString CountRows() const;
    // The fields of every row, in ID order.
    QString SelectAll(const std::vector<int>& fields) const;
    // The ID and the fields of every row, in ID order.
    QString SelectAllWithId(const std::vector<int>& fields) const;
    // The fields of the row with the bound ID.
    QString SelectRow(const std::vector<int>& fields) const;
    // The ID and the field of the rows whose IDs are bound, `count` places.
    QString SelectRows(int field, int count) const;
    // The IDs, in ID order, of the rows whose field holds the bound value.
    QString SelectIdsOrdered(int field) const;
    // The IDs of the rows whose field holds the bound value, the text compared in a
    // collation when one is named; only the first in ID order when firstOnly.
    QString SelectIdsWhere(int field, const QString& collation, bool firstOnly) const;

    QString UpdateRow(const std::vector<int>& fields) const;  // the fields' values, then the ID
    QString InsertRow(const std::vector<int>& fields) const;
    QString DeleteRow() const;

private:
    QString Columns(const std::vector<int>& fields) const;

    QString table_;                // schema-qualified, quoted
    std::vector<QString> columns_;  // quoted, by field number
    QString id_;                   // the ID column, quoted
};

}  // namespace velm
