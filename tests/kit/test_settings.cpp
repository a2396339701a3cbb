#include "kit/reg_file_format.h"
#include "kit/settings.h"
#include "kit/settings_store.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <map>

using namespace velm;

namespace {

const QString kProgramFolder = QStringLiteral("/opt/Velm ora; test/");

// A store in memory whose key refuses every write from a chosen one on.
class FakeStore : public SettingsStore {
public:
    std::map<QString, StoredValue> values;
    bool keyExists = true;
    int failFromWrite = 0;  // 1-based; 0 never fails
    int writes = 0;

    std::unique_ptr<SettingsKey> OpenKey(const QString& keyPath, bool create) override {
        if (keyPath != QLatin1String(kSettingsKeyPath) || (!keyExists && !create))
            return nullptr;
        keyExists = true;
        return std::make_unique<Key>(*this);
    }

private:
    struct Key : SettingsKey {
        explicit Key(FakeStore& s) : store(s) {}
        std::optional<StoredValue> Read(const QString& name) const override {
            const auto found = store.values.find(name);
            return found == store.values.end() ? std::nullopt : std::optional(found->second);
        }
        bool Write(const QString& name, const StoredValue& value) override {
            if (++store.writes >= store.failFromWrite && store.failFromWrite > 0)
                return false;
            store.values[name] = value;
            return true;
        }
        FakeStore& store;
    };
};

SettingsRecord Loaded(SettingsStore& store) {
    SettingsRecord record;
    record.LastSelectedDir = record.LastArchiveDir = QStringLiteral("stale");
    LoadSettings(store, kProgramFolder, record);
    return record;
}

}  // namespace

class TestSettings : public QObject {
    Q_OBJECT

private slots:
    void firstRunTakesDefaultsAndCloseStoresAllSeven() {
        QTemporaryDir dir;
        SetSettingsFilePath(dir.filePath(QStringLiteral("Tarnwick Software/VELM.reg")));
        LoadSettings(kProgramFolder);
        const SettingsRecord& record = Settings();
        QCOMPARE(record.LastSelectedDir, kProgramFolder);
        QCOMPARE(record.LastArchiveDir, kProgramFolder);
        QVERIFY(record.ShowDragNDropInfoMsg && record.ConfirmDelete);
        QCOMPARE(ColorRefToQColor(record.MainColor), QColor(183, 199, 173));
        QCOMPARE(ColorRefToQColor(record.PanelColor), QColor(157, 180, 152));
        QCOMPARE(ColorRefToQColor(record.SecondPanelColor), QColor(64, 128, 128));

        SaveSettings();
        QFile file(SettingsFilePath());
        QVERIFY(file.open(QIODevice::ReadOnly));
        const RegDocument document = RegDocument::Parse(file.readAll());
        const QString key = QStringLiteral("HKEY_CURRENT_USER\\") + QLatin1String(kSettingsKeyPath);
        QCOMPARE(document.Value(key, "LastSelectedDir"), StoredValue::String(kProgramFolder));
        QCOMPARE(document.Value(key, "LastArchiveDir"), StoredValue::String(kProgramFolder));
        QCOMPARE(document.Value(key, "ShowDragNDropInfoMsg"), StoredValue::DWord(1));
        QCOMPARE(document.Value(key, "ConfirmDelete"), StoredValue::DWord(1));
        QCOMPARE(document.Value(key, "MainColor"), StoredValue::DWord(11388855));
        QCOMPARE(document.Value(key, "PanelColor"), StoredValue::DWord(10007709));
        QCOMPARE(document.Value(key, "SecondPanelColor"), StoredValue::DWord(8421440));
        SetSettingsFilePath(QString());
    }

    void eachValueFallsBackOnItsOwn() {
        FakeStore store;
        store.values["MainColor"] = StoredValue::DWord(0x00FF00);
        SettingsRecord record = Loaded(store);
        QCOMPARE(record.MainColor, 0x00FF00u);
        QCOMPARE(record.PanelColor, 10007709u);
        QCOMPARE(record.SecondPanelColor, 8421440u);
        QVERIFY(record.ShowDragNDropInfoMsg && record.ConfirmDelete);
        QCOMPARE(record.LastSelectedDir, QString());  // absent folders read as empty text
        QCOMPARE(record.LastArchiveDir, QString());

        store.values["ConfirmDelete"] = StoredValue::String(QStringLiteral("0"));
        store.values["ShowDragNDropInfoMsg"] = StoredValue::DWord(0);
        store.values["LastArchiveDir"] = StoredValue::DWord(5);
        store.values["LastSelectedDir"] = StoredValue::ExpandString(QStringLiteral("%HOME%\\cat"));
        store.values["PanelColor"] = StoredValue{kRegBinary, QByteArray::fromHex("01020304")};
        record = Loaded(store);
        QVERIFY(record.ConfirmDelete);
        QVERIFY(!record.ShowDragNDropInfoMsg);
        QCOMPARE(record.LastArchiveDir, kProgramFolder);
        QCOMPARE(record.LastSelectedDir, QStringLiteral("%HOME%\\cat"));  // not expanded
        QCOMPARE(record.PanelColor, 10007709u);

        // Without the key every value is its default, and loading does not create it.
        store.keyExists = false;
        QCOMPARE(Loaded(store).LastArchiveDir, kProgramFolder);
        QCOMPARE(Loaded(store).MainColor, 11388855u);
        QVERIFY(!store.keyExists);
    }

    void theFirstFailingWriteEndsTheWriting() {
        FakeStore store;
        store.values["ConfirmDelete"] = StoredValue::DWord(1);
        store.values["MainColor"] = StoredValue::DWord(77);
        store.failFromWrite = 4;  // ConfirmDelete
        SettingsRecord record = DefaultSettings(QStringLiteral("/new/"));
        record.ShowDragNDropInfoMsg = record.ConfirmDelete = false;
        record.MainColor = 1;
        SaveSettings(store, record);
        QCOMPARE(store.writes, 4);
        QCOMPARE(store.values["ShowDragNDropInfoMsg"], StoredValue::DWord(0));
        QCOMPARE(store.values["ConfirmDelete"], StoredValue::DWord(1));
        QCOMPARE(store.values["MainColor"], StoredValue::DWord(77));
        QVERIFY(!store.values.count("PanelColor"));
    }

    void savedValuesComeBackAndOthersInTheKeyStay() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("VELM.reg"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("[HKEY_CURRENT_USER\\Software\\Tarnwick Software\\VELM]\n\"Extra\"=hex(7):61,00,00,00\n");
        file.close();
        RegFileSettingsStore store(path);
        SettingsRecord record;
        record.LastSelectedDir = QStringLiteral("/home/jörg/Com \"ponents\"; ü\\x/");
        record.LastArchiveDir = QStringLiteral("C:\\Archives\\");
        record.ShowDragNDropInfoMsg = record.ConfirmDelete = false;
        record.MainColor = 0x80000005;
        record.PanelColor = 0;
        record.SecondPanelColor = QColorToColorRef(QColor(1, 2, 3));
        SaveSettings(store, record);

        const SettingsRecord read = Loaded(store);
        QCOMPARE(read.LastSelectedDir, record.LastSelectedDir);
        QCOMPARE(read.LastArchiveDir, record.LastArchiveDir);
        QVERIFY(!read.ShowDragNDropInfoMsg && !read.ConfirmDelete);
        QCOMPARE(read.MainColor, record.MainColor);
        QCOMPARE(read.PanelColor, 0u);
        QCOMPARE(read.SecondPanelColor, 0x030201u);
        QCOMPARE(store.OpenKey(QLatin1String(kSettingsKeyPath), false)->Read("Extra")->type, 7u);
    }
};

QTEST_GUILESS_MAIN(TestSettings)
#include "test_settings.moc"
