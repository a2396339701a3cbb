#pragma once

#include <QColor>
#include <QRect>
#include <QString>

namespace velm {

class SettingsStore;

// A Windows colour reference: 0x00BBGGRR, red in the lowest byte.
using ColorRef = quint32;

// The key below HKEY_CURRENT_USER that holds the seven values.
inline constexpr const char* kSettingsKeyPath = "Software\\Tarnwick Software\\VELM";

// The user settings, named after their stored values. Loaded once when the main window
// is first shown, read and changed in memory during the run, saved once at its close.
struct SettingsRecord {
    QString LastSelectedDir;  // folder the category description import opens at
    QString LastArchiveDir;   // folder the archive import file dialog opens at
    bool ShowDragNDropInfoMsg = true;
    bool ConfirmDelete = true;
    ColorRef MainColor = 0xADC7B7;         // inner panels
    ColorRef PanelColor = 0x98B49D;        // outer panels
    ColorRef SecondPanelColor = 0x808040;  // the main window's search panel
    // The main window's place between runs, stored beside the seven values above: its
    // client area while not maximised (empty while none is known) and whether it was
    // maximised.
    QRect MainWindowRect;
    bool MainWindowMaximized = false;
};

// The program-wide record.
SettingsRecord& Settings();

// Every value at its default; both folders are the program folder.
SettingsRecord DefaultSettings(const QString& programFolder);

// Fill the program-wide record from the settings file, or write it there. The program
// folder is the default of the two folders. A file that exists but cannot be read whole
// is the one thing reported (once, from the event loop): the run then never writes it.
void LoadSettings(const QString& programFolder);
void SaveSettings();

// The same against any store and record.
void LoadSettings(SettingsStore& store, const QString& programFolder, SettingsRecord& settings);
void SaveSettings(SettingsStore& store, const SettingsRecord& settings);

QColor ColorRefToQColor(ColorRef color);
ColorRef QColorToColorRef(const QColor& color);

}  // namespace velm
