#include "app/program.h"

#include "app/application.h"
#include "app/catalogue_location.h"
#include "kit/command_guard.h"
#include "app/command_line.h"
#include "app/indexing_progress.h"
#include "app/instance_lock.h"
#include "kit/messages.h"
#include "kit/launcher.h"
#include "kit/shipped_files.h"
#include "app/shown_and_idle.h"
#include "app/splash_window.h"
#include "browser/form_main.h"
#include "catalogue/data_module.h"
#include "catalogue/database_error.h"
#include "import/form_msg_dlg.h"
#include "viewer/reading_windows.h"

#include <QDir>
#include <QFileInfo>
#include <QTimer>
#include <QStatusBar>

#include <cstdio>
#include <memory>

namespace velm {

namespace {

void Print(std::FILE* stream, const QString& text) {
    std::fputs(text.toLocal8Bit().constData(), stream);
    std::fflush(stream);
}

}  // namespace

int RunProgram(int argc, char** argv) {
    // --help and --version are answered before the application object exists: they open
    // no window and need no display.
    const QString programName = argc > 0 ? QFileInfo(QString::fromLocal8Bit(argv[0])).fileName() : QString();
    QStringList rawArguments;
    for (int i = 1; i < argc; ++i)
        rawArguments << QString::fromLocal8Bit(argv[i]);
    const TCommandLine asked = ParseCommandLine(rawArguments);
    if (asked.showHelp) {
        Print(stdout, CommandLineHelp(programName));
        return 0;
    }
    if (asked.showVersion) {
        Print(stdout, VersionText());
        return 0;
    }

    TApplication app(argc, argv);
    // Help pages and archive members open in the program's own reading windows.
    SetDefaultLauncher(&ReadingWindows());
    // What remains once Qt has taken its own options must all be ours.
    const TCommandLine commandLine = ParseCommandLine(QCoreApplication::arguments().mid(1));
    if (!commandLine.unknown.isEmpty()) {
        Print(stderr, UnknownArgumentText(programName, commandLine.unknown.constFirst()));
        return 2;
    }

    // The splash is on screen before any other work.
    auto splash = std::make_unique<TSplashWindow>();
    splash->ShowAndPaint();

    // Title and help file. The title is the caption of the program's own boxes; it is
    // not Qt's display name, which Qt would append to every window's caption.
    QApplication::setApplicationName(QStringLiteral("Velmora"));
    QGuiApplication::setDesktopFileName(QStringLiteral("org.velmora.Velmora"));
    // The folder that holds the catalogue and Tmp/ stands for the program folder from
    // here on: beside the program when it is portable, else the user's own.
    const TCatalogueLocation catalogue = LocateCatalogue(RunningProgramFolder());
    if (!catalogue.Failure.isEmpty()) {
        splash.reset();
        ShowError(catalogue.Failure);
        return 1;
    }
    const QString programFolder = catalogue.Folder;

    // One copy per catalogue, however it is reached: a second one says so and ends.
    TInstanceLock instanceLock(catalogue.DataFolder());
    if (instanceLock.TryLock() == TInstanceLock::Result::HeldByAnotherCopy) {
        splash.reset();
        ShowError(TInstanceLock::AnotherCopyText(instanceLock.Folder()));
        return 1;
    }

    // The data module comes before every window: their controls bind to it.
    auto dataModule = std::make_unique<TDMvelm>(programFolder);
    DMvelm = dataModule.get();
    // A missing catalogue ends the program with one message; the splash must not stay
    // up behind it.
    if (!dataModule->DataFilesPresent())
        splash.reset();
    try {
        // An older catalogue, or one another program changed, has its texts indexed now.
        TIndexingProgress indexing;
        if (!dataModule->Open(indexing.Callback())) {
            ShowError(TDMvelm::MissingFilesText());
            return 1;
        }
    } catch (const std::exception& error) {
        // Without its tables the catalogue cannot work: report the engine's message and end.
        splash.reset();
        ReportException(error);
        return 1;
    }

    // The main window: the first window created, whose closing ends the program.
    auto mainWindow = std::make_unique<TFormMain>(programFolder);
    // The category-choice dialog lives for the run, so its remembered answers last.
    auto messageDialog = std::make_unique<TFormMsgDlg>();
    FormMsgDlg = messageDialog.get();
    // The splash goes at once; waiting for the main window to be exposed first would
    // only hold the start up, since the window is shown after it.
    splash.reset();

    mainWindow->show();
    if (catalogue.CreatedFresh) {
        mainWindow->statusBar()->showMessage(FreshCatalogueNotice(catalogue));
        qInfo().noquote() << FreshCatalogueNotice(catalogue);
    }

    // What could wait is done once the window is on screen and idle: the package
    // table's fields that neither the tree nor any index needs. It runs in the next turn
    // of the event loop, not inside the loop's own signal.
    WhenShownAndIdle(mainWindow.get(), [&commandLine, window = mainWindow.get(), module = dataModule.get()] {
        if (commandLine.quitWhenIdle)
            Print(stdout, QStringLiteral("Main window shown and idle\n"));
        QTimer::singleShot(0, window, [&commandLine, window, module] {
            RunCommand([module] { module->LoadDeferredFields(); });
            // The ordinary close, as if the user closed the window once the start-up is done.
            if (commandLine.quitWhenIdle)
                window->close();
        });
    });
    const int result = QApplication::exec();

    // Shutdown in reverse order of creation.
    messageDialog.reset();
    FormMsgDlg = nullptr;
    mainWindow.reset();
    dataModule.reset();
    return result;
}

}  // namespace velm
