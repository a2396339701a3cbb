#pragma once

#include "catalogue/archive_index.h"
#include "catalogue/catalogue_files.h"
#include "catalogue/data_source.h"
#include "catalogue/table.h"

#include <QObject>
#include <QString>

#include <memory>

namespace velm {

// The catalogue's data module: the three tables and their data sources, opened once at
// start-up and closed at the end. Every window reaches the catalogue through it.
class TDMvelm : public QObject {
    Q_OBJECT
public:
    static constexpr const char* kAlias = "VELM";

    // Builds the tables for the catalogue below programFolder ("dbase/"), without
    // opening them.
    explicit TDMvelm(const QString& programFolder, QObject* parent = nullptr);
    ~TDMvelm() override;

    // Registers the alias and opens the tables, then the member index (Members.db,
    // made when the catalogue has none; its package texts are indexed anew when they
    // are stale, telling indexProgress how far it has got). False, with nothing opened
    // or made, when the package table's file is missing (the caller tells the user
    // MissingFilesText); engine failures on opening raise EDatabaseError with nothing
    // created in place of a missing table file.
    bool Open(const TIndexProgress& indexProgress = {});
    void Close();
    // Reads the fields that opening left for later (TTable::LoadDeferredFields): what
    // the start-up does once the main window is shown.
    void LoadDeferredFields();
    // Whether the package table's file is in the data folder (Open's first test).
    bool DataFilesPresent() const;
    static QString MissingFilesText() { return QStringLiteral("Cannot locate VELM data files"); }

    const QString& DataFolder() const { return dataFolder_; }
    // The member index and search texts; null while the module is closed.
    TArchiveIndex* ArchiveIndex() const { return archiveIndex_.get(); }

    // In the module's order.
    TDataSource* DSCategory;
    TTable* TableCategory;
    TDataSource* DSCPInfo;
    TTable* TableCPInfo;
    TDataSource* DSStatus;
    TTable* TableStatus;

private:
    void TableStatusBeforeDelete(TTable& table);
    QString dataFolder_;
    bool registeredAlias_ = false;
    std::unique_ptr<TArchiveIndex> archiveIndex_;
};

// The one data module of the running program; null before start-up creates it.
extern TDMvelm* DMvelm;


}  // namespace velm
