#include "import/ide_package_text.h"

#include "catalogue/ascii_case.h"
#include "import/ide_versions.h"

#include <QByteArray>

#include <algorithm>

namespace velm::ide {

namespace {

constexpr qsizetype kMaxValue = 40;
constexpr qsizetype kMaxRequiresClause = 4096;

bool IsWordChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}
bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}
bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

// The text with NUL bytes dropped (UTF-16 becomes its ASCII), and a lower-case copy of
// it with the same offsets for the searches.
struct Text {
    QByteArray Plain;
    QByteArray Lower;

    explicit Text(QByteArrayView bytes) {
        Plain.reserve(bytes.size());
        for (char c : bytes)
            if (c != '\0')
                Plain += c;
        Lower = AsciiLowerCase(Plain);
    }
    qsizetype Find(const char* what, qsizetype from = 0) const { return Lower.indexOf(what, from); }
    // Whether a "//" before pos on its line turns it into a comment.
    bool InLineComment(qsizetype pos) const {
        const qsizetype lineStart = Lower.lastIndexOf('\n', pos) + 1;
        const qsizetype slashes = Lower.indexOf("//", lineStart);
        return slashes >= 0 && slashes < pos;
    }
};

// A short run of digits as a number (callers check the digits).
int Number(QByteArrayView digits) {
    int n = 0;
    for (char c : digits)
        n = n * 10 + (c - '0');
    return n;
}

QString Latin1(QByteArrayView bytes) {
    return QString::fromLatin1(bytes.data(), bytes.size());
}

// The text of a suffix: a package number ("290", "_290") or a name ("_D7", "XE2").
void AddSuffix(QByteArrayView value, TokenFamily fileFamily, const QString& clue, PackageTextFacts& facts) {
    qsizetype b = 0;
    qsizetype e = value.size();
    while (b < e && !IsWordChar(value[b]))
        ++b;
    while (e > b && !IsWordChar(value[e - 1]))
        --e;
    const QByteArrayView core = value.sliced(b, e - b);
    if (core.isEmpty())
        return;
    bool digits = core.size() <= 4;
    for (char c : core)
        digits = digits && IsDigit(c);
    if (digits) {
        NameToken token = PackageSuffixToken(Number(core));
        if (!token.Release)
            return;
        if (token.Family == TokenFamily::Neutral)
            token.Family = fileFamily;
        facts.Versions.push_back({token, clue});
        return;
    }
    const QString name = Latin1(core);
    for (NameToken token : NameTokens(name, NamePart::PackageFile)) {
        if (token.Family == TokenFamily::Neutral)
            token.Family = fileFamily;
        facts.Versions.push_back({token, clue});
    }
}

// {$LIBSUFFIX '290'} and {$LIBSUFFIX AUTO}, each one: a package for several IDEs may
// set one per compiler in conditional blocks.
void ReadLibSuffixes(const Text& text, PackageTextFacts& facts) {
    for (qsizetype pos = text.Find("$libsuffix"); pos >= 0; pos = text.Find("$libsuffix", pos + 1)) {
        if (pos == 0 || (text.Lower[pos - 1] != '{' && text.Lower[pos - 1] != '*') || text.InLineComment(pos))
            continue;
        qsizetype i = pos + 10;
        while (i < text.Lower.size() && IsBlank(text.Lower[i]))
            ++i;
        if (i < text.Lower.size() && text.Lower[i] == '\'') {
            const qsizetype close = text.Lower.indexOf('\'', i + 1);
            if (close < 0 || close - i - 1 > kMaxValue)
                continue;
            const QByteArrayView value = QByteArrayView(text.Plain).sliced(i + 1, close - i - 1);
            if (value.contains('\n'))
                continue;
            AddSuffix(value, TokenFamily::Delphi, QStringLiteral("LIBSUFFIX ") + Latin1(value), facts);
        } else if (QByteArrayView(text.Lower).sliced(i).startsWith("auto") &&
                   (i + 4 >= text.Lower.size() || !IsWordChar(text.Lower[i + 4]))) {
            facts.AutoSuffix = true;
        }
    }
}

// Borland's own run-time packages carried the version up to Delphi 5 ("vcl50");
// from Delphi 6 on they are named without it.
void ReadBorlandPackageName(QByteArrayView name, TokenFamily fileFamily, const char* clue, PackageTextFacts& facts) {
    static const char* const kNames[] = {"vcl", "vclx", "vcldb", "vclsmp", "vclbde", "vcljpg", "vclie",
                                         "vclmid", "inet", "inetdb", "dclstd", "dclsmp", "tee", "qrpt"};
    if (name.size() < 5)
        return;
    const QByteArrayView number = name.last(2);
    const QByteArrayView stem = name.first(name.size() - 2);
    if (!IsDigit(number[0]) || !IsDigit(number[1]))
        return;
    bool known = false;
    for (const char* n : kNames)
        known = known || stem == QByteArrayView(n);
    const int suffix = Number(number);
    if (!known || (suffix != 30 && suffix != 35 && suffix != 40 && suffix != 50))
        return;
    NameToken token = PackageSuffixToken(suffix);
    if (token.Family == TokenFamily::Neutral)
        token.Family = fileFamily;
    facts.Versions.push_back({token, QString::fromLatin1(clue) + Latin1(name)});
}

// The names of a requires clause or a .dof's package list, up to its end.
void ReadPackageList(const Text& text, qsizetype from, char end, const char* clue, PackageTextFacts& facts) {
    const qsizetype stop = std::min(text.Lower.size(), from + kMaxRequiresClause);
    qsizetype i = from;
    while (i < stop && text.Lower[i] != end) {
        if (text.Lower[i] == '{') {  // a comment
            const qsizetype close = text.Lower.indexOf('}', i);
            i = close < 0 ? stop : close + 1;
            continue;
        }
        if (!IsWordChar(text.Lower[i])) {
            ++i;
            continue;
        }
        qsizetype j = i;
        while (j < stop && IsWordChar(text.Lower[j]))
            ++j;
        ReadBorlandPackageName(QByteArrayView(text.Lower).sliced(i, j - i), TokenFamily::Delphi, clue, facts);
        i = j;
    }
}

void ReadRequires(const Text& text, PackageTextFacts& facts) {
    for (qsizetype pos = text.Find("requires"); pos >= 0; pos = text.Find("requires", pos + 1)) {
        const qsizetype after = pos + 8;
        if ((pos > 0 && IsWordChar(text.Lower[pos - 1])) || after >= text.Lower.size() ||
            IsWordChar(text.Lower[after]) || text.InLineComment(pos))
            continue;
        ReadPackageList(text, after, ';', "requires ", facts);
        return;
    }
}

// The value of an XML element, as long as it is short: <ProjectVersion>12.0</...>.
bool ElementValue(const Text& text, const char* openTag, QByteArrayView& value) {
    const qsizetype pos = text.Find(openTag);
    if (pos < 0)
        return false;
    const qsizetype start = pos + qsizetype(qstrlen(openTag));
    const qsizetype close = text.Lower.indexOf('<', start);
    if (close < 0 || close - start > kMaxValue)
        return false;
    value = QByteArrayView(text.Plain).sliced(start, close - start).trimmed();
    return true;
}

void ReadProject(const Text& text, TokenFamily family, PackageTextFacts& facts) {
    // Only a project's lack of a version says something (2007 wrote none); of a text
    // that is no project, nothing is known.
    if (text.Find("<project") < 0)
        facts.ProjectVersion = 0;
    QByteArrayView value;
    if (ElementValue(text, "<projectversion>", value)) {
        // "12.0" as 120; a value that is no such number says nothing.
        const qsizetype dot = value.indexOf('.');
        const QByteArrayView major = dot < 0 ? value : value.first(dot);
        bool ok = !major.isEmpty() && major.size() <= 2 && (dot < 0 || (dot + 1 < value.size() && IsDigit(value[dot + 1])));
        for (char c : major)
            ok = ok && IsDigit(c);
        if (value.isEmpty())
            facts.ProjectVersion = -1;
        else
            facts.ProjectVersion = ok ? Number(major) * 10 + (dot < 0 ? 0 : value[dot + 1] - '0') : 0;
    }
    if (ElementValue(text, "<dllsuffix>", value)) {
        if (value.size() == 7 && qstrnicmp(value.data(), "$(auto)", 7) == 0)
            facts.AutoSuffix = true;
        else
            AddSuffix(value, family, QStringLiteral("DllSuffix ") + Latin1(value), facts);
    }
}

// "VERSION = BCB.03" in the make files of C++Builder 3 and 4, <VERSION value="BCB.06.00"/>
// in the XML of 5 and 6.
void ReadBpk(const Text& text, PackageTextFacts& facts) {
    const qsizetype pos = text.Find("bcb.0");
    if (pos < 0 || pos + 5 >= text.Lower.size())
        return;
    const char digit = text.Lower[pos + 5];
    if (digit < '3' || digit > '6' || (pos + 6 < text.Lower.size() && IsDigit(text.Lower[pos + 6])))
        return;
    NameToken token;
    token.Family = TokenFamily::Cpp;
    token.Release = FindIdeVersion(IdeFamily::CppBuilder, QString(QChar(digit)))->Release;
    facts.Versions.push_back({token, QStringLiteral("BCB.0") + QChar(digit)});
}

// [FileVersion] Version=6.0 or 7.0 (Delphi 6 and 7); before them the IDE's package list.
void ReadDof(const Text& text, PackageTextFacts& facts) {
    const qsizetype section = text.Find("[fileversion]");
    if (section >= 0) {
        const qsizetype next = text.Lower.indexOf("\n[", section + 1);
        const qsizetype key = text.Find("\nversion=", section);
        if (key >= 0 && (next < 0 || key < next) && key + 12 <= text.Lower.size()) {
            const QByteArrayView value = QByteArrayView(text.Lower).sliced(key + 9, 3);
            if (value == QByteArrayView("6.0") || value == QByteArrayView("7.0")) {
                NameToken token;
                token.Family = TokenFamily::Delphi;
                token.Release = FindIdeVersion(IdeFamily::Delphi, QString(QChar(value[0])))->Release;
                facts.Versions.push_back({token, QStringLiteral("FileVersion ") + Latin1(value)});
                return;
            }
        }
    }
    const qsizetype packages = text.Find("\npackages=");
    if (packages >= 0)
        ReadPackageList(text, packages + 10, '\n', "Packages ", facts);
}

}  // namespace

PackageTextFacts ReadPackageText(QByteArrayView bytes, PackageText kind) {
    PackageTextFacts facts;
    facts.Read = true;
    const Text text(bytes);
    switch (kind) {
    case PackageText::Dpk:
        ReadLibSuffixes(text, facts);
        ReadRequires(text, facts);
        break;
    case PackageText::Dproj:
        ReadProject(text, TokenFamily::Delphi, facts);
        break;
    case PackageText::Cbproj:
        ReadProject(text, TokenFamily::Cpp, facts);
        break;
    case PackageText::Bdsproj:
        if (text.Find("cplusbuilder.personality") >= 0) {
            NameToken token;
            token.Family = TokenFamily::Cpp;
            token.Release = FindIdeVersion(IdeFamily::CppBuilder, u"2006")->Release;
            facts.Versions.push_back({token, QStringLiteral("C++Builder personality")});
        }
        break;
    case PackageText::Bpk:
        ReadBpk(text, facts);
        break;
    case PackageText::Dof:
        ReadDof(text, facts);
        break;
    case PackageText::None:
        break;
    }
    return facts;
}

}  // namespace velm::ide
