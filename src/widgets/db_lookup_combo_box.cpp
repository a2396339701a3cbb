#include "widgets/db_lookup_combo_box.h"

#include "catalogue/data_source.h"
#include "catalogue/field.h"
#include "catalogue/table.h"

namespace velm {

TDBLookupComboBox::TDBLookupComboBox(QWidget* parent) : QComboBox(parent), TDataAware(this) {
    setEditable(false);
    DataLink().OnDataChange = [this] { ShowField(); };
    DataLink().OnUpdateData = [this] { StoreField(); };
    // activated comes from the user only, never from setCurrentIndex.
    connect(this, &QComboBox::activated, this, &TDBLookupComboBox::UserChose);
}

void TDBLookupComboBox::SetListSource(TDataSource* source) {
    if (listSource_ == source)
        return;
    if (listSource_)
        disconnect(listSource_, nullptr, this, nullptr);
    listSource_ = source;
    if (listSource_) {
        connect(listSource_, &TDataSource::dataSetChanged, this, &TDBLookupComboBox::ListChanged);
        connect(listSource_, &TDataSource::stateChanged, this, [this] {
            if (listStale_)
                RefreshList();
        });
    }
    ListChanged();
}

void TDBLookupComboBox::SetListField(const QString& name) {
    listField_ = name;
    ListChanged();
}

void TDBLookupComboBox::SetKeyField(const QString& name) {
    keyField_ = name;
    ListChanged();
}

void TDBLookupComboBox::ListChanged() {
    if (readingList_)
        return;
    listStale_ = true;
    RefreshList();
}

void TDBLookupComboBox::RefreshList() {
    TTable* table = listSource_ ? listSource_->DataSet() : nullptr;
    if (!listStale_ || readingList_)
        return;
    if (!table || !table->Active() || listField_.isEmpty() || keyField_.isEmpty()) {
        readingList_ = true;
        clear();
        readingList_ = false;
        listStale_ = !table || !table->Active();
        ShowField();
        return;
    }
    if (table->State() != TDataSetState::Browse)
        return;
    const TField* list = table->FindField(listField_);
    const TField* key = table->FindField(keyField_);
    if (!list || !key)
        return;
    readingList_ = true;
    const TBookmark bookmark = table->GetBookmark();
    table->DisableControls();
    try {
        clear();
        for (table->First(); !table->Eof(); table->Next())
            addItem(list->AsString(), key->Value().toLongLong());
        if (bookmark != 0 && table->BookmarkValid(bookmark))
            table->GotoBookmark(bookmark);
    } catch (...) {
        table->EnableControls();
        readingList_ = false;
        throw;
    }
    // Its own redraw notice comes back at once and is ignored while readingList_.
    table->EnableControls();
    readingList_ = false;
    listStale_ = false;
    ShowField();
}

void TDBLookupComboBox::showPopup() {
    RefreshList();
    QComboBox::showPopup();
}

void TDBLookupComboBox::ShowField() {
    if (readingList_)
        return;
    const TField* field = DataLink().Field();
    int index = -1;
    if (field && DataLink().Active() && !field->IsNull())
        index = findData(field->Value().toLongLong());
    setCurrentIndex(index);
}

void TDBLookupComboBox::StoreField() {
    const QVariant key = currentIndex() >= 0 ? itemData(currentIndex()) : QVariant();
    DataLink().Field()->SetValue(key);
}

void TDBLookupComboBox::UserChose(int) { StoreUserChoice(); }

}  // namespace velm
