#pragma once

#include "import/archive_indexer.h"

#include <QDialog>

#include <memory>

class QLabel;
class QPushButton;
class QTreeWidget;
class QWidget;

namespace Ui {
class FormIndexResults;
}

namespace velm {

class TWorkGuard;

// Tools > Index archive contents...: reads the directories of all packages' archives
// into the member index (those not indexed yet, or changed since), under the window's
// work guard, with a progress dialog whose Cancel stops between archives. At the end it
// says what it did; the archives it could not read are listed in one window. Does
// nothing while other guarded work runs.
void IndexArchiveContents(QWidget* window, TWorkGuard& guard);
// How long the run goes between redraws of its progress, which are the turns the event
// loop gets: reading an unchanged archive's date takes microseconds, a redraw paints
// the dialog. 0 gives a turn before every archive.
inline int IndexProgressIntervalMs = 100;

// What an indexing run did, in sentences; the unread archives are only counted.
QString IndexRunSummary(const TArchiveIndexRun& run);

// The end of an indexing run that could not read every archive: what it did, and the
// archives it could not read with the reason for each.
class TFormIndexResults : public QDialog {
    Q_OBJECT
public:
    TFormIndexResults(const TArchiveIndexRun& run, QWidget* parent);
    ~TFormIndexResults() override;

    QLabel* LabelSummary() const;
    QTreeWidget* ListUnread() const;
    QPushButton* BitBtnOK() const;

private:
    std::unique_ptr<Ui::FormIndexResults> ui_;
};

}  // namespace velm
