#include "kit/reg_file_format.h"
#include "kit/settings.h"
#include "kit/settings_store.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

using namespace velm;

namespace {

const QString kKey = QStringLiteral("HKEY_CURRENT_USER\\Software\\Tarnwick Software\\VELM");
const QString kSubKey = QStringLiteral("Software\\Tarnwick Software\\VELM");

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void WriteAll(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

}  // namespace

class TestSettingsStore : public QObject {
    Q_OBJECT

private slots:
    void everyTypeSurvivesWritingAndReading() {
        const QList<QPair<QString, StoredValue>> values = {
            {"Folder", StoredValue::String(QStringLiteral("C:\\Velm; \"q\"\\ jörg/Ω/パ"))},
            {"TwoLines", StoredValue::String(QStringLiteral("first\r\nsecond"))},
            {"Expand", StoredValue::ExpandString(QStringLiteral("%TEMP%\\velm"))},
            {"Max", StoredValue::DWord(0xFFFFFFFFu)},
            {"Binary", StoredValue{kRegBinary, QByteArray(300, '\x5A')}},
            {"MultiString", StoredValue{7, QByteArray::fromHex("61006200000000")}},
            {"ShortDWord", StoredValue{kRegDWord, QByteArray::fromHex("0102")}},
            {"Na\\me \"q\"", StoredValue::DWord(7)},
            {"", StoredValue::String(QString())},
        };
        RegDocument document;
        for (const auto& [name, value] : values)
            document.SetValue(kKey, name, value);
        const RegDocument read = RegDocument::Parse(document.Serialize());
        for (const auto& [name, value] : values)
            QCOMPARE(read.Value(kKey, name), value);
    }

    void readsRegeditExports() {
        // As regedit writes them: UTF-16LE with a byte order mark, CRLF, hex lists
        // continued over lines, names in any letter case.
        const QString text = QStringLiteral(
            "Windows Registry Editor Version 5.00\r\n\r\n; a comment\r\n"
            "[HKEY_CURRENT_USER\\SOFTWARE\\Tarnwick Software\\velm]\r\n"
            "\"LastSelectedDir\"=\"C:\\\\Velm\\\\\"\r\n"
            "\"MainColor\"=dword:00adc7b7\r\n"
            "\"LastArchiveDir\"=hex(2):25,00,54,00,45,00,4d,00,50,00,25,00,5c,00,7a,00,\\\r\n"
            "  69,00,70,00,00,00\r\n");
        QByteArray bytes("\xFF\xFE", 2);
        bytes.append(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
        const RegDocument document = RegDocument::Parse(bytes);
        QCOMPARE(document.Value(kKey, "lastselecteddir")->Text(), QStringLiteral("C:\\Velm\\"));
        QCOMPARE(document.Value(kKey, "MAINCOLOR")->DWordValue(), 0xADC7B7u);
        QCOMPARE(document.Value(kKey, "LastArchiveDir"), StoredValue::ExpandString(QStringLiteral("%TEMP%\\zip")));
    }

    void unreadableLinesAreSkipped() {
        const char text[] =
            "\"Orphan\"=dword:00000001\n"  // before any key
            "[HKEY_CURRENT_USER\\Software\\Tarnwick Software\\VELM]\n"
            "\"A\"=dword:zz\n\"B\"=dword:123456789\n\"C\"=\"open\n\"D\"=\"text\" junk\n"
            "\"E\"=hex:0g\n\"F\"=hex:100\n\"G\"=hex(zz):00\n\"H\"=-\n\"I\" dword:1\n"
            "\x00\x01\xfe\xff \xc3\x28\n"
            "\"Good\"=dword:0000002a\n"
            "[unterminated\n\"AfterBadKey\"=dword:1\n"
            "[-HKEY_CURRENT_USER\\Gone]\n\"InDeletedKey\"=dword:1\n"
            "[HKEY_CURRENT_USER\\Software\\Tarnwick Software\\VELM]\n"
            "\"Hex\"=hex:01,\\\n";  // a continuation at the very end
        const RegDocument document = RegDocument::Parse(QByteArray(text, sizeof text - 1));
        QCOMPARE(document.Keys().size(), 1);
        QCOMPARE(document.Keys().first().values.size(), 2);
        QCOMPARE(document.Value(kKey, "Good")->DWordValue(), 42u);
        QCOMPARE(document.Value(kKey, "Hex")->data, QByteArray("\x01", 1));
    }

    void damagedFilesNeverBreakTheReader() {
        const QByteArray valid = "[HKEY_CURRENT_USER\\A]\n\"s\"=\"x\\\\y\"\n\"d\"=dword:00000001\n"
                                 "\"h\"=hex(2):41,00,\\\n  00,00\n";
        QRandomGenerator random(20240611);
        for (int round = 0; round < 3000; ++round) {
            QByteArray bytes = round % 10 ? valid : QByteArray("\xFF\xFE", 2);  // some UTF-16 garbage
            for (int i = random.bounded(1, 12); i > 0; --i) {
                const char byte = static_cast<char>(random.bounded(256));
                const int at = random.bounded(bytes.size());
                if (random.bounded(2))
                    bytes.insert(at, byte);
                else
                    bytes[at] = byte;
            }
            const RegDocument document = RegDocument::Parse(bytes);
            const RegDocument again = RegDocument::Parse(document.Serialize());
            if (round % 10 == 0)
                continue;  // lone surrogates in names need not come back
            for (const auto& key : document.Keys())
                for (const auto& named : key.values)
                    QCOMPARE(again.Value(key.path, named.name), named.value);
        }
    }

    void keysAreOpenedCreatedAndWrittenInTheFile() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("conf/Tarnwick Software/VELM.reg"));
        RegFileSettingsStore store(path);
        QVERIFY(!store.OpenKey(kSubKey, false));
        QVERIFY(!QFile::exists(path));
        QVERIFY(store.OpenKey(kSubKey, true));
        QVERIFY(ReadAll(path).contains("[HKEY_CURRENT_USER\\Software\\Tarnwick Software\\VELM]"));
        QVERIFY(!store.OpenKey(QStringLiteral("Software\\Other"), false));

        // A write reaches the file at once and keeps everything else there.
        WriteAll(path, "[HKEY_CURRENT_USER\\Software\\Someone Else]\n\"Theirs\"=hex(7):61,00,00,00\n"
                       "[HKEY_CURRENT_USER\\Software\\Tarnwick Software\\VELM]\n\"Old\"=\"kept\"\n");
        auto key = store.OpenKey(QStringLiteral("software\\tarnwick software\\velm"), false);
        QVERIFY(key);
        QVERIFY(key->Write(QStringLiteral("MainColor"), StoredValue::DWord(0x123456)));
        const RegDocument document = RegDocument::Parse(ReadAll(path));
        QCOMPARE(document.Value(kKey, "MainColor")->DWordValue(), 0x123456u);
        QCOMPARE(document.Value(kKey, "Old")->Text(), QStringLiteral("kept"));
        QCOMPARE(document.Value(QStringLiteral("HKEY_CURRENT_USER\\Software\\Someone Else"), "Theirs")->type, 7u);
    }

    void anUnusableFileOpensNothing() {
        QTemporaryDir dir;
        // A file where the folder should be: nothing can be created below it.
        WriteAll(dir.filePath(QStringLiteral("blocker")), "x");
        QVERIFY(!RegFileSettingsStore(dir.filePath(QStringLiteral("blocker/VELM.reg"))).OpenKey(kSubKey, true));
        QCOMPARE(ReadAll(dir.filePath(QStringLiteral("blocker"))), QByteArray("x"));
        // A folder where the file should be.
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("VELM.reg")));
        QVERIFY(!RegFileSettingsStore(dir.filePath(QStringLiteral("VELM.reg"))).OpenKey(kSubKey, true));

        // A file far too large for settings is not read, and never written over: it may
        // hold what other programs keep there.
        const QString big = dir.filePath(QStringLiteral("big.reg"));
        const QByteArray bigBytes = "[" + kKey.toUtf8() + "]\n\"MainColor\"=dword:1\n" + QByteArray(2 << 20, ';');
        WriteAll(big, bigBytes);
        RegFileSettingsStore store(big);
        QVERIFY(!store.OpenKey(kSubKey, false));
        QVERIFY(!store.OpenKey(kSubKey, true));
        QCOMPARE(store.Problem(), QStringLiteral("it is larger than 1 MB"));
        QCOMPARE(ReadAll(big), bigBytes);

        // A pipe in the file's place is never opened: reading it would wait forever.
        const QString pipe = dir.filePath(QStringLiteral("pipe.reg"));
        QCOMPARE(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
        QVERIFY(!RegFileSettingsStore(pipe).OpenKey(kSubKey, false));
    }
    void garbageFilesLoadAsDefaultsAndSaveCleanly() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("VELM.reg"));
        const QString folder = QStringLiteral("/opt/velm/");
        QRandomGenerator random(4711);
        QByteArray noise(4096, '\0');
        for (char& byte : noise)
            byte = static_cast<char>(random.bounded(256));
        const QList<QByteArray> files = {
            noise,
            QByteArray("\xFF\xFE", 2) + noise,  // "UTF-16" noise
            QByteArray("\xFF\xFE[\0H", 5),       // an odd number of UTF-16 bytes
            QByteArray(300, '\0'),
            // Our key, but every value damaged.
            "[" + kKey.toUtf8() + "]\r\n\"MainColor\"=dword:\r\n\"PanelColor\"=dword:1x\r\n"
                "\"ConfirmDelete\"=hex:zz\r\n\"LastSelectedDir\"=\"C:\\\\unterminated\r\n"
                "\"ShowDragNDropInfoMsg\"=dword:00000000 trailing\r\n" + QByteArray(5, '\0'),
        };
        for (qsizetype i = 0; i < files.size(); ++i) {
            const QByteArray& bytes = files[i];
            WriteAll(path, bytes);
            RegFileSettingsStore store(path);
            SettingsRecord loaded;
            LoadSettings(store, folder, loaded);
            const SettingsRecord defaults = DefaultSettings(folder);
            QCOMPARE(loaded.MainColor, defaults.MainColor);
            QCOMPARE(loaded.PanelColor, defaults.PanelColor);
            QCOMPARE(loaded.SecondPanelColor, defaults.SecondPanelColor);
            QCOMPARE(loaded.ConfirmDelete, defaults.ConfirmDelete);
            QCOMPARE(loaded.ShowDragNDropInfoMsg, defaults.ShowDragNDropInfoMsg);
            QCOMPARE(ReadAll(path), bytes);  // reading alone never rewrites the file

            loaded.LastSelectedDir = QStringLiteral("/home/velm/cats/");
            loaded.MainColor = 0x123456;
            loaded.ConfirmDelete = false;
            SaveSettings(store, loaded);
            SettingsRecord again;
            LoadSettings(store, folder, again);
            QVERIFY2(again.LastSelectedDir == loaded.LastSelectedDir, qPrintable(QString::number(i)));
            QCOMPARE(again.LastArchiveDir, loaded.LastArchiveDir);
            QCOMPARE(again.MainColor, 0x123456u);
            QVERIFY(!again.ConfirmDelete);
            QVERIFY(again.ShowDragNDropInfoMsg);
        }
    }
};

QTEST_GUILESS_MAIN(TestSettingsStore)
#include "test_settings_store.moc"
