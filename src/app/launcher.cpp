#include "app/launcher.h"

#include "app/form_help.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QProcess>
#include <QUrl>

namespace velm {

namespace {

Launcher* g_launcher = nullptr;

void OpenLocalFile(const QString& path) { QDesktopServices::openUrl(QUrl::fromLocalFile(path)); }

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
#ifdef Q_OS_WIN
    // An argument list, never a command line: the path cannot smuggle in more commands.
    QProcess::startDetached(QStringLiteral("NOTEPAD.EXE"), {QDir::toNativeSeparators(path)});
#else
    OpenLocalFile(path);
#endif
}

}  // namespace velm
