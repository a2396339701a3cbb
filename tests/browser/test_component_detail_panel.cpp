// The component detail panel over a real catalogue, wired to the component record
// object as the main window wires it: showing a component, the rating bar and the
// compatibility marks kept in step, focus colours and the formatting menu.
#include "browser/component_detail_panel.h"
#include "catalogue/memo_markup.h"
#include "catalogue/table.h"
#include "support/message_recorder.h"
#include "support/temp_catalogue.h"
#include "support/user_input.h"
#include "widgets/check_list_box.h"
#include "widgets/control_colour.h"
#include "widgets/db_check_box.h"
#include "widgets/db_date_edit.h"
#include "widgets/db_edit.h"
#include "widgets/db_lookup_combo_box.h"
#include "widgets/db_radio_group.h"
#include "widgets/db_rich_edit.h"
#include "widgets/db_text.h"
#include "widgets/font_dialog.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QMenu>
#include <QSlider>
#include <QAbstractButton>
#include <QTest>

#include <memory>

using namespace velm;
using velm::test::MessageRecorder;
using velm::test::TempCatalogue;

namespace {

const QColor kSilver(0xc0, 0xc0, 0xc0);
const QColor kNavy(0x00, 0x00, 0x80);

TField* F(TTable& table, const char* name) { return table.FieldByName(QString::fromLatin1(name)); }

// A catalogue and the panel over it; the rows leaving edit state (posts) are counted.
struct Fixture {
    TempCatalogue cat;
    qint64 category = cat.AddCategory(QStringLiteral("Grids"));
    std::unique_ptr<TComponentDetailPanel> panel;
    int posts = 0;

    Fixture() {
        panel = std::make_unique<TComponentDetailPanel>(cat.Module());
        QObject::connect(cat.Module().DSCPInfo, &TDataSource::stateChanged, panel.get(), [this] {
            if (Table().State() == TDataSetState::Browse)
                ++posts;
        });
    }
    TTable& Table() { return *cat.Module().TableCPInfo; }
    void Add(const char* name) { cat.AddPackage(QString::fromLatin1(name), category); }
    void Set(const char* name, const char* field, const QVariant& value) {
        QVERIFY(Table().Locate(QStringLiteral("ProductName"), QString::fromLatin1(name), true));
        Table().Edit();
        F(Table(), field)->SetValue(value);
        Table().Post();
    }
    // The row's ID, read apart from the table so that its current row stays.
    qint64 Id(const char* name) {
        return cat.Stored(QStringLiteral("SELECT ID FROM CPInfo WHERE ProductName = '%1'").arg(QLatin1String(name)))
            .value(0)
            .toLongLong();
    }
    // Shows a component, in a panel on screen as the main window shows it, and forgets
    // what showing it stored.
    void Show(const char* name) {
        panel->show();
        panel->ShowComponent(Id(name));
        posts = 0;
    }
    template <class T>
    T* Find(const char* name) {
        T* control = panel->findChild<T*>(QString::fromLatin1(name));
        if (!control)
            qWarning() << "no control" << name;
        return control;
    }
    QSlider* Rating() { return Find<QSlider>("TrackBarRating"); }
    TCheckListBox* Compatibility() { return Find<TCheckListBox>("RxCheckListBoxCompatibility"); }
    TDBRichEdit* Description() { return Find<TDBRichEdit>("DBRichEditDescription"); }
    TDBRichEdit* Comments() { return Find<TDBRichEdit>("DBRichEditComments"); }
    void Trigger(const char* action) { Find<QAction>(action)->trigger(); }
    bool ShowActive() {
        panel->resize(488, 440);
        panel->show();
        panel->activateWindow();
        return QTest::qWaitForWindowActive(panel.get());
    }
};

void Select(QTextEdit* memo, int from, int to) {
    QTextCursor cursor = memo->textCursor();
    cursor.setPosition(from);
    cursor.setPosition(to, QTextCursor::KeepAnchor);
    memo->setTextCursor(cursor);
}

QTextCharFormat FormatAt(QTextEdit* memo, int position) {
    QTextCursor cursor(memo->document());
    cursor.setPosition(position);
    return cursor.charFormat();
}

QStringList CheckedEntries(TCheckListBox* list) {
    QStringList checked;
    for (int i = 0; i < list->count(); ++i)
        if (list->Checked(i))
            checked << list->item(i)->text();
    return checked;
}

}  // namespace

class ComponentDetailPanelTest : public QObject {
    Q_OBJECT
private slots:
    void sheetsAndControlsCarryTheirNames();
    void showComponentShowsEveryFieldOfItsRow();
    void showingAnotherComponentStoresThePendingEdit();
    void aTypedDateThatIsNoDateIsRefusedWithAMessage();
    void hiddenPanelHandsOverInputAndCatchesUpWhenShown();
    void ratingBarShowsTheStoredRatingWithinZeroToTen();
    void everyRatingPositionIsStoredAtOnce();
    void compatibilityMarksFollowTheMaskAndTogglesAreStored();
    void colourHandledControlsAreWhiteOnlyWhileFocused();
    void theWheelChangesNothingThatHasNoFocus();
    void formattingWithoutSelectionDoesNothing();
    void formattingActsOnTheActiveSheetsMemoAndStoresTheRow();
    void eachTextShowsItsOwnFormattingAndArchiveHtmlAsText();
    void normalKeepsStrikeOut();
    void setFontStartsFromTheMemosDefaultFont();
    void clipboardCommandsChangeTheActiveMemo();
};

void ComponentDetailPanelTest::sheetsAndControlsCarryTheirNames() {
    Fixture fx;
    QCOMPARE(fx.panel->objectName(), QStringLiteral("PageControlComponentInfo"));
    QCOMPARE(fx.panel->count(), 3);
    QCOMPARE(fx.panel->widget(0)->objectName(), QStringLiteral("TabSheetMain"));
    QCOMPARE(fx.panel->widget(1)->objectName(), QStringLiteral("TabSheetAdditional"));
    QCOMPARE(fx.panel->widget(2)->objectName(), QStringLiteral("TabSheetInstallInfo"));
    QCOMPARE(fx.panel->tabText(0), QStringLiteral("Component main info"));
    QCOMPARE(fx.panel->tabText(1), QStringLiteral("Additional info"));
    QCOMPARE(fx.panel->tabText(2), QStringLiteral("Installation info"));
    QCOMPARE(fx.Compatibility()->Items(),
             QStringList({"Delphi 1", "Delphi 2", "Delphi 3", "Delphi 4", "C++ Builder 1", "C++ Builder 3"}));
    QCOMPARE(fx.Find<TDBRadioGroup>("DBRadioGroupAvailability")->Items(),
             QStringList({"Freeware", "Shareware", "Commercial"}));
    QCOMPARE(fx.Rating()->minimum(), 0);
    QCOMPARE(fx.Rating()->maximum(), 10);
    QCOMPARE(fx.Find<TDBLookupComboBox>("RxDBLookupComboInstallStatus")->maxVisibleItems(), 8);
    QStringList captions;
    for (QAction* action : fx.panel->PopupMenuRichEdit()->actions())
        captions << (action->isSeparator() ? QStringLiteral("-") : action->text());
    QCOMPARE(captions, QStringList({"&Normal", "&Bold", "&Italic", "&Underlined", "-", "&Set Font...", "-", "Cu&t",
                                    "&Copy", "&Paste"}));
    QCOMPARE(fx.panel->font().family(), QStringLiteral("Arial"));
    QCOMPARE(fx.panel->font().pixelSize(), 15);
    QCOMPARE(fx.Find<TDBEdit>("DBEditAuthor")->font().pixelSize(), 13);
    QCOMPARE(fx.Find<TDBEdit>("DBEditFileURL")->font().pixelSize(), 12);
}

void ComponentDetailPanelTest::showComponentShowsEveryFieldOfItsRow() {
    Fixture fx;
    fx.Add("Other");
    fx.Add("Grid Pack");
    TTable& t = fx.Table();
    QVERIFY(t.Locate(QStringLiteral("ProductName"), QStringLiteral("Grid Pack"), true));
    t.Edit();
    F(t, "VersionMajor")->SetAsInteger(1);
    F(t, "VersionMinor")->SetAsInteger(2);
    F(t, "Release")->SetAsInteger(3);
    F(t, "Build")->SetAsInteger(4);
    F(t, "Beta")->SetAsBoolean(true);
    F(t, "ReleaseDate")->SetAsDate(QDate(1998, 7, 6));
    F(t, "FullSourceIncl")->SetAsBoolean(true);
    F(t, "Author")->SetAsString(QStringLiteral("Jane Roe"));
    F(t, "AuthorEmail")->SetAsString(QStringLiteral("jane@example.org"));
    F(t, "ProductDescription")->SetAsString(QStringLiteral("A grid.\nWith rows."));
    F(t, "ArchiveFile")->SetAsString(QStringLiteral("grid.zip"));
    F(t, "ArchiveFilePath")->SetAsString(QStringLiteral("/archives/"));
    F(t, "DownloadDate")->SetAsDate(QDate(1999, 1, 2));
    F(t, "FileURL")->SetAsString(QStringLiteral("http://example.org/grid"));
    F(t, "FreeShareCommercial")->SetAsInteger(1);
    F(t, "Status")->SetAsInteger(3);
    F(t, "Rating")->SetAsInteger(7);
    F(t, "Compatibility")->SetAsInteger(12);
    F(t, "Comments")->SetAsString(QStringLiteral("Works well."));
    t.Post();
    QVERIFY(t.Locate(QStringLiteral("ProductName"), QStringLiteral("Other"), true));

    fx.panel->show();
    fx.panel->ShowComponent(fx.Id("Grid Pack"));
    QCOMPARE(F(t, "ProductName")->AsString(), QStringLiteral("Grid Pack"));
    // The buttons have their pictures once the panel is on screen.
    QVERIFY(!fx.Find<QAbstractButton>("SpeedButtonReimport")->icon().isNull());
    QVERIFY(!fx.Find<QAbstractButton>("SpeedButtonViewArchive")->icon().isNull());
    QCOMPARE(fx.Find<TDBText>("DBTextCategory")->text(), QStringLiteral("Grids"));
    QCOMPARE(fx.Find<TDBText>("DBTextProduct")->text(), QStringLiteral("Grid Pack"));
    QStringList version;
    for (const char* name : {"DBEditVersionMajor", "DBEditVersionMinor", "DBEditRelease", "DBEditBuild"})
        version << fx.Find<TDBEdit>(name)->text();
    QCOMPARE(version.join(QLatin1Char('.')), QStringLiteral("1.2.3.4"));
    QVERIFY(fx.Find<TDBCheckBox>("DBCheckBoxBeta")->isChecked());
    QCOMPARE(fx.Find<TDBDateEdit>("DBDateEditReleaseDate")->Date(), QDate(1998, 7, 6));
    QVERIFY(fx.Find<TDBCheckBox>("DBCheckBoxFullSourceIncl")->isChecked());
    QCOMPARE(fx.Find<TDBEdit>("DBEditAuthor")->text(), QStringLiteral("Jane Roe"));
    QCOMPARE(fx.Find<TDBEdit>("DBEditAuthorEmail")->text(), QStringLiteral("jane@example.org"));
    QCOMPARE(fx.Description()->toPlainText(), QStringLiteral("A grid.\nWith rows."));
    QCOMPARE(fx.Find<TDBEdit>("DBEditArchiveFile")->text(), QStringLiteral("grid.zip"));
    QCOMPARE(fx.Find<TDBEdit>("DBEditArchiveFilePath")->text(), QStringLiteral("/archives/"));
    QCOMPARE(fx.Find<TDBDateEdit>("DBDateEditDownLoad")->Date(), QDate(1999, 1, 2));
    QCOMPARE(fx.Find<TDBEdit>("DBEditFileURL")->text(), QStringLiteral("http://example.org/grid"));
    QCOMPARE(CheckedEntries(fx.Compatibility()), QStringList({"Delphi 3", "Delphi 4"}));
    QCOMPARE(fx.Find<TDBRadioGroup>("DBRadioGroupAvailability")->ItemIndex(), 1);
    QCOMPARE(fx.Find<TDBLookupComboBox>("RxDBLookupComboInstallStatus")->currentText(),
             DefaultStatusValues().value(2));
    QCOMPARE(fx.Rating()->value(), 7);
    QCOMPARE(fx.Comments()->toPlainText(), QStringLiteral("Works well."));
}

void ComponentDetailPanelTest::showingAnotherComponentStoresThePendingEdit() {
    Fixture fx;
    fx.Add("A");
    fx.Add("B");
    fx.Show("A");
    QCOMPARE(fx.Table().State(), TDataSetState::Edit);
    auto* author = fx.Find<TDBEdit>("DBEditAuthor");
    QTest::keyClicks(author, QStringLiteral("Changed Author"));
    fx.Show("B");
    QCOMPARE(author->text(), QString());
    QCOMPARE(fx.Table().State(), TDataSetState::Edit);
    QVERIFY(fx.Table().Locate(QStringLiteral("ProductName"), QStringLiteral("A"), true));
    QCOMPARE(F(fx.Table(), "Author")->AsString(), QStringLiteral("Changed Author"));
}

void ComponentDetailPanelTest::aTypedDateThatIsNoDateIsRefusedWithAMessage() {
    MessageRecorder messages;
    Fixture fx;
    fx.Add("A");
    fx.Add("B");
    fx.Set("A", "ReleaseDate", QDate(1998, 7, 6));
    QVERIFY(fx.ShowActive());
    fx.Show("A");
    auto* date = fx.Find<TDBDateEdit>("DBDateEditReleaseDate");
    QString typed = QDate(2020, 2, 28).toString(TDateEdit::DisplayFormat());
    typed.replace(QStringLiteral("28"), QStringLiteral("31"));
    velm::test::Click(date);
    velm::test::Key(date, Qt::Key_A, Qt::ControlModifier);
    velm::test::Type(date, typed);
    // Tab away: told, and back in the box with the text to correct.
    velm::test::Key(date, Qt::Key_Tab);
    QVERIFY(QTest::qWaitFor([&] { return messages.Count() > 0; }));
    QCOMPARE(messages.Count(), 1);
    QCOMPARE(messages.Last().kind, MessageKind::Error);
    QCOMPARE(messages.Last().text, InvalidDateText(typed));
    QVERIFY(date->hasFocus());
    QCOMPARE(date->text(), typed);
    // Another component shown meanwhile: told again, and the row keeps its date.
    fx.Show("B");
    QCOMPARE(messages.Count(), 2);
    QVERIFY(fx.Table().Locate(QStringLiteral("ProductName"), QStringLiteral("A"), true));
    QCOMPARE(F(fx.Table(), "ReleaseDate")->AsDate(), QDate(1998, 7, 6));
}

void ComponentDetailPanelTest::hiddenPanelHandsOverInputAndCatchesUpWhenShown() {
    Fixture fx;
    fx.Add("A");
    fx.Add("B");
    fx.Set("B", "Author", QStringLiteral("Bob"));
    QVERIFY(fx.ShowActive());
    fx.Show("A");
    auto* author = fx.Find<TDBEdit>("DBEditAuthor");
    QTest::keyClicks(author, QStringLiteral("Ann"));

    // Hiding (a category node selected) puts the input into the row but stores nothing.
    fx.panel->hide();
    QCOMPARE(F(fx.Table(), "Author")->AsString(), QStringLiteral("Ann"));
    QCOMPARE(fx.Table().State(), TDataSetState::Edit);
    QCOMPARE(fx.posts, 0);

    // Shown again, the panel has the row that is current by then.
    QVERIFY(fx.Table().Locate(QStringLiteral("ProductName"), QStringLiteral("B"), true));
    fx.panel->show();
    QCOMPARE(author->text(), QStringLiteral("Bob"));
    QVERIFY(fx.Table().Locate(QStringLiteral("ProductName"), QStringLiteral("A"), true));
    QCOMPARE(F(fx.Table(), "Author")->AsString(), QStringLiteral("Ann"));
    QCOMPARE(author->text(), QStringLiteral("Ann"));
}

void ComponentDetailPanelTest::ratingBarShowsTheStoredRatingWithinZeroToTen() {
    Fixture fx;
    for (const char* name : {"Seven", "Empty", "Twelve", "Fifteen", "Minus"})
        fx.Add(name);
    fx.Set("Seven", "Rating", 7);
    fx.Set("Twelve", "Rating", 12);
    fx.Set("Fifteen", "Rating", 15);
    fx.Set("Minus", "Rating", -3);

    // Out of range shows the nearest end; showing stores nothing, whether the bar moves
    // or not: an empty rating stays empty.
    const QList<QPair<const char*, int>> shown = {
        {"Seven", 7}, {"Empty", 0}, {"Twelve", 10}, {"Fifteen", 10}, {"Minus", 0}, {"Empty", 0}, {"Seven", 7}};
    for (const auto& [name, value] : shown) {
        fx.panel->ShowComponent(fx.Id(name));
        QCOMPARE(fx.Rating()->value(), value);
        QCOMPARE(fx.Table().State(), TDataSetState::Edit);
    }
    fx.Table().CheckBrowseMode();
    QCOMPARE(fx.cat.Stored(QStringLiteral("SELECT ProductName, quote(Rating) FROM CPInfo ORDER BY ID")),
             QStringList({"Seven|7", "Empty|NULL", "Twelve|12", "Fifteen|15", "Minus|-3"}));
}

void ComponentDetailPanelTest::everyRatingPositionIsStoredAtOnce() {
    Fixture fx;
    fx.Add("A");
    fx.Set("A", "Rating", 5);
    fx.Show("A");
    QList<int> stored;
    for (const auto step : {QAbstractSlider::SliderSingleStepAdd, QAbstractSlider::SliderSingleStepAdd,
                            QAbstractSlider::SliderSingleStepSub}) {
        fx.Rating()->triggerAction(step);
        stored << F(fx.Table(), "Rating")->AsInteger();
    }
    QCOMPARE(stored, QList<int>({6, 7, 6}));
    QCOMPARE(fx.posts, 3);
    QCOMPARE(fx.Table().State(), TDataSetState::Browse);
    QCOMPARE(F(fx.Table(), "Rating")->AsInteger(), 6);
}

void ComponentDetailPanelTest::compatibilityMarksFollowTheMaskAndTogglesAreStored() {
    Fixture fx;
    for (const char* name : {"Mask37", "Mask0", "Mask33"})
        fx.Add(name);
    fx.Set("Mask37", "Compatibility", 37);
    fx.Set("Mask33", "Compatibility", 33);
    TCheckListBox* list = fx.Compatibility();
    fx.ShowActive();
    fx.panel->setCurrentIndex(1);

    fx.Show("Mask37");
    QCOMPARE(CheckedEntries(list), QStringList({"Delphi 1", "Delphi 3", "C++ Builder 3"}));
    QCOMPARE(fx.Table().State(), TDataSetState::Edit);
    QCOMPARE(fx.posts, 0);

    fx.Show("Mask0");
    QVERIFY(CheckedEntries(list).isEmpty());
    list->setFocus();
    list->setCurrentRow(3);
    QTest::keyClick(list->viewport(), Qt::Key_Space);
    QCOMPARE(F(fx.Table(), "Compatibility")->AsInteger(), 8);
    QCOMPARE(fx.posts, 1);

    fx.Show("Mask33");
    list->setCurrentRow(0);
    QTest::keyClick(list->viewport(), Qt::Key_Space);
    QCOMPARE(F(fx.Table(), "Compatibility")->AsInteger(), 32);
    QCOMPARE(CheckedEntries(list), QStringList({"C++ Builder 3"}));
}

void ComponentDetailPanelTest::colourHandledControlsAreWhiteOnlyWhileFocused() {
    Fixture fx;
    fx.Add("A");
    QVERIFY(fx.ShowActive());
    fx.Show("A");
    auto* author = fx.Find<TDBEdit>("DBEditAuthor");
    QCOMPARE(ControlTextColour(author), kNavy);
    const struct {
        int sheet;
        const char* name;
    } controls[] = {
        {0, "DBDateEditReleaseDate"}, {1, "DBDateEditDownLoad"},  {0, "DBRichEditDescription"},
        {2, "DBRichEditComments"},    {2, "RxDBLookupComboInstallStatus"}, {0, "DBCheckBoxBeta"},
        {0, "DBCheckBoxFullSourceIncl"},
    };
    for (const auto& c : controls) {
        fx.panel->setCurrentIndex(c.sheet);
        QWidget* control = fx.Find<QWidget>(c.name);
        QVERIFY2(ControlColour(control) == kSilver, c.name);
        control->setFocus(Qt::TabFocusReason);
        QVERIFY2(control->hasFocus(), c.name);
        QVERIFY2(ControlColour(control) == QColor(Qt::white), c.name);
        QTest::keyClick(control, Qt::Key_Tab);
        QVERIFY2(!control->hasFocus(), c.name);
        QVERIFY2(ControlColour(control) == kSilver, c.name);
    }

    // The one-line edits also change their text colour.
    fx.panel->setCurrentIndex(0);
    author->setFocus(Qt::TabFocusReason);
    QCOMPARE(ControlColour(author), QColor(Qt::white));
    QCOMPARE(ControlTextColour(author), QColor(Qt::black));
    QTest::keyClick(author, Qt::Key_Tab);
    QCOMPARE(ControlColour(author), kSilver);
    QCOMPARE(ControlTextColour(author), kNavy);

    // A pop-up menu over the memo does not take its focus colour away.
    fx.Description()->setFocus(Qt::TabFocusReason);
    QFocusEvent popupOut(QEvent::FocusOut, Qt::PopupFocusReason);
    QApplication::sendEvent(fx.Description(), &popupOut);
    QCOMPARE(ControlColour(fx.Description()), QColor(Qt::white));
}

void ComponentDetailPanelTest::formattingWithoutSelectionDoesNothing() {
    Fixture fx;
    fx.Add("A");
    fx.Set("A", "ProductDescription", QStringLiteral("plain words"));
    fx.Show("A");
    for (const char* action : {"RichEditNormal", "RichEditBold", "RichEditItalic", "RichEditUnderlined",
                               "RichEditSetFont"})
        fx.Trigger(action);
    QCOMPARE(fx.posts, 0);
    QCOMPARE(fx.Table().State(), TDataSetState::Edit);
    QVERIFY(!fx.Table().Modified());
    QVERIFY(!fx.Description()->IsRich());
    QCOMPARE(F(fx.Table(), "ProductDescription")->AsString(), QStringLiteral("plain words"));
}

void ComponentDetailPanelTest::formattingActsOnTheActiveSheetsMemoAndStoresTheRow() {
    Fixture fx;
    fx.Add("A");
    fx.Set("A", "ProductDescription", QStringLiteral("plain words"));
    fx.Set("A", "Comments", QStringLiteral("some comments"));
    fx.Show("A");
    // Imported plain text shows plain.
    QVERIFY(!fx.Description()->IsRich());
    QCOMPARE(fx.Description()->toPlainText(), QStringLiteral("plain words"));
    QCOMPARE(fx.panel->ActiveMemo(), fx.Description());

    Select(fx.Description(), 0, 5);
    fx.Trigger("RichEditBold");
    QCOMPARE(fx.posts, 1);
    // The row goes on in edit state, with the formatting stored and the selection kept.
    QCOMPARE(fx.Table().State(), TDataSetState::Edit);
    const QString stored = F(fx.Table(), "ProductDescription")->AsString();
    QVERIFY(TDBRichEdit::IsRichText(stored));
    QCOMPARE(fx.Description()->textCursor().selectedText(), QStringLiteral("plain"));
    QCOMPARE(FormatAt(fx.Description(), 2).fontWeight(), int(QFont::Bold));
    QCOMPARE(FormatAt(fx.Description(), 8).fontWeight(), int(QFont::Normal));

    // On another sheet the commands work on the comments memo, even with a selection
    // left in the description.
    fx.panel->setCurrentIndex(2);
    QCOMPARE(fx.panel->ActiveMemo(), fx.Comments());
    Select(fx.Description(), 6, 11);
    Select(fx.Comments(), 0, 4);
    fx.Trigger("RichEditItalic");
    fx.Trigger("RichEditUnderlined");
    QCOMPARE(fx.posts, 3);
    QVERIFY(FormatAt(fx.Comments(), 2).fontItalic());
    QVERIFY(FormatAt(fx.Comments(), 2).fontUnderline());
    QVERIFY(!FormatAt(fx.Description(), 8).fontItalic());
    QVERIFY(TDBRichEdit::IsRichText(F(fx.Table(), "Comments")->AsString()));
    QCOMPARE(F(fx.Table(), "ProductDescription")->AsString(), stored);

    // What was stored comes back formatted.
    fx.Add("B");
    fx.Show("B");
    fx.Show("A");
    QCOMPARE(FormatAt(fx.Description(), 2).fontWeight(), int(QFont::Bold));
    QVERIFY(FormatAt(fx.Comments(), 2).fontItalic());
    QCOMPARE(fx.Comments()->toPlainText(), QStringLiteral("some comments"));
}

void ComponentDetailPanelTest::eachTextShowsItsOwnFormattingAndArchiveHtmlAsText() {
    Fixture fx;
    for (const char* name : {"A", "B", "C", "D"})
        fx.Add(name);
    fx.Set("A", "ProductDescription", QStringLiteral("bold words"));
    fx.Set("B", "ProductDescription", QStringLiteral("plain words"));
    // Archive descriptions: a page, and the memo's own head as near as an info file's
    // one-line values come to it.
    const QString page = QStringLiteral("<html><body><h1>Heading</h1><img src=\"logo.png\"><a href=\"http://x\">"
                                        "link</a></body></html>\r\n\rNote:\r\rAdd.info:\r");
    const QString mimic = QString(kMemoMarkupHead).replace(QStringLiteral("\n"), QStringLiteral("\r\n")) +
                          QStringLiteral("<body><h1>Heading</h1></body></html>");
    fx.Set("C", "ProductDescription", page);
    fx.Set("D", "ProductDescription", mimic);
    QVERIFY(fx.ShowActive());
    fx.Show("A");
    TDBRichEdit* memo = fx.Description();
    velm::test::Click(memo->viewport());
    velm::test::Key(memo, Qt::Key_Home, Qt::ControlModifier);
    for (int i = 0; i < 4; ++i)
        velm::test::Key(memo, Qt::Key_Right, Qt::ShiftModifier);
    velm::test::ChooseFromPopupAt(memo->viewport(), memo->cursorRect().center(), QStringLiteral("&Bold"));
    QCOMPARE(FormatAt(memo, 2).fontWeight(), int(QFont::Bold));

    // The next text shows with its own formatting, none of the last one's.
    fx.Show("B");
    QCOMPARE(memo->toPlainText(), QStringLiteral("plain words"));
    for (int at : {1, 5, 11})
        QCOMPARE(FormatAt(memo, at).fontWeight(), int(QFont::Normal));
    // Text from an archive is shown as the text it is, markup and all.
    fx.Show("C");
    QVERIFY(!memo->IsRich());
    QVERIFY(memo->toPlainText().startsWith(QStringLiteral("<html><body><h1>Heading</h1><img src=")));
    fx.Show("D");
    QVERIFY(!memo->IsRich());
    QVERIFY(memo->toPlainText().startsWith(QStringLiteral("<!DOCTYPE HTML PUBLIC")));
    fx.Show("A");
    QCOMPARE(FormatAt(memo, 2).fontWeight(), int(QFont::Bold));
}

void ComponentDetailPanelTest::normalKeepsStrikeOut() {
    Fixture fx;
    fx.Add("A");
    fx.Set("A", "ProductDescription", QStringLiteral("struck text"));
    fx.Show("A");
    Select(fx.Description(), 0, 6);
    QTextCharFormat all;
    all.setFontWeight(QFont::Bold);
    all.setFontItalic(true);
    all.setFontUnderline(true);
    all.setFontStrikeOut(true);
    fx.Description()->MergeSelectionFormat(all);
    fx.Trigger("RichEditNormal");
    const QTextCharFormat format = FormatAt(fx.Description(), 3);
    QCOMPARE(format.fontWeight(), int(QFont::Normal));
    QVERIFY(!format.fontItalic());
    QVERIFY(!format.fontUnderline());
    QVERIFY(format.fontStrikeOut());
    QCOMPARE(fx.posts, 1);
}

void ComponentDetailPanelTest::setFontStartsFromTheMemosDefaultFont() {
    Fixture fx;
    fx.Add("A");
    fx.Set("A", "ProductDescription", QStringLiteral("some text here"));
    fx.Show("A");
    QTextCharFormat other;
    other.setFontFamilies({QStringLiteral("Times New Roman")});
    other.setFontWeight(QFont::Bold);
    Select(fx.Description(), 0, 4);
    fx.Description()->MergeSelectionFormat(other);
    const QFont memoDefault = fx.Description()->document()->defaultFont();

    std::optional<TFontChoice> answer;
    QList<TFontChoice> asked;
    const TFontChooser previous = SetFontChooser([&](const TFontChoice& initial, QWidget*) {
        asked << initial;
        return answer;
    });

    // Cancelled: the text stays as it was, but the row is stored all the same.
    const int postsBefore = fx.posts;
    fx.Trigger("RichEditSetFont");
    QCOMPARE(asked.size(), 1);
    QCOMPARE(asked.front().font.family(), memoDefault.family());
    QCOMPARE(asked.front().font.bold(), false);
    QCOMPARE(asked.front().colour, kNavy);
    QCOMPARE(FormatAt(fx.Description(), 2).fontWeight(), int(QFont::Bold));
    QCOMPARE(fx.posts, postsBefore + 1);

    QFont chosen(QStringLiteral("Courier New"));
    chosen.setPixelSize(40);
    chosen.setItalic(true);
    answer = TFontChoice{chosen, QColor(Qt::red)};
    Select(fx.Description(), 5, 9);
    fx.Trigger("RichEditSetFont");
    const QTextCharFormat format = FormatAt(fx.Description(), 7);
    QCOMPARE(format.font().pixelSize(), 40);
    QVERIFY(format.fontItalic());
    QCOMPARE(format.foreground().color(), QColor(Qt::red));
    QVERIFY(TDBRichEdit::IsRichText(F(fx.Table(), "ProductDescription")->AsString()));
    SetFontChooser(previous);
}

void ComponentDetailPanelTest::clipboardCommandsChangeTheActiveMemo() {
    Fixture fx;
    fx.Add("A");
    fx.Set("A", "Comments", QStringLiteral("keep cut"));
    fx.Set("A", "ProductDescription", QStringLiteral("description"));
    fx.Show("A");
    fx.panel->setCurrentIndex(2);

    Select(fx.Comments(), 4, 8);
    fx.Trigger("RichEditCut");
    QCOMPARE(QApplication::clipboard()->text(), QStringLiteral(" cut"));
    QCOMPARE(fx.Comments()->toPlainText(), QStringLiteral("keep"));
    QCOMPARE(fx.Table().State(), TDataSetState::Edit);

    Select(fx.Comments(), 0, 0);
    fx.Trigger("RichEditPaste");
    QCOMPARE(fx.Comments()->toPlainText(), QStringLiteral(" cutkeep"));
    QCOMPARE(fx.Description()->toPlainText(), QStringLiteral("description"));

    Select(fx.Comments(), 5, 8);
    fx.Trigger("RichEditCopy");
    QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("eep"));

    // The change is stored at the next post.
    fx.Table().Post();
    QCOMPARE(F(fx.Table(), "Comments")->AsString(), QStringLiteral(" cutkeep"));
}

void ComponentDetailPanelTest::theWheelChangesNothingThatHasNoFocus() {
    Fixture f;
    f.Add("Grid");
    f.Set("Grid", "Rating", 5);
    QVERIFY(f.ShowActive());
    f.Show("Grid");
    f.panel->setCurrentIndex(2);
    auto* status = f.Find<TDBLookupComboBox>("RxDBLookupComboInstallStatus");
    const QString statusBefore = status->currentText();
    // Rolled over them while scrolling past: neither value moves, nothing is stored.
    velm::test::RollWheel(f.Rating(), 2);
    velm::test::RollWheel(status, -2);
    QCOMPARE(f.Rating()->value(), 5);
    QCOMPARE(status->currentText(), statusBefore);
    QCOMPARE(f.posts, 0);
    // With the focus, the wheel moves the bar as a user expects.
    velm::test::Click(f.Rating(), QPoint(f.Rating()->width() / 2, f.Rating()->height() / 2));
    QVERIFY(f.Rating()->hasFocus());
    const int before = f.Rating()->value();
    velm::test::RollWheel(f.Rating(), 1);
    QVERIFY(f.Rating()->value() != before);
    QCOMPARE(F(f.Table(), "Rating")->AsInteger(), f.Rating()->value());
}

QTEST_MAIN(ComponentDetailPanelTest)
#include "test_component_detail_panel.moc"
