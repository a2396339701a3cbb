#pragma once

#include "import/catalogue_check.h"

#include <QDialog>

#include <functional>
#include <memory>

class QLabel;
class QPushButton;
class QTreeWidget;

namespace Ui {
class FormCheckCatalogue;
}

namespace velm {

struct TListReport;

// The outcome of Tools > Check Catalogue: one row per package that names an archive,
// with its component, category, archive, state and what was found, worst states
// first and sortable by any column; the list prints and exports as it is shown. The
// folder commands are the caller's, set before the window is shown.
class TFormCheckCatalogue : public QDialog {
    Q_OBJECT
public:
    TFormCheckCatalogue(const TCatalogueCheckRun& run, QWidget* parent);
    ~TFormCheckCatalogue() override;

    // The packages checked again (after a relink): their rows are replaced.
    void Update(const std::vector<TCheckedPackage>& checked);
    // The packages whose archive was not found, in the order checked.
    std::vector<TCheckedPackage> Missing() const;
    // The rows as shown, for printing and export.
    TListReport ShownList() const;

    std::function<void()> OnFindMoved;
    std::function<void()> OnNotCatalogued;

    QLabel* LabelSummary() const;
    QTreeWidget* ListCheck() const;
    QPushButton* BitBtnFindMoved() const;
    QPushButton* BitBtnNotCatalogued() const;
    QPushButton* BitBtnPrint() const;
    QPushButton* BitBtnExport() const;
    QPushButton* BitBtnClose() const;

private:
    void ShowRun();

    std::unique_ptr<Ui::FormCheckCatalogue> ui_;
    TCatalogueCheckRun run_;
};

// What a check run found, in one sentence (two when it was cancelled).
QString CheckRunSummary(const TCatalogueCheckRun& run, QChar separator = u'\r');

}  // namespace velm
