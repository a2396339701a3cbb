#pragma once

#include <QWidget>

class QComboBox;
class QListWidget;
class QToolButton;

namespace velm {

class TDMvelm;

// The detail panel's "Works with" line: the IDE versions the shown package works with,
// by name, those found in its archive marked "(detected)" with the evidence as their
// hint. The user adds a version chosen from the list of every one (a button adds it, so
// that going through the list with the keys adds nothing) and removes the one chosen;
// both are kept as the user's word, which no later import undoes.
class TWorksWithLine : public QWidget {
    Q_OBJECT
public:
    explicit TWorksWithLine(TDMvelm& module, QWidget* parent = nullptr);

    // Shows the versions of the package row with this ID; 0 shows none.
    void ShowPackage(qint64 rowId);

    QListWidget* List() const { return list_; }
    QComboBox* Choice() const { return choice_; }
    QToolButton* AddButton() const { return add_; }
    QToolButton* RemoveButton() const { return remove_; }

    // How a version is listed: its name, and "(detected)" when the archive showed it.
    static QString ShownText(const QString& name, bool detected);

private:
    void AddChosen();
    void RemoveChosen();
    void Change(const QString& ide, bool worksWith);

    TDMvelm& module_;
    qint64 rowId_ = 0;
    QListWidget* list_ = nullptr;
    QComboBox* choice_ = nullptr;
    QToolButton* add_ = nullptr;
    QToolButton* remove_ = nullptr;
};

}  // namespace velm
