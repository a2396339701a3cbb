#include "app/launcher.h"

#include "app/form_help.h"
#include "viewer/member_text_view.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>

namespace velm {

namespace {

Launcher* g_launcher = nullptr;

}  // namespace

Launcher* SetLauncher(Launcher* launcher) {
    Launcher* previous = g_launcher;
    g_launcher = launcher;
    return previous;
}

QString HelpTopicPath(int topic) {
    const QString found = FindHelpPage(topic);
    return found.isEmpty() ? QDir(HelpFolders().constLast()).filePath(HelpPageName(topic)) : found;
}

void OpenHelpTopic(int topic) {
    if (g_launcher) {
        g_launcher->OpenHelpTopic(topic);
        return;
    }
    HelpWindow()->ShowTopic(topic);
}

void LaunchTextViewer(const QString& path) {
    if (g_launcher) {
        g_launcher->LaunchTextViewer(path);
        return;
    }
    // The modal dialog asking (the archive viewer) owns the window, so both stay usable.
    QWidget* owner = QApplication::activeModalWidget();
    ShowMemberText(path, owner ? owner : QApplication::activeWindow());
}

}  // namespace velm
