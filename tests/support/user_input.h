#pragma once

#include <QList>
#include <QPoint>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <Qt>

class QMainWindow;
class QMenu;
class QTreeWidget;
class QTreeWidgetItem;
class QWidget;

namespace velm::test {

// A user's input, delivered the way the window system delivers it: through the window
// of the widget, so that focus changes, context-menu events, double clicks, modal
// blocking and menu accelerators happen as they do for a person at the screen.

// A mouse click at a point of the widget (its centre when none is given).
void Click(QWidget* widget, QPoint at = QPoint(), Qt::MouseButton button = Qt::LeftButton,
           Qt::KeyboardModifiers modifiers = Qt::NoModifier);
void DoubleClick(QWidget* widget, QPoint at = QPoint());
// The wheel rolled over the widget by whole notches (positive rolls away from the user).
void RollWheel(QWidget* widget, int notches, QPoint at = QPoint());

// Keys go to whatever widget of the window has the focus, an open label editor
// included; widget names any widget of the window.
void Key(QWidget* widget, Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier);
void Type(QWidget* widget, const QString& text);

// Moves the focus with Tab through the window until the widget has it; false when it
// never comes (after a bounded number of presses).
bool TabTo(QWidget* widget);

// Tree nodes, clicked on their label (the node is scrolled into view first).
QPoint NodePoint(QTreeWidget* tree, QTreeWidgetItem* node);
void ClickNode(QTreeWidget* tree, QTreeWidgetItem* node, Qt::MouseButton button = Qt::LeftButton);
// A point of the viewport below the last node.
QPoint BelowLastNode(QTreeWidget* tree);

// Opens the menu bar's menus along the captions ("&File", "&New", "&Category") and
// clicks the last one.
void ChooseMenu(QMainWindow* window, const QStringList& captions);
// Opens one menu of the menu bar with a click on its title; null when it did not open.
QMenu* OpenMenu(QMainWindow* window, const QString& caption);
// Moves the pointer onto an item of an open menu, highlighting it.
void Hover(QMenu* menu, const QString& caption);
// Closes whatever pop-up menus are open, with Escape as a user would.
void CloseMenus();
// Clicks an item of the pop-up menu that is open now (a context menu).
void ChooseFromOpenPopup(const QString& caption);
// The pop-up menu open now, if any.
QMenu* OpenPopup();
// Right-clicks a point of the widget and clicks an item of the pop-up menu it opens.
void ChooseFromPopupAt(QWidget* widget, QPoint at, const QString& caption);

// Files dragged from the desktop and dropped at a point of the widget: the enter, move
// and drop events of a real drag. False when the widget refused the drag (then no drop
// event is sent, as a real drag would not deliver one).
bool DropFiles(QWidget* widget, QPoint at, const QStringList& paths);
bool DropUrls(QWidget* widget, QPoint at, const QList<QUrl>& urls);

// Shows the window and waits until it is on screen and active.
bool ShowAndActivate(QWidget* window);

}  // namespace velm::test
