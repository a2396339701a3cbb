#pragma once

#include "catalogue/archive_index.h"

#include <QElapsedTimer>
#include <QObject>

#include <memory>

class QProgressDialog;

namespace velm {

// Tells the user at start-up that the catalogue's texts are being indexed (a first start
// on an older catalogue, or after another program changed the package table): a dialog
// with the count done, shown only once the work has taken longer than a moment, so that
// a small catalogue starts without a flash. The dialog stays until this object goes, so
// that the work's last step (its commit) is covered too. The work cannot be stopped: the
// search needs its result.
class TIndexingProgress : public QObject {
public:
    static constexpr int kShowAfterMs = 500;

    explicit TIndexingProgress(int showAfterMs = kShowAfterMs);
    ~TIndexingProgress() override;

    // For TDMvelm::Open; valid while this object lives.
    TIndexProgress Callback();
    bool Step(qint64 done, qint64 total);
    // The dialog once it has been shown; null before.
    QProgressDialog* Dialog() const { return dialog_.get(); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    int showAfterMs_;
    QElapsedTimer started_;
    QElapsedTimer sinceShown_;
    std::unique_ptr<QProgressDialog> dialog_;
};

}  // namespace velm
