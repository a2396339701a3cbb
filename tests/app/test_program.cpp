// The real program in a child process: this test runs itself again, from a folder of
// its own that holds (or lacks) a catalogue, on an X server of its own (Xvfb), and the
// child runs the program's own start-up. A watcher in the child writes down every window
// the window system is given, with the title the X server holds for it (read back with
// xprop: Qt may add to the title a window is given), and answers the windows a user
// would answer; the test reads that account.
#include "app/instance_lock.h"
#include "app/program.h"
#include "catalogue/data_module.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMainWindow>
#include <QMenu>
#include <QMessageBox>
#include <QProcess>
#include <QSplashScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWindow>

#include <cstdio>

using namespace velm;

namespace {

const char* const kWorkerVariable = "VELMORA_PROGRAM_WORKER";

void Report(const QString& line) {
    std::fprintf(stdout, "%s\n", qPrintable(line));
    std::fflush(stdout);
}

bool SplashOnScreen() {
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (qobject_cast<QSplashScreen*>(widget) && widget->isVisible())
            return true;
    return false;
}

// Lives in the child: reports windows as they are shown. A message box is answered with
// Enter; the main window, once idle, opens the About box and the options from its menu
// (each closed again with Escape) and is then closed as a user closes it.
class WindowWatcher : public QObject {
public:
    using QObject::QObject;
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::Show || !watched->isWidgetType())
            return false;
        auto* widget = static_cast<QWidget*>(watched);
        if (!widget->isWindow() || qobject_cast<QMenu*>(widget) || !widget->windowHandle())
            return false;
        const QString kind = qobject_cast<QSplashScreen*>(widget) ? QStringLiteral("splash")
                             : qobject_cast<QMessageBox*>(widget) ? QStringLiteral("box")
                             : qobject_cast<QMainWindow*>(widget) ? QStringLiteral("main")
                                                                   : QStringLiteral("dialog");
        const auto* box = qobject_cast<QMessageBox*>(widget);
        // The splash has no caption to show (it is borderless).
        const QString line = kind == QLatin1String("splash")
                                 ? QStringLiteral("shown splash")
                                 : QStringLiteral("shown %1 \"%2\"%3%4")
                                       .arg(kind, XTitle(widget), box ? QStringLiteral(": ") + box->text() : QString(),
                                            SplashOnScreen() ? QStringLiteral(" over the splash") : QString());
        Report(line);
        if (kind == QLatin1String("box") || kind == QLatin1String("dialog")) {
            QTimer::singleShot(0, widget, [widget] { QTest::keyClick(widget->windowHandle(), AnswerKey(widget)); });
        } else if (kind == QLatin1String("main") && !mainSeen_) {
            mainSeen_ = true;
            QTimer::singleShot(0, widget, [widget] { UseMainWindow(static_cast<QMainWindow*>(widget)); });
        }
        return false;
    }

    // The window's title as the X server holds it for window managers (_NET_WM_NAME).
    static QString XTitle(QWidget* widget) {
        QCoreApplication::processEvents();  // the title reaches the server with the next flush
        QProcess xprop;
        xprop.start(QStringLiteral("xprop"),
                    {QStringLiteral("-id"), QString::number(widget->winId()), QStringLiteral("_NET_WM_NAME")});
        if (!xprop.waitForFinished(10000))
            return QStringLiteral("<xprop did not answer>");
        // _NET_WM_NAME(UTF8_STRING) = "Velmora", or nothing after the "=" when empty.
        const QString out = QString::fromUtf8(xprop.readAllStandardOutput()).trimmed();
        const qsizetype equals = out.indexOf(u'=');
        if (equals < 0)
            return out.contains(QStringLiteral("not found")) ? QString() : out;
        QString title = out.mid(equals + 1).trimmed();
        if (title.size() >= 2 && title.startsWith(u'"') && title.endsWith(u'"'))
            title = title.mid(1, title.size() - 2);
        return title;
    }

private:
    // A message box is answered with Enter, a dialog closed with Escape.
    static Qt::Key AnswerKey(QWidget* widget) {
        return qobject_cast<QMessageBox*>(widget) ? Qt::Key_Return : Qt::Key_Escape;
    }

    static void UseMainWindow(QMainWindow* window) {
        Report(QStringLiteral("idle"));
        for (const char* action : {"HelpAbout", "FileOptions"})
            if (auto* item = window->findChild<QAction*>(QString::fromLatin1(action)))
                item->trigger();
        window->close();
    }

    bool mainSeen_ = false;
};

void InstallWatcher() {
    if (qEnvironmentVariableIsSet(kWorkerVariable))
        qApp->installEventFilter(new WindowWatcher(qApp));  // goes with the application
}
Q_COREAPP_STARTUP_FUNCTION(InstallWatcher)

// An X server of the test's own, so that the titles are those a window manager shows.
class XServer {
public:
    XServer() {
        for (int number = 90; number < 110 && display_.isEmpty(); ++number) {
            if (QFile::exists(QStringLiteral("/tmp/.X11-unix/X%1").arg(number)) ||
                QFile::exists(QStringLiteral("/tmp/.X%1-lock").arg(number)))
                continue;
            server_.start(QStringLiteral("Xvfb"), {QStringLiteral(":%1").arg(number), QStringLiteral("-screen"),
                                                   QStringLiteral("0"), QStringLiteral("1024x768x24"),
                                                   QStringLiteral("-nolisten"), QStringLiteral("tcp")});
            if (!server_.waitForStarted(5000))
                return;
            const QString socket = QStringLiteral("/tmp/.X11-unix/X%1").arg(number);
            if (QTest::qWaitFor([&] { return QFile::exists(socket) || server_.state() != QProcess::Running; }, 10000) &&
                server_.state() == QProcess::Running)
                display_ = QStringLiteral(":%1").arg(number);
        }
    }
    ~XServer() {
        server_.terminate();
        server_.waitForFinished(5000);
    }
    // Empty when no X server could be started.
    const QString& Display() const { return display_; }

private:
    QProcess server_;
    QString display_;
};

// A folder with a copy of this program, so that the program's folder is the test's.
struct ProgramFolder {
    QTemporaryDir dir;
    QString program;
    ProgramFolder() {
        program = dir.filePath(QStringLiteral("velmora-under-test"));
        QFile::copy(QCoreApplication::applicationFilePath(), program);
    }
    // Runs the program there on the X server and returns what the watcher reported, one
    // line each.
    QStringList Run(const XServer& server, int* exitCode) {
        QProcess child;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QString::fromLatin1(kWorkerVariable), QStringLiteral("1"));
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        environment.insert(QStringLiteral("DISPLAY"), server.Display());
        // The settings of a user who has never run the program.
        environment.insert(QStringLiteral("HOME"), dir.filePath(QStringLiteral("home")));
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.filePath(QStringLiteral("home/.config")));
        environment.insert(QStringLiteral("XDG_DATA_HOME"), dir.filePath(QStringLiteral("home/.local/share")));
        child.setProcessEnvironment(environment);
        child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        child.start(program, {});
        if (!child.waitForFinished(60000)) {
            child.kill();
            child.waitForFinished();
        }
        *exitCode = child.exitStatus() == QProcess::NormalExit ? child.exitCode() : -1;
        return QString::fromUtf8(child.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
    }
};

}  // namespace

class ProgramTest : public QObject {
    Q_OBJECT
private slots:
    void startsWithTheMainWindowAndTheCaptionsAsWritten();
    void aMissingCatalogueGivesOneErrorBoxAndNoSplash();
    void aCatalogueInUseIsRefusedAlsoThroughALink();
};

void ProgramTest::startsWithTheMainWindowAndTheCaptionsAsWritten() {
    const XServer server;
    if (server.Display().isEmpty())
        QSKIP("no X server (Xvfb) could be started");
    ProgramFolder folder;
    QVERIFY(CreateCatalogue(folder.dir.filePath(QStringLiteral("dbase")), {QStringLiteral("Installed")}));
    int exitCode = -2;
    const QStringList shown = folder.Run(server, &exitCode);
    // The splash, then the main window once the splash has gone; the boxes opened from
    // the menu carry their own captions, with nothing appended.
    QCOMPARE(shown, (QStringList{"shown splash", "shown main \"Velmora\"", "idle", "shown dialog \"About\"",
                                 "shown dialog \"Options\""}));
    QCOMPARE(exitCode, 0);
}

void ProgramTest::aMissingCatalogueGivesOneErrorBoxAndNoSplash() {
    const XServer server;
    if (server.Display().isEmpty())
        QSKIP("no X server (Xvfb) could be started");
    ProgramFolder folder;
    // A catalogue folder whose package table is missing.
    QVERIFY(CreateCatalogue(folder.dir.filePath(QStringLiteral("dbase")), {}));
    QVERIFY(QFile::remove(folder.dir.filePath(QStringLiteral("dbase/CPInfo.DB"))));
    int exitCode = -2;
    const QStringList shown = folder.Run(server, &exitCode);
    QCOMPARE(shown, (QStringList{"shown splash", "shown box \"Error\": Cannot locate VELM data files"}));
    QCOMPARE(exitCode, 1);
    QVERIFY(!QDir(folder.dir.filePath(QStringLiteral("dbase"))).exists(QStringLiteral("CPInfo.DB")));
}

void ProgramTest::aCatalogueInUseIsRefusedAlsoThroughALink() {
    const XServer server;
    if (server.Display().isEmpty())
        QSKIP("no X server (Xvfb) could be started");
    // A copy running from one folder holds the catalogue; another folder reaches the same
    // catalogue through a link.
    ProgramFolder running;
    const QString data = running.dir.filePath(QStringLiteral("dbase"));
    QVERIFY(CreateCatalogue(data, {}));
    TInstanceLock held(data);
    QCOMPARE(held.TryLock(), TInstanceLock::Result::Locked);
    ProgramFolder other;
    QVERIFY(QFile::link(data, other.dir.filePath(QStringLiteral("dbase"))));
    int exitCode = -2;
    const QStringList shown = other.Run(server, &exitCode);
    // The box's two lines, in the folder the link leads to.
    const QStringList refusal = TInstanceLock::AnotherCopyText(QFileInfo(data).canonicalFilePath()).split(u'\r');
    QCOMPARE(shown, (QStringList{"shown splash", QStringLiteral("shown box \"Error\": ") + refusal.value(0),
                                 refusal.value(1)}));
    QCOMPARE(exitCode, 1);
}

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsSet(kWorkerVariable))
        return RunProgram(argc, argv);
    QApplication app(argc, argv);
    ProgramTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_program.moc"
