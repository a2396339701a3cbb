#pragma once

#include <QObject>

namespace velm {

class TTable;
class TField;

// Links a table to the data-aware controls that show and edit its current row.
// Controls redraw on recordChanged / dataSetChanged and write their pending input
// into the row when updateRecordRequested arrives.
class TDataSource : public QObject {
    Q_OBJECT
public:
    explicit TDataSource(TTable* table = nullptr, QObject* parent = nullptr);
    ~TDataSource() override;

    TTable* DataSet() const { return table_; }
    void SetDataSet(TTable* table);

signals:
    // The visible rows or the whole current record changed (open, filter, move).
    void dataSetChanged();
    // One field of the current row changed (field is never null).
    void fieldChanged(velm::TField* field);
    // The table's state changed (browse, edit, insert, inactive).
    void stateChanged();
    // The table is about to leave or post the row: controls push their input now.
    void updateRecordRequested();

private:
    friend class TTable;
    TTable* table_ = nullptr;
};

}  // namespace velm
