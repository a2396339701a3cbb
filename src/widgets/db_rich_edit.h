#pragma once

#include "widgets/field_data_link.h"

#include <QTextCharFormat>
#include <QTextEdit>

namespace velm {

// A rich-text memo bound to a memo field. Rich text is kept as Qt HTML. A field holding
// plain text (as an import writes it) is shown plain and stays plain text, pastes
// included, until the user formats it; from then on the memo stores HTML.
class TDBRichEdit : public QTextEdit, public TDataAware {
    Q_OBJECT
    Q_PROPERTY(QString DataField READ DataField WRITE SetDataField)
public:
    explicit TDBRichEdit(QWidget* parent = nullptr);

    // Whether the memo stores HTML (the field held rich text, or the user formatted it).
    bool IsRich() const { return rich_; }
    // Merges a format into the selected text; the memo holds rich text from then on.
    void MergeSelectionFormat(const QTextCharFormat& format);

    // Whether a stored memo text is rich text written by this memo.
    static bool IsRichText(const QString& text);

protected:
    void focusOutEvent(QFocusEvent* event) override;
    void insertFromMimeData(const QMimeData* source) override;

private:
    void ShowField();
    void StoreField();
    void UserChanged();

    QString shown_;       // the field text last shown or stored
    bool dirty_ = false;  // the user changed the text since
    bool rich_ = false;
    bool loading_ = false;
};

}  // namespace velm
