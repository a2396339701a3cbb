#pragma once

#include "catalogue/data_source.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>

class QFocusEvent;

namespace velm {

class TField;
class TTable;

// Ties one control to one field of a data source's current row. The control is told
// when to show the field again (a new row, a changed field, a cancelled edit) and when
// to write the user's pending input into the row (before the row is left or posted, and
// when the control loses the focus).
class TFieldDataLink : public QObject {
    Q_OBJECT
public:
    explicit TFieldDataLink(QObject* parent = nullptr);

    void SetDataSource(TDataSource* source);
    TDataSource* DataSource() const { return source_; }
    void SetFieldName(const QString& name);
    const QString& FieldName() const { return fieldName_; }

    TTable* Table() const;
    // Null while there is no table or it has no field of that name.
    TField* Field() const;
    bool Active() const;
    // Whether the user's input may go into the field: an open table with a row to edit
    // and a field that is not read-only.
    bool CanModify() const;

    // The user changed the control: the input is now pending and the row is put into
    // edit state. False, with nothing pending, when the field cannot be changed.
    bool Modify();
    bool Modified() const { return modified_; }
    // Writes pending input into the field now (the control loses the focus, say).
    void UpdateRecord();
    // Drops pending input and shows the field's value again.
    void Reset();

    // Shows the field's value in the control.
    std::function<void()> OnDataChange;
    // Writes the control's value into the field.
    std::function<void()> OnUpdateData;
    // The table's state changed (browse, edit, closed): read-only looks may follow it.
    std::function<void()> OnStateChange;

private:
    void DataSetChanged();
    void FieldChanged(TField* field);
    void StateChanged();
    void UpdateRecordRequested();
    void ConnectSource();
    void ShowData();

    QPointer<TDataSource> source_;
    QString fieldName_;
    bool modified_ = false;
    bool writing_ = false;
};

// What every data-aware control offers: a data source and a field name. The field name
// can be given in a window's layout file as the "DataField" property.
class TDataAware {
public:
    virtual ~TDataAware() = default;
    TFieldDataLink& DataLink() { return *link_; }
    const TFieldDataLink& DataLink() const { return *link_; }
    void SetDataSource(TDataSource* source);
    TDataSource* DataSource() const { return link_->DataSource(); }
    QString DataField() const { return link_->FieldName(); }
    void SetDataField(const QString& name);

protected:
    explicit TDataAware(QObject* owner);
    // Runs when the bound field may have become another one (source or name changed).
    virtual void FieldBound() {}
    // Hands the control's pending input to the row when the focus leaves it for good (a
    // pop-up of the control's own keeps it); a refusal of the table is reported.
    void StoreInputOnFocusOut(const QFocusEvent* event);
    // The user chose a value (a click, a pick from a list): it goes into the row at once.
    // A field that cannot change, or a refusal of the table (reported), shows the
    // field's value again.
    void StoreUserChoice();
    // The user typed into the control: the input is pending and the row in edit. A field
    // that cannot change, or a refusal of the table (reported), shows the field's value
    // again.
    void NoteUserEdit();

private:
    TFieldDataLink* link_;
};

}  // namespace velm
