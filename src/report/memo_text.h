#pragma once

#include <QString>

class QTextDocument;

namespace velm {

// A memo as the catalogue stores it is plain text (as an import writes it, with its
// own line breaks) or Qt rich-text HTML (once edited in the detail panel). Reports
// read both through these.

// The memo's text without formatting; plain memos come back unchanged.
QString MemoPlainText(const QString& stored);

// The memo as an HTML fragment that is safe inside any page: plain text escaped (line
// breaks kept, for a white-space: pre-wrap box), rich text rebuilt from Qt's reading of
// it with nothing but paragraphs, line breaks, list marks and inline formatting (bold,
// italic, underline, strike-out, font family and size, colours). Scripts, links,
// images, frames and every other tag or attribute of the stored HTML are dropped.
QString MemoSafeHtml(const QString& stored);

// Fills a document with the memo for printing: the formatting of a rich memo (from
// its safe form, so nothing outside the memo is loaded), plain text as it is.
void LoadMemoDocument(QTextDocument& document, const QString& stored);

}  // namespace velm
