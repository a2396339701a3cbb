#pragma once

class QWidget;

namespace velm {

class TImportCommands;
class TWorkGuard;

// Tools > Check Catalogue: every package's archive checked (present, same size and
// SHA-256, every member's CRC sound) under the window's work guard, with a progress
// dialog whose Cancel (or a close of the window) stops between archives; the catalogue
// is not changed. The results window lists them and offers to find moved archives in a
// folder (relinked after one question, then checked again) and to import a folder's
// archives that are not catalogued, through the window's import. Does nothing while
// other guarded work runs.
void CheckCatalogue(QWidget* window, TWorkGuard& guard, TImportCommands& imports);

}  // namespace velm
