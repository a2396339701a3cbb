// The options dialog driven as a user would: the crossed sample captions, the colour
// picker, the preview, reset, and what OK, Cancel, Esc and the close box leave in the
// settings.
#include "kit/color_picker.h"
#include "kit/dialog_colours.h"
#include "browser/form_options.h"
#include "kit/settings.h"
#include "support/launcher_recorder.h"
#include "support/message_recorder.h"
#include "support/modal_dialog.h"
#include "support/user_input.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include <deque>
#include <functional>

using namespace velm;
using velm::test::AnswerNextModal;
using velm::test::LauncherRecorder;
using velm::test::MessageRecorder;

namespace {

// Answers the colour picker from a queue and records the colour it was preset to.
class PickerDouble : public ColorPicker {
public:
    PickerDouble() { previous_ = SetColorPicker(this); }
    ~PickerDouble() override { SetColorPicker(previous_); }

    void Answer(ColorPick pick) { answers_.push_back(pick); }
    void Choose(ColorRef color) { Answer({ColorPick::Chosen, ColorRefToQColor(color)}); }

    ColorPick Pick(const QColor& initial, QWidget*) override {
        presets.append(initial);
        if (answers_.empty())
            return {ColorPick::Cancelled, {}};
        const ColorPick pick = answers_.front();
        answers_.pop_front();
        return pick;
    }

    QList<QColor> presets;

private:
    std::deque<ColorPick> answers_;
    ColorPicker* previous_ = nullptr;
};

QColor Rgb(ColorRef color) { return ColorRefToQColor(color); }

// Opens the dialog the way the main window does and lets the answer act on it.
bool RunWith(std::function<void(TFormOptions*)> answer) {
    bool answered = false;
    AnswerNextModal<TFormOptions>(std::move(answer), &answered);
    const bool ok = RunOptionsDialog(nullptr);
    if (!answered)
        QTest::qFail("the dialog was never answered", __FILE__, __LINE__);
    return ok;
}

void DoubleClick(QWidget* sample) { QTest::mouseDClick(sample, Qt::LeftButton); }

// Stored colours that differ from every default.
constexpr ColorRef kStoredMain = 0x112233;
constexpr ColorRef kStoredPanel = 0x445566;
constexpr ColorRef kStoredSecond = 0x778899;

}  // namespace

class FormOptionsTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void opensWithTheStoredChoicesUnderCrossedCaptions();
    void okStoresEachSampleInTheSettingItEdits();
    void pickerIsPresetAndCancelOrFailureLeavesTheSample();
    void applyPreviewsOnTheDialogOnlyAndCancelForgetsIt();
    void resetThenCancelChangesNothing();
    void resetThenOkStoresTheDefaults();
    void escapeAndCloseBoxKeepTheSettings();
    void helpOpensTopic430AndTheDialogStays();
    void dialogPanelsTakeTheSchemeColours();
    void textsStayReadableAndSamplesSitOnTheSideTheyColour();
    void enterPressesTheFocusedButton();
};

void FormOptionsTest::init() {
    Settings() = SettingsRecord();
    Settings().MainColor = kStoredMain;
    Settings().PanelColor = kStoredPanel;
    Settings().SecondPanelColor = kStoredSecond;
}

void FormOptionsTest::opensWithTheStoredChoicesUnderCrossedCaptions() {
    Settings().ShowDragNDropInfoMsg = false;
    Settings().ConfirmDelete = true;
    TFormOptions dialog;
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Options"));
    QCOMPARE(dialog.size(), QSize(394, 367));

    QCOMPARE(dialog.PanelMainColor()->text(), QStringLiteral("Panel Color"));
    QCOMPARE(PanelColour(dialog.PanelMainColor()), Rgb(kStoredMain));
    QCOMPARE(dialog.PanelPanelColor()->text(), QStringLiteral("Main Color"));
    QCOMPARE(PanelColour(dialog.PanelPanelColor()), Rgb(kStoredPanel));
    QCOMPARE(dialog.PanelSecondPanelColor()->text(), QStringLiteral("2nd Panel Color"));
    QCOMPARE(PanelColour(dialog.PanelSecondPanelColor()), Rgb(kStoredSecond));
    QCOMPARE(PanelColour(dialog.PanelMain()), Rgb(kStoredPanel));
    QCOMPARE(PanelColour(dialog.PanelOptions()), Rgb(kStoredMain));

    bool dragInfo = true, confirm = false;
    QVERIFY(!RunWith([&](TFormOptions* shown) {
        dragInfo = shown->CheckBoxDragNDropInfoMsg()->isChecked();
        confirm = shown->CheckBoxConfirmDelete()->isChecked();
        shown->BitBtnCancel()->click();
    }));
    QVERIFY(!dragInfo);
    QVERIFY(confirm);
}

void FormOptionsTest::okStoresEachSampleInTheSettingItEdits() {
    PickerDouble picker;
    picker.Choose(0x0000FF);
    picker.Choose(0x00FF00);
    picker.Choose(0xFF0000);
    const bool ok = RunWith([](TFormOptions* shown) {
        DoubleClick(shown->PanelMainColor());
        DoubleClick(shown->PanelPanelColor());
        DoubleClick(shown->PanelSecondPanelColor());
        shown->CheckBoxDragNDropInfoMsg()->click();
        shown->CheckBoxConfirmDelete()->click();
        QTest::keyClick(shown, Qt::Key_Return);
    });
    QVERIFY(ok);
    QCOMPARE(Settings().MainColor, ColorRef(0x0000FF));   // "Panel Color"
    QCOMPARE(Settings().PanelColor, ColorRef(0x00FF00));  // "Main Color"
    QCOMPARE(Settings().SecondPanelColor, ColorRef(0xFF0000));
    QVERIFY(!Settings().ShowDragNDropInfoMsg);
    QVERIFY(!Settings().ConfirmDelete);
}

void FormOptionsTest::pickerIsPresetAndCancelOrFailureLeavesTheSample() {
    PickerDouble picker;
    MessageRecorder messages;
    picker.Answer({ColorPick::Cancelled, {}});
    picker.Answer({ColorPick::Failed, {}});
    TFormOptions dialog;
    dialog.show();

    DoubleClick(dialog.PanelPanelColor());
    QCOMPARE(picker.presets, QList<QColor>{Rgb(kStoredPanel)});
    QCOMPARE(PanelColour(dialog.PanelPanelColor()), Rgb(kStoredPanel));
    QCOMPARE(messages.Count(), 0);

    DoubleClick(dialog.PanelSecondPanelColor());
    QCOMPARE(picker.presets.last(), Rgb(kStoredSecond));
    QCOMPARE(PanelColour(dialog.PanelSecondPanelColor()), Rgb(kStoredSecond));
    QCOMPARE(messages.Count(), 1);
    QCOMPARE(messages.Last().kind, MessageKind::PlainNotice);
    QCOMPARE(messages.Last().text, QStringLiteral("Color selection dialog failed to load."));

    // A single click or a right double click does not open the picker.
    QTest::mouseClick(dialog.PanelMainColor(), Qt::LeftButton);
    QTest::mouseDClick(dialog.PanelMainColor(), Qt::RightButton);
    QCOMPARE(picker.presets.size(), 2);

    // A second pick starts from the colour chosen before.
    picker.Choose(0x010203);
    picker.Choose(0x040506);
    DoubleClick(dialog.PanelMainColor());
    DoubleClick(dialog.PanelMainColor());
    QCOMPARE(picker.presets.last(), Rgb(0x010203));
    QCOMPARE(PanelColour(dialog.PanelMainColor()), Rgb(0x040506));
}

void FormOptionsTest::applyPreviewsOnTheDialogOnlyAndCancelForgetsIt() {
    PickerDouble picker;
    picker.Choose(0x0000FF);
    picker.Choose(0x00FF00);
    QColor outer, inner, groupBefore, groupAfter;
    QVERIFY(!RunWith([&](TFormOptions* shown) {
        auto* group = shown->findChild<QWidget*>(QStringLiteral("GroupBoxColorScheme"));
        groupBefore = PanelColour(group);
        DoubleClick(shown->PanelMainColor());   // "Panel Color"
        DoubleClick(shown->PanelPanelColor());  // "Main Color"
        shown->ButtonTest()->click();
        outer = PanelColour(shown->PanelMain());
        inner = PanelColour(shown->PanelOptions());
        groupAfter = PanelColour(group);
        shown->BitBtnCancel()->click();
    }));
    QCOMPARE(outer, Rgb(0x00FF00));
    QCOMPARE(inner, Rgb(0x0000FF));
    // The samples sit on their own neutral face, whatever the preview paints.
    QCOMPARE(groupAfter, groupBefore);
    QCOMPARE(Settings().MainColor, kStoredMain);
    QCOMPARE(Settings().PanelColor, kStoredPanel);

    // The next opening shows the stored colours again.
    TFormOptions next;
    QCOMPARE(PanelColour(next.PanelMain()), Rgb(kStoredPanel));
    QCOMPARE(PanelColour(next.PanelOptions()), Rgb(kStoredMain));
    QCOMPARE(PanelColour(next.PanelMainColor()), Rgb(kStoredMain));
}

void FormOptionsTest::resetThenCancelChangesNothing() {
    QColor mainSample, outer;
    QVERIFY(!RunWith([&](TFormOptions* shown) {
        shown->ButtonReset()->click();
        mainSample = PanelColour(shown->PanelPanelColor());
        outer = PanelColour(shown->PanelMain());
        shown->BitBtnCancel()->click();
    }));
    QCOMPARE(mainSample, Rgb(10007709));
    QCOMPARE(outer, Rgb(kStoredPanel));  // reset does not preview
    QCOMPARE(Settings().MainColor, kStoredMain);
    QCOMPARE(Settings().PanelColor, kStoredPanel);
    QCOMPARE(Settings().SecondPanelColor, kStoredSecond);
}

void FormOptionsTest::resetThenOkStoresTheDefaults() {
    QVERIFY(RunWith([](TFormOptions* shown) {
        shown->ButtonReset()->click();
        shown->BitBtnOK()->click();
    }));
    QCOMPARE(Settings().MainColor, ColorRef(11388855));
    QCOMPARE(Settings().PanelColor, ColorRef(10007709));
    QCOMPARE(Settings().SecondPanelColor, ColorRef(8421440));
}

void FormOptionsTest::escapeAndCloseBoxKeepTheSettings() {
    PickerDouble picker;
    picker.Choose(0x0000FF);
    QVERIFY(!RunWith([](TFormOptions* shown) {
        DoubleClick(shown->PanelMainColor());
        shown->CheckBoxConfirmDelete()->click();
        QTest::keyClick(shown, Qt::Key_Escape);
    }));
    QVERIFY(!RunWith([](TFormOptions* shown) {
        shown->ButtonReset()->click();
        shown->CheckBoxDragNDropInfoMsg()->click();
        shown->close();
    }));
    QCOMPARE(Settings().MainColor, kStoredMain);
    QCOMPARE(Settings().PanelColor, kStoredPanel);
    QVERIFY(Settings().ConfirmDelete);
    QVERIFY(Settings().ShowDragNDropInfoMsg);
}

void FormOptionsTest::helpOpensTopic430AndTheDialogStays() {
    LauncherRecorder launcher;
    bool stillOpen = false;
    QVERIFY(RunWith([&](TFormOptions* shown) {
        shown->BitBtnHelp()->click();
        stillOpen = shown->isVisible();
        shown->BitBtnOK()->click();
    }));
    QVERIFY(stillOpen);
    QCOMPARE(launcher.helpTopics, QList<int>{430});
}

void FormOptionsTest::dialogPanelsTakeTheSchemeColours() {
    QWidget outer;
    auto* first = new QWidget(&outer);
    auto* second = new QWidget(&outer);
    ColourDialogPanels(&outer, {first, second});
    QCOMPARE(PanelColour(&outer), Rgb(kStoredPanel));
    QCOMPARE(PanelColour(first), Rgb(kStoredMain));
    QCOMPARE(PanelColour(second), Rgb(kStoredMain));
    QVERIFY(first->autoFillBackground());
}

void FormOptionsTest::textsStayReadableAndSamplesSitOnTheSideTheyColour() {
    // The stored inner colour is dark; a white "Panel Color" is picked and previewed.
    PickerDouble picker;
    picker.Choose(0xFFFFFF);
    QColor onStored, sampleCaption, onPreview;
    bool treeSideLeft = false;
    QVERIFY(!RunWith([&](TFormOptions* shown) {
        onStored = shown->CheckBoxConfirmDelete()->palette().color(QPalette::WindowText);
        // "Main Color" paints the main window's tree on the left, "Panel Color" the
        // record on the right.
        treeSideLeft = shown->PanelPanelColor()->x() < shown->PanelMainColor()->x();
        DoubleClick(shown->PanelMainColor());
        sampleCaption = shown->PanelMainColor()->palette().color(QPalette::WindowText);
        velm::test::Click(shown->ButtonTest());
        onPreview = shown->CheckBoxConfirmDelete()->palette().color(QPalette::WindowText);
        shown->BitBtnCancel()->click();
    }));
    QCOMPARE(onStored, QColor(Qt::white));
    QCOMPARE(sampleCaption, QColor(Qt::black));
    QCOMPARE(onPreview, QColor(Qt::black));
    QVERIFY(treeSideLeft);
}

void FormOptionsTest::enterPressesTheFocusedButton() {
    // A changed check box, then Tab to Cancel and Enter: nothing is stored.
    bool reached = false;
    bool enterPressesCancel = false;
    QVERIFY(!RunWith([&](TFormOptions* shown) {
        velm::test::Click(shown->CheckBoxConfirmDelete());
        reached = velm::test::TabTo(shown->BitBtnCancel());
        // The dialog's Enter goes to its default button: the focused one now.
        enterPressesCancel = shown->BitBtnCancel()->isDefault() && !shown->BitBtnOK()->isDefault();
        velm::test::Key(shown, Qt::Key_Return);
    }));
    QVERIFY(reached);
    QVERIFY(enterPressesCancel);
    QVERIFY(Settings().ConfirmDelete);

    // Enter on Reset and on the test button presses them and the dialog stays; Enter on
    // the check box presses the default, OK.
    QColor outerAfterTest;
    bool stayed = false;
    QVERIFY(RunWith([&](TFormOptions* shown) {
        velm::test::TabTo(shown->ButtonReset());
        velm::test::Key(shown, Qt::Key_Return);
        velm::test::TabTo(shown->ButtonTest());
        velm::test::Key(shown, Qt::Key_Enter);
        outerAfterTest = PanelColour(shown->PanelMain());
        stayed = shown->isVisible();
        velm::test::TabTo(shown->CheckBoxConfirmDelete());
        velm::test::Key(shown, Qt::Key_Return);
    }));
    QVERIFY(stayed);
    QCOMPARE(outerAfterTest, Rgb(SettingsRecord().PanelColor));
    QCOMPARE(Settings().PanelColor, SettingsRecord().PanelColor);
}

QTEST_MAIN(FormOptionsTest)
#include "test_form_options.moc"
