#pragma once

#include "kit/launcher.h"

namespace velm {

// The program's own reading windows behind the launcher seam: help pages in the help
// window, an extracted member in the read-only text window.
class TReadingWindows final : public Launcher {
public:
    void OpenHelpTopic(int topic) override;
    void LaunchTextViewer(const QString& path) override;
};

// The one instance the program installs as the default launcher.
TReadingWindows& ReadingWindows();

}  // namespace velm
