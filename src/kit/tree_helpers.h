#pragma once

#include <QString>

class QTreeWidget;
class QTreeWidgetItem;

namespace velm {

// The first node, in display order of the fully expanded tree, whose text equals the
// given text (letters A to Z without regard to case). With onlyThatLevel, only nodes of
// that level count (top-level nodes are level 0). The tree's selection notifications
// are held back during the scan and restored afterwards.
QTreeWidgetItem* FindTreeNode(QTreeWidget* tree, const QString& text, int level, bool onlyThatLevel);

// Equal texts when letters A to Z are compared without regard to case; every other
// character must match exactly.
bool SameTextIgnoringAsciiCase(const QString& a, const QString& b);

}  // namespace velm
