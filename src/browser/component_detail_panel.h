#pragma once

#include "catalogue/catalogue_operations.h"

#include <QColor>
#include <QString>
#include <QTabWidget>

#include <functional>
#include <memory>

class QMenu;

namespace Ui {
class ComponentDetailPanel;
}

namespace velm {

class TDataSource;
class TDBRichEdit;
class TDMvelm;
class TNewerVersionLine;
class TWorksWithLine;

// The selected component's record on three sheets. Nearly every control edits its
// field of the package table's current row directly; the rating bar and the
// compatibility list are kept in step by hand, through the catalogue's operations.
class TComponentDetailPanel : public QTabWidget {
    Q_OBJECT
public:
    explicit TComponentDetailPanel(TDMvelm& module, QWidget* parent = nullptr);
    ~TComponentDetailPanel() override;

    // Background colours of the colour-handled controls with and without the focus.
    void SetFocusColours(const QColor& focusColor, const QColor& unfocusedColor);

    // Shows the package row with this ID, current and in edit for the controls;
    // showing it writes nothing to it.
    void ShowComponent(qint64 rowId);
    // The package row shown; 0 for none.
    qint64 ShownRowId() const { return shownRowId_; }
    // Sets the six compatibility marks from a mask, silently.
    void ShowCompatibility(int mask);

    // Formats the memo's selected text (kind 0 plain, 1 bold, 2 italic, 3 underlined,
    // 4 font dialog) and stores the row.
    void ApplyRichTextStyle(int kind, TDBRichEdit* memo);
    // The memo the formatting and clipboard commands act on: the description on the
    // first sheet, else the comments.
    TDBRichEdit* ActiveMemo() const;
    // The description memo's default text: no bold, italic, underline or strike-out.
    void SetDescriptionStylePlain();

    QWidget* TabSheetMain() const;
    TNewerVersionLine* LabelNewerVersion() const { return newerVersion_; }
    QMenu* PopupMenuRichEdit() const { return popupMenu_; }

signals:
    // The two archive buttons.
    void reimportRequested();
    void viewArchiveRequested();
    // The newer-version line's link: that package is to be selected.
    void newerVersionChosen(qint64 packageId);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    // Binds every data-aware control to the source, or unbinds them (null) after they
    // have handed their pending input to the row.
    void BindControls(TDataSource* source);
    void SetUpLooks();
    void SetUpPopupMenu();
    void TrackBarRatingChange(int position);
    void RxCheckListBoxCompatibilityClickCheck(int index, bool checked);

    void DBDateEditReleaseDateEnter();
    void DBDateEditReleaseDateExit();
    void DBDateEditDownLoadEnter();
    void DBDateEditDownLoadExit();
    void DBRichEditDescriptionEnter();
    void DBRichEditDescriptionExit();
    void DBRichEditCommentsEnter();
    void DBRichEditCommentsExit();
    void RxDBLookupComboInstallStatusEnter();
    void RxDBLookupComboInstallStatusExit();
    void DBCheckBoxBetaEnter();
    void DBCheckBoxBetaExit();
    void DBCheckBoxFullSourceInclEnter();
    void DBCheckBoxFullSourceInclExit();
    // The controls that take the mouse wheel only while they have the focus.
    QList<QWidget*> WheelControls() const;
    // Every colour-handled control coloured by whether it holds the window's focus.
    void ShowFocusColours();
    void EditEnter(QWidget* edit);
    void EditExit(QWidget* edit);
    void HighlightTab(int index);

    void RichEditNormalClick();
    void RichEditBoldClick();
    void RichEditItalicClick();
    void RichEditUnderlinedClick();
    void RichEditSetFontClick();
    void RichEditCutClick();
    void RichEditCopyClick();
    void RichEditPasteClick();
    void RunCommand(const std::function<void()>& command);

    TDMvelm& module_;
    std::unique_ptr<Ui::ComponentDetailPanel> ui_;
    TCatalogueOperations operations_;
    qint64 shownRowId_ = 0;
    int shownCompatibility_ = 0;
    QColor focusColor_;
    QColor unfocusedColor_;
    QMenu* popupMenu_ = nullptr;
    TNewerVersionLine* newerVersion_ = nullptr;
    TWorksWithLine* worksWith_ = nullptr;
    int hotTab_ = -1;
};

}  // namespace velm
