#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

namespace velm {

// A memo field holds plain text (as an import writes it, or as typed into a memo that
// was never formatted) or the rich text the detail panel writes once its text is
// formatted: Qt's HTML, which always opens with kMemoMarkupHead. Only that head makes a
// memo rich. An import can never write it: an info file's value is one line, and the
// head breaks its first line with a bare LF where an imported text has more of the line
// or CR LF. So text from an archive that looks like HTML stays the text it is.
inline constexpr QLatin1StringView kMemoMarkupHead(
    "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.0//EN\" \"http://www.w3.org/TR/REC-html40/strict.dtd\">\n"
    "<html><head><meta name=\"qrichtext\" content=\"1\" />");

inline bool IsMemoMarkup(QStringView stored) { return stored.startsWith(kMemoMarkupHead); }
inline bool IsMemoMarkup(QByteArrayView stored) {
    return stored.startsWith(QByteArrayView(kMemoMarkupHead.data(), kMemoMarkupHead.size()));
}

// The text a memo shows: a rich memo without its markup (its paragraphs on lines of
// their own, entities decoded, the head and its style sheet dropped), as a search
// should see it; a plain memo as it is. Linear in the memo's length. The first reads
// and gives UTF-8, as the memo is stored.
QByteArray MemoShownUtf8(QByteArrayView stored);
QString MemoShownText(const QString& stored);

}  // namespace velm
