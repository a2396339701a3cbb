#pragma once

#include "app/file_dialogs.h"

#include <QList>

#include <deque>

namespace velm::test {

// Stands in for the file dialogs during a test: records every request and answers
// from a queue of picks (an empty pick, as a cancelled dialog gives, when the queue is
// empty).
class FileDialogRecorder : public FileDialogPresenter {
public:
    FileDialogRecorder() { previous_ = SetFileDialogPresenter(this); }
    ~FileDialogRecorder() override { SetFileDialogPresenter(previous_); }
    FileDialogRecorder(const FileDialogRecorder&) = delete;
    FileDialogRecorder& operator=(const FileDialogRecorder&) = delete;

    void PickNext(const QStringList& files) { picks_.push_back(files); }

    QStringList PickFilesToOpen(QWidget*, const TOpenDialogRequest& request) override {
        requests.append(request);
        if (picks_.empty())
            return {};
        QStringList files = picks_.front();
        picks_.pop_front();
        return files;
    }

    QList<TOpenDialogRequest> requests;

private:
    std::deque<QStringList> picks_;
    FileDialogPresenter* previous_ = nullptr;
};

}  // namespace velm::test
