#pragma once

#include <QPointer>
#include <QStringList>
#include <QWidget>

#include <array>

class QToolButton;

namespace velm {

class TDataSource;
class TTable;

// The navigator's buttons, in the order they are laid out.
enum class TNavigateBtn { nbFirst, nbPrior, nbNext, nbLast, nbInsert, nbDelete, nbEdit, nbPost, nbCancel, nbRefresh };
inline constexpr int kNavigateBtnCount = 10;

// A row or column of picture buttons that move through a data source's table and edit
// its current row. Each button is enabled only while its action makes sense for the
// table's position and state. The buttons never take the focus, so a grid beside the
// navigator keeps its cell editor while they are used.
class TDBNavigator : public QWidget {
    Q_OBJECT
public:
    explicit TDBNavigator(QWidget* parent = nullptr);
    ~TDBNavigator() override;

    void SetDataSource(TDataSource* source);
    TDataSource* DataSource() const { return source_; }

    // Horizontal by default; a vertical navigator stacks the buttons top to bottom and
    // its arrows point up and down.
    void SetOrientation(Qt::Orientation orientation);
    Qt::Orientation Orientation() const { return orientation_; }

    void SetButtonVisible(TNavigateBtn button, bool visible);
    bool ButtonVisible(TNavigateBtn button) const;

    // One hint per button, in button order; missing entries keep the default hint.
    void SetHints(const QStringList& hints);
    QStringList Hints() const;

    // Whether the delete button asks "Delete record?" first.
    bool ConfirmDelete = true;

    QToolButton* Button(TNavigateBtn button) const;

    // What a click on the button does. Failures are reported here, not raised.
    void BtnClick(TNavigateBtn button);

    // Re-evaluates which buttons are enabled.
    void UpdateButtons();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    TTable* Table() const;
    void LayOutButtons();
    void UpdateGlyphs();
    void DoAction(TNavigateBtn button);

    QPointer<TDataSource> source_;
    Qt::Orientation orientation_ = Qt::Horizontal;
    std::array<QToolButton*, kNavigateBtnCount> buttons_{};
    std::array<bool, kNavigateBtnCount> visible_{};
};

}  // namespace velm
