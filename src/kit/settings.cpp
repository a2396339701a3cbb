#include "kit/settings.h"

#include "kit/messages.h"
#include "kit/settings_store.h"

#include <QCoreApplication>
#include <QDir>
#include <QTimer>

#include <optional>
#include <utility>

namespace velm {

namespace {

const QString kLastSelectedDir = QStringLiteral("LastSelectedDir");
const QString kLastArchiveDir = QStringLiteral("LastArchiveDir");
const QString kShowDragNDropInfoMsg = QStringLiteral("ShowDragNDropInfoMsg");
const QString kConfirmDelete = QStringLiteral("ConfirmDelete");
const QString kMainColor = QStringLiteral("MainColor");
const QString kPanelColor = QStringLiteral("PanelColor");
const QString kSecondPanelColor = QStringLiteral("SecondPanelColor");
const QString kWindowLeft = QStringLiteral("MainWindowLeft");
const QString kWindowTop = QStringLiteral("MainWindowTop");
const QString kWindowWidth = QStringLiteral("MainWindowWidth");
const QString kWindowHeight = QStringLiteral("MainWindowHeight");
const QString kWindowMaximized = QStringLiteral("MainWindowMaximized");

// An absent string reads as empty text; an expandable one is taken literally; a value
// of any other type is not a folder, so the default stands.
QString ReadFolder(const SettingsKey& key, const QString& name, const QString& fallback) {
    const auto value = key.Read(name);
    if (!value)
        return {};
    if (value->type == kRegString || value->type == kRegExpandString)
        return value->Text();
    return fallback;
}

quint32 ReadNumber(const SettingsKey& key, const QString& name, quint32 fallback) {
    const auto value = key.Read(name);
    if (!value)
        return fallback;
    return value->DWordValue().value_or(fallback);
}

// Set when this run found a settings file it could not read whole: the run then writes
// nothing to it, even should it become readable meanwhile.
bool& LeaveFileAlone() {
    static bool leave = false;
    return leave;
}

// All four numbers or no place at all; coordinates may be negative (a screen left of or
// above the primary one).
QRect ReadWindowRect(const SettingsKey& key) {
    const auto number = [&key](const QString& name) -> std::optional<qint32> {
        const auto value = key.Read(name);
        if (!value || !value->DWordValue())
            return std::nullopt;
        return static_cast<qint32>(*value->DWordValue());
    };
    const auto left = number(kWindowLeft), top = number(kWindowTop);
    const auto width = number(kWindowWidth), height = number(kWindowHeight);
    if (!left || !top || !width || !height || *width <= 0 || *height <= 0)
        return {};
    return QRect(*left, *top, *width, *height);
}

StoredValue Number(qint32 value) { return StoredValue::DWord(static_cast<quint32>(value)); }

}  // namespace

SettingsRecord& Settings() {
    static SettingsRecord record;
    return record;
}

SettingsRecord DefaultSettings(const QString& programFolder) {
    SettingsRecord defaults;
    defaults.LastSelectedDir = programFolder;
    defaults.LastArchiveDir = programFolder;
    return defaults;
}

void LoadSettings(SettingsStore& store, const QString& programFolder, SettingsRecord& settings) {
    const SettingsRecord defaults = DefaultSettings(programFolder);
    const auto key = store.OpenKey(QString::fromLatin1(kSettingsKeyPath), false);
    if (!key) {
        settings = defaults;
        return;
    }
    settings.LastSelectedDir = ReadFolder(*key, kLastSelectedDir, defaults.LastSelectedDir);
    settings.LastArchiveDir = ReadFolder(*key, kLastArchiveDir, defaults.LastArchiveDir);
    settings.ShowDragNDropInfoMsg = ReadNumber(*key, kShowDragNDropInfoMsg, defaults.ShowDragNDropInfoMsg) != 0;
    settings.ConfirmDelete = ReadNumber(*key, kConfirmDelete, defaults.ConfirmDelete) != 0;
    settings.MainColor = ReadNumber(*key, kMainColor, defaults.MainColor);
    settings.PanelColor = ReadNumber(*key, kPanelColor, defaults.PanelColor);
    settings.SecondPanelColor = ReadNumber(*key, kSecondPanelColor, defaults.SecondPanelColor);
    settings.MainWindowRect = ReadWindowRect(*key);
    settings.MainWindowMaximized = ReadNumber(*key, kWindowMaximized, 0) != 0;
}

void SaveSettings(SettingsStore& store, const SettingsRecord& settings) {
    const auto key = store.OpenKey(QString::fromLatin1(kSettingsKeyPath), true);
    if (!key)
        return;
    const std::pair<QString, StoredValue> values[] = {
        {kLastSelectedDir, StoredValue::String(settings.LastSelectedDir)},
        {kLastArchiveDir, StoredValue::String(settings.LastArchiveDir)},
        {kShowDragNDropInfoMsg, StoredValue::DWord(settings.ShowDragNDropInfoMsg ? 1 : 0)},
        {kConfirmDelete, StoredValue::DWord(settings.ConfirmDelete ? 1 : 0)},
        {kMainColor, StoredValue::DWord(settings.MainColor)},
        {kPanelColor, StoredValue::DWord(settings.PanelColor)},
        {kSecondPanelColor, StoredValue::DWord(settings.SecondPanelColor)},
    };
    // The first value that cannot be written ends the writing; the rest keep what the
    // store held before.
    for (const auto& [name, value] : values)
        if (!key->Write(name, value))
            return;
    const QRect& place = settings.MainWindowRect;
    if (place.isEmpty())
        return;
    const std::pair<QString, StoredValue> window[] = {
        {kWindowLeft, Number(place.left())},     {kWindowTop, Number(place.top())},
        {kWindowWidth, Number(place.width())},   {kWindowHeight, Number(place.height())},
        {kWindowMaximized, StoredValue::DWord(settings.MainWindowMaximized ? 1 : 0)},
    };
    for (const auto& [name, value] : window)
        if (!key->Write(name, value))
            return;
}

void LoadSettings(const QString& programFolder) {
    RegFileSettingsStore store(SettingsFilePath());
    LoadSettings(store, programFolder, Settings());
    LeaveFileAlone() = !store.Problem().isEmpty();
    if (!LeaveFileAlone())
        return;
    const QString text = QStringLiteral("The settings file %1 cannot be read (%2).\rVelmora starts with its default "
                                        "settings and leaves the file as it is: changes to the settings are not "
                                        "saved in this run.")
                             .arg(QDir::toNativeSeparators(store.FilePath()), store.Problem());
    // Told once the window that loads the settings is on screen.
    QTimer::singleShot(0, QCoreApplication::instance(), [text] { ShowError(text); });
}

void SaveSettings() {
    if (LeaveFileAlone())
        return;
    RegFileSettingsStore store(SettingsFilePath());
    SaveSettings(store, Settings());
}

QColor ColorRefToQColor(ColorRef color) {
    return QColor(static_cast<int>(color & 0xFF), static_cast<int>((color >> 8) & 0xFF),
                  static_cast<int>((color >> 16) & 0xFF));
}

ColorRef QColorToColorRef(const QColor& color) {
    const QColor rgb = color.toRgb();
    return static_cast<ColorRef>(rgb.red()) | (static_cast<ColorRef>(rgb.green()) << 8) |
           (static_cast<ColorRef>(rgb.blue()) << 16);
}

}  // namespace velm
