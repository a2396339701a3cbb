#include "app/program.h"

#include "app/application.h"
#include "app/catalogue_location.h"
#include "app/instance_lock.h"
#include "app/messages.h"
#include "app/shipped_files.h"
#include "app/splash_window.h"
#include "browser/form_main.h"
#include "catalogue/data_module.h"
#include "catalogue/database_error.h"
#include "import/form_msg_dlg.h"

#include <QDir>
#include <QStatusBar>

#include <memory>

namespace velm {

int RunProgram(int argc, char** argv) {
    TApplication app(argc, argv);

    // 1. The splash is on screen before any other work.
    auto splash = std::make_unique<TSplashWindow>();
    splash->ShowAndPaint();

    // 2. Title and help file. The title is the caption of the program's own boxes; it is
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

    // One copy per catalogue: a second one says so and ends.
    TInstanceLock instanceLock(programFolder);
    if (instanceLock.TryLock() == TInstanceLock::Result::HeldByAnotherCopy) {
        splash.reset();
        ShowError(TInstanceLock::AnotherCopyText(programFolder));
        return 1;
    }

    // 3. The data module comes before every window: their controls bind to it.
    auto dataModule = std::make_unique<TDMvelm>(programFolder);
    DMvelm = dataModule.get();
    // A missing catalogue ends the program with one message; the splash must not stay
    // up behind it.
    if (!dataModule->DataFilesPresent())
        splash.reset();
    try {
        if (!dataModule->Open())
            return 1;
    } catch (const std::exception& error) {
        // Without its tables the catalogue cannot work: report the engine's message and end.
        splash.reset();
        ReportException(error);
        return 1;
    }

    // 4. The main window: the first window created, whose closing ends the program.
    auto mainWindow = std::make_unique<TFormMain>(programFolder);
    // 5. The category-choice dialog lives for the run, so its remembered answers last.
    auto messageDialog = std::make_unique<TFormMsgDlg>();
    FormMsgDlg = messageDialog.get();
    // 6. The splash goes at once; waiting for the main window to be exposed first would
    // only hold the start up, since the window is shown after it.
    splash.reset();

    // 7. The main loop.
    mainWindow->show();
    if (catalogue.CreatedFresh) {
        mainWindow->statusBar()->showMessage(FreshCatalogueNotice(catalogue));
        qInfo().noquote() << FreshCatalogueNotice(catalogue);
    }
    const int result = QApplication::exec();

    // Shutdown in reverse order of creation.
    messageDialog.reset();
    FormMsgDlg = nullptr;
    mainWindow.reset();
    dataModule.reset();
    return result;
}

}  // namespace velm
