// The help window: where pages are found, links with Back and Forward, a missing page,
// every dialog's Help button and Help > Contents, and the program's end while it is open.
#include "viewer/form_help.h"
#include "viewer/reading_windows.h"
#include "browser/form_options.h"
#include "kit/launcher.h"
#include "kit/settings.h"
#include "kit/shipped_files.h"
#include "browser/form_main.h"
#include "catdesc/form_import_cat_des.h"
#include "import/form_moveto_category.h"
#include "import/zip_builder.h"
#include "status/form_install_status.h"
#include "support/modal_dialog.h"
#include "support/temp_catalogue.h"
#include "support/user_input.h"
#include "viewer/form_view_zip.h"

#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTimer>
#include <QToolButton>

using namespace velm;
using velm::test::AnswerNextModal;
using velm::test::TempCatalogue;
using velm::test::ZipBuilder;

namespace {

const QString kHelpPages = QDir::cleanPath(QStringLiteral(VELMORA_TEST_DATA "/../../help"));

QString PageName(const TFormHelp* window) { return QFileInfo(window->PagePath()).fileName(); }

// The middle of the first link to href on the page, in the browser's viewport.
QPoint LinkPoint(QTextBrowser* browser, const QString& href) {
    QTextDocument* document = browser->document();
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            if (fragment.charFormat().anchorHref() == href) {
                QTextCursor cursor(document);
                cursor.setPosition(fragment.position() + fragment.length() / 2);
                return browser->cursorRect(cursor).center();
            }
        }
    }
    return {-1, -1};
}

void ClickLink(TFormHelp* window, const QString& href) {
    QTextBrowser* browser = window->TextBrowserHelp();
    const QPoint point = LinkPoint(browser, href);
    QVERIFY2(browser->viewport()->rect().contains(point), qPrintable(href));
    QTest::mouseClick(browser->viewport(), Qt::LeftButton, {}, point);
}

// The same click delivered to the window as the window system delivers it, so that a
// window blocked by a modal dialog would not get it.
void ClickLinkThroughTheWindowSystem(TFormHelp* window, const QString& href) {
    QTextBrowser* browser = window->TextBrowserHelp();
    const QPoint point = LinkPoint(browser, href);
    QVERIFY2(browser->viewport()->rect().contains(point), qPrintable(href));
    QTest::mouseClick(window->windowHandle(), Qt::LeftButton, {}, browser->viewport()->mapTo(window, point));
}

}  // namespace

class FormHelpTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void pagesAreFoundInTheInstallBeforeTheProgramFolder();
    void linksBackAndForwardMoveBetweenTopics();
    void missingPageSaysWhereItWasLookedFor();
    void everyHelpButtonOpensItsTopicAndHelpStaysUsable_data();
    void everyHelpButtonOpensItsTopicAndHelpStaysUsable();
    void helpContentsFromTheMenuBar();
    void closingTheMainWindowEndsTheProgramWithHelpOpen();
};

void FormHelpTest::initTestCase() {
    QVERIFY(QFileInfo(kHelpPages + QStringLiteral("/index.html")).isFile());
    // The program's own windows, as the program installs them.
    SetDefaultLauncher(&ReadingWindows());
}

void FormHelpTest::init() {
    SetHelpFolders({kHelpPages});
    HelpWindow()->hide();
}

void FormHelpTest::pagesAreFoundInTheInstallBeforeTheProgramFolder() {
    QTemporaryDir root;
    const QString bin = root.filePath(QStringLiteral("usr/bin/"));
    const QString share = root.filePath(QStringLiteral("usr/share/velmora/"));
    for (const QString& path : {share + "help/430.html", bin + "help/430.html", bin + "help/410.html"}) {
        QVERIFY(QDir().mkpath(QFileInfo(path).absolutePath()));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    QCOMPARE(ShippedFileFolders(bin), (QStringList{root.filePath(QStringLiteral("usr/share/velmora")),
                                                   root.filePath(QStringLiteral("usr/bin"))}));
    QCOMPARE(FindShippedFile(bin, QStringLiteral("help/430.html")), share + QStringLiteral("help/430.html"));
    QCOMPARE(FindShippedFile(bin, QStringLiteral("help/410.html")), bin + QStringLiteral("help/410.html"));
    QCOMPARE(FindShippedFile(bin, QStringLiteral("help/400.html")), QString());

    // The program's own search: the running program's share folder, then beside it.
    SetHelpFolders({});
    QStringList expected;
    for (const QString& folder : ShippedFileFolders(RunningProgramFolder()))
        expected << folder + QStringLiteral("/help");
    QCOMPARE(HelpFolders(), expected);
    SetHelpFolders({share + "help", bin + "help"});
    QCOMPARE(FindHelpPage(430), share + QStringLiteral("help/430.html"));
    QCOMPARE(FindHelpPage(410), bin + QStringLiteral("help/410.html"));
    QCOMPARE(FindHelpPage(kHelpContentsTopic), QString());
}

void FormHelpTest::linksBackAndForwardMoveBetweenTopics() {
    TFormHelp* window = HelpWindow();
    window->ShowTopic(kHelpContentsTopic);
    QVERIFY(QTest::qWaitForWindowExposed(window));
    QCOMPARE(PageName(window), QStringLiteral("index.html"));
    QCOMPARE(window->windowTitle(), QStringLiteral("Velmora help: contents"));
    QVERIFY(!window->ButtonBack()->isEnabled());
    QVERIFY(!window->ButtonForward()->isEnabled());

    ClickLink(window, QStringLiteral("430.html"));
    QCOMPARE(PageName(window), QStringLiteral("430.html"));
    QCOMPARE(window->windowTitle(), QStringLiteral("Velmora help: Options"));
    QVERIFY(window->ButtonBack()->isEnabled());

    QTest::mouseClick(window->ButtonBack(), Qt::LeftButton);
    QCOMPARE(PageName(window), QStringLiteral("index.html"));
    QVERIFY(window->ButtonForward()->isEnabled());
    QTest::mouseClick(window->ButtonForward(), Qt::LeftButton);
    QCOMPARE(PageName(window), QStringLiteral("430.html"));
    QVERIFY(!window->ButtonForward()->isEnabled());

    // Each topic page leads back to the contents; so does the Contents button.
    ClickLink(window, QStringLiteral("index.html"));
    QCOMPARE(PageName(window), QStringLiteral("index.html"));
    ClickLink(window, QStringLiteral("220.html"));
    QCOMPARE(PageName(window), QStringLiteral("220.html"));
    QTest::mouseClick(window->ButtonContents(), Qt::LeftButton);
    QCOMPARE(PageName(window), QStringLiteral("index.html"));

    // The keys of a browser: Alt+Left goes back.
    QTest::keyClick(window->TextBrowserHelp(), Qt::Key_Left, Qt::AltModifier);
    QCOMPARE(PageName(window), QStringLiteral("220.html"));

    // A link within the page scrolls to its section and stays on the page.
    window->ShowTopic(kHelpContentsTopic);
    ClickLink(window, QStringLiteral("#files"));
    QCOMPARE(PageName(window), QStringLiteral("index.html"));
    QVERIFY(window->TextBrowserHelp()->verticalScrollBar()->value() > 0);
}

void FormHelpTest::missingPageSaysWhereItWasLookedFor() {
    QTemporaryDir first, second;
    SetHelpFolders({first.path(), second.path()});
    TFormHelp* window = HelpWindow();
    window->ShowTopic(410);
    QVERIFY(window->isVisible());
    QCOMPARE(window->PagePath(), QString());
    QCOMPARE(window->windowTitle(), QStringLiteral("Velmora Help"));
    const QString text = window->TextBrowserHelp()->toPlainText();
    QVERIFY2(text.contains(QStringLiteral("The help page 410.html is not installed")), qPrintable(text));
    QVERIFY(text.contains(first.path()) && text.contains(second.path()));

    // Once the pages are there, the same window shows them.
    SetHelpFolders({kHelpPages});
    window->ShowTopic(410);
    QCOMPARE(PageName(window), QStringLiteral("410.html"));
    QVERIFY(!window->TextBrowserHelp()->toPlainText().contains(QStringLiteral("not installed")));
}

void FormHelpTest::everyHelpButtonOpensItsTopicAndHelpStaysUsable_data() {
    QTest::addColumn<QString>("dialogKind");
    QTest::addColumn<int>("topic");
    QTest::newRow("options") << "options" << 430;
    QTest::newRow("archive contents") << "viewer" << 410;
    QTest::newRow("install status values") << "status" << 400;
    QTest::newRow("move to category") << "move" << 350;
    QTest::newRow("category descriptions") << "catdesc" << 220;
}

void FormHelpTest::everyHelpButtonOpensItsTopicAndHelpStaysUsable() {
    QFETCH(QString, dialogKind);
    QFETCH(int, topic);
    TempCatalogue cat;
    cat.AddCategory(QStringLiteral("Grids"));
    QTemporaryDir files;
    Settings() = DefaultSettings(files.path());

    std::unique_ptr<QDialog> dialog;
    if (dialogKind == QLatin1String("options")) {
        dialog = std::make_unique<TFormOptions>();
    } else if (dialogKind == QLatin1String("viewer")) {
        auto viewer = std::make_unique<TFormViewZip>();
        viewer->ZipName = files.filePath(QStringLiteral("pkg.zip"));
        viewer->TmpDir = files.path() + QLatin1Char('/');
        QVERIFY(ZipBuilder().Add("readme.txt", "hello").WriteTo(viewer->ZipName));
        dialog = std::move(viewer);
    } else if (dialogKind == QLatin1String("status")) {
        dialog = std::make_unique<TFormInstallStatus>(cat.Module());
    } else if (dialogKind == QLatin1String("move")) {
        dialog = std::make_unique<TFormMovetoCategory>();
    } else {
        dialog = std::make_unique<TFormImportCatDes>();
    }

    QString pageOpened, pageAfterLink;
    bool helpShown = false, dialogStayed = false, answered = false;
    AnswerNextModal<QDialog>(
        [&](QDialog* shown) {
            auto* help = shown->findChild<QPushButton*>(QStringLiteral("BitBtnHelp"));
            QVERIFY(help);
            QTest::mouseClick(help, Qt::LeftButton);
            TFormHelp* window = HelpWindow();
            helpShown = window->isVisible() && QTest::qWaitForWindowExposed(window);
            pageOpened = PageName(window);
            dialogStayed = shown->isVisible();
            // The dialog is modal, yet the help can be read: its links are followed.
            ClickLinkThroughTheWindowSystem(window, QStringLiteral("index.html"));
            pageAfterLink = PageName(window);
            shown->reject();
        },
        &answered);
    dialog->exec();
    QVERIFY(answered);
    QVERIFY(helpShown);
    QVERIFY(dialogStayed);
    QCOMPARE(pageOpened, QStringLiteral("%1.html").arg(topic));
    QCOMPARE(pageAfterLink, QStringLiteral("index.html"));
}

void FormHelpTest::helpContentsFromTheMenuBar() {
    TempCatalogue cat;
    TFormMain window(cat.ProgramFolder());
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    auto* menuBar = window.findChild<QMenuBar*>(QStringLiteral("MainMenu"));
    auto* helpMenu = window.findChild<QMenu*>(QStringLiteral("MenuHelp"));
    auto* contents = window.findChild<QAction*>(QStringLiteral("HelpContents"));
    QVERIFY(menuBar && helpMenu && contents);

    QTest::mouseClick(menuBar, Qt::LeftButton, {}, menuBar->actionGeometry(helpMenu->menuAction()).center());
    QVERIFY(QTest::qWaitForWindowExposed(helpMenu));
    QTest::mouseClick(helpMenu, Qt::LeftButton, {}, helpMenu->actionGeometry(contents).center());
    QTRY_VERIFY(HelpWindow()->isVisible());
    QCOMPARE(PageName(HelpWindow()), QStringLiteral("index.html"));
    // Wholly on the asking window's screen: 720 x 620 is cut to an 800 x 600 one.
    const auto onScreenOf = [](const QWidget* asker) {
        const QScreen* screen = asker->screen();
        return HelpWindow()->screen() == screen && screen->availableGeometry().contains(HelpWindow()->frameGeometry());
    };
    QVERIFY(onScreenOf(&window));
    // Escape closes it.
    QVERIFY(QTest::qWaitForWindowActive(HelpWindow()));
    QTest::keyClick(HelpWindow()->windowHandle(), Qt::Key_Escape);
    QVERIFY(!HelpWindow()->isVisible());

    // Asked from a window on the large screen beside it: there, at full size.
    QScreen* large = QGuiApplication::screens().last();
    window.setScreen(large);
    window.move(large->availableGeometry().topLeft() + QPoint(30, 30));
    QVERIFY(velm::test::ShowAndActivate(&window));
    QTest::mouseClick(menuBar, Qt::LeftButton, {}, menuBar->actionGeometry(helpMenu->menuAction()).center());
    QVERIFY(QTest::qWaitForWindowExposed(helpMenu));
    QTest::mouseClick(helpMenu, Qt::LeftButton, {}, helpMenu->actionGeometry(contents).center());
    QTRY_VERIFY(HelpWindow()->isVisible());
    QVERIFY(onScreenOf(&window));
    QCOMPARE(HelpWindow()->size(), QSize(720, 620));
    window.close();
}

// Last: it runs the application's own loop to its end.
void FormHelpTest::closingTheMainWindowEndsTheProgramWithHelpOpen() {
    TempCatalogue cat;
    auto* mainWindow = new TFormMain(cat.ProgramFolder());
    mainWindow->setAttribute(Qt::WA_DeleteOnClose);
    mainWindow->show();
    QPointer<TFormHelp> help = HelpWindow();
    help->ShowTopic(kHelpContentsTopic);
    QVERIFY(QTest::qWaitForWindowExposed(help));

    QTimer::singleShot(0, mainWindow, [mainWindow] { mainWindow->close(); });
    // A loop that did not end by itself is ended with another code.
    QTimer guard;
    guard.setSingleShot(true);
    connect(&guard, &QTimer::timeout, qApp, [] { QCoreApplication::exit(2); });
    guard.start(20000);
    QCOMPARE(QApplication::exec(), 0);
    // The window went with the loop; no top-level window is left behind.
    QVERIFY(help.isNull());
}

QTEST_MAIN(FormHelpTest)
#include "test_form_help.moc"
