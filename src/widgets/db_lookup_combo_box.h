#pragma once

#include "widgets/field_data_link.h"

#include <QComboBox>
#include <QPointer>

namespace velm {

// A drop-down list bound to a key field: it lists the ListField texts of the rows of
// another table (the list source) and stores the chosen row's KeyField value. A key
// that matches no listed row shows no entry.
class TDBLookupComboBox : public QComboBox, public TDataAware {
    Q_OBJECT
    Q_PROPERTY(QString DataField READ DataField WRITE SetDataField)
    Q_PROPERTY(QString ListField READ ListField WRITE SetListField)
    Q_PROPERTY(QString KeyField READ KeyField WRITE SetKeyField)
public:
    explicit TDBLookupComboBox(QWidget* parent = nullptr);

    void SetListSource(TDataSource* source);
    TDataSource* ListSource() const { return listSource_; }
    const QString& ListField() const { return listField_; }
    void SetListField(const QString& name);
    const QString& KeyField() const { return keyField_; }
    void SetKeyField(const QString& name);

    void showPopup() override;

private:
    void ShowField();
    void StoreField();
    void UserChose(int index);
    void ListChanged();
    // Reads the list rows again when they may have changed and the list table is not
    // being edited (reading walks its rows).
    void RefreshList();

    QPointer<TDataSource> listSource_;
    QString listField_;
    QString keyField_;
    bool listStale_ = true;
    bool readingList_ = false;
};

}  // namespace velm
