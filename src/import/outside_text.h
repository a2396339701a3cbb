#pragma once

#include <QString>
#include <QStringView>

namespace velm {

// Text from an archive, an info file or a file name, made fit to be a name or part of a
// message: escape sequences and control characters go, each run of line breaks and
// tabs becomes one blank, and the marks that turn the direction of text around go too,
// since they could make a message read other than it says.
inline QString ShowableText(QStringView text) {
    constexpr char16_t kEsc = 0x1B;
    constexpr char16_t kBell = 0x07;
    const auto isBreak = [](char16_t c) {
        return (c >= 0x09 && c <= 0x0D) || c == 0x85 || c == 0x2028 || c == 0x2029;
    };
    const auto isDropped = [](char16_t c) {
        return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x061C || c == 0x200E || c == 0x200F ||
               (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069) || c == 0xFFFE || c == 0xFFFF;
    };
    QString shown;
    shown.reserve(text.size());
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n) {
        const char16_t c = text[i].unicode();
        // A control sequence: the introducer (ESC "[" or its one-character form), then
        // parameters and intermediates, then one final character.
        if ((c == kEsc && i + 1 < n && text[i + 1] == u'[') || c == 0x9B) {
            i += c == kEsc ? 2 : 1;
            while (i < n && text[i].unicode() >= 0x20 && text[i].unicode() <= 0x3F)
                ++i;
            if (i < n && text[i].unicode() >= 0x40 && text[i].unicode() <= 0x7E)
                ++i;
            continue;
        }
        // A control string (operating system command, device control and the like): up
        // to its terminator, BEL or ESC "\".
        const bool stringIntroducer = c == 0x90 || c == 0x98 || c == 0x9D || c == 0x9E || c == 0x9F;
        if (stringIntroducer || (c == kEsc && i + 1 < n && QStringView(u"]P_^X").contains(text[i + 1]))) {
            i += c == kEsc ? 2 : 1;
            while (i < n && text[i] != kBell && text[i].unicode() != 0x9C && text[i] != kEsc)
                ++i;
            if (i < n && text[i] == kEsc)
                ++i;  // ESC of the terminator: its "\" is taken as the final below
            if (i < n)
                ++i;
            continue;
        }
        // Any other escape: intermediates, then one final character.
        if (c == kEsc) {
            ++i;
            while (i < n && text[i].unicode() >= 0x20 && text[i].unicode() <= 0x2F)
                ++i;
            if (i < n && text[i].unicode() >= 0x30 && text[i].unicode() <= 0x7E)
                ++i;
            continue;
        }
        if (isBreak(c)) {
            while (i < n && isBreak(text[i].unicode()))
                ++i;
            shown += u' ';
            continue;
        }
        if (!isDropped(c))
            shown += text[i];
        ++i;
    }
    return shown;
}

}  // namespace velm
