#include "catalogue/table_statements.h"

#include "catalogue/database.h"

namespace velm {

namespace {

// The table a file holds is named after the file without its extension.
QString TableNameOf(const QString& fileName) {
    const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
    return dot > 0 ? fileName.left(dot) : fileName;
}

QString Marks(qsizetype count) {
    QStringList marks;
    for (qsizetype i = 0; i < count; ++i)
        marks << QStringLiteral("?");
    return marks.join(QLatin1String(", "));
}

}  // namespace

TTableStatements::TTableStatements(const QString& schema, const QString& fileName, const QStringList& fieldNames,
                                   int idField)
    : table_(QuoteIdentifier(schema) + QLatin1Char('.') + QuoteIdentifier(TableNameOf(fileName))) {
    for (const QString& name : fieldNames)
        columns_.push_back(QuoteIdentifier(name));
    id_ = columns_.at(static_cast<size_t>(idField));
}

QString TTableStatements::Columns(const std::vector<int>& fields) const {
    QStringList columns;
    for (int field : fields)
        columns << columns_[static_cast<size_t>(field)];
    return columns.join(QLatin1String(", "));
}

QString TTableStatements::CountRows() const { return QStringLiteral("SELECT count(*) FROM %1").arg(table_); }

QString TTableStatements::SelectAll(const std::vector<int>& fields) const {
    return QStringLiteral("SELECT %1 FROM %2 ORDER BY %3").arg(Columns(fields), table_, id_);
}

QString TTableStatements::SelectAllWithId(const std::vector<int>& fields) const {
    return QStringLiteral("SELECT %1, %2 FROM %3 ORDER BY %1").arg(id_, Columns(fields), table_);
}

QString TTableStatements::SelectRow(const std::vector<int>& fields) const {
    return QStringLiteral("SELECT %1 FROM %2 WHERE %3 = ?").arg(Columns(fields), table_, id_);
}

QString TTableStatements::SelectRows(int field, int count) const {
    return QStringLiteral("SELECT %1, %2 FROM %3 WHERE %1 IN (%4)")
        .arg(id_, columns_[static_cast<size_t>(field)], table_, Marks(count));
}

QString TTableStatements::SelectIdsOrdered(int field) const {
    return QStringLiteral("SELECT %1 FROM %2 WHERE %3 = ? ORDER BY %1")
        .arg(id_, table_, columns_[static_cast<size_t>(field)]);
}

QString TTableStatements::SelectIdsWhere(int field, const QString& collation, bool firstOnly) const {
    QString sql =
        QStringLiteral("SELECT %1 FROM %2 WHERE %3 = ?").arg(id_, table_, columns_[static_cast<size_t>(field)]);
    if (!collation.isEmpty())
        sql += QStringLiteral(" COLLATE ") + collation;
    if (firstOnly)
        sql += QStringLiteral(" ORDER BY %1 LIMIT 1").arg(id_);
    return sql;
}

QString TTableStatements::UpdateRow(const std::vector<int>& fields) const {
    QStringList assignments;
    for (int field : fields)
        assignments << columns_[static_cast<size_t>(field)] + QStringLiteral(" = ?");
    return QStringLiteral("UPDATE %1 SET %2 WHERE %3 = ?").arg(table_, assignments.join(QLatin1String(", ")), id_);
}

QString TTableStatements::InsertRow(const std::vector<int>& fields) const {
    return QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
        .arg(table_, Columns(fields), Marks(static_cast<qsizetype>(fields.size())));
}

QString TTableStatements::DeleteRow() const { return QStringLiteral("DELETE FROM %1 WHERE %2 = ?").arg(table_, id_); }

}  // namespace velm
