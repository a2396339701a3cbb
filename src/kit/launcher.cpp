#include "kit/launcher.h"

#include "kit/shipped_files.h"

#include <QDir>

namespace velm {

namespace {

Launcher* g_launcher = nullptr;
Launcher* g_defaultLauncher = nullptr;

Launcher* Current() { return g_launcher ? g_launcher : g_defaultLauncher; }

}  // namespace

Launcher* SetLauncher(Launcher* launcher) {
    Launcher* previous = g_launcher;
    g_launcher = launcher;
    return previous;
}

void SetDefaultLauncher(Launcher* launcher) { g_defaultLauncher = launcher; }

QString HelpTopicPath(int topic) {
    const QString found = FindHelpPage(topic);
    return found.isEmpty() ? QDir(HelpFolders().constLast()).filePath(HelpPageName(topic)) : found;
}

void OpenHelpTopic(int topic) {
    if (Launcher* launcher = Current())
        launcher->OpenHelpTopic(topic);
}

void LaunchTextViewer(const QString& path) {
    if (Launcher* launcher = Current())
        launcher->LaunchTextViewer(path);
}

}  // namespace velm
