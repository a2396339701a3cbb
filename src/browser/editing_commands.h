#pragma once

#include "catalogue/catalogue_operations.h"

#include <QString>
#include <QStringList>

class QTreeWidgetItem;
class QWidget;

namespace velm {

class TCategoryTree;

// The main window's editing commands: new, rename, delete and move for categories and
// components, and the category names read from .cat files. Each changes the tables
// first (through the catalogue's operations) and the tree afterwards, so a failed
// table step leaves the tree as it was; the questions and messages are the user's part.
class TEditingCommands {
public:
    TEditingCommands(QWidget* window, TCategoryTree& tree, TDMvelm& module);

    // What a command that adds to a category says when no node is selected.
    static QString NoCategoryText() { return QStringLiteral("First select a category to add the component to."); }

    void NewCategory();
    void NewComponent();
    // Opens the selected node's label editor.
    void ChangeName();
    // An accepted label edit: the node gets the name as stored, or keeps its own.
    void LabelEdited(QTreeWidgetItem* node, const QString& editedText);
    void DeleteSelected();
    void MoveSelected();
    void ImportCategoryDescriptions();

    // Adds a category row and its node (selected); returns the name as stored.
    QString AddCategory(const QString& name);
    void AddCategoriesFromList(const QStringList& names);
    // Puts packages whose category no longer exists into the category "Unfiled" (made
    // when needed) and tells the user once, from the event loop; false when there were
    // none.
    bool FileStrayComponents();

private:
    void DeleteCategory(QTreeWidgetItem* node);
    void DeleteComponent(QTreeWidgetItem* node);
    void MoveComponent(QTreeWidgetItem* node);

    QWidget* window_;
    TCategoryTree& tree_;
    TDMvelm& module_;
    TCatalogueOperations operations_;
};

}  // namespace velm
