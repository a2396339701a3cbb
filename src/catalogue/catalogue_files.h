#pragma once

#include <QString>
#include <QStringList>

namespace velm {

// Writes an empty catalogue (the three table files, plus install status values when
// given) into a folder that has none. Existing files are never touched: returns false
// with nothing written when any of the three is already there.
bool CreateCatalogue(const QString& dataFolder, const QStringList& statusValues);
QStringList DefaultStatusValues();

// The layout of the member index file (Members.db), its names in the schema given (a
// quoted name; empty for the file's own connection). Every statement is one that an
// older file of the same name can run again, so opening brings it up to date.
QString MembersFileSchema(const QString& schema);
// Writes an empty member index file at the path; false with nothing left behind when
// it cannot.
bool CreateMembersFile(const QString& path);

}  // namespace velm
