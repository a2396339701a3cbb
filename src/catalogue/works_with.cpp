#include "catalogue/works_with.h"

#include "catalogue/archive_index.h"
#include "catalogue/database.h"

#include <algorithm>

namespace velm {

namespace {

namespace src = works_with_source;

QString Latin1(const char* text) { return QString::fromLatin1(text); }

bool IsRemoval(const QString& source, const QString& evidence) {
    return source == Latin1(src::kUser) && evidence == Latin1(src::kRemoved);
}

}  // namespace

QString WorksWithCondition(const QString& indexSchema, const QString& packageId, const QString& ideParameter) {
    const QString table = QuoteIdentifier(indexSchema) + QStringLiteral(".WorksWith");
    // Its own alias, so that the caller's names for the package and the version still
    // mean the caller's rows inside it.
    return QStringLiteral("(EXISTS (SELECT 1 FROM %1 ww WHERE ww.PackageID = %2 AND ww.Ide = %3 AND "
                          "NOT (ww.Source = 'user' AND ww.Evidence = 'removed')) AND NOT EXISTS (SELECT 1 FROM %1 ww "
                          "WHERE ww.PackageID = %2 AND ww.Ide = %3 AND ww.Source = 'user' AND ww.Evidence = 'removed'))")
        .arg(table, packageId, ideParameter);
}

void TWorksWith::ReplaceFound(qint64 packageId, std::span<const TWorksWithRow> found, int rulesRevision) {
    TDatabase& database = index_.Database();
    const QString schema = QuoteIdentifier(index_.Schema());
    InTransaction(database, [&] {
        TStatement& remove = database.Prepare(
            QStringLiteral("DELETE FROM %1.WorksWith WHERE PackageID = ? AND Source <> 'user'").arg(schema));
        remove.Bind(1, packageId);
        remove.Run();
        TStatement& insert = database.Prepare(
            QStringLiteral("INSERT INTO %1.WorksWith (PackageID, Ide, Source, Evidence) VALUES (?, ?, ?, ?)").arg(schema));
        for (const TWorksWithRow& row : found) {
            // A found row never speaks for the user.
            if (row.Source == Latin1(src::kUser))
                continue;
            insert.Bind(1, packageId);
            insert.Bind(2, row.Ide);
            insert.Bind(3, row.Source);
            insert.Bind(4, row.Evidence.isEmpty() ? QVariant() : QVariant(row.Evidence));
            insert.Run();
        }
        TStatement& read = database.Prepare(
            QStringLiteral("INSERT OR REPLACE INTO %1.WorksWithRead (PackageID, Rules) VALUES (?, ?)").arg(schema));
        read.Bind(1, packageId);
        read.Bind(2, rulesRevision);
        read.Run();
    });
}

int TWorksWith::RulesRevision(qint64 packageId) const {
    TStatement& select = index_.Database().Prepare(
        QStringLiteral("SELECT Rules FROM %1.WorksWithRead WHERE PackageID = ?").arg(QuoteIdentifier(index_.Schema())));
    select.Bind(1, packageId);
    const TResetOnExit reset(select);
    return select.Step() ? int(select.ColumnInt(0)) : 0;
}

std::vector<TWorksWithRow> TWorksWith::Rows(qint64 packageId) const {
    TStatement& select = index_.Database().Prepare(
        QStringLiteral("SELECT Ide, Source, Evidence FROM %1.WorksWith WHERE PackageID = ? ORDER BY rowid")
            .arg(QuoteIdentifier(index_.Schema())));
    select.Bind(1, packageId);
    const TResetOnExit reset(select);
    std::vector<TWorksWithRow> rows;
    while (select.Step())
        rows.push_back({select.ColumnText(0), select.ColumnText(1), select.ColumnText(2)});
    return rows;
}

std::vector<TWorksWithVersion> TWorksWith::Versions(qint64 packageId) const {
    const std::vector<TWorksWithRow> rows = Rows(packageId);
    QStringList removed;
    for (const TWorksWithRow& row : rows)
        if (IsRemoval(row.Source, row.Evidence))
            removed << row.Ide;
    std::vector<TWorksWithVersion> versions;
    for (const TWorksWithRow& row : rows) {
        if (removed.contains(row.Ide))
            continue;
        auto it = std::find_if(versions.begin(), versions.end(), [&](const auto& v) { return v.Ide == row.Ide; });
        if (it == versions.end()) {
            versions.push_back({row.Ide, false, false, false, {}});
            it = versions.end() - 1;
        }
        if (row.Source == Latin1(src::kDetected))
            it->Detected = true;
        else if (row.Source == Latin1(src::kInfoFile))
            it->FromInfoFile = true;
        else if (row.Source == Latin1(src::kUser))
            it->ByUser = true;
        if (row.Source != Latin1(src::kUser) && !row.Evidence.isEmpty() && !it->Evidence.contains(row.Evidence))
            it->Evidence << row.Evidence;
    }
    return versions;
}

QHash<qint64, QStringList> TWorksWith::AllVersions() const {
    const QString schema = QuoteIdentifier(index_.Schema());
    TStatement& select = index_.Database().Prepare(
        QStringLiteral("SELECT w.PackageID, w.Ide FROM %1.WorksWith w WHERE %2 ORDER BY w.PackageID, w.rowid")
            .arg(schema, WorksWithCondition(index_.Schema(), QStringLiteral("w.PackageID"), QStringLiteral("w.Ide"))));
    const TResetOnExit reset(select);
    QHash<qint64, QStringList> versions;
    while (select.Step()) {
        QStringList& codes = versions[select.ColumnInt(0)];
        const QString ide = select.ColumnText(1);
        if (!codes.contains(ide))
            codes << ide;
    }
    return versions;
}

void TWorksWith::SetByUser(qint64 packageId, const QString& ide, bool worksWith) {
    TDatabase& database = index_.Database();
    const QString schema = QuoteIdentifier(index_.Schema());
    InTransaction(database, [&] {
        // The user's last word on a version is the one kept.
        TStatement& remove = database.Prepare(
            QStringLiteral("DELETE FROM %1.WorksWith WHERE PackageID = ? AND Ide = ? AND Source = 'user'").arg(schema));
        remove.Bind(1, packageId);
        remove.Bind(2, ide);
        remove.Run();
        TStatement& insert = database.Prepare(
            QStringLiteral("INSERT INTO %1.WorksWith (PackageID, Ide, Source, Evidence) VALUES (?, ?, 'user', ?)")
                .arg(schema));
        insert.Bind(1, packageId);
        insert.Bind(2, ide);
        insert.Bind(3, Latin1(worksWith ? src::kAdded : src::kRemoved));
        insert.Run();
    });
}

}  // namespace velm
