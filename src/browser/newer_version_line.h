#pragma once

#include <QLabel>

namespace velm {

class TDMvelm;

// The detail panel's line that tells of a newer version of the shown component's
// product in the catalogue: "A newer version, 2.1, is catalogued as FastGrid1", the
// name a link. Hidden when there is none.
class TNewerVersionLine : public QLabel {
    Q_OBJECT
public:
    TNewerVersionLine(TDMvelm& module, QWidget* parent);

    // Looks for a newer version of this package and shows what it finds.
    void ShowFor(qint64 packageId);
    // The newer package named; 0 while the line is hidden.
    qint64 NewerPackageId() const { return newerId_; }

signals:
    // The link was clicked: the newer package is to be selected.
    void newerVersionChosen(qint64 packageId);

private:
    TDMvelm& module_;
    qint64 newerId_ = 0;
};

}  // namespace velm
