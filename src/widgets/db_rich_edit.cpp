#include "widgets/db_rich_edit.h"

#include "kit/messages.h"
#include "catalogue/field.h"
#include "catalogue/memo_markup.h"

#include <QFocusEvent>
#include <QMimeData>
#include <QScrollBar>
#include <QTextBlockFormat>
#include <QTextCursor>

#include <algorithm>

namespace velm {

TDBRichEdit::TDBRichEdit(QWidget* parent) : QTextEdit(parent), TDataAware(this) {
    setAcceptRichText(true);
    // Tab moves on to the next control, as on the rest of the form.
    setTabChangesFocus(true);
    DataLink().OnDataChange = [this] { ShowField(); };
    DataLink().OnUpdateData = [this] { StoreField(); };
    DataLink().OnStateChange = [this] { FollowState(); };
    connect(this, &QTextEdit::textChanged, this, &TDBRichEdit::UserChanged);
    connect(verticalScrollBar(), &QScrollBar::valueChanged, this, [this](int value) {
        if (large_ && value >= verticalScrollBar()->maximum() - verticalScrollBar()->pageStep())
            ShowMoreOfLargeText();
    });
}

void TDBRichEdit::FollowState() { setReadOnly(large_ || !DataLink().CanModify()); }

bool TDBRichEdit::IsRichText(const QString& text) { return IsMemoMarkup(text); }

void TDBRichEdit::ShowField() {
    const TField* field = DataLink().Field();
    const QString text = field && DataLink().Active() ? field->AsString() : QString();
    // Showing the text it holds already would lose the caret and the selection (a
    // formatting command posts the row, and the post redraws every control).
    if (!dirty_ && text == shown_)
        return;
    loading_ = true;
    rich_ = IsRichText(text);
    const bool wasLarge = large_;
    large_ = text.size() > kLargeTextLength;
    // A new text would take the format the caret stood in (bold, after a formatted
    // text was shown): each text is shown with its own formatting only.
    QTextCursor fresh(document());
    fresh.setCharFormat(QTextCharFormat());
    setTextCursor(fresh);
    if (large_)
        ShowLargeText(MemoShownText(text));
    else if (rich_)
        setHtml(text);
    else
        setPlainText(text);
    if (!large_)
        largeText_.clear();
    if (large_ != wasLarge)
        FollowState();
    document()->clearUndoRedoStacks();
    loading_ = false;
    shown_ = text;
    dirty_ = false;
}

void TDBRichEdit::ShowLargeText(const QString& text) {
    largeText_ = text;
    largeShown_ = 0;
    setPlainText(QString());
    QTextCursor cursor(document());
    QTextCharFormat notice;
    notice.setFontItalic(true);
    notice.setForeground(QColor(0x60, 0x60, 0x60));
    cursor.insertText(QStringLiteral("This text is too long to edit here (%L1 characters); it is shown a part at a "
                                     "time as you scroll.")
                          .arg(text.size()),
                      notice);
    cursor.insertBlock(QTextBlockFormat(), QTextCharFormat());
    ShowMoreOfLargeText();
}

void TDBRichEdit::ShowMoreOfLargeText() {
    if (!large_ || largeShown_ >= largeText_.size())
        return;
    // Whole characters only: a part never ends in half a surrogate pair.
    qsizetype end = std::min(largeText_.size(), largeShown_ + kLargeTextPart);
    if (end < largeText_.size() && largeText_.at(end - 1).isHighSurrogate())
        --end;
    const bool wasLoading = loading_;
    loading_ = true;
    QTextCursor cursor(document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(largeText_.mid(largeShown_, end - largeShown_));
    loading_ = wasLoading;
    largeShown_ = end;
}

void TDBRichEdit::StoreField() {
    // A large text is shown in part and never written back from here.
    if (large_)
        return;
    QString text;
    if (!document()->isEmpty()) {
        text = rich_ ? toHtml() : toPlainText();
        // A plain text that opens like the memo's own markup would be read back as
        // markup: it is stored as rich text, which shows it as it is.
        if (!rich_ && IsMemoMarkup(text)) {
            rich_ = true;
            text = toHtml();
        }
    }
    DataLink().Field()->SetAsString(text);
    shown_ = text;
    dirty_ = false;
}

void TDBRichEdit::MergeSelectionFormat(const QTextCharFormat& format) {
    rich_ = true;
    mergeCurrentCharFormat(format);
}

void TDBRichEdit::insertFromMimeData(const QMimeData* source) {
    // Formatting comes in through the formatting commands only: a plain memo takes the
    // pasted text without the formatting it carries.
    if (!rich_ && source && source->hasText()) {
        insertPlainText(source->text());
        return;
    }
    QTextEdit::insertFromMimeData(source);
}

void TDBRichEdit::UserChanged() {
    if (loading_ || large_)
        return;
    dirty_ = true;
    NoteUserEdit();
}

void TDBRichEdit::focusOutEvent(QFocusEvent* event) {
    QTextEdit::focusOutEvent(event);
    StoreInputOnFocusOut(event);
}

}  // namespace velm
