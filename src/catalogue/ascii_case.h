#pragma once

#include <QByteArray>
#include <QString>
#include <QStringView>

// ASCII letter case. The catalogue's keys, its searches and its sorted lists ignore the
// case of A to Z only, as the table engine's unique keys do; any other letter compares
// as it is.
namespace velm {

template <class Char>
constexpr Char AsciiUpper(Char c) {
    return c >= Char('a') && c <= Char('z') ? Char(c - Char('a') + Char('A')) : c;
}
template <class Char>
constexpr Char AsciiLower(Char c) {
    return c >= Char('A') && c <= Char('Z') ? Char(c - Char('A') + Char('a')) : c;
}

inline QString AsciiUpperCase(QString text) {
    for (QChar& c : text)
        c = QChar(AsciiUpper(c.unicode()));
    return text;
}

inline QByteArray AsciiLowerCase(QByteArray text) {
    for (char& c : text)
        c = AsciiLower(c);
    return text;
}

// -1, 0 or 1, as a and b order with A to Z folded.
inline int CompareAsciiNoCase(QStringView a, QStringView b) {
    const qsizetype n = std::min(a.size(), b.size());
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t ca = AsciiUpper(a[i].unicode());
        const char16_t cb = AsciiUpper(b[i].unicode());
        if (ca != cb)
            return ca < cb ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

}  // namespace velm
