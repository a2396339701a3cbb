#pragma once

#include <QDialog>

#include <memory>

class QLabel;
class QPushButton;
class QTreeWidget;

namespace Ui {
class FormIndexResults;
}

namespace velm {

struct TArchiveIndexRun;

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

// What an indexing run did, in sentences; the unread archives are only counted. The
// lines are joined by the separator given.
QString IndexRunSummary(const TArchiveIndexRun& run, QChar separator = u'\r');

}  // namespace velm
