#include "browser/tree_sort.h"

#include <QSignalBlocker>
#include <QTreeWidget>

#include <algorithm>

namespace velm {

int CompareNodeTexts(const QString& a, const QString& b) {
    const int folded = QString::localeAwareCompare(a.toCaseFolded(), b.toCaseFolded());
    if (folded != 0)
        return folded < 0 ? -1 : 1;
    // Otherwise-equal texts: the first difference in case decides, lower case first.
    const qsizetype n = std::min(a.size(), b.size());
    for (qsizetype i = 0; i < n; ++i) {
        if (a.at(i) == b.at(i))
            continue;
        if (a.at(i).isLower() != b.at(i).isLower())
            return a.at(i).isLower() ? -1 : 1;
        return a.at(i) < b.at(i) ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

namespace {

bool NodeLess(const QTreeWidgetItem* a, const QTreeWidgetItem* b) {
    return CompareNodeTexts(a->text(0), b->text(0)) < 0;
}

}  // namespace

void SortChildren(QTreeWidgetItem* parent) {
    if (!parent || parent->childCount() < 2)
        return;
    QTreeWidget* tree = parent->treeWidget();
    QTreeWidgetItem* current = tree ? tree->currentItem() : nullptr;
    const bool expanded = parent->isExpanded();
    QList<QTreeWidgetItem*> children;
    {
        // Taking the children out must not look like a change of selection.
        const QSignalBlocker blocker(tree);
        children = parent->takeChildren();
        std::stable_sort(children.begin(), children.end(), NodeLess);
        parent->addChildren(children);
        parent->setExpanded(expanded);
        if (current && tree)
            tree->setCurrentItem(current);
    }
}

void SortWholeTree(QTreeWidget* tree) {
    QTreeWidgetItem* current = tree->currentItem();
    const QSignalBlocker blocker(tree);
    QList<QTreeWidgetItem*> top;
    QList<bool> expanded;
    while (tree->topLevelItemCount() > 0) {
        QTreeWidgetItem* item = tree->topLevelItem(0);
        expanded << item->isExpanded();
        top << tree->takeTopLevelItem(0);
    }
    QList<int> order(top.size());
    for (int i = 0; i < order.size(); ++i)
        order[i] = i;
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return NodeLess(top[a], top[b]); });
    for (int i : order)
        tree->addTopLevelItem(top[i]);
    for (int i : order) {
        SortChildren(top[i]);
        top[i]->setExpanded(expanded[i]);
    }
    if (current)
        tree->setCurrentItem(current);
}

}  // namespace velm
