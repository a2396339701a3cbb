#pragma once

#include "search/catalogue_search.h"

#include <QObject>
#include <QPointer>

class QComboBox;
class QDockWidget;
class QLineEdit;
class QTableView;
class QTimer;
class QModelIndex;

namespace velm {

class TFormMain;
class TSearchHitModel;

// The instant search of the main window: a field at the top (Ctrl+F) whose hits appear
// in a list below the tree and the record as the user types. Each hit names the
// component, its category, where the text was found and the text around it; Enter or a
// double click selects the component in the tree, and on an archive member also opens
// the archive's contents at that member. The list follows every change to the
// catalogue while it shows.
class TInstantSearchPanel : public QObject {
    Q_OBJECT
public:
    // At most this many hits are listed; one more is asked for, to tell that there are more.
    static constexpr int kShownHits = 200;
    // How long typing must pause before the text is looked up.
    static constexpr int kTypingPauseMs = 180;

    // Puts the field and the list into the window; they live as long as it does.
    explicit TInstantSearchPanel(TFormMain* window);

    QLineEdit* Field() const { return field_; }
    // The list, its dock and its filter: none until the first search.
    QTableView* List() const { return list_; }
    QDockWidget* Dock() const { return dock_; }
    // Limits the hits to the components that work with one IDE version.
    QComboBox* WorksWithFilter() const { return worksWith_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void PlaceField();
    // The list below a line with the "Works with" filter.
    void MakeList();
    QWidget* ListWithFilter();
    void TextEdited();
    // Looks the field's text up now and shows the hits, keeping the chosen hit chosen.
    void RunQuery();
    // Asks again, once the event loop is free, should the catalogue have changed since.
    void ScheduleRefresh();
    void RefreshIfChanged();
    void ShowTitle(const QString& text, int shown, bool more);
    void ActivateHit(const QModelIndex& index);
    void OpenHit(const TSearchHit& hit);
    static qint64 CatalogueStamp();

    QPointer<TFormMain> window_;
    QLineEdit* field_ = nullptr;
    QDockWidget* dock_ = nullptr;
    QTableView* list_ = nullptr;
    QComboBox* worksWith_ = nullptr;
    TSearchHitModel* model_ = nullptr;
    QTimer* typingPause_ = nullptr;
    // The catalogue's change count when the hits shown were looked up.
    qint64 stamp_ = -1;
    bool refreshScheduled_ = false;
    bool dockSized_ = false;
};

}  // namespace velm
