#pragma once

#include "kit/launcher.h"

#include <QList>
#include <QString>

namespace velm::test {

// Stands in for the desktop during a test: records the help topics and files that
// would have been opened.
class LauncherRecorder : public Launcher {
public:
    LauncherRecorder() { previous_ = SetLauncher(this); }
    ~LauncherRecorder() override { SetLauncher(previous_); }
    LauncherRecorder(const LauncherRecorder&) = delete;
    LauncherRecorder& operator=(const LauncherRecorder&) = delete;

    void OpenHelpTopic(int topic) override { helpTopics.append(topic); }
    void LaunchTextViewer(const QString& path) override { viewedFiles.append(path); }

    QList<int> helpTopics;
    QStringList viewedFiles;

private:
    Launcher* previous_ = nullptr;
};

}  // namespace velm::test
