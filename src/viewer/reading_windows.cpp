#include "viewer/reading_windows.h"

#include "viewer/form_help.h"
#include "viewer/member_text_view.h"

#include <QApplication>

namespace velm {

void TReadingWindows::OpenHelpTopic(int topic) { HelpWindow()->ShowTopic(topic); }

void TReadingWindows::LaunchTextViewer(const QString& path) {
    // The modal dialog asking (the archive viewer) owns the window, so both stay usable.
    QWidget* owner = QApplication::activeModalWidget();
    ShowMemberText(path, owner ? owner : QApplication::activeWindow());
}

TReadingWindows& ReadingWindows() {
    static TReadingWindows windows;
    return windows;
}

}  // namespace velm
