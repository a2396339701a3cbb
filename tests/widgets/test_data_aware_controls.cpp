// The data-aware controls over a real catalogue: they show the current row, put it into
// edit state when the user changes them, and hand their input to the row before it is
// left or stored.
#include "catalogue/data_source.h"
#include "catalogue/memo_markup.h"
#include "catalogue/table.h"
#include "support/message_recorder.h"
#include "support/temp_catalogue.h"
#include "widgets/check_list_box.h"
#include "widgets/db_check_box.h"
#include "widgets/db_date_edit.h"
#include "widgets/db_edit.h"
#include "widgets/db_lookup_combo_box.h"
#include "widgets/db_radio_group.h"
#include "widgets/db_rich_edit.h"
#include "widgets/db_text.h"

#include <QCalendarWidget>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTest>
#include <QTextCursor>
#include <QVBoxLayout>

using namespace velm;
using velm::test::MessageRecorder;
using velm::test::TempCatalogue;

namespace {

TField* F(TTable& table, const char* name) { return table.FieldByName(QString::fromLatin1(name)); }

void Store(TTable& table, const char* field, const QVariant& value) {
    table.Edit();
    F(table, field)->SetValue(value);
    table.Post();
}

void Go(TTable& table, const char* productName) {
    QVERIFY(table.Locate(QStringLiteral("ProductName"), QString::fromLatin1(productName), true));
}

// A window holding controls, shown and active so focus moves are real.
struct Form {
    QWidget window;
    QVBoxLayout* layout = new QVBoxLayout(&window);

    template <class Control>
    Control* Add(TDataSource* source, const char* field) {
        auto* control = new Control(&window);
        control->SetDataSource(source);
        control->SetDataField(QString::fromLatin1(field));
        layout->addWidget(control);
        return control;
    }
    bool Show() {
        window.show();
        window.activateWindow();
        return QTest::qWaitForWindowActive(&window);
    }
};

}  // namespace

class DataAwareControlsTest : public QObject {
    Q_OBJECT
private slots:
    void typedInputIsStoredWhenTheRowIsLeft();
    void focusLossWritesTheInputWithoutPosting();
    void controlsFollowTheCurrentRow();
    void editsKeepToTheirFieldsLimits();
    void emptyDateStaysEmpty();
    void datePickedInTheCalendarGoesIntoTheRowAtOnce();
    void choicesGoIntoTheRowAtOnce();
    void lookupListFollowsTheStatusTable();
    void memoKeepsPlainTextPlainUntilFormatted();
    void cancelledEditShowsTheStoredValuesAgain();
    void nothingIsAppendedToAnEmptyTable();
    void checkListReportsOnlyTheUsersToggles();
};

void DataAwareControlsTest::typedInputIsStoredWhenTheRowIsLeft() {
    TempCatalogue cat;
    const qint64 c = cat.AddCategory(QStringLiteral("Grids"));
    cat.AddPackage(QStringLiteral("A"), c);
    cat.AddPackage(QStringLiteral("B"), c);
    TTable& table = *cat.Module().TableCPInfo;
    Form form;
    auto* author = form.Add<TDBEdit>(cat.Module().DSCPInfo, "Author");
    auto* major = form.Add<TDBEdit>(cat.Module().DSCPInfo, "VersionMajor");
    auto* memo = form.Add<TDBRichEdit>(cat.Module().DSCPInfo, "Comments");
    auto* date = form.Add<TDBDateEdit>(cat.Module().DSCPInfo, "ReleaseDate");

    Go(table, "A");
    QCOMPARE(table.State(), TDataSetState::Browse);
    QTest::keyClicks(author, QStringLiteral("Jane Roe"));
    // The first keystroke puts the row into edit state; the text is not in the row yet.
    QCOMPARE(table.State(), TDataSetState::Edit);
    QCOMPARE(author->text(), QStringLiteral("Jane Roe"));
    QVERIFY(F(table, "Author")->IsNull());
    QTest::keyClicks(major, QStringLiteral("3"));
    QTest::keyClicks(memo, QStringLiteral("Fast and small"));
    QTest::keyClicks(date, QDate(2001, 2, 3).toString(TDateEdit::DisplayFormat()));

    Go(table, "B");
    QCOMPARE(author->text(), QString());
    Go(table, "A");
    QCOMPARE(F(table, "Author")->AsString(), QStringLiteral("Jane Roe"));
    QCOMPARE(F(table, "VersionMajor")->AsInteger(), 3);
    QCOMPARE(F(table, "Comments")->AsString(), QStringLiteral("Fast and small"));
    QCOMPARE(F(table, "ReleaseDate")->AsDate(), QDate(2001, 2, 3));
    QCOMPARE(author->text(), QStringLiteral("Jane Roe"));
}

void DataAwareControlsTest::focusLossWritesTheInputWithoutPosting() {
    TempCatalogue cat;
    cat.AddPackage(QStringLiteral("A"), cat.AddCategory(QStringLiteral("Grids")));
    TTable& table = *cat.Module().TableCPInfo;
    Form form;
    auto* author = form.Add<TDBEdit>(cat.Module().DSCPInfo, "Author");
    auto* email = form.Add<TDBEdit>(cat.Module().DSCPInfo, "AuthorEmail");
    QVERIFY(form.Show());

    author->setFocus();
    QTest::keyClicks(author, QStringLiteral("Jane"));
    email->setFocus();
    QCOMPARE(F(table, "Author")->AsString(), QStringLiteral("Jane"));
    QCOMPARE(table.State(), TDataSetState::Edit);
    QVERIFY(table.Modified());
}

void DataAwareControlsTest::controlsFollowTheCurrentRow() {
    TempCatalogue cat;
    const qint64 c = cat.AddCategory(QStringLiteral("Grids"));
    cat.AddPackage(QStringLiteral("A"), c, 1);
    cat.AddPackage(QStringLiteral("B"), c);
    TTable& table = *cat.Module().TableCPInfo;
    Go(table, "A");
    table.Edit();
    F(table, "Author")->SetAsString(QStringLiteral("Ann"));
    F(table, "Beta")->SetAsBoolean(true);
    F(table, "ReleaseDate")->SetAsDate(QDate(1999, 12, 31));
    F(table, "FreeShareCommercial")->SetAsInteger(2);
    F(table, "ProductDescription")->SetAsString(QStringLiteral("first line\nsecond line"));
    table.Post();

    Form form;
    auto* author = form.Add<TDBEdit>(cat.Module().DSCPInfo, "Author");
    auto* beta = form.Add<TDBCheckBox>(cat.Module().DSCPInfo, "Beta");
    auto* date = form.Add<TDBDateEdit>(cat.Module().DSCPInfo, "ReleaseDate");
    auto* availability = form.Add<TDBRadioGroup>(cat.Module().DSCPInfo, "FreeShareCommercial");
    availability->SetItems({QStringLiteral("Freeware"), QStringLiteral("Shareware"), QStringLiteral("Commercial")});
    auto* memo = form.Add<TDBRichEdit>(cat.Module().DSCPInfo, "ProductDescription");
    auto* status = form.Add<TDBLookupComboBox>(cat.Module().DSCPInfo, "Status");
    status->SetListField(QStringLiteral("Description"));
    status->SetKeyField(QStringLiteral("ID"));
    status->SetListSource(cat.Module().DSStatus);
    auto* category = form.Add<TDBText>(cat.Module().DSCPInfo, "CategoryName");

    // Bound while A is current: it shows at once.
    QCOMPARE(author->text(), QStringLiteral("Ann"));
    QVERIFY(beta->isChecked());
    QCOMPARE(date->Date(), QDate(1999, 12, 31));
    QCOMPARE(availability->ItemIndex(), 2);
    QCOMPARE(memo->toPlainText(), QStringLiteral("first line\nsecond line"));
    QCOMPARE(status->currentText(), DefaultStatusValues().value(0));
    QCOMPARE(category->text(), QStringLiteral("Grids"));

    Go(table, "B");
    QCOMPARE(author->text(), QString());
    QVERIFY(!beta->isChecked());
    QVERIFY(date->IsEmpty());
    QCOMPARE(availability->ItemIndex(), -1);
    QCOMPARE(memo->toPlainText(), QString());
    QCOMPARE(status->currentIndex(), -1);

    // A change made by code to the current row shows as well, lookups included.
    table.Edit();
    F(table, "Author")->SetAsString(QStringLiteral("Bob"));
    F(table, "Status")->SetAsInteger(2);
    F(table, "FreeShareCommercial")->SetAsInteger(7);
    QCOMPARE(author->text(), QStringLiteral("Bob"));
    QCOMPARE(status->currentText(), DefaultStatusValues().value(1));
    QCOMPARE(availability->ItemIndex(), -1);
    table.Cancel();
    QCOMPARE(author->text(), QString());
}

void DataAwareControlsTest::editsKeepToTheirFieldsLimits() {
    TempCatalogue cat;
    cat.AddPackage(QStringLiteral("A"), cat.AddCategory(QStringLiteral("Grids")));
    TTable& table = *cat.Module().TableCPInfo;
    Form form;
    auto* author = form.Add<TDBEdit>(cat.Module().DSCPInfo, "Author");
    auto* major = form.Add<TDBEdit>(cat.Module().DSCPInfo, "VersionMajor");
    QCOMPARE(author->maxLength(), 50);

    QTest::keyClicks(major, QStringLiteral("4x0"));
    QCOMPARE(major->text(), QStringLiteral("40"));
    major->clear();
    QTest::keyClicks(major, QStringLiteral("99999"));
    QVERIFY(major->text().toInt() <= 32767);
    table.Post();
    QVERIFY(F(table, "VersionMajor")->AsInteger() <= 32767);

    // Emptied, the field is empty again rather than 0.
    major->selectAll();
    QTest::keyClick(major, Qt::Key_Delete);
    table.Post();
    QVERIFY(F(table, "VersionMajor")->IsNull());
}

void DataAwareControlsTest::emptyDateStaysEmpty() {
    TempCatalogue cat;
    const qint64 c = cat.AddCategory(QStringLiteral("Grids"));
    cat.AddPackage(QStringLiteral("A"), c);
    cat.AddPackage(QStringLiteral("B"), c);
    TTable& table = *cat.Module().TableCPInfo;
    Form form;
    auto* date = form.Add<TDBDateEdit>(cat.Module().DSCPInfo, "DownloadDate");
    auto* author = form.Add<TDBEdit>(cat.Module().DSCPInfo, "Author");

    Go(table, "A");
    QVERIFY(date->IsEmpty());
    // Storing the row for another field's sake leaves the empty date empty.
    QTest::keyClicks(author, QStringLiteral("x"));
    Go(table, "B");
    Go(table, "A");
    QVERIFY(F(table, "DownloadDate")->IsNull());
    QVERIFY(date->IsEmpty());

    // A date wiped out by the user is stored as empty.
    Store(table, "DownloadDate", QDate(2020, 5, 6));
    QCOMPARE(date->Date(), QDate(2020, 5, 6));
    date->selectAll();
    QTest::keyClick(date, Qt::Key_Backspace);
    QVERIFY(date->IsEmpty());
    Go(table, "B");
    Go(table, "A");
    QVERIFY(F(table, "DownloadDate")->IsNull());

    // Half a date is no date: the stored one stays, and the user is told.
    MessageRecorder messages;
    Store(table, "DownloadDate", QDate(2020, 5, 6));
    date->selectAll();
    QTest::keyClicks(date, QStringLiteral("1"));
    QVERIFY(!date->HasValidDate());
    Go(table, "B");
    Go(table, "A");
    QCOMPARE(F(table, "DownloadDate")->AsDate(), QDate(2020, 5, 6));
    QCOMPARE(date->Date(), QDate(2020, 5, 6));
    QCOMPARE(messages.Count(), 1);
    QCOMPARE(messages.Last().text, InvalidDateText(QStringLiteral("1")));
}

void DataAwareControlsTest::datePickedInTheCalendarGoesIntoTheRowAtOnce() {
    TempCatalogue cat;
    cat.AddPackage(QStringLiteral("A"), cat.AddCategory(QStringLiteral("Grids")));
    TTable& table = *cat.Module().TableCPInfo;
    Form form;
    auto* date = form.Add<TDBDateEdit>(cat.Module().DSCPInfo, "ReleaseDate");
    QVERIFY(form.Show());

    QTest::keyClick(date, Qt::Key_Down, Qt::AltModifier);
    QCalendarWidget* calendar = date->Calendar();
    QVERIFY(calendar);
    // An empty box opens the calendar on today.
    QCOMPARE(calendar->selectedDate(), QDate::currentDate());
    emit calendar->clicked(QDate(2003, 4, 5));
    QVERIFY(!date->Calendar());
    QCOMPARE(date->Date(), QDate(2003, 4, 5));
    QCOMPARE(table.State(), TDataSetState::Edit);
    QCOMPARE(F(table, "ReleaseDate")->AsDate(), QDate(2003, 4, 5));
}

void DataAwareControlsTest::choicesGoIntoTheRowAtOnce() {
    TempCatalogue cat;
    cat.AddPackage(QStringLiteral("A"), cat.AddCategory(QStringLiteral("Grids")));
    TTable& table = *cat.Module().TableCPInfo;
    Form form;
    auto* source = form.Add<TDBCheckBox>(cat.Module().DSCPInfo, "FullSourceIncl");
    auto* availability = form.Add<TDBRadioGroup>(cat.Module().DSCPInfo, "FreeShareCommercial");
    availability->SetItems({QStringLiteral("Freeware"), QStringLiteral("Shareware"), QStringLiteral("Commercial")});
    auto* status = form.Add<TDBLookupComboBox>(cat.Module().DSCPInfo, "Status");
    status->SetListSource(cat.Module().DSStatus);
    status->SetListField(QStringLiteral("Description"));
    status->SetKeyField(QStringLiteral("ID"));
    QVERIFY(form.Show());

    QTest::mouseClick(source, Qt::LeftButton, {}, QPoint(8, source->height() / 2));
    QCOMPARE(table.State(), TDataSetState::Edit);
    QVERIFY(F(table, "FullSourceIncl")->AsBoolean());

    availability->Button(1)->click();
    QCOMPARE(F(table, "FreeShareCommercial")->AsInteger(), 1);
    availability->Button(0)->click();
    QCOMPARE(F(table, "FreeShareCommercial")->AsInteger(), 0);

    // The list shows the status texts; choosing one stores its ID.
    QCOMPARE(status->count(), DefaultStatusValues().size());
    status->setFocus();
    QTest::keyClick(status, Qt::Key_Down);
    QTest::keyClick(status, Qt::Key_Down);
    QCOMPARE(status->currentText(), DefaultStatusValues().value(1));
    QCOMPARE(F(table, "Status")->AsInteger(), 2);
    QCOMPARE(F(table, "StatusDescr")->AsString(), DefaultStatusValues().value(1));

    table.Post();
    QVERIFY(F(table, "FullSourceIncl")->AsBoolean());
    QCOMPARE(F(table, "Status")->AsInteger(), 2);
}

void DataAwareControlsTest::lookupListFollowsTheStatusTable() {
    TempCatalogue cat({QStringLiteral("Installed"), QStringLiteral("Tried")});
    cat.AddPackage(QStringLiteral("A"), cat.AddCategory(QStringLiteral("Grids")), 2);
    TTable& statuses = *cat.Module().TableStatus;
    Form form;
    auto* status = form.Add<TDBLookupComboBox>(cat.Module().DSCPInfo, "Status");
    status->SetListSource(cat.Module().DSStatus);
    status->SetListField(QStringLiteral("Description"));
    status->SetKeyField(QStringLiteral("ID"));
    QCOMPARE(status->currentText(), QStringLiteral("Tried"));

    statuses.First();
    // A row being added is not read half-made; it is listed once stored.
    statuses.Append();
    QCOMPARE(statuses.State(), TDataSetState::Insert);
    F(statuses, "Description")->SetAsString(QStringLiteral("Broken"));
    QCOMPARE(statuses.State(), TDataSetState::Insert);
    statuses.Post();
    QCOMPARE(status->count(), 3);
    QCOMPARE(status->itemText(2), QStringLiteral("Broken"));
    // Reading the list leaves the status table on its row.
    QCOMPARE(F(statuses, "Description")->AsString(), QStringLiteral("Broken"));
    QCOMPARE(status->currentText(), QStringLiteral("Tried"));
}

void DataAwareControlsTest::memoKeepsPlainTextPlainUntilFormatted() {
    TempCatalogue cat;
    const qint64 c = cat.AddCategory(QStringLiteral("Grids"));
    cat.AddPackage(QStringLiteral("A"), c);
    cat.AddPackage(QStringLiteral("B"), c);
    TTable& table = *cat.Module().TableCPInfo;
    Form form;
    auto* memo = form.Add<TDBRichEdit>(cat.Module().DSCPInfo, "ProductDescription");

    // Text that merely looks like markup is still plain text.
    Go(table, "A");
    Store(table, "ProductDescription", QStringLiteral("Use <b> for bold & more"));
    QCOMPARE(memo->toPlainText(), QStringLiteral("Use <b> for bold & more"));
    QVERIFY(!memo->IsRich());
    memo->moveCursor(QTextCursor::End);
    QTest::keyClicks(memo, QStringLiteral("!"));
    table.Post();
    QCOMPARE(F(table, "ProductDescription")->AsString(), QStringLiteral("Use <b> for bold & more!"));

    // Formatting turns the memo into rich text, which comes back with its formatting.
    QTextCursor cursor = memo->textCursor();
    cursor.setPosition(0);
    cursor.setPosition(3, QTextCursor::KeepAnchor);
    memo->setTextCursor(cursor);
    QTextCharFormat bold;
    bold.setFontWeight(QFont::Bold);
    memo->MergeSelectionFormat(bold);
    QCOMPARE(table.State(), TDataSetState::Edit);
    table.Post();
    const QString stored = F(table, "ProductDescription")->AsString();
    QVERIFY(TDBRichEdit::IsRichText(stored));
    // The post keeps the user's selection: the text was not loaded again.
    QCOMPARE(memo->textCursor().selectedText(), QStringLiteral("Use"));

    Go(table, "B");
    QCOMPARE(memo->toPlainText(), QString());
    QVERIFY(!memo->IsRich());
    Go(table, "A");
    QVERIFY(memo->IsRich());
    QCOMPARE(memo->toPlainText(), QStringLiteral("Use <b> for bold & more!"));
    cursor = memo->textCursor();
    cursor.setPosition(1);
    QCOMPARE(cursor.charFormat().fontWeight(), int(QFont::Bold));
    cursor.setPosition(5);
    QCOMPARE(cursor.charFormat().fontWeight(), int(QFont::Normal));

    // Typed into a plain memo, the memo's own markup is kept as the text it is.
    Go(table, "B");
    const QString typed = QString(kMemoMarkupHead) + QStringLiteral("<h1>typed</h1>");
    memo->setFocus();
    const QStringList lines = typed.split(QLatin1Char('\n'));
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (i > 0)
            QTest::keyClick(memo, Qt::Key_Return);
        QTest::keyClicks(memo, lines.at(i));
    }
    table.Post();
    Go(table, "A");
    Go(table, "B");
    QCOMPARE(memo->toPlainText(), typed);
}

void DataAwareControlsTest::cancelledEditShowsTheStoredValuesAgain() {
    TempCatalogue cat;
    cat.AddPackage(QStringLiteral("A"), cat.AddCategory(QStringLiteral("Grids")));
    TTable& table = *cat.Module().TableCPInfo;
    Store(table, "Comments", QStringLiteral("kept"));
    Form form;
    auto* memo = form.Add<TDBRichEdit>(cat.Module().DSCPInfo, "Comments");
    auto* author = form.Add<TDBEdit>(cat.Module().DSCPInfo, "Author");

    memo->moveCursor(QTextCursor::End);
    QTest::keyClicks(memo, QStringLiteral(" and changed"));
    QTest::keyClicks(author, QStringLiteral("Someone"));
    table.Cancel();
    QCOMPARE(memo->toPlainText(), QStringLiteral("kept"));
    QCOMPARE(author->text(), QString());
    QCOMPARE(F(table, "Comments")->AsString(), QStringLiteral("kept"));
}

void DataAwareControlsTest::nothingIsAppendedToAnEmptyTable() {
    TempCatalogue cat;
    TTable& table = *cat.Module().TableCPInfo;
    MessageRecorder messages;
    Form form;
    auto* author = form.Add<TDBEdit>(cat.Module().DSCPInfo, "Author");
    auto* beta = form.Add<TDBCheckBox>(cat.Module().DSCPInfo, "Beta");
    QVERIFY(author->isReadOnly());
    QTest::keyClicks(author, QStringLiteral("x"));
    beta->click();
    QVERIFY(!beta->isChecked());
    QCOMPARE(table.State(), TDataSetState::Browse);
    QCOMPARE(table.RecordCount(), 0);
    QCOMPARE(messages.Count(), 0);
}

void DataAwareControlsTest::checkListReportsOnlyTheUsersToggles() {
    TCheckListBox list;
    list.SetItems({QStringLiteral("one"), QStringLiteral("two"), QStringLiteral("three")});
    QSignalSpy toggles(&list, &TCheckListBox::clickCheck);
    list.SetChecked(0, true);
    list.SetChecked(2, true);
    list.item(1)->setText(QStringLiteral("TWO"));
    QCOMPARE(toggles.count(), 0);
    QVERIFY(list.Checked(0) && !list.Checked(1) && list.Checked(2));

    list.show();
    QVERIFY(QTest::qWaitForWindowExposed(&list));
    list.setCurrentRow(2);
    QTest::keyClick(list.viewport(), Qt::Key_Space);
    QCOMPARE(toggles.count(), 1);
    QCOMPARE(toggles.at(0).at(0).toInt(), 2);
    QCOMPARE(toggles.at(0).at(1).toBool(), false);
    QVERIFY(!list.Checked(2));
}

QTEST_MAIN(DataAwareControlsTest)
#include "test_data_aware_controls.moc"
