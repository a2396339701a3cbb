#include "kit/settings_store.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

namespace velm {

namespace {

// Settings are a few hundred bytes; anything far larger is not ours to read.
constexpr qint64 kMaxSettingsFileSize = 1024 * 1024;

QString& OverriddenPath() {
    static QString path;
    return path;
}

QString FullKeyPath(const QString& keyPath) { return QStringLiteral("HKEY_CURRENT_USER\\") + keyPath; }

// Reads the file into a document; a missing file reads as an empty one. Returns why an
// existing file cannot be read whole, empty when it was: such a file may hold what
// others keep there, so nothing is ever written over it.
QString ReadDocument(const QString& filePath, RegDocument& document) {
    QFile file(filePath);
    if (!file.exists())
        return {};
    // A pipe or device in its place would block the start for good.
    if (!QFileInfo(filePath).isFile())
        return QStringLiteral("it is not a regular file");
    if (!file.open(QIODevice::ReadOnly))
        return file.errorString();
    if (file.size() > kMaxSettingsFileSize)
        return QStringLiteral("it is larger than 1 MB");
    const QByteArray bytes = file.read(kMaxSettingsFileSize + 1);
    if (bytes.size() != file.size() || bytes.size() > kMaxSettingsFileSize)
        return QStringLiteral("it could not be read to its end");
    document = RegDocument::Parse(bytes);
    return {};
}

bool WriteDocument(const QString& filePath, const RegDocument& document) {
    if (!QDir().mkpath(QFileInfo(filePath).absolutePath()))
        return false;
    QSaveFile file(filePath);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    const QByteArray bytes = document.Serialize();
    if (file.write(bytes) != bytes.size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

class RegFileKey : public SettingsKey {
public:
    RegFileKey(QString filePath, QString fullKeyPath, RegDocument document)
        : filePath_(std::move(filePath)), keyPath_(std::move(fullKeyPath)), document_(std::move(document)) {}

    std::optional<StoredValue> Read(const QString& name) const override {
        return document_.Value(keyPath_, name);
    }

    bool Write(const QString& name, const StoredValue& value) override {
        RegDocument changed = document_;
        changed.SetValue(keyPath_, name, value);
        if (!WriteDocument(filePath_, changed))
            return false;
        document_ = std::move(changed);
        return true;
    }

private:
    QString filePath_;
    QString keyPath_;
    RegDocument document_;
};

}  // namespace

RegFileSettingsStore::RegFileSettingsStore(QString filePath) : filePath_(std::move(filePath)) {}

std::unique_ptr<SettingsKey> RegFileSettingsStore::OpenKey(const QString& keyPath, bool create) {
    if (filePath_.isEmpty())
        return nullptr;
    RegDocument document;
    problem_ = ReadDocument(filePath_, document);
    if (!problem_.isEmpty())
        return nullptr;
    const QString fullPath = FullKeyPath(keyPath);
    if (!document.HasKey(fullPath)) {
        if (!create)
            return nullptr;
        document.AddKey(fullPath);
        if (!WriteDocument(filePath_, document))
            return nullptr;
    }
    return std::make_unique<RegFileKey>(filePath_, fullPath, std::move(document));
}

QString SettingsFilePath() {
    if (!OverriddenPath().isEmpty())
        return OverriddenPath();
    const QString configFolder = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    if (configFolder.isEmpty())
        return {};
    return configFolder + QStringLiteral("/Tarnwick Software/VELM.reg");
}

void SetSettingsFilePath(const QString& filePath) { OverriddenPath() = filePath; }

}  // namespace velm
