// The one guard for long work on a window, on a window of its own: what happens to input
// that arrives during the work, to drops, to a close, and to work started meanwhile.
#include "kit/work_guard.h"
#include "support/user_input.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QTest>
#include <QVBoxLayout>

using namespace velm;

namespace {

// A window with a text box and a drop target; closing it is counted.
class Window : public QWidget {
public:
    Window() {
        auto* layout = new QVBoxLayout(this);
        edit = new QLineEdit(this);
        target = new QPushButton(QStringLiteral("drop here"), this);
        layout->addWidget(edit);
        layout->addWidget(target);
        guard = new TWorkGuard(this, target);
    }
    QLineEdit* edit;
    QPushButton* target;
    TWorkGuard* guard;
    int closes = 0;

protected:
    void closeEvent(QCloseEvent* event) override {
        if (guard->PostponeClose()) {
            event->ignore();
            return;
        }
        ++closes;
        event->accept();
    }
};

}  // namespace

class WorkGuardTest : public QObject {
    Q_OBJECT
private slots:
    void inputDuringTheWorkIsDroppedEvenWhenItComesOnlyAtTheEnd();
    void keptActionsRunAfterTheWorkOneAtATime();
    void aCloseWaitsAndStopsTheWork();
    void workNeverRunsNested();
};

void WorkGuardTest::inputDuringTheWorkIsDroppedEvenWhenItComesOnlyAtTheEnd() {
    Window window;
    QVERIFY(velm::test::ShowAndActivate(&window));
    window.edit->setFocus();
    window.guard->Run([&] {
        // Typed while the work gave the event loop no turn: the keys wait in the queue.
        for (const char c : {'a', 'b'}) {
            QCoreApplication::postEvent(window.edit, new QKeyEvent(QEvent::KeyPress, Qt::Key_A + (c - 'a'),
                                                                   Qt::NoModifier, QString(QLatin1Char(c))));
        }
        QCOMPARE(window.edit->text(), QString());
    });
    QCoreApplication::processEvents();
    QCOMPARE(window.edit->text(), QString());
    // Afterwards the window takes input again.
    velm::test::Type(&window, QStringLiteral("c"));
    QCOMPARE(window.edit->text(), QStringLiteral("c"));
}

void WorkGuardTest::keptActionsRunAfterTheWorkOneAtATime() {
    Window window;
    QVERIFY(velm::test::ShowAndActivate(&window));
    QStringList log;
    window.guard->Run([&] {
        window.guard->AfterWork([&] {
            log << QStringLiteral("first begins");
            // An action that runs work of its own and lets the event loop run in it:
            // the second action still waits for it.
            window.guard->Run([&] { QCoreApplication::processEvents(); });
            QCoreApplication::processEvents();
            log << QStringLiteral("first ends");
        });
        window.guard->AfterWork([&] { log << QStringLiteral("second"); });
        QCoreApplication::processEvents();
        log << QStringLiteral("work ends");
    });
    QTRY_COMPARE(log, (QStringList{"work ends", "first begins", "first ends", "second"}));
}

void WorkGuardTest::aCloseWaitsAndStopsTheWork() {
    Window window;
    QVERIFY(velm::test::ShowAndActivate(&window));
    bool stopped = false;
    bool openDuringWork = false;
    window.guard->Run(
        [&] {
            window.close();
            openDuringWork = window.isVisible() && window.closes == 0;
            window.guard->AfterWork([] { QFAIL("an action kept while the window closes must not run"); });
        },
        [&stopped] { stopped = true; });
    QVERIFY(openDuringWork);
    QVERIFY(stopped);
    QTRY_VERIFY(!window.isVisible());
    QCOMPARE(window.closes, 1);
}

void WorkGuardTest::workNeverRunsNested() {
    Window window;
    bool inner = false;
    bool refused = false;
    QVERIFY(window.guard->Run([&] {
        QVERIFY(window.guard->Busy());
        refused = !window.guard->Run([&] { inner = true; });
    }));
    QVERIFY(refused);
    QVERIFY(!inner);
    QVERIFY(!window.guard->Busy());
    // A failure of the work passes through and leaves the guard free.
    QVERIFY_THROWS_EXCEPTION(std::runtime_error,
                             window.guard->Run([] { throw std::runtime_error("the work failed"); }));
    QVERIFY(!window.guard->Busy());
    QVERIFY(window.guard->Run([] {}));
}

QTEST_MAIN(WorkGuardTest)
#include "test_work_guard.moc"
