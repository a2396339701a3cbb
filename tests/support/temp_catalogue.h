#pragma once

#include "catalogue/data_module.h"

#include <QString>
#include <QTemporaryDir>

#include <memory>

namespace velm::test {

// A program folder in a temporary directory holding a fresh catalogue, with the data
// module open over it, and the settings file beside it. No test ever touches a real
// catalogue or the user's settings.
class TempCatalogue {
public:
    explicit TempCatalogue(const QStringList& statusValues = DefaultStatusValues(), bool open = true);
    ~TempCatalogue();

    QString ProgramFolder() const;  // ends in "/"
    QString DataFolder() const;
    QString SettingsFile() const { return ProgramFolder() + QStringLiteral("settings/velm.reg"); }
    TDMvelm& Module() { return *module_; }

    // What the files hold now, read by a connection of its own (as another SQLite tool
    // would), so the window's current rows stay where they are. CPInfo is the main
    // schema; Category.db, Status.db and Members.db are attached as "c", "s" and "m".
    // One text per row: the row's columns joined by "|".
    QStringList Stored(const QString& sql) const;
    // Changes the files through a connection of its own, as another SQLite tool would;
    // false with a warning when SQLite refuses.
    bool Execute(const QString& sql) const;

    // Adds rows directly (for arranging a test); returns the new row's ID.
    qint64 AddCategory(const QString& name);
    qint64 AddPackage(const QString& name, qint64 categoryId, const QVariant& status = QVariant());

private:
    QTemporaryDir dir_;
    std::unique_ptr<TDMvelm> module_;
};

}  // namespace velm::test
