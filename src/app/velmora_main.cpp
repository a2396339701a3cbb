// Program entry: start-up in its fixed order, the main loop, shutdown in reverse.
#include "app/application.h"
#include "app/instance_lock.h"
#include "app/messages.h"
#include "app/splash_window.h"
#include "browser/form_main.h"
#include "catalogue/data_module.h"
#include "catalogue/database_error.h"
#include "import/form_msg_dlg.h"

#include <QDir>

#include <memory>

int main(int argc, char** argv) {
    velm::TApplication app(argc, argv);

    // 1. The splash is on screen before any other work.
    auto splash = std::make_unique<velm::TSplashWindow>();
    splash->ShowAndPaint();

    // 2. Title and help file.
    QApplication::setApplicationName(QStringLiteral("Velmora"));
    QApplication::setApplicationDisplayName(velm::ApplicationTitle());
    const QString programFolder = QDir(QCoreApplication::applicationDirPath()).absolutePath() + QLatin1Char('/');

    // One copy per catalogue: a second one says so and ends.
    velm::TInstanceLock instanceLock(programFolder);
    if (instanceLock.TryLock() == velm::TInstanceLock::Result::HeldByAnotherCopy) {
        splash.reset();
        velm::ShowError(velm::TInstanceLock::AnotherCopyText(programFolder));
        return 1;
    }

    // 3. The data module comes before every window: their controls bind to it.
    auto dataModule = std::make_unique<velm::TDMvelm>(programFolder);
    velm::DMvelm = dataModule.get();
    try {
        if (!dataModule->Open())
            return 1;
    } catch (const std::exception& error) {
        // Without its tables the catalogue cannot work: report the engine's message and end.
        splash.reset();
        velm::ReportException(error);
        return 1;
    }

    // 4. The main window: the first window created, whose closing ends the program.
    auto mainWindow = std::make_unique<velm::TFormMain>(programFolder);
    // 5. The category-choice dialog lives for the run, so its remembered answers last.
    auto messageDialog = std::make_unique<velm::TFormMsgDlg>();
    velm::FormMsgDlg = messageDialog.get();
    // 6.
    splash->finish(mainWindow.get());
    splash.reset();

    // 7. The main loop.
    mainWindow->show();
    const int result = QApplication::exec();

    // Shutdown in reverse order of creation.
    messageDialog.reset();
    mainWindow.reset();
    dataModule.reset();
    return result;
}
