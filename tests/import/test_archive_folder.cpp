// The search for archives below a dropped folder: which files count, their order, links
// and the limits that keep a hostile tree from holding the program.
#include "import/archive_folder.h"
#include "support/message_recorder.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using velm::ArchiveSearch;
using velm::ArchiveSearchLimits;
using velm::FindArchivesBelow;
using velm::test::MessageRecorder;

namespace {

void Touch(const QString& path) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
}

// The found paths relative to the folder.
QStringList Relative(const QString& folder, const ArchiveSearch& search) {
    QStringList names;
    for (const QString& path : search.Archives)
        names << QDir(folder).relativeFilePath(path);
    return names;
}

}  // namespace

class ArchiveFolderTest : public QObject {
    Q_OBJECT
private slots:
    void findsZipFilesAtAnyDepthInNameOrder();
    void linksAreNotFollowed();
    void limitsStopAHostileTree();
    void droppedPathsKeepTheirOrder();
};

void ArchiveFolderTest::findsZipFilesAtAnyDepthInNameOrder() {
    QTemporaryDir dir;
    const QString root = dir.path();
    for (const char* name : {"b.zip", "a.ZIP", "B.zip", "Sub/x.Zip", "sub2/y.zip", "c.zipx", "d.zip.txt", "zip",
                             ".hidden/h.zip", "Sub/deeper/deepest/z.zip"})
        Touch(root + u'/' + QString::fromLatin1(name));
    QVERIFY(QDir(root).mkpath(QStringLiteral("empty")));
    QVERIFY(QDir(root).mkpath(QStringLiteral("folder.zip")));  // a folder, whatever its name
    Touch(root + QStringLiteral("/folder.zip/inside.zip"));

    const ArchiveSearch search = FindArchivesBelow(root);
    QVERIFY(!search.Incomplete);
    // Letter case decides only between names otherwise equal ("B.zip" before "b.zip").
    QCOMPARE(Relative(root, search), (QStringList{".hidden/h.zip", "a.ZIP", "B.zip", "b.zip", "folder.zip/inside.zip",
                                                  "Sub/deeper/deepest/z.zip", "Sub/x.Zip", "sub2/y.zip"}));
    QVERIFY(FindArchivesBelow(root + QStringLiteral("/empty")).Archives.isEmpty());
    QVERIFY(FindArchivesBelow(root + QStringLiteral("/absent")).Archives.isEmpty());
}

void ArchiveFolderTest::linksAreNotFollowed() {
    QTemporaryDir dir;
    const QString root = dir.filePath(QStringLiteral("dropped"));
    const QString outside = dir.filePath(QStringLiteral("outside"));
    Touch(root + QStringLiteral("/own.zip"));
    Touch(outside + QStringLiteral("/foreign.zip"));
    QVERIFY(QFile::link(outside, root + QStringLiteral("/to-outside")));
    QVERIFY(QFile::link(outside + QStringLiteral("/foreign.zip"), root + QStringLiteral("/foreign-link.zip")));
    QVERIFY(QFile::link(root, root + QStringLiteral("/loop")));  // a circle

    const ArchiveSearch search = FindArchivesBelow(root);
    QCOMPARE(Relative(root, search), QStringList{"own.zip"});
    QVERIFY(!search.Incomplete);

    // What the user dropped may itself be a link to a folder: that one is searched.
    const QString droppedLink = dir.filePath(QStringLiteral("shortcut"));
    QVERIFY(QFile::link(outside, droppedLink));
    QCOMPARE(velm::ExpandDroppedFolders({droppedLink}), QStringList{droppedLink + QStringLiteral("/foreign.zip")});
}

void ArchiveFolderTest::limitsStopAHostileTree() {
    QTemporaryDir dir;
    const QString root = dir.path();
    QString deep = root;
    for (int level = 0; level < 10; ++level) {
        deep += QStringLiteral("/d");
        Touch(deep + QStringLiteral("/level%1.zip").arg(level + 1));
    }
    Touch(root + QStringLiteral("/z/last.zip"));

    ArchiveSearchLimits shallow;
    shallow.MaxDepth = 3;
    // The deep branch is cut below three levels; the rest of the tree is still searched.
    // A folder's archives come where the folder sorts: "d" before "level1.zip".
    const ArchiveSearch cut = FindArchivesBelow(root, shallow);
    QVERIFY(cut.Incomplete);
    QCOMPARE(Relative(root, cut),
             (QStringList{"d/d/d/level3.zip", "d/d/level2.zip", "d/level1.zip", "z/last.zip"}));

    // Ten folders, then their ten archives from the deepest up: the twenty-first entry,
    // the folder z, is one too many.
    ArchiveSearchLimits fewEntries;
    fewEntries.MaxEntries = 20;
    const ArchiveSearch counted = FindArchivesBelow(root, fewEntries);
    QVERIFY(counted.Incomplete);
    QCOMPARE(counted.Archives.size(), 10);
    QVERIFY(!Relative(root, counted).contains(QStringLiteral("z/last.zip")));

    ArchiveSearchLimits fewArchives;
    fewArchives.MaxArchives = 2;
    const ArchiveSearch capped = FindArchivesBelow(root, fewArchives);
    QVERIFY(capped.Incomplete);
    QCOMPARE(Relative(root, capped), (QStringList{"d/d/d/d/d/d/d/d/d/d/level10.zip", "d/d/d/d/d/d/d/d/d/level9.zip"}));

    QVERIFY(!FindArchivesBelow(root).Incomplete);

    // Dropped, the part found is offered, with a word about the rest.
    MessageRecorder messages;
    QCOMPARE(velm::ExpandDroppedFolders({root}, fewArchives), capped.Archives);
    QCOMPARE(messages.Count(), 1);
    QCOMPARE(messages.Last().kind, velm::MessageKind::Information);
    QCOMPARE(messages.Last().text,
             QStringLiteral("Not all of the folder \"%1\" was searched for archives: it holds more than %2 files and "
                            "folders, more than 2 archives, or folders nested more than 64 deep. 2 archive(s) were "
                            "found in the part searched.")
                 .arg(QDir::toNativeSeparators(root), QLocale().toString(1000000)));
}

void ArchiveFolderTest::droppedPathsKeepTheirOrder() {
    MessageRecorder messages;
    QTemporaryDir dir;
    Touch(dir.filePath(QStringLiteral("folder/b.zip")));
    Touch(dir.filePath(QStringLiteral("folder/a.zip")));
    QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("nothing")));
    const QString file = dir.filePath(QStringLiteral("file.zip"));
    const QString other = dir.filePath(QStringLiteral("not-a-zip.txt"));  // refused later, by the import
    const QStringList expanded = velm::ExpandDroppedFolders(
        {other, dir.filePath(QStringLiteral("folder")), dir.filePath(QStringLiteral("nothing")), file});
    QCOMPARE(expanded,
             (QStringList{other, dir.filePath(QStringLiteral("folder/a.zip")), dir.filePath(QStringLiteral("folder/b.zip")),
                          file}));
    QCOMPARE(messages.Count(), 1);
    QCOMPARE(messages.Last().text, QStringLiteral("No archives (.zip) were found in the folder \"%1\".")
                                       .arg(QDir::toNativeSeparators(dir.filePath(QStringLiteral("nothing")))));
}

QTEST_MAIN(ArchiveFolderTest)
#include "test_archive_folder.moc"
