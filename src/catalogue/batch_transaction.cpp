#include "catalogue/batch_transaction.h"

#include "catalogue/database.h"

namespace velm {

TBatchTransaction::TBatchTransaction(TDatabase& database, std::function<void()> onLostBatch)
    : database_(database), onLostBatch_(std::move(onLostBatch)) {
    Begin();
}

TBatchTransaction::~TBatchTransaction() {
    try {
        End();
    } catch (...) {
        // A destructor may not throw; the error of the work in flight wins.
    }
}

void TBatchTransaction::Tick() {
    if (owned_ && clock_.elapsed() >= kCommitIntervalMs) {
        End();
        Begin();
    }
}

void TBatchTransaction::End() {
    if (!owned_)
        return;
    owned_ = false;
    try {
        database_.Commit();
    } catch (...) {
        database_.Rollback();
        if (onLostBatch_)
            onLostBatch_();
        throw;
    }
}

void TBatchTransaction::Begin() {
    owned_ = !database_.InTransaction();
    if (owned_)
        database_.StartTransaction();
    clock_.start();
}

}  // namespace velm
