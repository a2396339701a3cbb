#pragma once

#include <QString>

namespace velm {

// The windows the program opens for reading: help pages and files extracted from an
// archive. One seam, so tests can record what would have been opened, and so the
// layers below the windows that show them can ask for them.
class Launcher {
public:
    virtual ~Launcher() = default;
    virtual void OpenHelpTopic(int topic) = 0;
    virtual void LaunchTextViewer(const QString& path) = 0;
};

// Installs a launcher in front of the default one (nullptr removes it again). Returns
// the previous one.
Launcher* SetLauncher(Launcher* launcher);
// The program's own reading windows, installed by the program as it starts; without
// one, nothing is opened.
void SetDefaultLauncher(Launcher* launcher);

// The topic number of the help's contents and index page.
inline constexpr int kHelpContentsTopic = 0;

// The help page of one topic: help/<topic>.html, and help/index.html for the contents,
// in the install's share folder or beside the program (where it would be when missing).
QString HelpTopicPath(int topic);

// Opens the help page of a topic in the program's own help window.
void OpenHelpTopic(int topic);

// Shows a file extracted from an archive in our own read-only text window, over the
// active dialog without blocking it. Never the desktop's handler for the file's type:
// an archive member is untrusted.
void LaunchTextViewer(const QString& path);

}  // namespace velm
