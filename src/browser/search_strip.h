#pragma once

#include "search/fx_locate.h"

#include <QObject>
#include <QString>

#include <functional>

class QStatusBar;

namespace Ui {
class FormMain;
}

namespace velm {

class TCategoryTree;
class TTable;
class TWorkGuard;

// The search strip across the top of the main window: a field of the package table, a
// text, the match options, and two buttons that run the record locate engine and then
// select the found package in the tree. Its controls are the window's (FormMain's
// layout); the strip styles them and answers them.
class TSearchStrip : public QObject {
    Q_OBJECT
public:
    // windowClosed tells whether the window has closed, after a search let events run.
    TSearchStrip(Ui::FormMain& ui, TCategoryTree& tree, TWorkGuard& guard, QStatusBar* statusBar,
                 std::function<bool()> windowClosed, QObject* parent = nullptr);

    // The record locate engine, bound to the package table.
    TfxLocate* Locator() const { return locate_; }

    // The searchable field names (the package table's text fields, in its order), the
    // first chosen.
    void FillFieldList(const TTable& packages);
    // The two buttons: from the first record, or from the record after the current one.
    void RunSearch(bool fromNext);
    // Returns whether a record was found.
    bool LocateRecord(const QString& fieldName, const QString& searchText, TfxMatchType match, bool caseSensitive,
                      bool fromNext);

private:
    void ShowOptions();
    void BusyChanged(bool busy);

    Ui::FormMain& ui_;
    TCategoryTree& tree_;
    TWorkGuard& guard_;
    QStatusBar* statusBar_;
    std::function<bool()> windowClosed_;
    TfxLocate* locate_ = nullptr;
    QWidget* searchFocus_ = nullptr;  // the button that had the focus when a search began
};

}  // namespace velm
