#pragma once

#include <QString>
#include <QStringList>

namespace velm {

class TIniFile;

// The package info of one `.upl` or `.inf` file, in a form independent of the format.
// CompatFlags holds one character per IDE version, "1" = compatible, in the order
// Delphi 1, 2, 3, 4, C++Builder 1, 3; character i becomes bit i-1 of the compatibility
// mask stored with a package.
class TDSPInfoClass {
public:
    TDSPInfoClass();

    QString AuthorName;
    QString AuthorMail;
    QString AuthorWeb;
    QString CompatFlags;
    QStringList DescriptionLines;
    QString NoteText;
    QString AdditionalInfoText;
    bool IsFreeware = true;
    // The package is sold: "Commercial" in any letter case; neither this nor freeware
    // means shareware.
    bool IsCommercial = false;
    bool HasFullSource = false;
    QString VersionText;
    QString CategoryText;

    void ClearInfo();

    // Both readers expect a cleared object: they set every field, except that the
    // one-line description paths append to DescriptionLines. A missing file gives the
    // defaults.
    void ReadUplFile(const QString& fileName);
    void ReadInfFile(const QString& fileName);
    void ReadUpl(const TIniFile& ini);
    void ReadInf(const TIniFile& ini);
};

// Numbered lines beyond this many are not read: no real description comes near it,
// and a hostile "count" must not make the reader build billions of empty lines.
inline constexpr int kMaxNumberedLines = 10000;

// Replaces the list with the values of keys "1".."count" of the section (missing keys
// give empty lines).
void ReadNumberedLines(const TIniFile& ini, const QString& section, QStringList& lines);
QString ReadUplCompatibility(const TIniFile& ini);
QString ReadInfCompatibility(const TIniFile& ini);

struct TVersionNumbers {
    int Major = 0;
    int Minor = 0;
    int Release = 0;
    int Build = 0;
    bool operator==(const TVersionNumbers&) const = default;
};

// Splits a version text at its dots into four numbers; see ParseVersionNumber for
// what each part gives.
TVersionNumbers ParseVersion(const QString& text);
// Leading blanks, then an optional sign and decimal digits, or "$", "x", "X" or "0x"
// and hexadecimal digits; the digits up to the first other character give the value
// (0 when there are none). Values beyond 32 bits stop at the 32-bit limit.
int ParseVersionNumber(QStringView text);

}  // namespace velm
