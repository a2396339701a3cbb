#include "kit/tree_helpers.h"

#include <QItemSelectionModel>
#include <QSignalBlocker>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>

namespace velm {

namespace {

char16_t UpperAscii(char16_t c) { return (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - (u'a' - u'A')) : c; }

int LevelOf(const QTreeWidgetItem* item) {
    int level = 0;
    for (const QTreeWidgetItem* parent = item->parent(); parent; parent = parent->parent())
        ++level;
    return level;
}

}  // namespace

bool SameTextIgnoringAsciiCase(const QString& a, const QString& b) {
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i)
        if (UpperAscii(a[i].unicode()) != UpperAscii(b[i].unicode()))
            return false;
    return true;
}

QTreeWidgetItem* FindTreeNode(QTreeWidget* tree, const QString& text, int level, bool onlyThatLevel) {
    if (!tree)
        return nullptr;
    // Nothing listening to selection changes may run while the tree is scanned; the
    // blockers restore whatever state the tree and its selection model had before.
    const QSignalBlocker treeBlocker(tree);
    const QSignalBlocker selectionBlocker(tree->selectionModel());
    for (QTreeWidgetItemIterator it(tree); *it; ++it) {
        QTreeWidgetItem* node = *it;
        if ((!onlyThatLevel || LevelOf(node) == level) && SameTextIgnoringAsciiCase(node->text(0), text))
            return node;
    }
    return nullptr;
}

}  // namespace velm
