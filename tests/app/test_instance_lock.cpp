// One copy of the program per catalogue: a held lock turns a second copy away (also one
// that reaches the catalogue through a link), a lock left by a crashed copy is taken
// over, and a folder without room for a lock does not stop the program.
#include "app/instance_lock.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace velm;

class InstanceLockTest : public QObject {
    Q_OBJECT
private slots:
    void secondCopyIsTurnedAway();
    void lockOfACrashedCopyIsTakenOver();
    void noRoomForALockIsNoObstacle();
};

void InstanceLockTest::secondCopyIsTurnedAway() {
    QTemporaryDir folder;
    TInstanceLock first(folder.path());
    QCOMPARE(first.TryLock(), TInstanceLock::Result::Locked);
    TInstanceLock second(folder.path());
    QCOMPARE(second.TryLock(), TInstanceLock::Result::HeldByAnotherCopy);
    // Another program folder whose dbase/ is a link to the same catalogue meets the same lock.
    QTemporaryDir other;
    const QString link = QDir(other.path()).filePath(QStringLiteral("dbase"));
    QVERIFY(QFile::link(folder.path(), link));
    TInstanceLock throughLink(link + QStringLiteral("/"));
    QCOMPARE(throughLink.TryLock(), TInstanceLock::Result::HeldByAnotherCopy);
    QCOMPARE(throughLink.Folder(), QFileInfo(folder.path()).canonicalFilePath());
    QCOMPARE(TInstanceLock::AnotherCopyText(QStringLiteral("/opt/velmora/")),
             QStringLiteral("Velmora is already running on the catalogue in /opt/velmora/.\r"
                            "Only one copy at a time can use a catalogue."));
}

void InstanceLockTest::lockOfACrashedCopyIsTakenOver() {
    QTemporaryDir folder;
    // The number of a process that has ended.
    QProcess ended;
    ended.start(QStringLiteral("true"), {});
    QVERIFY(ended.waitForFinished());
    const qint64 deadPid = ended.processId() ? ended.processId() : 999999;
    QFile lock(QDir(folder.path()).filePath(QStringLiteral("velmora.lock")));
    QVERIFY(lock.open(QIODevice::WriteOnly));
    lock.write(QByteArray::number(deadPid) + "\nvelmora\n" + QSysInfo::machineHostName().toUtf8() + "\n");
    lock.close();
    TInstanceLock next(folder.path());
    QCOMPARE(next.TryLock(), TInstanceLock::Result::Locked);
}

void InstanceLockTest::noRoomForALockIsNoObstacle() {
    QTemporaryDir folder;
    TInstanceLock lock(QDir(folder.path()).filePath(QStringLiteral("no/such/folder")));
    QCOMPARE(lock.TryLock(), TInstanceLock::Result::Unavailable);
}

QTEST_GUILESS_MAIN(InstanceLockTest)
#include "test_instance_lock.moc"
