// The install status editor over a real catalogue, driven through its grid and
// navigator as a user would: layout and colours, which buttons are enabled where,
// deleting with its question and the in-use guard, adding, editing and posting rows,
// and what closing the dialog leaves in the shared status table.
#include "kit/dialog_colours.h"
#include "kit/settings.h"
#include "browser/component_detail_panel.h"
#include "catalogue/database_error.h"
#include "catalogue/table.h"
#include "status/form_install_status.h"
#include "support/launcher_recorder.h"
#include "support/message_recorder.h"
#include "support/modal_dialog.h"
#include "support/temp_catalogue.h"
#include "widgets/db_grid.h"
#include "widgets/db_lookup_combo_box.h"
#include "widgets/db_navigator.h"

#include <QApplication>
#include <QHeaderView>
#include <QImage>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QToolButton>

#include <memory>

using namespace velm;
using velm::test::AnswerNextModal;
using velm::test::LauncherRecorder;
using velm::test::MessageRecorder;
using velm::test::TempCatalogue;

namespace {

const QString kInUse = QStringLiteral("This status value is in use, so can NOT be deleted !");
const QString kDeleteQuestion = QStringLiteral("Delete record?");

// A catalogue with the five default status values and the dialog shown over it.
struct Fixture {
    TempCatalogue cat;
    MessageRecorder messages;
    std::unique_ptr<TFormInstallStatus> dialog;

    explicit Fixture(bool show = true) {
        dialog = std::make_unique<TFormInstallStatus>(cat.Module());
        if (show) {
            dialog->show();
            QApplication::setActiveWindow(dialog.get());
        }
    }
    bool Active() { return QTest::qWaitForWindowActive(dialog.get()); }
    TTable& Status() { return *cat.Module().TableStatus; }
    TDBGrid* Grid() { return dialog->DBGridInstallStatus(); }
    TDBNavigator* Nav() { return dialog->DBNavigatorStatus(); }
    QToolButton* Btn(TNavigateBtn b) { return Nav()->Button(b); }
    void Click(TNavigateBtn b) { QTest::mouseClick(Btn(b), Qt::LeftButton); }

    QStringList Shown() {
        QStringList rows;
        for (int r = 0; r < Grid()->model()->rowCount(); ++r)
            rows << Grid()->CellText(r, 0);
        return rows;
    }
    void ClickRow(int row) {
        const QRect cell = Grid()->visualRect(Grid()->model()->index(row, 0));
        QTest::mouseClick(Grid()->viewport(), Qt::LeftButton, Qt::NoModifier, cell.center());
    }
    // Keys go to the cell editor once the first one has opened it.
    void Type(const QString& text) {
        for (const QChar c : text) {
            QWidget* target = Grid()->Editor() ? static_cast<QWidget*>(Grid()->Editor()) : Grid();
            QTest::keyClick(target, c.toLatin1());
        }
    }
    void Key(Qt::Key key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
        QWidget* target = Grid()->Editor() ? static_cast<QWidget*>(Grid()->Editor()) : Grid();
        QTest::keyClick(target, key, mods);
    }
    QString Description() { return Status().FieldByName(QStringLiteral("Description"))->AsString(); }
    // What the file holds, read again from disk.
    QStringList Stored() {
        Status().Refresh();
        QStringList rows;
        const TBookmark here = Status().GetBookmark();
        for (Status().First(); !Status().Eof(); Status().Next())
            rows << Description();
        if (here && Status().BookmarkValid(here))
            Status().GotoBookmark(here);
        return rows;
    }
};

QStringList Defaults() { return DefaultStatusValues(); }

// Which navigator buttons are enabled, as a string of 1s and 0s in button order (the
// hidden refresh button left out).
QString Enabled(TDBNavigator* nav) {
    QString marks;
    for (int i = 0; i < kNavigateBtnCount - 1; ++i)
        marks += nav->Button(static_cast<TNavigateBtn>(i))->isEnabled() ? QLatin1Char('1') : QLatin1Char('0');
    return marks;
}

// The rows whose indicator cell carries a mark.
QList<int> MarkedRows(TDBGrid* grid) {
    QHeaderView* indicator = grid->verticalHeader();
    const QImage image = indicator->grab().toImage();
    QList<int> rows;
    for (int row = 0; row < grid->model()->rowCount(); ++row) {
        const int top = indicator->sectionViewportPosition(row);
        bool marked = false;
        for (int y = top; y < top + indicator->sectionSize(row) && y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                marked = marked || qGray(image.pixel(x, y)) < 60;
        if (marked)
            rows << row;
    }
    return rows;
}

}  // namespace

class FormInstallStatusTest : public QObject {
    Q_OBJECT
private slots:
    void init() { Settings() = SettingsRecord(); }
    void layoutColoursHintsAndHelp();
    void navigatorButtonsFollowPositionAndState();
    void deletingAStatusInUseShowsOneMessageAndKeepsTheRow();
    void cancelAtTheDeleteQuestionChangesNothing();
    void deletingEveryUnusedValueEmptiesTheListAndDisablesDelete();
    void addedStatusIsOfferedAtOnceByTheDetailPanel();
    void typingEditsTheRowAndMovingOffPostsIt();
    void escapeCancelsAnEditElseClosesTheDialog();
    void newRowsFromKeysAndTheUnchangedOneIsDroppedOnLeavingTheGrid();
    void anEmptyNewRowPostedGetsAnIdAndNoDescription();
    void closingStoresAPendingEditAndDropsAnUnchangedNewRow();
    void tableFailuresAreReportedAndTheDialogStaysOpen();
};

void FormInstallStatusTest::layoutColoursHintsAndHelp() {
    Settings().PanelColor = 0x102030;
    Settings().MainColor = 0x405060;
    Fixture f;
    LauncherRecorder launcher;
    QCOMPARE(f.dialog->windowTitle(), QStringLiteral("Modify Install Status Values"));
    QCOMPARE(f.dialog->size(), QSize(340, 309));
    QCOMPARE(PanelColour(f.dialog->PanelMain()), ColorRefToQColor(0x102030));
    QCOMPARE(PanelColour(f.dialog->PanelDesc()), ColorRefToQColor(0x405060));
    QCOMPARE(f.dialog->PanelDesc()->geometry(), QRect(8, 8, 321, 257));
    QCOMPARE(f.Grid()->geometry(), QRect(11, 8, 262, 235));
    QCOMPARE(f.Nav()->geometry(), QRect(280, 8, 25, 234));
    QCOMPARE(f.dialog->BitBtnHelp()->geometry(), QRect(150, 272, 91, 25));
    QCOMPARE(f.dialog->BitBtnOK()->geometry(), QRect(246, 272, 81, 25));
    QCOMPARE(f.dialog->BitBtnHelp()->text(), QStringLiteral("&Help"));
    QVERIFY(f.dialog->BitBtnOK()->isDefault());

    // One column of descriptions in table order, white title on the grid's title colour.
    QAbstractItemModel* model = f.Grid()->model();
    QCOMPARE(model->columnCount(), 1);
    QCOMPARE(model->headerData(0, Qt::Horizontal).toString(), QStringLiteral("Description"));
    QCOMPARE(model->headerData(0, Qt::Horizontal, Qt::BackgroundRole).value<QBrush>().color(), QColor(0x40, 0x80, 0x80));
    QCOMPARE(model->headerData(0, Qt::Horizontal, Qt::ForegroundRole).value<QBrush>().color(), QColor(Qt::white));
    QCOMPARE(f.Grid()->columnWidth(0), 200);
    QCOMPARE(f.Shown(), Defaults());

    // Nine picture buttons stacked top to bottom with their hints; refresh is hidden.
    const QStringList hints = {QStringLiteral("First"), QStringLiteral("Previous"), QStringLiteral("Next"),
                               QStringLiteral("Last"), QStringLiteral("Add Status Description"),
                               QStringLiteral("Delete current Status Description"),
                               QStringLiteral("Edit current Status Description"), QStringLiteral("Save changes"),
                               QStringLiteral("Cancel changes"), QStringLiteral("Refresh")};
    QCOMPARE(f.Nav()->Hints(), hints);
    int top = -1;
    for (int i = 0; i < kNavigateBtnCount - 1; ++i) {
        QToolButton* button = f.Btn(static_cast<TNavigateBtn>(i));
        QVERIFY(button->isVisible());
        QVERIFY(!button->icon().isNull());
        QCOMPARE(button->focusPolicy(), Qt::NoFocus);
        QVERIFY(button->geometry().top() > top);
        top = button->geometry().top();
    }
    QVERIFY(!f.Btn(TNavigateBtn::nbRefresh)->isVisible());

    QTest::mouseClick(f.dialog->BitBtnHelp(), Qt::LeftButton);
    QCOMPARE(launcher.helpTopics, QList<int>{400});
    QVERIFY(f.dialog->isVisible());
    QCOMPARE(f.messages.Count(), 0);
}

void FormInstallStatusTest::navigatorButtonsFollowPositionAndState() {
    Fixture f;
    // first prior next last insert delete edit post cancel
    QCOMPARE(Enabled(f.Nav()), QStringLiteral("001111100"));
    QCOMPARE(f.Grid()->currentIndex().row(), 0);
    QCOMPARE(MarkedRows(f.Grid()), QList<int>{0});

    f.Click(TNavigateBtn::nbNext);
    QCOMPARE(Enabled(f.Nav()), QStringLiteral("111111100"));
    QCOMPARE(f.Grid()->currentIndex().row(), 1);
    f.Click(TNavigateBtn::nbLast);
    QCOMPARE(Enabled(f.Nav()), QStringLiteral("110011100"));
    QCOMPARE(f.Grid()->currentIndex().row(), 4);
    QCOMPARE(MarkedRows(f.Grid()), QList<int>{4});
    f.Click(TNavigateBtn::nbPrior);
    QCOMPARE(f.Description(), QStringLiteral("To be evaluated"));
    f.Click(TNavigateBtn::nbFirst);
    QCOMPARE(f.Grid()->currentIndex().row(), 0);
    QCOMPARE(Enabled(f.Nav()), QStringLiteral("001111100"));

    // A click on a row moves the table there, and the buttons follow.
    f.ClickRow(4);
    QCOMPARE(f.Description(), QStringLiteral("Uninstalled"));
    QCOMPARE(Enabled(f.Nav()), QStringLiteral("110011100"));

    f.Click(TNavigateBtn::nbEdit);
    QCOMPARE(f.Status().State(), TDataSetState::Edit);
    QCOMPARE(Enabled(f.Nav()), QStringLiteral("110011011"));
    f.Click(TNavigateBtn::nbCancel);
    QCOMPARE(Enabled(f.Nav()), QStringLiteral("110011100"));

    // A new row is shown below the others and counts as the last one.
    f.ClickRow(1);
    f.Click(TNavigateBtn::nbInsert);
    QCOMPARE(f.Status().State(), TDataSetState::Insert);
    QCOMPARE(f.Shown(), Defaults() << QString());
    QCOMPARE(f.Grid()->currentIndex().row(), 5);
    QCOMPARE(MarkedRows(f.Grid()), QList<int>{5});
    QCOMPARE(Enabled(f.Nav()), QStringLiteral("110011011"));
    f.Click(TNavigateBtn::nbCancel);
    QCOMPARE(f.Shown(), Defaults());
    QCOMPARE(f.Description(), QStringLiteral("Installed"));
    QCOMPARE(f.Grid()->currentIndex().row(), 1);
}

void FormInstallStatusTest::deletingAStatusInUseShowsOneMessageAndKeepsTheRow() {
    Fixture f;
    const qint64 category = f.cat.AddCategory(QStringLiteral("Grids"));
    f.cat.AddPackage(QStringLiteral("Uses installed"), category, 2);
    f.cat.AddPackage(QStringLiteral("No status"), category);
    TTable& packages = *f.cat.Module().TableCPInfo;
    QVERIFY(packages.Locate(QStringLiteral("ProductName"), QStringLiteral("No status"), false));

    // From the navigator: refused before any question is asked.
    f.ClickRow(1);
    f.Click(TNavigateBtn::nbDelete);
    QCOMPARE(f.messages.Count(), 1);
    QCOMPARE(f.messages.shown[0].kind, MessageKind::Error);
    QCOMPARE(f.messages.shown[0].text, kInUse);
    QCOMPARE(f.Shown(), Defaults());
    QCOMPARE(f.Stored(), Defaults());
    QCOMPARE(packages.FieldByName(QStringLiteral("ProductName"))->AsString(), QStringLiteral("No status"));

    // From the grid with Ctrl+Delete: the same single message.
    f.messages.Clear();
    f.ClickRow(1);
    f.Grid()->setFocus();
    f.Key(Qt::Key_Delete, Qt::ControlModifier);
    QCOMPARE(f.messages.Count(), 1);
    QCOMPARE(f.messages.shown[0].text, kInUse);
    QCOMPARE(f.Shown(), Defaults());
    QCOMPARE(packages.FieldByName(QStringLiteral("ProductName"))->AsString(), QStringLiteral("No status"));

    // A value no package uses goes; the row after it becomes current.
    f.messages.Clear();
    f.ClickRow(2);
    f.Click(TNavigateBtn::nbDelete);
    QCOMPARE(f.messages.Count(), 1);
    QStringList left = Defaults();
    left.removeAt(2);
    QCOMPARE(f.Shown(), left);
    QCOMPARE(f.Stored(), left);
    QCOMPARE(f.Description(), QStringLiteral("To be evaluated"));
    QCOMPARE(f.Grid()->currentIndex().row(), 2);
}

void FormInstallStatusTest::cancelAtTheDeleteQuestionChangesNothing() {
    Fixture f;
    f.ClickRow(3);
    f.messages.AnswerNext(false);
    f.Click(TNavigateBtn::nbDelete);
    f.messages.AnswerNext(false);
    f.Key(Qt::Key_Delete, Qt::ControlModifier);
    QCOMPARE(f.messages.Count(), 2);
    QCOMPARE(f.messages.shown[0].text, kDeleteQuestion);
    QCOMPARE(f.messages.shown[1].text, kDeleteQuestion);
    QCOMPARE(f.Stored(), Defaults());
    QCOMPARE(f.Description(), QStringLiteral("To be evaluated"));
}

void FormInstallStatusTest::deletingEveryUnusedValueEmptiesTheListAndDisablesDelete() {
    Fixture f;
    // A package without a status never blocks a delete.
    f.cat.AddPackage(QStringLiteral("No status"), f.cat.AddCategory(QStringLiteral("Grids")));
    for (int i = 0; i < 5; ++i)
        f.Click(TNavigateBtn::nbDelete);
    QCOMPARE(f.messages.Count(), 5);
    QVERIFY(f.Status().IsEmpty());
    QCOMPARE(f.Grid()->model()->rowCount(), 0);
    QCOMPARE(f.Stored(), QStringList());
    QCOMPARE(Enabled(f.Nav()), QStringLiteral("000010100"));

    // Nothing to delete: Ctrl+Delete asks nothing.
    f.Key(Qt::Key_Delete, Qt::ControlModifier);
    QCOMPARE(f.messages.Count(), 5);

    // Down on the empty grid starts a new row.
    f.Key(Qt::Key_Down);
    QCOMPARE(f.Status().State(), TDataSetState::Insert);
    QCOMPARE(f.Grid()->model()->rowCount(), 1);
}

void FormInstallStatusTest::addedStatusIsOfferedAtOnceByTheDetailPanel() {
    TempCatalogue cat;
    MessageRecorder messages;
    TComponentDetailPanel panel(cat.Module());
    auto* list = panel.findChild<TDBLookupComboBox*>(QStringLiteral("RxDBLookupComboInstallStatus"));
    QVERIFY(list);
    QCOMPARE(list->count(), 5);

    bool answered = false;
    AnswerNextModal<TFormInstallStatus>(
        [](TFormInstallStatus* dialog) {
            dialog->DBNavigatorStatus()->BtnClick(TNavigateBtn::nbInsert);
            TDBGrid* grid = dialog->DBGridInstallStatus();
            for (const QChar c : QStringLiteral("Awaiting licence")) {
                QWidget* target = grid->Editor() ? static_cast<QWidget*>(grid->Editor()) : grid;
                QTest::keyClick(target, c.toLatin1());
            }
            dialog->DBNavigatorStatus()->BtnClick(TNavigateBtn::nbPost);
            QTest::mouseClick(dialog->BitBtnOK(), Qt::LeftButton);
        },
        &answered);
    RunInstallStatusDialog(nullptr);
    QVERIFY(answered);
    QCOMPARE(messages.Count(), 0);
    QCOMPARE(list->count(), 6);
    QCOMPARE(list->itemText(5), QStringLiteral("Awaiting licence"));
}

void FormInstallStatusTest::typingEditsTheRowAndMovingOffPostsIt() {
    Fixture f;
    QVERIFY(f.Active());
    f.ClickRow(1);
    f.Grid()->setFocus();
    f.Key(Qt::Key_F2);
    QVERIFY(f.Grid()->Editor());
    QCOMPARE(f.Status().State(), TDataSetState::Browse);  // an open editor alone edits nothing
    f.Grid()->Editor()->selectAll();
    f.Type(QStringLiteral("Installed twice"));
    QCOMPARE(f.Status().State(), TDataSetState::Edit);
    QCOMPARE(Enabled(f.Nav()), QStringLiteral("111111011"));

    // Moving down stores the row and the grid shows the stored text.
    f.Key(Qt::Key_Down);
    QCOMPARE(f.Status().State(), TDataSetState::Browse);
    QCOMPARE(f.Description(), QStringLiteral("Installed and tested"));
    QStringList expected = Defaults();
    expected[1] = QStringLiteral("Installed twice");
    QCOMPARE(f.Shown(), expected);
    QCOMPARE(f.Stored(), expected);

    // A click on another row does the same; an edit that changed nothing stores nothing.
    f.Key(Qt::Key_F2);
    f.Grid()->Editor()->selectAll();
    f.Type(QStringLiteral("Tested"));
    f.ClickRow(4);
    expected[2] = QStringLiteral("Tested");
    QCOMPARE(f.Stored(), expected);
    f.Click(TNavigateBtn::nbEdit);
    f.ClickRow(0);
    QCOMPARE(f.Status().State(), TDataSetState::Browse);
    QCOMPARE(f.Stored(), expected);

    // The navigator's post takes the text still in the editor.
    f.Key(Qt::Key_F2);
    f.Grid()->Editor()->selectAll();
    f.Type(QStringLiteral("Absent"));
    f.Click(TNavigateBtn::nbPost);
    expected[0] = QStringLiteral("Absent");
    QCOMPARE(f.Status().State(), TDataSetState::Browse);
    QVERIFY(!f.Grid()->Editor());
    QCOMPARE(f.Stored(), expected);
    QCOMPARE(f.messages.Count(), 0);
}

void FormInstallStatusTest::escapeCancelsAnEditElseClosesTheDialog() {
    Fixture f;
    QVERIFY(f.Active());
    f.ClickRow(2);
    f.Grid()->setFocus();
    f.Type(QStringLiteral("zzz"));
    QCOMPARE(f.Status().State(), TDataSetState::Edit);
    f.Key(Qt::Key_Escape);
    QCOMPARE(f.Status().State(), TDataSetState::Browse);
    QVERIFY(!f.Grid()->Editor());
    QCOMPARE(f.Shown(), Defaults());

    // Enter ends the cell's editing and stays; Esc cancels the row's edit.
    f.Type(QStringLiteral("yyy"));
    f.Key(Qt::Key_Return);
    QVERIFY(f.dialog->isVisible());
    QCOMPARE(f.Status().State(), TDataSetState::Edit);
    f.Key(Qt::Key_Escape);
    QCOMPARE(f.Status().State(), TDataSetState::Browse);
    QCOMPARE(f.Stored(), Defaults());

    // Outside an edit, Esc closes the dialog; Enter is the OK button.
    f.Key(Qt::Key_Escape);
    QVERIFY(!f.dialog->isVisible());
    QCOMPARE(f.Stored(), Defaults());
    f.dialog->show();
    QVERIFY(f.Active());
    f.Key(Qt::Key_Return);
    QVERIFY(!f.dialog->isVisible());
    QCOMPARE(f.dialog->result(), int(QDialog::Accepted));
}

void FormInstallStatusTest::newRowsFromKeysAndTheUnchangedOneIsDroppedOnLeavingTheGrid() {
    Fixture f;
    QVERIFY(f.Active());
    f.Grid()->setFocus();
    f.Key(Qt::Key_Insert);
    QCOMPARE(f.Status().State(), TDataSetState::Insert);
    QCOMPARE(f.Grid()->model()->rowCount(), 6);

    // Down on a new row that holds nothing adds no other.
    f.Key(Qt::Key_Down);
    QCOMPARE(f.Grid()->model()->rowCount(), 6);
    f.Type(QStringLiteral("Beta"));
    f.Key(Qt::Key_Down);
    QCOMPARE(f.Status().State(), TDataSetState::Insert);
    QCOMPARE(f.Shown(), Defaults() << QStringLiteral("Beta") << QString());
    QCOMPARE(f.Grid()->currentIndex().row(), 6);

    // Leaving the grid drops the unchanged new row.
    f.dialog->BitBtnOK()->setFocus();
    QCOMPARE(f.Status().State(), TDataSetState::Browse);
    QCOMPARE(f.Shown(), Defaults() << QStringLiteral("Beta"));
    QCOMPARE(f.Stored(), Defaults() << QStringLiteral("Beta"));

    // Down on the last stored row appends; the navigator taking no focus keeps it.
    f.Grid()->setFocus();
    f.ClickRow(5);
    f.Key(Qt::Key_Down);
    QCOMPARE(f.Status().State(), TDataSetState::Insert);
    f.Click(TNavigateBtn::nbCancel);
    QCOMPARE(f.Shown(), Defaults() << QStringLiteral("Beta"));
    QCOMPARE(f.Description(), QStringLiteral("Beta"));
}

void FormInstallStatusTest::anEmptyNewRowPostedGetsAnIdAndNoDescription() {
    Fixture f;
    f.Click(TNavigateBtn::nbInsert);
    f.Click(TNavigateBtn::nbPost);
    QCOMPARE(f.Status().State(), TDataSetState::Browse);
    QCOMPARE(f.Stored(), Defaults() << QString());
    QVERIFY(f.Status().FieldByName(QStringLiteral("Description"))->IsNull());
    QCOMPARE(f.Status().FieldByName(QStringLiteral("ID"))->AsInteger(), 6);
    QCOMPARE(f.Grid()->currentIndex().row(), 5);
}

void FormInstallStatusTest::closingStoresAPendingEditAndDropsAnUnchangedNewRow() {
    {
        Fixture f;
        f.ClickRow(4);
        f.Grid()->setFocus();
        f.Type(QStringLiteral("Removed"));
        QTest::mouseClick(f.dialog->BitBtnOK(), Qt::LeftButton);
        QVERIFY(!f.dialog->isVisible());
        QCOMPARE(f.Status().State(), TDataSetState::Browse);
        QStringList expected = Defaults();
        expected[4] = QStringLiteral("Removed");
        QCOMPARE(f.Stored(), expected);
    }
    {
        Fixture f;
        f.Click(TNavigateBtn::nbInsert);
        f.dialog->close();  // the close box
        QVERIFY(!f.dialog->isVisible());
        QCOMPARE(f.Status().State(), TDataSetState::Browse);
        QCOMPARE(f.Stored(), Defaults());
        QCOMPARE(f.messages.Count(), 0);
    }
}

void FormInstallStatusTest::tableFailuresAreReportedAndTheDialogStaysOpen() {
    Fixture f;
    TTable& status = f.Status();
    const auto guard = status.BeforeDelete;
    // The guard's check before the question passes; the delete itself fails.
    int runs = 0;
    status.BeforeDelete = [&runs](TTable&) {
        if (++runs > 1)
            throw EDatabaseError(QStringLiteral("Table is busy"));
    };
    f.Click(TNavigateBtn::nbDelete);
    status.BeforeDelete = guard;
    QCOMPARE(f.messages.Count(), 2);
    QCOMPARE(f.messages.Last().kind, MessageKind::DefaultError);
    QCOMPARE(f.messages.Last().text, QStringLiteral("Table is busy."));
    QCOMPARE(f.Shown(), Defaults());
    QVERIFY(f.dialog->isVisible());
}

QTEST_MAIN(FormInstallStatusTest)
#include "test_form_install_status.moc"
