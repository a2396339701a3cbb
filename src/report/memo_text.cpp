#include "report/memo_text.h"

#include "catalogue/memo_markup.h"

#include <QColor>
#include <QFont>
#include <QStringList>
#include <QTextBlock>
#include <QTextCharFormat>
#include <QTextDocument>
#include <QTextList>

#include <algorithm>

namespace velm {

namespace {

// Text for inside an element: markup characters escaped, line separators as breaks,
// object marks (where a picture stood) and NULs dropped.
QString EscapeText(const QString& text) {
    QString out;
    out.reserve(text.size() + text.size() / 8);
    for (const QChar c : text) {
        switch (c.unicode()) {
        case '&': out += QLatin1String("&amp;"); break;
        case '<': out += QLatin1String("&lt;"); break;
        case '>': out += QLatin1String("&gt;"); break;
        case '"': out += QLatin1String("&quot;"); break;
        case 0x2028: out += QLatin1String("<br>"); break;
        case 0xFFFC:
        case 0: break;
        default: out += c;
        }
    }
    return out;
}

// A font family name as a quoted CSS value: only characters that cannot end the value
// or the attribute are kept.
QString CssFamily(const QString& family) {
    QString kept;
    for (const QChar c : family.left(64))
        if (c.isLetterOrNumber() || c == QLatin1Char(' ') || c == QLatin1Char('-') || c == QLatin1Char('_'))
            kept += c;
    return kept.trimmed();
}

QString FirstFamily(const QTextCharFormat& format) {
    const QStringList families = format.fontFamilies().toStringList();
    return families.isEmpty() ? QString() : families.first();
}

QString InlineStyle(const QTextCharFormat& format) {
    QStringList style;
    if (format.fontWeight() > QFont::Normal)
        style << QStringLiteral("font-weight:bold");
    if (format.fontItalic())
        style << QStringLiteral("font-style:italic");
    QStringList decoration;
    if (format.fontUnderline())
        decoration << QStringLiteral("underline");
    if (format.fontStrikeOut())
        decoration << QStringLiteral("line-through");
    if (!decoration.isEmpty())
        style << QStringLiteral("text-decoration:") + decoration.join(QLatin1Char(' '));
    const QString family = CssFamily(FirstFamily(format));
    if (!family.isEmpty())
        style << QStringLiteral("font-family:'%1'").arg(family);
    if (format.hasProperty(QTextFormat::FontPointSize) && format.fontPointSize() > 0)
        style << QStringLiteral("font-size:%1pt").arg(std::clamp(format.fontPointSize(), 1.0, 144.0));
    if (format.hasProperty(QTextFormat::ForegroundBrush) && format.foreground().style() != Qt::NoBrush)
        style << QStringLiteral("color:") + format.foreground().color().name();
    if (format.hasProperty(QTextFormat::BackgroundBrush) && format.background().style() != Qt::NoBrush)
        style << QStringLiteral("background-color:") + format.background().color().name();
    return style.join(QLatin1Char(';'));
}

QString BlockStyle(const QTextBlock& block) {
    QString style = QStringLiteral("margin:0;white-space:pre-wrap");
    const Qt::Alignment alignment = block.blockFormat().alignment();
    if (alignment & Qt::AlignHCenter)
        style += QStringLiteral(";text-align:center");
    else if (alignment & Qt::AlignRight)
        style += QStringLiteral(";text-align:right");
    else if (alignment & Qt::AlignJustify)
        style += QStringLiteral(";text-align:justify");
    int indent = block.blockFormat().indent();
    if (const QTextList* list = block.textList())
        indent += list->format().indent();
    if (indent > 0)
        style += QStringLiteral(";margin-left:%1em").arg(2 * std::min(indent, 20));
    return style;
}

QString ListMark(const QTextBlock& block) {
    const QTextList* list = block.textList();
    if (!list)
        return QString();
    const QString mark = list->itemText(block);
    return EscapeText(mark.isEmpty() ? QStringLiteral("\u2022") : mark) + QLatin1Char(' ');
}

QString RichSafeHtml(const QString& stored) {
    // Qt's own reading of the memo: whatever the stored HTML holds, only text with
    // formats comes out of it, and the page is rebuilt from those alone.
    QTextDocument document;
    document.setHtml(stored);
    QString html = QStringLiteral("<div>");
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        html += QStringLiteral("<p style=\"%1\">").arg(BlockStyle(block));
        html += ListMark(block);
        bool empty = true;
        for (QTextBlock::iterator it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            if (!fragment.isValid() || fragment.charFormat().isImageFormat())
                continue;
            const QString text = EscapeText(fragment.text());
            if (text.isEmpty())
                continue;
            empty = false;
            const QString style = InlineStyle(fragment.charFormat());
            html += style.isEmpty() ? text : QStringLiteral("<span style=\"%1\">%2</span>").arg(style, text);
        }
        if (empty && !block.textList())
            html += QLatin1String("<br>");
        html += QLatin1String("</p>\n");
    }
    return html + QStringLiteral("</div>");
}

}  // namespace

QString MemoPlainText(const QString& stored) {
    if (!IsMemoMarkup(stored))
        return stored;
    QTextDocument document;
    document.setHtml(stored);
    return document.toPlainText();
}

QString MemoSafeHtml(const QString& stored) {
    if (stored.isEmpty())
        return QString();
    if (IsMemoMarkup(stored))
        return RichSafeHtml(stored);
    return QStringLiteral("<div style=\"white-space:pre-wrap\">") + EscapeText(stored) + QStringLiteral("</div>");
}

void LoadMemoDocument(QTextDocument& document, const QString& stored) {
    if (IsMemoMarkup(stored)) {
        document.setHtml(MemoSafeHtml(stored));
        return;
    }
    // The import writes CR line breaks; each break is one line, whatever its kind.
    QString text = stored;
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    document.setPlainText(text);
}

}  // namespace velm
