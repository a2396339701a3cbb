#include "widgets/check_list_box.h"

namespace velm {

TCheckListBox::TCheckListBox(QWidget* parent) : QListWidget(parent) {
    setSelectionMode(QAbstractItemView::SingleSelection);
    connect(this, &QListWidget::itemChanged, this, &TCheckListBox::ItemChanged);
}

QStringList TCheckListBox::Items() const {
    QStringList texts;
    for (int i = 0; i < count(); ++i)
        texts << item(i)->text();
    return texts;
}

void TCheckListBox::SetItems(const QStringList& items) {
    settingMarks_ = true;
    clear();
    marks_.assign(static_cast<size_t>(items.size()), false);
    for (const QString& text : items) {
        auto* entry = new QListWidgetItem(text, this);
        entry->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
        entry->setCheckState(Qt::Unchecked);
    }
    settingMarks_ = false;
}

bool TCheckListBox::Checked(int index) const {
    const QListWidgetItem* entry = item(index);
    return entry && entry->checkState() == Qt::Checked;
}

void TCheckListBox::SetChecked(int index, bool checked) {
    QListWidgetItem* entry = item(index);
    if (!entry)
        return;
    settingMarks_ = true;
    entry->setCheckState(checked ? Qt::Checked : Qt::Unchecked);
    marks_[static_cast<size_t>(index)] = checked;
    settingMarks_ = false;
}

void TCheckListBox::ItemChanged(QListWidgetItem* entry) {
    if (settingMarks_)
        return;
    const int index = row(entry);
    if (index < 0)
        return;
    if (index >= static_cast<int>(marks_.size()))
        marks_.resize(static_cast<size_t>(count()), false);
    const bool checked = entry->checkState() == Qt::Checked;
    if (marks_[static_cast<size_t>(index)] == checked)
        return;  // the text or another role changed, not the mark
    marks_[static_cast<size_t>(index)] = checked;
    setCurrentRow(index);
    emit clickCheck(index, checked);
}

}  // namespace velm
