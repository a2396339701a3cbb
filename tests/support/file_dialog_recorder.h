#pragma once

#include "kit/file_dialogs.h"

#include <QList>

#include <deque>

namespace velm::test {

// Stands in for the file dialogs during a test: records every request and answers
// from a queue of picks (an empty pick, as a cancelled dialog gives, when the queue is
// empty). Open, save and folder dialogs have a queue each.
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

    // The save dialog's answer: the file, and the file type chosen by its index.
    void SaveNext(const QString& file, int filter) { savePicks_.push_back({file, filter}); }

    TSavePick PickFileToSave(QWidget*, const TSaveDialogRequest& request) override {
        saveRequests.append(request);
        if (savePicks_.empty())
            return {};
        TSavePick pick = savePicks_.front();
        savePicks_.pop_front();
        return pick;
    }

    // The folder dialog's answer.
    void FolderNext(const QString& folder) { folderPicks_.push_back(folder); }

    QString PickFolder(QWidget*, const TFolderDialogRequest& request) override {
        folderRequests.append(request);
        if (folderPicks_.empty())
            return {};
        QString folder = folderPicks_.front();
        folderPicks_.pop_front();
        return folder;
    }

    QList<TOpenDialogRequest> requests;
    QList<TSaveDialogRequest> saveRequests;
    QList<TFolderDialogRequest> folderRequests;

private:
    std::deque<QStringList> picks_;
    std::deque<TSavePick> savePicks_;
    std::deque<QString> folderPicks_;
    FileDialogPresenter* previous_ = nullptr;
};

}  // namespace velm::test
