#pragma once

#include <QListWidget>
#include <QStringList>

#include <vector>

namespace velm {

// A list whose entries carry check marks. Setting marks from code is silent;
// clickCheck reports a mark the user toggled (a click on the mark, or the space bar on
// the current entry).
class TCheckListBox : public QListWidget {
    Q_OBJECT
    Q_PROPERTY(QStringList Items READ Items WRITE SetItems)
public:
    explicit TCheckListBox(QWidget* parent = nullptr);

    QStringList Items() const;
    void SetItems(const QStringList& items);
    bool Checked(int index) const;
    void SetChecked(int index, bool checked);

signals:
    void clickCheck(int index, bool checked);

private:
    void ItemChanged(QListWidgetItem* item);

    std::vector<bool> marks_;  // the marks as last known, to tell toggles from other changes
    bool settingMarks_ = false;
};

}  // namespace velm
