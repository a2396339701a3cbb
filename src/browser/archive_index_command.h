#pragma once

class QWidget;

namespace velm {

class TWorkGuard;

// Tools > Index archive contents...: reads the directories of all packages' archives
// into the member index (those not indexed yet, or changed since), under the window's
// work guard, with a progress dialog whose Cancel stops between archives. At the end it
// says what it did; the archives it could not read are listed in one window. Does
// nothing while other guarded work runs.
void IndexArchiveContents(QWidget* window, TWorkGuard& guard);

}  // namespace velm
