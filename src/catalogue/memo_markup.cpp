#include "catalogue/memo_markup.h"

#include <array>

namespace velm {

namespace {

char Lower(char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; }

bool IsNameChar(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'); }

// A tag's element name, lower-cased, kept on the stack; a name longer than any element
// this reading cares for comes back empty.
struct TagName {
    std::array<char, 8> text{};
    qsizetype size = 0;
    bool Is(const char* name) const { return QByteArrayView(text.data(), size) == QByteArrayView(name); }
};

TagName NameOf(QByteArrayView tag) {
    TagName name;
    for (qsizetype i = 0; i < tag.size() && IsNameChar(tag[i]); ++i) {
        if (name.size == qsizetype(name.text.size()) - 1)
            return {};
        name.text[size_t(name.size++)] = Lower(tag[i]);
    }
    return name;
}

// Elements that begin a line of their own in the shown text.
bool BeginsBlock(const TagName& name) {
    for (const char* block : {"p", "li", "h1", "h2", "h3", "h4", "h5", "h6", "pre", "hr"})
        if (name.Is(block))
            return true;
    return false;
}

// Elements whose content is never shown.
bool HidesContent(const TagName& name) {
    return name.Is("head") || name.Is("style") || name.Is("script") || name.Is("title");
}

// Where plain text stops: markup, an entity, a line end of the markup, a no-break space.
bool IsSpecial(char c) { return c == '<' || c == '&' || c == '\n' || c == '\r' || c == '\xC2'; }

void AppendUtf8(QByteArray& out, char32_t code) {
    if (code == 0 || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
        return;
    const char32_t one[] = {code};
    out += QString::fromUcs4(one, 1).toUtf8();
}

// Decodes the entity at s[at] ('&'); returns the position after it, or at + 1 when it
// is no entity (the '&' is then text).
qsizetype DecodeEntity(QByteArrayView s, qsizetype at, QByteArray& out) {
    const qsizetype end = s.indexOf(';', at);
    if (end < 0 || end - at > 10) {
        out += '&';
        return at + 1;
    }
    const QByteArrayView name = s.sliced(at + 1, end - at - 1);
    if (name == "lt")
        out += '<';
    else if (name == "gt")
        out += '>';
    else if (name == "amp")
        out += '&';
    else if (name == "quot")
        out += '"';
    else if (name == "apos")
        out += '\'';
    else if (name == "nbsp")
        out += ' ';  // shown as a space, and searched as one
    else if (name.startsWith('#')) {
        bool ok = false;
        const bool hex = name.size() > 1 && (name[1] == 'x' || name[1] == 'X');
        const uint code = name.sliced(hex ? 2 : 1).toUInt(&ok, hex ? 16 : 10);
        if (!ok) {
            out += '&';
            return at + 1;
        }
        AppendUtf8(out, code == 0xA0 ? u' ' : char32_t(code));
    } else {
        out += '&';
        return at + 1;
    }
    return end + 1;
}

}  // namespace

QByteArray MemoShownUtf8(QByteArrayView stored) {
    if (!IsMemoMarkup(stored))
        return stored.toByteArray();
    QByteArray out;
    out.reserve(stored.size() / 2);
    const qsizetype n = stored.size();
    // The head holds no text; the markup opened it.
    const qsizetype headEnd = stored.indexOf(QByteArrayView("</head>"));
    qsizetype pos = headEnd < 0 ? kMemoMarkupHead.size() : headEnd + 7;
    bool inBlock = false;         // a line has begun; the next block starts another
    bool emptyParagraph = false;  // Qt marks an empty line with a <br /> that is no break
    while (pos < n) {
        const char c = stored[pos];
        if (c == '&') {
            pos = DecodeEntity(stored, pos, out);
            continue;
        }
        if (c == '\n' || c == '\r') {
            // Line ends in the markup lay out the markup; breaks in the text are tags.
            ++pos;
            continue;
        }
        if (c == '\xC2' && pos + 1 < n && stored[pos + 1] == '\xA0') {
            out += ' ';  // a no-break space, shown and searched as a space
            pos += 2;
            continue;
        }
        if (c != '<') {
            // Plain text up to the next character that needs a look: copied in one go.
            qsizetype end = pos + 1;
            while (end < n && !IsSpecial(stored[end]))
                ++end;
            out.append(stored.data() + pos, end - pos);
            pos = end;
            continue;
        }
        const qsizetype close = stored.indexOf('>', pos);
        if (close < 0)
            break;
        const QByteArrayView tag = stored.sliced(pos + 1, close - pos - 1);
        pos = close + 1;
        if (tag.startsWith('/') || tag.startsWith('!'))
            continue;
        const TagName name = NameOf(tag);
        if (BeginsBlock(name)) {
            if (inBlock)
                out += '\n';
            inBlock = true;
            emptyParagraph = name.Is("p") && tag.indexOf(QByteArrayView("-qt-paragraph-type:empty")) >= 0;
        } else if (name.Is("br")) {
            if (!emptyParagraph)
                out += '\n';
        } else if (HidesContent(name)) {
            const QByteArray end = "</" + QByteArray(name.text.data(), name.size);
            qsizetype at = pos;
            // Case-insensitive search for the closing tag.
            while (at < n) {
                at = stored.indexOf('<', at);
                if (at < 0 || at + end.size() > n)
                    break;
                bool same = true;
                for (qsizetype i = 0; i < end.size() && same; ++i)
                    same = Lower(stored[at + i]) == end[i];
                if (same)
                    break;
                ++at;
            }
            if (at < 0 || at >= n)
                break;
            pos = at;
        }
    }
    return out;
}

QString MemoShownText(const QString& stored) {
    if (!IsMemoMarkup(stored))
        return stored;
    return QString::fromUtf8(MemoShownUtf8(stored.toUtf8()));
}

}  // namespace velm
