#pragma once

#include "widgets/field_data_link.h"

#include <QTextCharFormat>
#include <QTextEdit>

namespace velm {

// A rich-text memo bound to a memo field. Rich text is kept as Qt HTML. A field holding
// plain text (as an import writes it) is shown plain and stays plain text, pastes
// included, until the user formats it; from then on the memo stores HTML.
//
// A text longer than kLargeTextLength is not laid out whole: megabytes would hold the
// window for minutes. It is shown as plain text, read-only, a part at a time (the next
// part as the user scrolls to the end), under a line that says so; the field is never
// written from such a view.
class TDBRichEdit : public QTextEdit, public TDataAware {
    Q_OBJECT
    Q_PROPERTY(QString DataField READ DataField WRITE SetDataField)
public:
    static constexpr qsizetype kLargeTextLength = 64 * 1024;
    static constexpr qsizetype kLargeTextPart = 16 * 1024;

    explicit TDBRichEdit(QWidget* parent = nullptr);

    // Whether the field's text is too long to be shown and edited whole.
    bool ShowsLargeText() const { return large_; }
    // Characters of a large text not shown yet.
    qsizetype LargeTextLeft() const { return large_ ? largeText_.size() - largeShown_ : 0; }

    // Whether the memo stores HTML (the field held rich text, or the user formatted it).
    bool IsRich() const { return rich_; }
    // Merges a format into the selected text; the memo holds rich text from then on.
    void MergeSelectionFormat(const QTextCharFormat& format);

    // Whether a stored memo text is rich text written by this memo (and not text that
    // merely looks like HTML, as an archive's description may).
    static bool IsRichText(const QString& text);

protected:
    void focusOutEvent(QFocusEvent* event) override;
    void insertFromMimeData(const QMimeData* source) override;

private:
    void ShowField();
    void ShowLargeText(const QString& text);
    void ShowMoreOfLargeText();
    void StoreField();
    void UserChanged();
    void FollowState();

    QString shown_;       // the field text last shown or stored
    bool dirty_ = false;  // the user changed the text since
    bool rich_ = false;
    bool loading_ = false;
    bool large_ = false;
    QString largeText_;        // the whole of a large text, as plain text
    qsizetype largeShown_ = 0;  // how much of it is shown
};

}  // namespace velm
