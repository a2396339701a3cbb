#pragma once

#include <QString>

class QTreeWidget;
class QTreeWidgetItem;

namespace velm {

// The tree's alphabetical order: letters compare without regard to case first, and
// case decides only between texts that are otherwise equal (lower case first).
int CompareNodeTexts(const QString& a, const QString& b);

// Sorts the children of a category node, keeping equal texts in their order.
void SortChildren(QTreeWidgetItem* parent);
// Sorts the top level and, within each category, its components.
void SortWholeTree(QTreeWidget* tree);

}  // namespace velm
