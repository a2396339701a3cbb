#pragma once

#include "browser/category_tree.h"
#include "browser/editing_commands.h"
#include "browser/form_main.h"
#include "browser/import_commands.h"
#include "browser/search_strip.h"
#include "catalogue/table.h"
#include "support/temp_catalogue.h"
#include "support/user_input.h"

#include <QFileInfo>
#include <QLineEdit>
#include <QTest>
#include <QTreeWidget>

#include <memory>

namespace velm::test {

// The main window over a temporary catalogue, shown and active, driven with a user's
// clicks and keys.
struct MainWindowFixture {
    TempCatalogue cat;
    std::unique_ptr<TFormMain> window;

    bool Show() {
        window = std::make_unique<TFormMain>(cat.ProgramFolder());
        return ShowAndActivate(window.get());
    }
    QTreeWidget* Tree() const { return window->TreeViewCategories(); }
    QTreeWidgetItem* Category(int i) const { return Tree()->topLevelItem(i); }
    // The first node, at any level, with this text.
    QTreeWidgetItem* Node(const QString& text) const {
        for (QTreeWidgetItemIterator it(Tree()); *it; ++it)
            if ((*it)->text(0) == text)
                return *it;
        return nullptr;
    }
    TTable& Categories() { return *cat.Module().TableCategory; }
    TTable& Packages() { return *cat.Module().TableCPInfo; }

    // Clicks the node's expand button when it is collapsed.
    void Expand(QTreeWidgetItem* category) {
        if (category->isExpanded())
            return;
        const QRect rect = Tree()->visualItemRect(category);
        Click(Tree()->viewport(), QPoint(rect.left() - Tree()->indentation() / 2, rect.center().y()));
    }
    // Clicks the node, opening its category first.
    void Select(QTreeWidgetItem* node) {
        if (node->parent())
            Expand(node->parent());
        ClickNode(Tree(), node);
    }
    void RightClick(QTreeWidgetItem* node) {
        if (node->parent())
            Expand(node->parent());
        ClickNode(Tree(), node, Qt::RightButton);
    }
    void Press(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) { Key(window.get(), key, modifiers); }
    // The in-place label editor, while one is open.
    QLineEdit* LabelEditor() const {
        for (QLineEdit* edit : Tree()->viewport()->findChildren<QLineEdit*>())
            if (edit->isVisible())
                return edit;
        return nullptr;
    }
    // Types a new text over the label: into the label editor when one is open, else
    // into one F2 opens on the selected node.
    bool TypeLabel(const QString& text) {
        if (!LabelEditor())
            Press(Qt::Key_F2);
        if (!LabelEditor() || !LabelEditor()->hasFocus())
            return false;
        Press(Qt::Key_A, Qt::ControlModifier);
        Type(window.get(), text);
        return true;
    }
    // A second, slow click on the selected node opens its label editor.
    bool SlowClickLabel(QTreeWidgetItem* node) {
        ClickNode(Tree(), node);
        return QTest::qWaitFor([this] { return LabelEditor() != nullptr; }, QApplication::doubleClickInterval() + 1000);
    }
    // A control of the window by its object name; the test ends when there is none.
    template <typename T>
    T* Child(const char* name) const {
        T* child = window->findChild<T*>(QString::fromLatin1(name));
        if (!child)
            qFatal("no control %s", name);
        return child;
    }
    // Clicks into the edit and types the text over what it held.
    static void TypeInto(QWidget* edit, const QString& text) {
        Click(edit);
        Key(edit, Qt::Key_A, Qt::ControlModifier);
        Key(edit, Qt::Key_Delete);
        Type(edit, text);
    }
    void Menu(const QStringList& captions) { ChooseMenu(window.get(), captions); }

    // Lets the event loop run the work that commands hand on to it.
    static void Settle() {
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    QStringList TopLevelTexts() const {
        QStringList texts;
        for (int i = 0; i < Tree()->topLevelItemCount(); ++i)
            texts << Tree()->topLevelItem(i)->text(0);
        return texts;
    }
    static QStringList ChildTexts(const QTreeWidgetItem* node) {
        QStringList texts;
        for (int i = 0; i < node->childCount(); ++i)
            texts << node->child(i)->text(0);
        return texts;
    }
    static QStringList StoredNames(TTable& table, const char* field) {
        QStringList names;
        for (table.First(); !table.Eof(); table.Next())
            names << table.FieldByName(QString::fromLatin1(field))->AsString();
        return names;
    }
};

}  // namespace velm::test
