#include "import/zip_member_names.h"

namespace velm {

namespace {

// Letter case and the two folder separators do not count. Names are nearly all ASCII,
// which needs no look-up in the Unicode tables.
char16_t Folded(QChar c) {
    const char16_t code = c.unicode();
    if (code < 0x80) {
        if (code >= u'A' && code <= u'Z')
            return char16_t(code + (u'a' - u'A'));
        return code == u'/' ? u'\\' : code;
    }
    return c.toCaseFolded().unicode();
}

QString Normalised(const QString& text) {
    QString folded(text.size(), Qt::Uninitialized);
    for (qsizetype i = 0; i < text.size(); ++i)
        folded[i] = QChar(Folded(text[i]));
    return folded;
}

// Classic wildcard matching with one remembered "*": linear in practice, never
// exponential, whatever the pattern. The pattern is already normalised; the text is
// folded character by character, so no copy of each member name is made.
bool WildcardMatch(QStringView text, QStringView pattern) {
    qsizetype t = 0;
    qsizetype p = 0;
    qsizetype starP = -1;
    qsizetype starT = 0;
    while (t < text.size()) {
        if (p < pattern.size() && (pattern[p] == u'?' || pattern[p] == Folded(text[t]))) {
            ++t;
            ++p;
        } else if (p < pattern.size() && pattern[p] == u'*') {
            starP = p++;
            starT = t;
        } else if (starP >= 0) {
            p = starP + 1;
            t = ++starT;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == u'*')
        ++p;
    return p == pattern.size();
}

bool MatchesNormalisedPattern(const QString& memberName, const QString& pattern) {
    if (pattern.contains(u'\\'))
        return WildcardMatch(memberName, pattern);
    qsizetype start = memberName.size();
    while (start > 0 && memberName[start - 1] != u'\\' && memberName[start - 1] != u'/')
        --start;
    return WildcardMatch(QStringView(memberName).sliced(start), pattern);
}

}  // namespace

bool MatchesFileSpec(const QString& memberName, const QString& pattern) {
    return MatchesNormalisedPattern(memberName, Normalised(pattern));
}

TFileSpecMatcher::TFileSpecMatcher(const QStringList& patterns) {
    for (const QString& pattern : patterns) {
        Pattern prepared{Normalised(pattern), 0, false};
        const qsizetype star = prepared.text.lastIndexOf(u'*');
        prepared.tail = prepared.text.size() - star - 1;
        prepared.exactLength = star < 0 && prepared.text.contains(u'\\');
        patterns_.push_back(std::move(prepared));
    }
}

bool TFileSpecMatcher::Matches(const QString& memberName) const {
    for (const Pattern& pattern : patterns_) {
        // What follows the pattern's last "*" must match the name's end, whichever part of
        // the name the pattern is matched against: most names of a large archive fail here.
        if (memberName.size() < pattern.tail || (pattern.exactLength && memberName.size() != pattern.tail))
            continue;
        const QStringView tail = QStringView(pattern.text).last(pattern.tail);
        const QStringView end = QStringView(memberName).last(pattern.tail);
        bool fits = true;
        for (qsizetype i = 0; fits && i < tail.size(); ++i)
            fits = tail[i] == u'?' || tail[i] == Folded(end[i]);
        if (fits && MatchesNormalisedPattern(memberName, pattern.text))
            return true;
    }
    return false;
}

QStringList SafeMemberPath(const QString& memberName) {
    QString name = memberName;
    name.replace(u'/', u'\\');
    if (name.isEmpty() || name.startsWith(u'\\') || name.contains(u':'))
        return {};
    for (const QChar c : name) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7F)
            return {};
    }
    const QStringList parts = name.split(u'\\');
    for (const QString& part : parts) {
        // Only dots and blanks: ".", "..", and what Windows trims down to them.
        bool onlyDots = true;
        for (const QChar c : part)
            onlyDots = onlyDots && (c == u'.' || c == u' ');
        if (onlyDots)
            return {};
    }
    return parts;
}

}  // namespace velm
