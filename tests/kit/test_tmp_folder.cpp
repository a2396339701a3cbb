#include "kit/tmp_folder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

using namespace velm;

namespace {

void WriteFile(const QString& path, const QByteArray& bytes = "content") {
    QFile file(path);
    QVERIFY2(file.open(QIODevice::WriteOnly), qPrintable(path));
    file.write(bytes);
}

QStringList Children(const QString& folder) {
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
}

}  // namespace

class TestTmpFolder : public QObject {
    Q_OBJECT

private slots:
    void emptiesTheFolderWhateverItsPathHolds_data() {
        QTest::addColumn<QString>("programFolder");
        QTest::newRow("semicolon and spaces") << "Velm; Program Files";
        QTest::newRow("non-ASCII and shell characters") << "Prögrämme Ω パ *.* [x] $HOME 'q' & %TEMP%";
    }

    void emptiesTheFolderWhateverItsPathHolds() {
        QFETCH(QString, programFolder);
        QTemporaryDir root;
        const QString program = root.filePath(programFolder);
        const QString tmp = program + QStringLiteral("/Tmp/");
        QVERIFY(QDir().mkpath(tmp + QStringLiteral("sub folder/deeper; still")));
        WriteFile(tmp + QStringLiteral("package.inf"));
        WriteFile(tmp + QStringLiteral(".hidden"));
        WriteFile(tmp + QStringLiteral("no extension"));
        WriteFile(tmp + QStringLiteral("sub folder/deeper; still/info.upl"));
        WriteFile(tmp + QStringLiteral("read only.txt"));
        QFile::setPermissions(tmp + QStringLiteral("read only.txt"), QFileDevice::ReadOwner);
        // Beside the Tmp folder, and a folder whose name starts like it.
        WriteFile(program + QStringLiteral("/CPInfo.DB"));
        QVERIFY(QDir().mkpath(program + QStringLiteral("/Tmp2")));
        WriteFile(program + QStringLiteral("/Tmp2/keep.txt"));

        EmptyTmpFolder(tmp);

        QVERIFY(QFileInfo(tmp).isDir());
        QCOMPARE(Children(tmp), QStringList());
        QVERIFY(QFile::exists(program + QStringLiteral("/CPInfo.DB")));
        QVERIFY(QFile::exists(program + QStringLiteral("/Tmp2/keep.txt")));
    }

    void linksGoButNotWhatTheyPointTo() {
        QTemporaryDir root;
        const QString tmp = root.filePath(QStringLiteral("Tmp"));
        const QString outside = root.filePath(QStringLiteral("outside"));
        QVERIFY(QDir().mkpath(tmp + QStringLiteral("/sub")));
        QVERIFY(QDir().mkpath(outside + QStringLiteral("/folder")));
        WriteFile(outside + QStringLiteral("/file.txt"));
        WriteFile(outside + QStringLiteral("/folder/inner.txt"));
        QVERIFY(QFile::link(outside + QStringLiteral("/file.txt"), tmp + QStringLiteral("/file link")));
        QVERIFY(QFile::link(outside + QStringLiteral("/folder"), tmp + QStringLiteral("/folder link")));
        QVERIFY(QFile::link(outside + QStringLiteral("/folder"), tmp + QStringLiteral("/sub/nested link")));
        QVERIFY(QFile::link(root.filePath(QStringLiteral("missing")), tmp + QStringLiteral("/broken link")));

        EmptyTmpFolder(tmp);

        QCOMPARE(Children(tmp), QStringList());
        QVERIFY(QFile::exists(outside + QStringLiteral("/file.txt")));
        QVERIFY(QFile::exists(outside + QStringLiteral("/folder/inner.txt")));
    }

    void aMissingEmptyOrUnnamedFolderIsLeftAlone() {
        QTemporaryDir root;
        const QString missing = root.filePath(QStringLiteral("Tmp"));
        EmptyTmpFolder(missing);
        QVERIFY(!QFileInfo::exists(missing));

        QVERIFY(QDir().mkpath(missing));
        EmptyTmpFolder(missing);
        QVERIFY(QFileInfo(missing).isDir());

        // An empty path must not be taken for the working folder.
        WriteFile(root.filePath(QStringLiteral("work.txt")));
        const QString previous = QDir::currentPath();
        QVERIFY(QDir::setCurrent(root.path()));
        EmptyTmpFolder(QString());
        QDir::setCurrent(previous);
        QVERIFY(QFile::exists(root.filePath(QStringLiteral("work.txt"))));
    }
};

QTEST_GUILESS_MAIN(TestTmpFolder)
#include "test_tmp_folder.moc"
