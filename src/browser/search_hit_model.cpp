#include "browser/search_hit_model.h"

#include <QPoint>

namespace velm {

namespace {

const QString kMemberPlace = QStringLiteral("Archive member");

}  // namespace

void TSearchHitModel::SetHits(std::vector<TSearchHit> hits) {
    beginResetModel();
    hits_ = std::move(hits);
    endResetModel();
}

const TSearchHit* TSearchHitModel::HitAt(int row) const {
    return row >= 0 && row < int(hits_.size()) ? &hits_[size_t(row)] : nullptr;
}

int TSearchHitModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : int(hits_.size()); }

int TSearchHitModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : ColumnCount; }

QVariant TSearchHitModel::data(const QModelIndex& index, int role) const {
    const TSearchHit* hit = index.isValid() ? HitAt(index.row()) : nullptr;
    if (!hit)
        return {};
    const int column = index.column();
    if (role == Qt::DisplayRole) {
        switch (column) {
        case ColumnComponent:
            return hit->ProductName;
        case ColumnCategory:
            return hit->CategoryName;
        case ColumnFoundIn:
            return hit->IsMember() ? kMemberPlace : hit->Field;
        case ColumnText:
            return hit->Excerpt;
        default:
            return {};
        }
    }
    // A member's path or an excerpt may be wider than its column.
    if (role == Qt::ToolTipRole && column == ColumnText)
        return hit->IsMember() ? hit->Member : hit->Excerpt;
    if (role == MatchRole && column == ColumnText)
        return QPoint(hit->MatchStart, hit->MatchLength);
    return {};
}

QVariant TSearchHitModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    switch (section) {
    case ColumnComponent:
        return QStringLiteral("Component");
    case ColumnCategory:
        return QStringLiteral("Category");
    case ColumnFoundIn:
        return QStringLiteral("Found in");
    case ColumnText:
        return QStringLiteral("Text");
    default:
        return {};
    }
}

}  // namespace velm
