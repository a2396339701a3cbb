#pragma once

#include "kit/reg_file_format.h"

#include <QString>

#include <memory>
#include <optional>

namespace velm {

// An open key of the settings store. Closing it is destroying it.
class SettingsKey {
public:
    virtual ~SettingsKey() = default;
    // The value of that name, or none when the key has no such value.
    virtual std::optional<StoredValue> Read(const QString& name) const = 0;
    // Stores one value; false when it could not be stored.
    virtual bool Write(const QString& name, const StoredValue& value) = 0;
};

// The typed key/value store that stands in for the registry below HKEY_CURRENT_USER.
class SettingsStore {
public:
    virtual ~SettingsStore() = default;
    // Opens a key such as "Software\Tarnwick Software\VELM". Without create, a missing
    // key gives none; with create, the key is made (and stored) when missing. None also
    // when the store cannot be read or written.
    virtual std::unique_ptr<SettingsKey> OpenKey(const QString& keyPath, bool create) = 0;
};

// The store as one file in the .reg export syntax. Every write replaces the whole file
// atomically, so a crash leaves either the old or the new file, never a mix.
class RegFileSettingsStore : public SettingsStore {
public:
    explicit RegFileSettingsStore(QString filePath);
    std::unique_ptr<SettingsKey> OpenKey(const QString& keyPath, bool create) override;

    const QString& FilePath() const { return filePath_; }
    // Why the file could not be read whole at the last OpenKey ("it is larger than
    // 1 MB"); empty when it was, or is missing. Such a file is never written.
    const QString& Problem() const { return problem_; }

private:
    QString filePath_;
    QString problem_;
};

// The file the program's settings live in: "Tarnwick Software/VELM.reg" in the user's
// config folder, unless a path was set (tests point it at a temporary folder).
QString SettingsFilePath();
// An empty path restores the default location.
void SetSettingsFilePath(const QString& filePath);

}  // namespace velm
