#include "app/launcher.h"

#include "viewer/member_text_view.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
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
    const QString page = topic == kHelpContentsTopic ? QStringLiteral("help/index.html")
                                                     : QStringLiteral("help/%1.html").arg(topic);
    return QDir(QCoreApplication::applicationDirPath()).filePath(page);
}

void OpenHelpTopic(int topic) {
    if (g_launcher) {
        g_launcher->OpenHelpTopic(topic);
        return;
    }
    OpenLocalFile(HelpTopicPath(topic));
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
