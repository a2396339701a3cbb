#pragma once

#include "search/catalogue_search.h"

#include <QAbstractTableModel>

#include <vector>

namespace velm {

// The instant search's hits as rows of a table: the component, its category, where the
// text was found (a field's name, or "Archive member") and the text around the match.
class TSearchHitModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { ColumnComponent, ColumnCategory, ColumnFoundIn, ColumnText, ColumnCount };
    // Of the text column: where the match stands in the shown text (a QPoint of start
    // and length), for the delegate that marks it.
    static constexpr int MatchRole = Qt::UserRole + 1;

    using QAbstractTableModel::QAbstractTableModel;

    void SetHits(std::vector<TSearchHit> hits);
    const std::vector<TSearchHit>& Hits() const { return hits_; }
    // Null when the row is not there.
    const TSearchHit* HitAt(int row) const;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    std::vector<TSearchHit> hits_;
};

}  // namespace velm
