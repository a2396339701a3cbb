// The command line: what is recognised, and the real program's answers to it, each run
// in a process of its own as a user would start it.
#include "app/command_line.h"
#include "catalogue/data_module.h"
#include "support/temp_catalogue.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace velm;
using velm::test::TempCatalogue;

namespace {

constexpr int kTimeoutMs = 120000;

struct Run {
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

// Starts the program file with the arguments; the environment decides the display.
Run Start(const QString& program, const QStringList& arguments, const QProcessEnvironment& environment) {
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(program, arguments);
    Run run;
    if (!process.waitForFinished(kTimeoutMs)) {
        process.kill();
        process.waitForFinished();
        run.err = "did not end in time";
        return run;
    }
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = process.readAllStandardOutput();
    run.err = process.readAllStandardError();
    return run;
}

// A copy of the program in a folder of its own: it finds its catalogue beside itself.
QString CopyProgramInto(const QString& folder) {
    const QString copy = QDir(folder).filePath(QStringLiteral("velmora"));
    if (!QFile::copy(QStringLiteral(VELMORA_PROGRAM), copy))
        return QString();
    QFile::setPermissions(copy, QFile::permissions(copy) | QFileDevice::ExeOwner);
    return copy;
}

QProcessEnvironment Headless(const QString& configFolder) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), configFolder);
    return environment;
}

}  // namespace

class CommandLineTest : public QObject {
    Q_OBJECT
private slots:
    void optionsAreRecognisedAndTheRestIsLeftUnknown();
    void helpAndVersionAnswerWithoutADisplay();
    void anUnknownOptionIsRefusedBeforeAnyWindow();
    void quitWhenIdleRunsTheWholeStartAndClose();
};

void CommandLineTest::optionsAreRecognisedAndTheRestIsLeftUnknown() {
    const TCommandLine all = ParseCommandLine({"--quit-when-idle", "-h", "--version"});
    QVERIFY(all.showHelp && all.showVersion && all.quitWhenIdle);
    QVERIFY(all.unknown.isEmpty());
    QVERIFY(ParseCommandLine({"--help"}).showHelp);

    // Near misses and stray words are never taken for an option.
    const TCommandLine odd = ParseCommandLine({"--Help", "-help", "--version=2", "catalogue", "--quit-when-idle"});
    QVERIFY(!odd.showHelp && !odd.showVersion);
    QVERIFY(odd.quitWhenIdle);
    QCOMPARE(odd.unknown, (QStringList{"--Help", "-help", "--version=2", "catalogue"}));
    QVERIFY(ParseCommandLine({}).unknown.isEmpty());
}

void CommandLineTest::helpAndVersionAnswerWithoutADisplay() {
    // With no display at all, a program that made its application object would fail.
    QProcessEnvironment noDisplay = QProcessEnvironment::systemEnvironment();
    noDisplay.remove(QStringLiteral("DISPLAY"));
    noDisplay.remove(QStringLiteral("WAYLAND_DISPLAY"));
    noDisplay.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));

    const Run help = Start(QStringLiteral(VELMORA_PROGRAM), {QStringLiteral("--help")}, noDisplay);
    QCOMPARE(help.exitCode, 0);
    QVERIFY(help.out.startsWith("Usage: velmora [OPTION]\n"));
    for (const char* option : {"--help", "--version", "--quit-when-idle"})
        QVERIFY2(help.out.contains(option), option);
    QVERIFY(help.err.isEmpty());

    const Run version = Start(QStringLiteral(VELMORA_PROGRAM), {QStringLiteral("--version")}, noDisplay);
    QCOMPARE(version.exitCode, 0);
    QCOMPARE(version.out, QByteArray("Velmora " VELMORA_VERSION "\n"));

    // Help wins over everything else on the line, Qt's options included.
    const Run mixed =
        Start(QStringLiteral(VELMORA_PROGRAM), {QStringLiteral("-style"), QStringLiteral("fusion"), QStringLiteral("--bogus"), QStringLiteral("-h")},
              noDisplay);
    QCOMPARE(mixed.exitCode, 0);
    QVERIFY(mixed.out.startsWith("Usage: velmora"));
}

void CommandLineTest::anUnknownOptionIsRefusedBeforeAnyWindow() {
    // No catalogue beside the program: had it gone on, it would have shown "Cannot locate
    // VELM data files" and waited for an answer.
    QTemporaryDir folder;
    QTemporaryDir config;
    const QString program = CopyProgramInto(folder.path());
    QVERIFY(!program.isEmpty());
    const Run run = Start(program, {QStringLiteral("--frobnicate")}, Headless(config.path()));
    QCOMPARE(run.exitCode, 2);
    QVERIFY(run.out.isEmpty());
    QVERIFY2(run.err.contains("velmora: unknown option '--frobnicate'\nTry 'velmora --help' for the options.\n"),
             run.err.constData());
    QVERIFY(!QFileInfo::exists(QDir(folder.path()).filePath(QStringLiteral("dbase/velmora.lock"))));
}

void CommandLineTest::quitWhenIdleRunsTheWholeStartAndClose() {
    TempCatalogue cat;
    const qint64 tools = cat.AddCategory(QStringLiteral("Tools"));
    cat.AddPackage(QStringLiteral("Grid Pack"), tools);
    cat.Module().Close();
    QTemporaryDir config;
    const QString program = CopyProgramInto(cat.ProgramFolder());
    QVERIFY(!program.isEmpty());

    // Qt's own options are left to Qt, not refused as unknown.
    QProcessEnvironment environment = Headless(config.path());
    environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
    const Run run = Start(program, {QStringLiteral("-platform"), QStringLiteral("offscreen"), QStringLiteral("--quit-when-idle")},
                          environment);
    QVERIFY2(run.exitCode == 0, run.err.constData());
    QCOMPARE(run.out, QByteArray("Main window shown and idle\n"));
    // The ordinary close sequence ran: the settings were saved and the lock let go.
    QVERIFY(QFileInfo::exists(config.path() + QStringLiteral("/Tarnwick Software/VELM.reg")));
    QVERIFY(QFileInfo(cat.ProgramFolder() + QStringLiteral("Tmp")).isDir());
    QVERIFY(!QFileInfo::exists(cat.DataFolder() + QStringLiteral("velmora.lock")));
}

QTEST_GUILESS_MAIN(CommandLineTest)
#include "test_command_line.moc"
