#include "catalogue/data_source.h"

#include "catalogue/table.h"

namespace velm {

TDataSource::TDataSource(TTable* table, QObject* parent) : QObject(parent) { SetDataSet(table); }

TDataSource::~TDataSource() {
    if (table_)
        table_->DetachDataSource(this);
}

void TDataSource::SetDataSet(TTable* table) {
    if (table_ == table)
        return;
    if (table_)
        table_->DetachDataSource(this);
    table_ = table;
    if (table_)
        table_->AttachDataSource(this);
    emit dataSetChanged();
}

}  // namespace velm
