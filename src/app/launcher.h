#pragma once

#include <QString>

namespace velm {

// Everything the program hands to the desktop: help pages and files opened in the text
// viewer. One seam, so tests can record what would have been opened.
class Launcher {
public:
    virtual ~Launcher() = default;
    virtual void OpenHelpTopic(int topic) = 0;
    virtual void LaunchTextViewer(const QString& path) = 0;
};

// Installs a launcher (nullptr restores the desktop one). Returns the previous one.
Launcher* SetLauncher(Launcher* launcher);

// The topic number of the help's contents and index page.
inline constexpr int kHelpContentsTopic = 0;

// The help page of one topic: help/<topic>.html in the program's folder, and
// help/index.html for the contents.
QString HelpTopicPath(int topic);

// Opens the help page of a topic in the desktop's browser.
void OpenHelpTopic(int topic);
// Shows a file extracted from an archive in our own read-only text window, over the
// active dialog without blocking it. Never the desktop's handler for the file's type:
// an archive member is untrusted.
void LaunchTextViewer(const QString& path);

}  // namespace velm
