#pragma once

#include <QElapsedTimer>

#include <functional>

namespace velm {

class TDatabase;

// Groups the writes of many small operations (a batch import) into a few transactions,
// so the disk is waited for about once a second instead of twice per operation. Every
// batch that ends is committed, also when the work ends with an error: each operation
// left its rows consistent. Inside a transaction of a caller, the caller decides when
// to commit and the batch does nothing.
class TBatchTransaction {
public:
    // onLostBatch runs when a commit fails and the batch's rows are gone, so that what
    // shows them can be read again.
    TBatchTransaction(TDatabase& database, std::function<void()> onLostBatch);
    ~TBatchTransaction();
    TBatchTransaction(const TBatchTransaction&) = delete;
    TBatchTransaction& operator=(const TBatchTransaction&) = delete;

    // Commits once the batch has run long enough, so a crash loses at most a moment's
    // work and another program on the same catalogue is not kept waiting long.
    void Tick();
    // Commits what is left.
    void End();

private:
    static constexpr qint64 kCommitIntervalMs = 1000;
    void Begin();

    TDatabase& database_;
    std::function<void()> onLostBatch_;
    QElapsedTimer clock_;
    bool owned_ = false;
};

}  // namespace velm
