#include "widgets/db_radio_group.h"

#include "catalogue/field.h"

#include <QButtonGroup>
#include <QRadioButton>
#include <QVBoxLayout>

namespace velm {

TDBRadioGroup::TDBRadioGroup(QWidget* parent) : QGroupBox(parent), TDataAware(this), group_(new QButtonGroup(this)) {
    new QVBoxLayout(this);
    DataLink().OnDataChange = [this] { ShowField(); };
    DataLink().OnUpdateData = [this] { DataLink().Field()->SetAsInteger(ItemIndex()); };
    // idClicked comes from the user only, never from setChecked.
    connect(group_, &QButtonGroup::idClicked, this, &TDBRadioGroup::UserClicked);
}

void TDBRadioGroup::SetItems(const QStringList& items) {
    for (QAbstractButton* button : group_->buttons()) {
        group_->removeButton(button);
        delete button;
    }
    items_ = items;
    for (int i = 0; i < items_.size(); ++i) {
        auto* button = new QRadioButton(items_.at(i), this);
        group_->addButton(button, i);
        layout()->addWidget(button);
    }
    ShowField();
}

QRadioButton* TDBRadioGroup::Button(int index) const { return qobject_cast<QRadioButton*>(group_->button(index)); }

int TDBRadioGroup::ItemIndex() const { return group_->checkedId(); }

void TDBRadioGroup::ShowIndex(int index) {
    if (QAbstractButton* button = group_->button(index)) {
        button->setChecked(true);
        return;
    }
    // An exclusive group never unchecks its last button by itself.
    group_->setExclusive(false);
    for (QAbstractButton* button : group_->buttons())
        button->setChecked(false);
    group_->setExclusive(true);
}

void TDBRadioGroup::ShowField() {
    const TField* field = DataLink().Field();
    ShowIndex(field && DataLink().Active() && !field->IsNull() ? field->AsInteger() : -1);
}

void TDBRadioGroup::UserClicked(int) { StoreUserChoice(); }

}  // namespace velm
