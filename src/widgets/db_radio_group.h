#pragma once

#include "widgets/field_data_link.h"

#include <QGroupBox>
#include <QStringList>

class QButtonGroup;
class QRadioButton;

namespace velm {

// A group of radio buttons bound to an integer field: the button at position i stands
// for the value i. Any other value (or an empty field) shows no button chosen. A click
// stores the value in the row at once.
class TDBRadioGroup : public QGroupBox, public TDataAware {
    Q_OBJECT
    Q_PROPERTY(QString DataField READ DataField WRITE SetDataField)
    Q_PROPERTY(QStringList Items READ Items WRITE SetItems)
public:
    explicit TDBRadioGroup(QWidget* parent = nullptr);

    const QStringList& Items() const { return items_; }
    void SetItems(const QStringList& items);
    // The position of the chosen button, -1 when none is.
    int ItemIndex() const;
    QRadioButton* Button(int index) const;

private:
    void ShowField();
    void ShowIndex(int index);
    void UserClicked(int index);

    QStringList items_;
    QButtonGroup* group_;
};

}  // namespace velm
