// The two dialogs that ask for a category, driven as a user would: the answers that
// TFormMsgDlg keeps for the run, and the move dialog's full list, its filter restore,
// its result on OK and Cancel, and its help topic.
#include "kit/settings.h"
#include "catalogue/table.h"
#include "import/form_moveto_category.h"
#include "import/form_msg_dlg.h"
#include "support/launcher_recorder.h"
#include "support/modal_dialog.h"
#include "support/temp_catalogue.h"
#include "support/user_input.h"

#include <QCheckBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QTest>

using namespace velm;
using velm::test::AnswerNextModal;
using velm::test::LauncherRecorder;
using velm::test::TempCatalogue;

namespace {

QColor PanelColour(QWidget* dialog, const char* name) {
    auto* panel = dialog->findChild<QWidget*>(QString::fromLatin1(name));
    return panel ? panel->palette().color(QPalette::Window) : QColor();
}

QStringList GridTexts(const QTableWidget* grid) {
    QStringList texts;
    for (int row = 0; row < grid->rowCount(); ++row)
        texts << grid->item(row, 0)->text();
    return texts;
}

// Shows the dialog modally and lets the answer act on it; returns exec's result.
template <typename T>
int Run(T& dialog, std::function<void(T*)> answer) {
    bool answered = false;
    AnswerNextModal<T>(std::move(answer), &answered);
    const int result = dialog.exec();
    if (!answered)
        QTest::qFail("the dialog was never answered", __FILE__, __LINE__);
    return result;
}

}  // namespace

class CategoryDialogsTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void msgDlgStartsWithTheSelectedCategoryAndItsTexts();
    void msgDlgRemembersAnswersGivenWithOk();
    void msgDlgClosedWithoutOkKeepsThePreviousAnswers();
    void msgDlgTakesTheColoursAgainAtEveryShowing();
    void moveDialogListsEveryCategoryAndRestoresTheFilter();
    void moveDialogOkHandsBackTheSelectedCategory();
    void moveDialogCancelLeavesNothingChosen();
    void moveDialogWithoutCategoriesOffersNoOk();
    void moveDialogHelpOpensItsTopic();
    void moveDialogKeysPressTheFocusedButton();
};

void CategoryDialogsTest::init() { Settings() = SettingsRecord(); }

void CategoryDialogsTest::msgDlgStartsWithTheSelectedCategoryAndItsTexts() {
    TFormMsgDlg dialog;
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Confirmation"));
    QVERIFY(!dialog.DontShowAgain);
    QVERIFY(dialog.UseSelectedCategory);
    QVERIFY(dialog.RadioButtonUseSelected()->isChecked());
    QVERIFY(!dialog.CheckBoxDontShowAgain()->isChecked());
    QCOMPARE(dialog.findChildren<QPushButton*>().size(), 1);

    dialog.SetTexts(QStringLiteral("GridPack"), QStringLiteral("Grids"));
    QString comp, category;
    const int result = Run<TFormMsgDlg>(dialog, [&](TFormMsgDlg* shown) {
        comp = shown->StaticTextComp()->text();
        category = shown->StaticTextCategory()->text();
        shown->BitBtnOK()->click();
    });
    QCOMPARE(result, int(QDialog::Accepted));
    QCOMPARE(comp, QStringLiteral("GridPack"));
    QCOMPARE(category, QStringLiteral("Grids"));
    QVERIFY(!dialog.DontShowAgain);
    QVERIFY(dialog.UseSelectedCategory);
}

void CategoryDialogsTest::msgDlgRemembersAnswersGivenWithOk() {
    TFormMsgDlg dialog;
    Run<TFormMsgDlg>(dialog, [](TFormMsgDlg* shown) {
        shown->RadioButtonSelectFromList()->click();
        shown->CheckBoxDontShowAgain()->click();
        shown->BitBtnOK()->click();
    });
    QVERIFY(dialog.DontShowAgain);
    QVERIFY(!dialog.UseSelectedCategory);

    // The next showing starts with the previous choice, and Enter confirms it again.
    bool fromList = false, ticked = false;
    Run<TFormMsgDlg>(dialog, [&](TFormMsgDlg* shown) {
        fromList = shown->RadioButtonSelectFromList()->isChecked();
        ticked = shown->CheckBoxDontShowAgain()->isChecked();
        QTest::keyClick(shown, Qt::Key_Return);
    });
    QVERIFY(fromList);
    QVERIFY(ticked);
    QVERIFY(dialog.DontShowAgain);
    QVERIFY(!dialog.UseSelectedCategory);

    // A new dialog (the next program start) asks afresh.
    TFormMsgDlg next;
    QVERIFY(!next.DontShowAgain);
    QVERIFY(next.UseSelectedCategory);
}

void CategoryDialogsTest::msgDlgClosedWithoutOkKeepsThePreviousAnswers() {
    TFormMsgDlg dialog;
    Run<TFormMsgDlg>(dialog, [](TFormMsgDlg* shown) {
        shown->RadioButtonSelectFromList()->click();
        shown->BitBtnOK()->click();
    });
    QVERIFY(!dialog.DontShowAgain);
    QVERIFY(!dialog.UseSelectedCategory);

    // The close box.
    const int closed = Run<TFormMsgDlg>(dialog, [](TFormMsgDlg* shown) {
        shown->RadioButtonUseSelected()->click();
        shown->CheckBoxDontShowAgain()->click();
        shown->close();
    });
    QCOMPARE(closed, int(QDialog::Rejected));
    QVERIFY(!dialog.DontShowAgain);
    QVERIFY(!dialog.UseSelectedCategory);

    // Escape.
    Run<TFormMsgDlg>(dialog, [](TFormMsgDlg* shown) { QTest::keyClick(shown, Qt::Key_Escape); });
    QVERIFY(!dialog.DontShowAgain);
    QVERIFY(!dialog.UseSelectedCategory);
}

void CategoryDialogsTest::msgDlgTakesTheColoursAgainAtEveryShowing() {
    Settings().PanelColor = 0x0000FF;  // red
    Settings().MainColor = 0x00FF00;   // green
    TFormMsgDlg dialog;
    QCOMPARE(PanelColour(&dialog, "PanelMain"), QColor(Qt::red));
    QCOMPARE(PanelColour(&dialog, "PanelActions"), QColor(Qt::green));

    Settings().PanelColor = 0xFF0000;  // blue
    Settings().MainColor = 0xFFFFFF;
    QColor outer, inner;
    Run<TFormMsgDlg>(dialog, [&](TFormMsgDlg* shown) {
        outer = PanelColour(shown, "PanelMain");
        inner = PanelColour(shown, "PanelActions");
        shown->BitBtnOK()->click();
    });
    QCOMPARE(outer, QColor(Qt::blue));
    QCOMPARE(inner, QColor(Qt::white));
}

void CategoryDialogsTest::moveDialogListsEveryCategoryAndRestoresTheFilter() {
    TempCatalogue cat;
    cat.AddCategory(QStringLiteral("tools"));
    const qint64 grids = cat.AddCategory(QStringLiteral("Grids"));
    cat.AddCategory(QStringLiteral("Buttons"));
    TTable& categories = *DMvelm->TableCategory;
    categories.SetFilter(QStringLiteral("ID = %1").arg(grids));
    categories.SetFiltered(true);
    QCOMPARE(categories.RecordCount(), 1);

    TFormMovetoCategory dialog;
    dialog.SetComponentName(QStringLiteral("GridPack"));
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Move to Other Category"));
    QStringList listed;
    QString header, shownName;
    bool unfilteredWhileShown = false;
    Run<TFormMovetoCategory>(dialog, [&](TFormMovetoCategory* shown) {
        listed = GridTexts(shown->DBGridCategories());
        header = shown->DBGridCategories()->horizontalHeaderItem(0)->text();
        shownName = shown->RxLabelCompName()->text();
        unfilteredWhileShown = !DMvelm->TableCategory->Filtered();
        shown->BitBtnCancel()->click();
    });
    QCOMPARE(listed, (QStringList{QStringLiteral("Buttons"), QStringLiteral("Grids"), QStringLiteral("tools")}));
    QCOMPARE(header, QStringLiteral("to category:"));
    QCOMPARE(shownName, QStringLiteral("GridPack"));
    QVERIFY(unfilteredWhileShown);
    QVERIFY(categories.Filtered());
    QCOMPARE(categories.RecordCount(), 1);

    // Unfiltered before, unfiltered after, also when chosen with OK.
    categories.SetFiltered(false);
    TFormMovetoCategory again;
    Run<TFormMovetoCategory>(again, [](TFormMovetoCategory* shown) { shown->BitBtnOK()->click(); });
    QVERIFY(!categories.Filtered());
    QCOMPARE(categories.RecordCount(), 3);
}

void CategoryDialogsTest::moveDialogOkHandsBackTheSelectedCategory() {
    TempCatalogue cat;
    cat.AddCategory(QStringLiteral("Tools"));
    const qint64 grids = cat.AddCategory(QStringLiteral("Grids"));
    cat.AddCategory(QStringLiteral("Buttons"));
    TTable& categories = *DMvelm->TableCategory;
    QVERIFY(categories.Locate(QStringLiteral("Name"), QStringLiteral("Tools"), false));

    Settings().PanelColor = 0x0000FF;
    Settings().MainColor = 0x00FF00;
    TFormMovetoCategory dialog;
    QCOMPARE(PanelColour(&dialog, "PanelMain"), QColor(Qt::red));
    QCOMPARE(PanelColour(&dialog, "PanelCat"), QColor(Qt::green));

    int selectedAtStart = -1;
    int idWhileShown = 0;
    int chosenBeforeOk = 0;
    const int result = Run<TFormMovetoCategory>(dialog, [&](TFormMovetoCategory* shown) {
        QTableWidget* grid = shown->DBGridCategories();
        selectedAtStart = grid->currentRow();
        // The grid's line is the category table's current row.
        grid->setCurrentCell(1, 0);
        idWhileShown = DMvelm->TableCategory->FieldByName(QStringLiteral("ID"))->AsInteger();
        chosenBeforeOk = shown->SelectedCategoryID;
        QTest::keyClick(grid, Qt::Key_Return);
    });
    QCOMPARE(result, int(QDialog::Accepted));
    QCOMPARE(selectedAtStart, 2);  // Tools, the current row when it opened
    QCOMPARE(idWhileShown, int(grids));
    QCOMPARE(chosenBeforeOk, -1);
    QCOMPARE(dialog.SelectedCategoryID, int(grids));
    QCOMPARE(dialog.SelectedCategoryName, QStringLiteral("Grids"));
}

void CategoryDialogsTest::moveDialogCancelLeavesNothingChosen() {
    TempCatalogue cat;
    cat.AddCategory(QStringLiteral("Tools"));
    cat.AddCategory(QStringLiteral("Grids"));
    for (const auto& close : std::vector<std::function<void(TFormMovetoCategory*)>>{
             [](TFormMovetoCategory* shown) { shown->BitBtnCancel()->click(); },
             [](TFormMovetoCategory* shown) { QTest::keyClick(shown, Qt::Key_Escape); },
             [](TFormMovetoCategory* shown) { shown->close(); },
         }) {
        TFormMovetoCategory dialog;
        const int result = Run<TFormMovetoCategory>(dialog, [&close](TFormMovetoCategory* shown) {
            shown->DBGridCategories()->setCurrentCell(1, 0);
            close(shown);
        });
        QCOMPARE(result, int(QDialog::Rejected));
        QCOMPARE(dialog.SelectedCategoryID, -1);
        QVERIFY(dialog.SelectedCategoryName.isEmpty());
    }
}

void CategoryDialogsTest::moveDialogWithoutCategoriesOffersNoOk() {
    TempCatalogue cat;
    TFormMovetoCategory dialog;
    bool okEnabled = true;
    Run<TFormMovetoCategory>(dialog, [&](TFormMovetoCategory* shown) {
        okEnabled = shown->BitBtnOK()->isEnabled();
        shown->BitBtnOK()->click();
        shown->BitBtnCancel()->click();
    });
    QVERIFY(!okEnabled);
    QCOMPARE(dialog.SelectedCategoryID, -1);
}

void CategoryDialogsTest::moveDialogHelpOpensItsTopic() {
    TempCatalogue cat;
    cat.AddCategory(QStringLiteral("Tools"));
    LauncherRecorder launcher;
    TFormMovetoCategory dialog;
    const int result = Run<TFormMovetoCategory>(dialog, [](TFormMovetoCategory* shown) {
        shown->BitBtnHelp()->click();
        shown->BitBtnCancel()->click();
    });
    QCOMPARE(result, int(QDialog::Rejected));
    QCOMPARE(launcher.helpTopics, QList<int>{350});
}

void CategoryDialogsTest::moveDialogKeysPressTheFocusedButton() {
    TempCatalogue cat;
    cat.AddCategory(QStringLiteral("Tools"));
    cat.AddCategory(QStringLiteral("Grids"));
    LauncherRecorder launcher;
    // Tab to Cancel, Enter: cancelled, though OK is the default button.
    {
        TFormMovetoCategory dialog;
        bool reached = false;
        bool enterPressesCancel = false;
        const int result = Run<TFormMovetoCategory>(dialog, [&](TFormMovetoCategory* shown) {
            reached = velm::test::TabTo(shown->BitBtnCancel());
            // The dialog's Enter goes to its default button: the focused one now.
            enterPressesCancel = shown->BitBtnCancel()->isDefault() && !shown->BitBtnOK()->isDefault();
            velm::test::Key(shown, Qt::Key_Return);
        });
        QVERIFY(reached);
        QVERIFY(enterPressesCancel);
        QCOMPARE(result, int(QDialog::Rejected));
        QCOMPARE(dialog.SelectedCategoryID, -1);
    }
    // Tab to Help, Enter: the help opens and the dialog stays; then Escape cancels.
    {
        TFormMovetoCategory dialog;
        bool stayed = false;
        const int result = Run<TFormMovetoCategory>(dialog, [&stayed](TFormMovetoCategory* shown) {
            velm::test::TabTo(shown->BitBtnHelp());
            velm::test::Key(shown, Qt::Key_Enter);
            stayed = shown->isVisible();
            velm::test::Key(shown, Qt::Key_Escape);
        });
        QVERIFY(stayed);
        QCOMPARE(result, int(QDialog::Rejected));
        QCOMPARE(launcher.helpTopics, QList<int>{350});
    }
    // Tab to OK, or Enter in the grid: the selected category is handed back.
    for (const bool onOk : {true, false}) {
        TFormMovetoCategory dialog;
        const int result = Run<TFormMovetoCategory>(dialog, [onOk](TFormMovetoCategory* shown) {
            QTableWidget* grid = shown->DBGridCategories();
            velm::test::Click(grid->viewport(), grid->visualItemRect(grid->item(0, 0)).center());
            if (onOk)
                velm::test::TabTo(shown->BitBtnOK());
            velm::test::Key(shown, Qt::Key_Return);
        });
        QCOMPARE(result, int(QDialog::Accepted));
        QCOMPARE(dialog.SelectedCategoryName, QStringLiteral("Grids"));
    }
}

QTEST_MAIN(CategoryDialogsTest)
#include "test_category_dialogs.moc"
