#include "widgets/db_rich_edit.h"

#include "app/messages.h"
#include "catalogue/field.h"

#include <QFocusEvent>
#include <QMimeData>

namespace velm {

TDBRichEdit::TDBRichEdit(QWidget* parent) : QTextEdit(parent), TDataAware(this) {
    setAcceptRichText(true);
    // Tab moves on to the next control, as on the rest of the form.
    setTabChangesFocus(true);
    DataLink().OnDataChange = [this] { ShowField(); };
    DataLink().OnUpdateData = [this] { StoreField(); };
    DataLink().OnStateChange = [this] { setReadOnly(!DataLink().CanModify()); };
    connect(this, &QTextEdit::textChanged, this, &TDBRichEdit::UserChanged);
}

bool TDBRichEdit::IsRichText(const QString& text) {
    const QString head = text.left(64).trimmed();
    return head.startsWith(QLatin1String("<!DOCTYPE HTML"), Qt::CaseInsensitive) ||
           head.startsWith(QLatin1String("<html"), Qt::CaseInsensitive);
}

void TDBRichEdit::ShowField() {
    const TField* field = DataLink().Field();
    const QString text = field && DataLink().Active() ? field->AsString() : QString();
    // Showing the text it holds already would lose the caret and the selection (a
    // formatting command posts the row, and the post redraws every control).
    if (!dirty_ && text == shown_)
        return;
    loading_ = true;
    rich_ = IsRichText(text);
    if (rich_)
        setHtml(text);
    else
        setPlainText(text);
    document()->clearUndoRedoStacks();
    loading_ = false;
    shown_ = text;
    dirty_ = false;
}

void TDBRichEdit::StoreField() {
    QString text;
    if (!document()->isEmpty())
        text = rich_ ? toHtml() : toPlainText();
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
    if (loading_)
        return;
    dirty_ = true;
    try {
        if (!DataLink().Modify())
            DataLink().Reset();
    } catch (const std::exception& error) {
        DataLink().Reset();
        ReportException(error);
    }
}

void TDBRichEdit::focusOutEvent(QFocusEvent* event) {
    QTextEdit::focusOutEvent(event);
    StoreInputOnFocusOut(event);
}

}  // namespace velm
