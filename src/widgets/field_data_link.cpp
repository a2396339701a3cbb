#include "widgets/field_data_link.h"

#include "kit/messages.h"
#include "catalogue/data_source.h"
#include "catalogue/field.h"
#include "catalogue/table.h"

#include <QFocusEvent>

namespace velm {

TFieldDataLink::TFieldDataLink(QObject* parent) : QObject(parent) {}

void TFieldDataLink::SetDataSource(TDataSource* source) {
    if (source_ == source)
        return;
    if (source_)
        disconnect(source_, nullptr, this, nullptr);
    source_ = source;
    ConnectSource();
    modified_ = false;
    ShowData();
}

void TFieldDataLink::SetFieldName(const QString& name) {
    if (fieldName_ == name)
        return;
    fieldName_ = name;
    modified_ = false;
    ShowData();
}

void TFieldDataLink::ConnectSource() {
    if (!source_)
        return;
    connect(source_, &TDataSource::dataSetChanged, this, &TFieldDataLink::DataSetChanged);
    connect(source_, &TDataSource::fieldChanged, this, &TFieldDataLink::FieldChanged);
    connect(source_, &TDataSource::stateChanged, this, &TFieldDataLink::StateChanged);
    connect(source_, &TDataSource::updateRecordRequested, this, &TFieldDataLink::UpdateRecordRequested);
}

TTable* TFieldDataLink::Table() const { return source_ ? source_->DataSet() : nullptr; }

TField* TFieldDataLink::Field() const {
    TTable* table = Table();
    return table && !fieldName_.isEmpty() ? table->FindField(fieldName_) : nullptr;
}

bool TFieldDataLink::Active() const {
    TTable* table = Table();
    return table && table->Active();
}

bool TFieldDataLink::CanModify() const {
    TTable* table = Table();
    const TField* field = Field();
    if (!table || !table->Active() || !field || field->ReadOnly())
        return false;
    const TDataSetState state = table->State();
    // Editing an empty table would append a row behind the user's back.
    return state == TDataSetState::Edit || state == TDataSetState::Insert || !table->IsEmpty();
}

bool TFieldDataLink::Modify() {
    if (!CanModify())
        return false;
    // Pending before Edit: the state change it announces must not redraw over the input.
    modified_ = true;
    TTable* table = Table();
    if (table->State() == TDataSetState::Browse) {
        try {
            table->Edit();
        } catch (...) {
            modified_ = false;
            throw;
        }
    }
    return true;
}

void TFieldDataLink::UpdateRecord() {
    if (!modified_)
        return;
    TTable* table = Table();
    if (!table || !table->Active() || !Field()) {
        modified_ = false;
        return;
    }
    if (table->State() == TDataSetState::Browse)
        table->Edit();
    UpdateRecordRequested();
}

void TFieldDataLink::Reset() {
    modified_ = false;
    ShowData();
}

void TFieldDataLink::UpdateRecordRequested() {
    if (!modified_ || !OnUpdateData || !Field())
        return;
    writing_ = true;
    try {
        OnUpdateData();
    } catch (...) {
        // The input stays pending, so a retry after the error can still store it.
        writing_ = false;
        throw;
    }
    writing_ = false;
    modified_ = false;
}

void TFieldDataLink::DataSetChanged() {
    modified_ = false;
    ShowData();
}

void TFieldDataLink::FieldChanged(TField* field) {
    if (writing_ || !field)
        return;
    const TField* own = Field();
    if (!own)
        return;
    // A lookup field shows another table's text for its key field's value.
    const bool mine = field == own ||
                      (own->IsLookup() && field->FieldName().compare(own->Def().lookup.keyField, Qt::CaseInsensitive) == 0);
    if (!mine)
        return;
    modified_ = false;
    ShowData();
}

void TFieldDataLink::StateChanged() {
    if (OnStateChange)
        OnStateChange();
}

void TFieldDataLink::ShowData() {
    if (OnDataChange)
        OnDataChange();
    if (OnStateChange)
        OnStateChange();
}

TDataAware::TDataAware(QObject* owner) : link_(new TFieldDataLink(owner)) {}

void TDataAware::SetDataSource(TDataSource* source) {
    link_->SetDataSource(source);
    FieldBound();
}

void TDataAware::SetDataField(const QString& name) {
    link_->SetFieldName(name);
    FieldBound();
}

void TDataAware::StoreUserChoice() {
    try {
        if (DataLink().Modify())
            DataLink().UpdateRecord();
        else
            DataLink().Reset();
    } catch (const std::exception& error) {
        DataLink().Reset();
        ReportException(error);
    }
}

void TDataAware::NoteUserEdit() {
    try {
        if (!DataLink().Modify())
            DataLink().Reset();
    } catch (const std::exception& error) {
        DataLink().Reset();
        ReportException(error);
    }
}

void TDataAware::StoreInputOnFocusOut(const QFocusEvent* event) {
    if (event->reason() == Qt::PopupFocusReason)
        return;
    try {
        DataLink().UpdateRecord();
    } catch (const std::exception& error) {
        ReportException(error);
    }
}

}  // namespace velm
