#include "support/user_input.h"

#include <QApplication>
#include <QDragEnterEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <QUrl>
#include <QWheelEvent>
#include <QWindow>
#include <QtTest/qtestspontaneevent.h>

namespace velm::test {

namespace {

// The window of the widget and the point in its coordinates.
QWindow* WindowAt(QWidget* widget, QPoint& at) {
    if (at.isNull())
        at = widget->rect().center();
    QWidget* top = widget->window();
    at = widget->mapTo(top, at);
    return top->windowHandle();
}

QAction* ActionByCaption(const QList<QAction*>& actions, const QString& caption) {
    for (QAction* action : actions)
        if (action->text() == caption)
            return action;
    return nullptr;
}

}  // namespace

void Click(QWidget* widget, QPoint at, Qt::MouseButton button, Qt::KeyboardModifiers modifiers) {
    QWindow* window = WindowAt(widget, at);
    QTest::mouseClick(window, button, modifiers, at);
}

void DoubleClick(QWidget* widget, QPoint at) {
    QWindow* window = WindowAt(widget, at);
    QTest::mouseDClick(window, Qt::LeftButton, Qt::NoModifier, at);
}

void RollWheel(QWidget* widget, int notches, QPoint at) {
    if (at.isNull())
        at = widget->rect().center();
    QWheelEvent wheel(QPointF(at), QPointF(widget->mapToGlobal(at)), QPoint(), QPoint(0, 120 * notches),
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QSpontaneKeyEvent::setSpontaneous(&wheel);
    qApp->notify(widget, &wheel);
}

void Key(QWidget* widget, Qt::Key key, Qt::KeyboardModifiers modifiers) {
    QTest::keyClick(widget->window()->windowHandle(), key, modifiers);
}

void Type(QWidget* widget, const QString& text) {
    QWindow* window = widget->window()->windowHandle();
    for (const QChar c : text)
        QTest::keyClick(window, c.toLatin1(), c.isUpper() ? Qt::ShiftModifier : Qt::NoModifier);
}

bool TabTo(QWidget* widget) {
    for (int i = 0; i < 64 && !widget->hasFocus(); ++i)
        Key(widget, Qt::Key_Tab);
    return widget->hasFocus();
}

QPoint NodePoint(QTreeWidget* tree, QTreeWidgetItem* node) {
    tree->scrollToItem(node);
    const QRect rect = tree->visualItemRect(node);
    // The label starts after the picture; a point a little into it is on the text.
    return QPoint(rect.left() + std::min(rect.width() / 2, 40), rect.center().y());
}

void ClickNode(QTreeWidget* tree, QTreeWidgetItem* node, Qt::MouseButton button) {
    Click(tree->viewport(), NodePoint(tree, node), button);
}

QPoint BelowLastNode(QTreeWidget* tree) {
    int bottom = 0;
    for (QTreeWidgetItemIterator it(tree); *it; ++it)
        if (!(*it)->isHidden() && (!(*it)->parent() || (*it)->parent()->isExpanded()))
            bottom = std::max(bottom, tree->visualItemRect(*it).bottom());
    return QPoint(tree->viewport()->width() / 2, std::min(bottom + 20, tree->viewport()->height() - 2));
}

void ChooseMenu(QMainWindow* window, const QStringList& captions) {
    QMenuBar* bar = window->menuBar();
    QAction* action = ActionByCaption(bar->actions(), captions.value(0));
    if (!action) {
        qWarning("ChooseMenu: no menu %s", qPrintable(captions.value(0)));
        return;
    }
    Click(bar, bar->actionGeometry(action).center());
    for (int i = 1; i < captions.size(); ++i) {
        QMenu* menu = action->menu();
        if (!menu || !menu->isVisible()) {
            qWarning("ChooseMenu: menu %s did not open", qPrintable(action->text()));
            return;
        }
        action = ActionByCaption(menu->actions(), captions.at(i));
        if (!action) {
            qWarning("ChooseMenu: no item %s", qPrintable(captions.at(i)));
            return;
        }
        Click(menu, menu->actionGeometry(action).center());
    }
}

QMenu* OpenMenu(QMainWindow* window, const QString& caption) {
    QMenuBar* bar = window->menuBar();
    QAction* action = ActionByCaption(bar->actions(), caption);
    if (!action)
        return nullptr;
    Click(bar, bar->actionGeometry(action).center());
    QMenu* menu = action->menu();
    return menu && menu->isVisible() ? menu : nullptr;
}

void Hover(QMenu* menu, const QString& caption) {
    if (QAction* action = ActionByCaption(menu->actions(), caption))
        QTest::mouseMove(menu->windowHandle(), menu->actionGeometry(action).center());
}

void CloseMenus() {
    while (QWidget* popup = QApplication::activePopupWidget()) {
        QTest::keyClick(popup->windowHandle(), Qt::Key_Escape);
        if (QApplication::activePopupWidget() == popup)
            popup->close();
    }
}

QMenu* OpenPopup() { return qobject_cast<QMenu*>(QApplication::activePopupWidget()); }

void ChooseFromOpenPopup(const QString& caption) {
    QMenu* menu = OpenPopup();
    if (!menu) {
        qWarning("ChooseFromOpenPopup: no pop-up menu is open");
        return;
    }
    QAction* action = ActionByCaption(menu->actions(), caption);
    if (!action) {
        qWarning("ChooseFromOpenPopup: no item %s", qPrintable(caption));
        return;
    }
    Click(menu, menu->actionGeometry(action).center());
}

void ChooseFromPopupAt(QWidget* widget, QPoint at, const QString& caption) {
    // The menu may run its own event loop: the choice waits there for it to open.
    QTimer::singleShot(0, widget, [caption] { ChooseFromOpenPopup(caption); });
    Click(widget, at, Qt::RightButton);
}

bool DropFiles(QWidget* widget, QPoint at, const QStringList& paths) {
    QList<QUrl> urls;
    for (const QString& path : paths)
        urls << QUrl::fromLocalFile(path);
    return DropUrls(widget, at, urls);
}

bool DropUrls(QWidget* widget, QPoint at, const QList<QUrl>& urls) {
    QMimeData data;
    data.setUrls(urls);
    const Qt::DropActions actions = Qt::CopyAction | Qt::MoveAction | Qt::LinkAction;
    QDragEnterEvent enter(at, actions, &data, Qt::NoButton, Qt::NoModifier);
    QSpontaneKeyEvent::setSpontaneous(&enter);
    qApp->notify(widget, &enter);
    if (!enter.isAccepted())
        return false;
    QDragMoveEvent move(at, actions, &data, Qt::NoButton, Qt::NoModifier);
    QSpontaneKeyEvent::setSpontaneous(&move);
    qApp->notify(widget, &move);
    if (!move.isAccepted())
        return false;
    QDropEvent drop(QPointF(at), actions, &data, Qt::NoButton, Qt::NoModifier);
    QSpontaneKeyEvent::setSpontaneous(&drop);
    qApp->notify(widget, &drop);
    return drop.isAccepted();
}

bool ShowAndActivate(QWidget* window) {
    window->show();
    if (!QTest::qWaitForWindowExposed(window))
        return false;
    window->activateWindow();
    return QTest::qWaitForWindowActive(window);
}

}  // namespace velm::test
