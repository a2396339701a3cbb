#pragma once

#include <QString>
#include <QStringList>

namespace velm {

// Where the files shipped with the program (help pages, the category list) are found:
// an installed program keeps them in its share folder, <prefix>/share/velmora beside
// <prefix>/bin; a portable folder and the build keep them beside the program. In that
// order, so an install is not shadowed by stray files next to /usr/bin.
QStringList ShippedFileFolders(const QString& programFolder);

// The first of those folders that holds relativePath, as a full path; empty when none does.
QString FindShippedFile(const QString& programFolder, const QString& relativePath);

// The folder of the running program file, ending in "/".
QString RunningProgramFolder();

// The page of a topic: "index.html" for the contents, else "<topic>.html".
QString HelpPageName(int topic);
// The folders searched for help pages, in order: the install's share folder
// (<prefix>/share/velmora/help), then help/ beside the program.
QStringList HelpFolders();
// Tests search folders of their own; an empty list restores the folders above.
void SetHelpFolders(const QStringList& folders);
// The topic's page in the first folder that has it; empty when none has.
QString FindHelpPage(int topic);

}  // namespace velm
