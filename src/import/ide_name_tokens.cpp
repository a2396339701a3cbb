#include "import/ide_name_tokens.h"

#include "catalogue/ascii_case.h"
#include "import/ide_versions.h"

#include <QString>
#include <QVarLengthArray>

#include <cstring>

namespace velm::ide {

namespace {

// A run of letters or of digits in a name. Letter runs are cut where a capitalised word
// starts ("JvCoreD7R": Jv, Core, D, 7, R); digits keep a dot between them ("10.4").
struct Word {
    QStringView Text;
    bool Alpha = false;
    bool Glued = false;  // nothing between it and the word before
    QChar Separator;     // what stands before it when not glued
    // A letter word in lower-case ASCII, to compare at the speed a name of every member
    // of a large archive needs; empty when longer than any word looked for.
    char Key[12] = {};
};

void SetKey(Word& word) {
    if (word.Text.size() >= qsizetype(sizeof word.Key))
        return;
    for (qsizetype i = 0; i < word.Text.size(); ++i) {
        const char16_t c = word.Text[i].unicode();
        if ((c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z'))
            word.Key[i] = char(AsciiLower(c));
        else {
            word.Key[0] = '\0';
            return;
        }
    }
}

bool Is(const Word& word, const char* text) {
    return std::strcmp(word.Key, text) == 0;
}

bool IsLetter(QChar c) {
    return c.isLetter();
}
bool IsDigit(QChar c) {
    return c >= u'0' && c <= u'9';
}

// Most names have a handful of words: kept on the stack, as names of every member of a
// large archive pass through here.
using Words = QVarLengthArray<Word, 24>;

void SplitWords(QStringView s, Words& words) {
    words.clear();
    const qsizetype n = s.size();
    QChar separator = u' ';
    bool glued = false;
    qsizetype i = 0;
    while (i < n) {
        if (IsDigit(s[i])) {
            qsizetype j = i + 1;
            while (j < n && (IsDigit(s[j]) || (s[j] == u'.' && j + 1 < n && IsDigit(s[j + 1]))))
                ++j;
            words.push_back({s.sliced(i, j - i), false, glued, separator});
            i = j;
        } else if (IsLetter(s[i])) {
            qsizetype j = i + 1;
            while (j < n && IsLetter(s[j]))
                ++j;
            qsizetype start = i;
            for (qsizetype k = i + 1; k < j; ++k) {
                const bool upper = s[k].isUpper();
                const bool wordStart = upper && (s[k - 1].isLower() ||
                                                 (s[k - 1].isUpper() && k + 1 < j && s[k + 1].isLower()));
                if (!wordStart)
                    continue;
                words.push_back({s.sliced(start, k - start), true, start == i ? glued : true, separator});
                SetKey(words.back());
                start = k;
            }
            words.push_back({s.sliced(start, j - start), true, start == i ? glued : true, separator});
            SetKey(words.back());
            i = j;
        } else {
            separator = s[i];
            glued = false;
            ++i;
            continue;
        }
        glued = true;
    }
}

// The release names point into the version table, so tokens compare and live cheaply.
const char* ReleaseNamed(QAnyStringView name) {
    const IdeVersion* version = FindIdeVersion(IdeFamily::Delphi, name);
    if (!version)
        version = FindIdeVersion(IdeFamily::CppBuilder, name);
    return version ? version->Release : nullptr;
}

const char* ReleaseOfInternalNumber(int number) {
    // 13 was skipped; Florence's 37 is not known to appear in package names.
    if (number < 9 || number > 29 || number == 13)
        return nullptr;
    for (const IdeVersion& version : IdeVersions())
        if (version.ProductNumber == number)
            return version.Release;
    return nullptr;
}

int ParseNumber(QStringView digits) {
    if (digits.isEmpty() || digits.size() > 4 || digits.contains(u'.'))
        return -1;
    return digits.toInt();
}

// "10.1" to "10.4": the dotted releases; any other dotted number is a product's own.
const char* DottedRelease(QStringView digits) {
    if (digits.size() != 4 || !digits.startsWith(u"10.") || digits[3] < u'1' || digits[3] > u'4')
        return nullptr;
    return ReleaseNamed(digits);
}

enum class Numbering { Product, RadStudio };

// A number after a prefix such as D, Delphi, CB or RS.
bool ReadNumber(QStringView digits, Numbering numbering, NameToken& token) {
    if (const char* dotted = DottedRelease(digits)) {
        token.Release = dotted;
        token.Style = NamingStyle::Product;
        return true;
    }
    const int n = ParseNumber(digits);
    if (n >= 2005 && n <= 2010) {
        token.Release = ReleaseNamed(digits);
        token.Style = NamingStyle::Product;
        return token.Release != nullptr;
    }
    if (numbering == Numbering::Product && n >= 1 && n <= 8) {
        token.Release = ReleaseNamed(digits);
        return true;
    }
    if (n >= 10 && n <= 12) {
        token.Release = ReleaseNamed(digits);
        // RAD Studio was never numbered 10 to 12 before Seattle.
        if (numbering == Numbering::Product)
            token.InternalRelease = ReleaseOfInternalNumber(n);
        return true;
    }
    if (n == 13) {
        token.Release = ReleaseNamed(digits);
        token.Style = NamingStyle::Product;
        return true;
    }
    if (const char* release = ReleaseOfInternalNumber(n); release && (n >= 14 || numbering == Numbering::Product)) {
        token.Release = release;
        token.Style = NamingStyle::Internal;
        return true;
    }
    return false;
}

struct Prefix {
    const char* Text;
    TokenFamily Family;
    bool Spelled;  // a product's name: a blank or underscore may stand before the number
    bool Xe;       // the prefix already ends in XE
    bool CppOnly;
    Numbering Numbers;
};

constexpr TokenFamily kD = TokenFamily::Delphi;
constexpr TokenFamily kC = TokenFamily::Cpp;
constexpr TokenFamily kN = TokenFamily::Neutral;
constexpr Numbering kProduct = Numbering::Product;
constexpr Numbering kRad = Numbering::RadStudio;

constexpr Prefix kPrefixes[] = {
    {"d", kD, false, false, false, kProduct},          {"delphi", kD, true, false, false, kProduct},
    {"c", kC, false, false, true, kProduct},           {"cb", kC, false, false, false, kProduct},
    {"bcb", kC, true, false, false, kProduct},         {"cbuilder", kC, true, false, false, kProduct},
    {"cppbuilder", kC, true, false, false, kProduct},  {"rs", kN, false, false, false, kRad},
    {"radstudio", kN, true, false, false, kRad},       {"xe", kN, false, true, false, kProduct},
    {"dxe", kD, false, true, false, kProduct},         {"delphixe", kD, false, true, false, kProduct},
    {"cbxe", kC, false, true, false, kProduct},        {"bcbxe", kC, false, true, false, kProduct},
    {"rsxe", kN, false, true, false, kRad},
};

const Prefix* FindPrefix(const char* key) {
    if (!std::strchr("bcdrx", key[0]))
        return nullptr;
    for (const Prefix& prefix : kPrefixes)
        if (std::strcmp(key, prefix.Text) == 0)
            return &prefix;
    return nullptr;
}

struct Codename {
    char Key[12];
    const char* Release;
};

// The codenames from the version table in lower case, gathered once.
const std::vector<Codename>& Codenames() {
    static const std::vector<Codename> codenames = [] {
        std::vector<Codename> list;
        for (const IdeVersion& version : IdeVersions()) {
            if (!version.Codename[0] || version.Family != IdeFamily::Delphi)
                continue;
            Codename codename{};
            for (std::size_t i = 0; version.Codename[i] && i + 1 < sizeof codename.Key; ++i)
                codename.Key[i] = char(QChar::toLower(char16_t(version.Codename[i])));
            codename.Release = version.Release;
            list.push_back(codename);
        }
        return list;
    }();
    return codenames;
}

const char* CodenameRelease(const Word& word) {
    if (!word.Key[0])
        return nullptr;
    for (const Codename& codename : Codenames())
        if (std::strcmp(word.Key, codename.Key) == 0)
            return codename.Release;
    return nullptr;
}

bool IsSeparator(QChar c, const char* allowed) {
    for (const char* a = allowed; *a; ++a)
        if (c == QLatin1Char(*a))
            return true;
    return false;
}

class Scanner {
public:
    Scanner(const Words& words, std::vector<NameToken>& tokens) : w_(words), tokens_(tokens) {}

    // Reads the tokens; returns whether the last word was used by one.
    bool Scan() {
        bool lastUsed = false;
        for (qsizetype k = 0; k < w_.size(); ++k) {
            if (!w_[k].Alpha || !WordStart(k))
                continue;
            qsizetype next = k;
            if (ReadPrefixed(k, next) || ReadCodename(k, next)) {
                lastUsed = next >= w_.size();
                k = next - 1;
            }
        }
        return lastUsed;
    }

private:
    // A prefix starts a word: after a separator or where a capitalised word starts, never
    // glued to digits ("Direct3D9", "tb2k").
    bool WordStart(qsizetype k) const { return !w_[k].Glued || (k > 0 && w_[k - 1].Alpha); }

    // After a version, a name goes on with a separator or a capitalised word ("D7R",
    // "D10Seattle"), never with small letters ("D7abc" is no version).
    bool Ends(qsizetype q) const { return q >= w_.size() || !w_[q].Glued || (w_[q].Alpha && w_[q].Text[0].isUpper()); }

    bool ReadPrefixed(qsizetype k, qsizetype& next) {
        qsizetype end = k;  // the prefix's last word
        const Prefix* prefix = nullptr;
        if ((Is(w_[k], "c") || Is(w_[k], "cpp")) && k + 1 < w_.size() && Is(w_[k + 1], "builder")) {
            prefix = FindPrefix("cppbuilder");
            end = k + 1;
        } else if (Is(w_[k], "rad") && k + 1 < w_.size() && Is(w_[k + 1], "studio")) {
            prefix = FindPrefix("radstudio");
            end = k + 1;
        } else {
            prefix = w_[k].Key[0] ? FindPrefix(w_[k].Key) : nullptr;
        }
        if (!prefix)
            return false;
        NameToken token;
        token.Family = prefix->Family;
        token.CppFilesOnly = prefix->CppOnly;
        bool xe = prefix->Xe;
        qsizetype p = end + 1;
        if (!xe && p < w_.size() && w_[p].Alpha && Is(w_[p], "xe") && (w_[p].Glued || prefix->Spelled)) {
            xe = true;
            end = p++;
        }
        if (xe) {
            token.Style = NamingStyle::Product;
            if (p < w_.size() && !w_[p].Alpha && w_[p].Glued) {
                const int n = ParseNumber(w_[p].Text);
                if (n >= 2 && n <= 8)
                    token.Release = ReleaseNamed(QStringLiteral("XE") + w_[p].Text.toString());
                else if (n == 10)  // Seattle was first called XE10
                    token.Release = ReleaseNamed(u"10");
                else
                    token.Release = DottedRelease(w_[p].Text);
                if (!token.Release)
                    return false;
                ++p;
            } else {
                token.Release = ReleaseNamed(u"XE");
            }
        } else {
            if (p >= w_.size() || w_[p].Alpha)
                return false;
            if (!w_[p].Glued && !(prefix->Spelled && IsSeparator(w_[p].Separator, " _-")))
                return false;
            if (!ReadNumber(w_[p].Text, prefix->Numbers, token))
                return false;
            // "D3D", "D2DX": Direct3D and Direct2D when a name starts with them.
            if (k == 0 && Is(w_[k], "d") && p + 1 < w_.size() && w_[p + 1].Glued &&
                (Is(w_[p + 1], "d") || Is(w_[p + 1], "dx")))
                return false;
            token.ProductName = prefix->Spelled || prefix->Numbers == Numbering::RadStudio;
            ++p;
        }
        // "D10_4", "Delphi 10-2": the point written otherwise.
        if (SameRelease(token.Release, "10") && p < w_.size() && !w_[p].Alpha &&
            !w_[p].Glued && IsSeparator(w_[p].Separator, "_-") && w_[p].Text.size() == 1 &&
            (p + 1 >= w_.size() || !w_[p + 1].Glued || w_[p + 1].Alpha)) {
            const QString dotted = QStringLiteral("10.") + w_[p].Text.toString();
            if (const char* release = DottedRelease(dotted)) {
                token.Release = release;
                token.InternalRelease = nullptr;
                token.Style = NamingStyle::Product;
                ++p;
            }
        }
        if (!Ends(p))
            return false;
        tokens_.push_back(token);
        next = p;
        return true;
    }

    bool ReadCodename(qsizetype k, qsizetype& next) {
        const char* release = CodenameRelease(w_[k]);
        if (!release || !Ends(k + 1))
            return false;
        NameToken token;
        token.Release = release;
        token.Style = NamingStyle::Product;
        token.Weak = true;
        tokens_.push_back(token);
        next = k + 1;
        return true;
    }

    const Words& w_;
    std::vector<NameToken>& tokens_;
};

bool IsVersionWord(const Word& word) {
    for (const char* text : {"v", "ver", "version", "r", "rel", "release", "b", "build"})
        if (Is(word, text))
            return true;
    return false;
}

// "Grid290", "Grid_70", "Grid_2009": the number that ends a package file's name.
void ReadTrailingNumber(const Words& words, std::vector<NameToken>& tokens) {
    if (words.size() < 2 || words.back().Alpha)
        return;
    const Word& number = words.back();
    const Word& before = words[words.size() - 2];
    if (!before.Alpha || IsVersionWord(before))
        return;
    if (!number.Glued && !IsSeparator(number.Separator, "_-"))
        return;
    const int n = ParseNumber(number.Text);
    if (n >= 2005 && n <= 2010) {
        // Glued to a name, a year is more often the product's own ("Report2007").
        if (number.Glued)
            return;
        NameToken token;
        token.Release = ReleaseNamed(number.Text);
        token.Style = NamingStyle::Product;
        if (token.Release)
            tokens.push_back(token);
        return;
    }
    const NameToken token = PackageSuffixToken(n);
    if (token.Release)
        tokens.push_back(token);
}

void SettleByCodename(std::vector<NameToken>& tokens) {
    // "D10Seattle", "Delphi 11 Alexandria": the name beside the number settles it.
    for (NameToken& token : tokens) {
        if (!token.InternalRelease)
            continue;
        for (const NameToken& other : tokens)
            if (&other != &token && !other.InternalRelease && other.Style == NamingStyle::Product &&
                SameRelease(other.Release, token.Release)) {
                token.InternalRelease = nullptr;
                token.Style = NamingStyle::Product;
            }
    }
    std::vector<NameToken> unique;
    for (const NameToken& token : tokens) {
        bool seen = false;
        for (NameToken& kept : unique) {
            if (!SameRelease(kept.Release, token.Release) || kept.InternalRelease != token.InternalRelease)
                continue;
            if (kept.Family == TokenFamily::Neutral)
                kept.Family = token.Family;  // the more precise of the two
            if (kept.Family == token.Family || token.Family == TokenFamily::Neutral)
                seen = true;
        }
        if (!seen)
            unique.push_back(token);
    }
    tokens.swap(unique);
}

}  // namespace

bool SameRelease(const char* a, const char* b) {
    return a && b && std::strcmp(a, b) == 0;
}

NameToken PackageSuffixToken(int number) {
    NameToken token;
    if (number == 35) {
        token.Family = TokenFamily::Cpp;
        token.Release = ReleaseNamed(u"3");
        return token;
    }
    if (const IdeVersion* version = FindIdeVersionBySuffix(IdeFamily::Delphi, number)) {
        // C++Builder 3 used 35, so 30 is Delphi 3's alone.
        if (number == 30)
            token.Family = TokenFamily::Delphi;
        token.Release = version->Release;
    }
    return token;
}

std::vector<NameToken> NameTokens(QStringView part, NamePart kind) {
    Words words;
    // "C++Builder" as "CppBuilder": the pluses would split the name.
    const QString plain = part.contains(u"++") ? part.toString().replace(QStringLiteral("++"), QStringLiteral("pp")) : QString();
    SplitWords(plain.isNull() ? part : QStringView(plain), words);
    std::vector<NameToken> tokens;
    const bool lastUsed = Scanner(words, tokens).Scan();
    if (kind == NamePart::PackageFile && !lastUsed) {
        ReadTrailingNumber(words, tokens);
    } else if (kind == NamePart::Folder && words.size() == 1 && !words[0].Alpha) {
        // A folder named by a year alone: "Packages\2009".
        const int n = ParseNumber(words[0].Text);
        if (n >= 2005 && n <= 2010 && part.size() == 4) {
            NameToken token;
            token.Release = ReleaseNamed(words[0].Text);
            token.Style = NamingStyle::Product;
            token.Weak = true;
            if (token.Release)
                tokens.push_back(token);
        }
    }
    SettleByCodename(tokens);
    return tokens;
}

}  // namespace velm::ide
