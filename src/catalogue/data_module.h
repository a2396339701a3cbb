#pragma once

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

    // Registers the alias and opens the tables. False (after the message "Cannot locate
    // VELM data files") when the package table's file is missing; engine failures on
    // opening raise EDatabaseError with nothing created in place of a missing file.
    bool Open();
    void Close();
    // Reads the fields that opening left for later (TTable::LoadDeferredFields): what
    // the start-up does once the main window is shown.
    void LoadDeferredFields();
    // Whether the package table's file is in the data folder (Open's first test).
    bool DataFilesPresent() const;

    const QString& DataFolder() const { return dataFolder_; }

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
};

// The one data module of the running program; null before start-up creates it.
extern TDMvelm* DMvelm;

// Writes an empty catalogue (the three table files, plus install status values when
// given) into a folder that has none. Existing files are never touched: returns false
// with nothing written when any of the three is already there.
bool CreateCatalogue(const QString& dataFolder, const QStringList& statusValues);
QStringList DefaultStatusValues();

}  // namespace velm
