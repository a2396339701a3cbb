#include "import/package_info.h"

#include "import/ini_file.h"
#include "import/outside_text.h"

#include <limits>

namespace velm {

namespace {

const QString kDspUpload = QStringLiteral("DSP upload");
const QString kNo = QStringLiteral("N");

constexpr const char* kUplCompatKeys[6] = {
    "Delphi 1.0x", "Delphi 2.0x", "Delphi 3.0x", "Delphi 4.0x", "C++ Builder 1.0x", "C++ Builder 3.0x",
};
constexpr const char* kInfCompatKeys[6] = {
    "Delphi 1.0", "Delphi 2.0", "Delphi 3.0", "Delphi 4.0", "C++Builder 1.0", "C++Builder 3.0",
};

// Only an upper-case "Y" at the start counts as yes: "Y" and "Yes" do, "y" and "1" do not.
QString ReadCompatibility(const TIniFile& ini, const char* const (&keys)[6]) {
    QString flags;
    flags.reserve(6);
    for (const char* key : keys) {
        const QString value = ini.ReadString(kDspUpload, QString::fromLatin1(key), kNo);
        flags += (value.startsWith(u'Y') ? u'1' : u'0');
    }
    return flags;
}

// A text the package keeps and shows (empty when missing), without the escape sequences
// and control characters a file may hold.
QString ReadText(const TIniFile& ini, const QString& section, const QString& key) {
    return ShowableText(ini.ReadString(section, key, QString()));
}

// The steps both formats share once the author and the full-source flag are read.
void ReadCommon(const TIniFile& ini, TDSPInfoClass& info) {
    const QString status = ini.ReadString(kDspUpload, QStringLiteral("File Status"), QStringLiteral("Freeware"));
    info.IsFreeware = status.compare(QLatin1String("Freeware"), Qt::CaseInsensitive) == 0;
    info.IsCommercial = status.compare(QLatin1String("Commercial"), Qt::CaseInsensitive) == 0;
    info.VersionText = ReadText(ini, kDspUpload, QStringLiteral("Version"));
    info.CategoryText = ReadText(ini, kDspUpload, QStringLiteral("Category"));
}

void ReadAuthor(const TIniFile& ini, const QString& section, TDSPInfoClass& info) {
    info.AuthorName = ReadText(ini, section, QStringLiteral("Author name"));
    info.AuthorMail = ReadText(ini, section, QStringLiteral("Author E-mail"));
    info.AuthorWeb = ReadText(ini, section, QStringLiteral("Author URL"));
}

void ReadNotes(const TIniFile& ini, TDSPInfoClass& info) {
    info.NoteText = ReadText(ini, kDspUpload, QStringLiteral("Note"));
    info.AdditionalInfoText = ReadText(ini, kDspUpload, QStringLiteral("Additional info"));
}

}  // namespace

TDSPInfoClass::TDSPInfoClass() { ClearInfo(); }

void TDSPInfoClass::ClearInfo() {
    AuthorName.clear();
    AuthorMail.clear();
    AuthorWeb.clear();
    CompatFlags = QStringLiteral("000000");
    DescriptionLines.clear();
    NoteText.clear();
    AdditionalInfoText.clear();
    IsFreeware = true;
    IsCommercial = false;
    HasFullSource = false;
    VersionText.clear();
    CategoryText.clear();
}

namespace {

// What each format reads, and nothing more: an info file may hold anything else, in any
// amount, and none of it is kept.
TIniSelection Selection(const QString& uploaderSection, const char* const (&compatKeys)[6],
                        const QString& fullSourceKey) {
    TIniSelection selection;
    selection.Sections = {uploaderSection, kDspUpload};
    selection.Keys = {QStringLiteral("Author name"), QStringLiteral("Author E-mail"), QStringLiteral("Author URL"),
                      QStringLiteral("File Status"), fullSourceKey, QStringLiteral("Version"),
                      QStringLiteral("Category"), QStringLiteral("Description"), QStringLiteral("Note"),
                      QStringLiteral("Additional info")};
    for (const char* key : compatKeys)
        selection.Keys.append(QString::fromLatin1(key));
    return selection;
}

}  // namespace

void TDSPInfoClass::ReadUplFile(const QString& fileName) {
    TIniSelection selection =
        Selection(QStringLiteral("Uploader_1"), kUplCompatKeys, QStringLiteral("Full Source Included"));
    selection.Keys.append(QStringLiteral("count"));
    selection.NumberedKeys = kMaxNumberedLines;
    ReadUpl(TIniFile(fileName, selection));
}

void TDSPInfoClass::ReadInfFile(const QString& fileName) {
    ReadInf(TIniFile(fileName, Selection(QStringLiteral("Uploader"), kInfCompatKeys, QStringLiteral("Full Source"))));
}

void TDSPInfoClass::ReadUpl(const TIniFile& ini) {
    ReadAuthor(ini, QStringLiteral("Uploader_1"), *this);
    CompatFlags = ReadUplCompatibility(ini);
    HasFullSource = ini.ReadString(kDspUpload, QStringLiteral("Full Source Included"), kNo) == u"Y";
    ReadCommon(ini, *this);
    const QString description = ReadText(ini, kDspUpload, QStringLiteral("Description"));
    if (!description.isEmpty())
        DescriptionLines.append(description);
    else
        ReadNumberedLines(ini, kDspUpload, DescriptionLines);
    ReadNotes(ini, *this);
}

void TDSPInfoClass::ReadInf(const TIniFile& ini) {
    ReadAuthor(ini, QStringLiteral("Uploader"), *this);
    CompatFlags = ReadInfCompatibility(ini);
    HasFullSource = ini.ReadString(kDspUpload, QStringLiteral("Full Source"), QStringLiteral("Included")) ==
                    u"Included";
    ReadCommon(ini, *this);
    DescriptionLines.append(ReadText(ini, kDspUpload, QStringLiteral("Description")));
    ReadNotes(ini, *this);
}

void ReadNumberedLines(const TIniFile& ini, const QString& section, QStringList& lines) {
    lines.clear();
    const int count = qMin(ini.ReadInteger(section, QStringLiteral("count"), 0), kMaxNumberedLines);
    for (int i = 1; i <= count; ++i)
        lines.append(ReadText(ini, section, QString::number(i)));
}

QString ReadUplCompatibility(const TIniFile& ini) { return ReadCompatibility(ini, kUplCompatKeys); }

QString ReadInfCompatibility(const TIniFile& ini) { return ReadCompatibility(ini, kInfCompatKeys); }

int ParseVersionNumber(QStringView text) {
    qsizetype i = 0;
    while (i < text.size() && (text[i] == u' ' || text[i] == u'\t'))
        ++i;
    const QStringView rest = text.sliced(i);
    bool negative = false;
    int base = 10;
    qsizetype start = 0;
    if (rest.startsWith(u'$') || rest.startsWith(u'x') || rest.startsWith(u'X')) {
        base = 16;
        start = 1;
    } else if (rest.startsWith(u"0x")) {
        base = 16;
        start = 2;
    } else if (rest.startsWith(u'-') || rest.startsWith(u'+')) {
        negative = rest[0] == u'-';
        start = 1;
    }
    constexpr qint64 kLimit = std::numeric_limits<int>::max();
    qint64 value = 0;
    for (qsizetype k = start; k < rest.size(); ++k) {
        const char16_t c = rest[k].unicode();
        int digit = -1;
        if (c >= u'0' && c <= u'9')
            digit = c - u'0';
        else if (base == 16 && c >= u'a' && c <= u'f')
            digit = c - u'a' + 10;
        else if (base == 16 && c >= u'A' && c <= u'F')
            digit = c - u'A' + 10;
        if (digit < 0)
            break;
        value = qMin(value * base + digit, kLimit);
    }
    return int(negative ? -value : value);
}

TVersionNumbers ParseVersion(const QString& text) {
    TVersionNumbers numbers;
    int* const numberOf[4] = {&numbers.Major, &numbers.Minor, &numbers.Release, &numbers.Build};
    QStringView rest(text);
    int i = 1;
    qsizetype dot = rest.indexOf(u'.');
    // A dot at the very start ends the splitting: that rest goes through the number
    // rule whole and gives 0. Parts after the fourth are never looked at.
    while (dot > 0 && i <= 4) {
        *numberOf[i - 1] = ParseVersionNumber(rest.first(dot));
        rest = rest.sliced(dot + 1);
        ++i;
        dot = rest.indexOf(u'.');
    }
    if (i <= 4)
        *numberOf[i - 1] = ParseVersionNumber(rest);
    return numbers;
}

}  // namespace velm
