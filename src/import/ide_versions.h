#pragma once

#include <QString>
#include <QStringList>
#include <QAnyStringView>

#include <span>

namespace velm {

enum class IdeFamily { Delphi, CppBuilder };

// One release of Delphi or C++Builder, every one from Delphi 1 on.
//
// Codes: "D" for Delphi, "CB" for C++Builder, then the release's short name, which both
// products of one RAD Studio release share:
//   - up to version 8 its number:       D1 ... D8, CB1, CB3, CB4, CB5, CB6
//   - the releases named by a year:     D2005, D2006, D2007, D2009, D2010, CB2006 ... CB2010
//   - the XE releases:                  DXE, DXE2 ... DXE8, CBXE, CBXE2 ... CBXE8
//   - from 10 Seattle on, the number
//     on the box:                       D10, D10.1, D10.2, D10.3, D10.4, D11, D12, D13
// So "D10" is 10 Seattle and "D12" is 12 Athens, never the internal numbers that some
// package names use for 2006 and 2009 (see ProductNumber). There is no C++Builder 2,
// 7, 8 or 2005.
struct IdeVersion {
    const char* Code;
    const char* Name;     // as the user reads it: "Delphi 10.1 Berlin"
    IdeFamily Family;
    const char* Release;  // the code without its family prefix: "7", "2009", "XE2", "10.1"
    const char* Codename;  // "Berlin" from 10 Seattle on, else empty
    int Compiler;         // the conditional symbol VERnnn it defines: 150 for Delphi 7
    // The number its own run-time packages carry (vcl70.bpl, rtl290.bpl) and that
    // LIBSUFFIX usually repeats: 70 for Delphi 7, 160 for XE2, 290 for 12; 0 where the
    // release had no packages.
    int PackageSuffix;
    // The IDE's internal major number, which package names of the "D14" kind use: 7 for
    // Delphi 7, 9 for 2005, 10 for 2006, 14 for 2010, 16 for XE2, 29 for 12.
    int ProductNumber;
    // The <ProjectVersion> its .dproj or .cbproj files carry, in tenths (12.3 is 123),
    // as a range over its updates; 0 when it writes none or the value is not known.
    // Unsure is set where the range is remembered rather than known.
    int ProjectVersionMin;
    int ProjectVersionMax;
    bool ProjectVersionUnsure;
    int ReleasedYear;
    int ReleasedMonth;
    int CompatibilityBit;  // its bit in the info file's six flags, -1 for the others

    QString CodeText() const { return QString::fromLatin1(Code); }
    QString NameText() const { return QString::fromUtf8(Name); }
};

// Every version, Delphi and C++Builder of one release side by side, oldest first.
std::span<const IdeVersion> IdeVersions();

// By code, letter case ignored; null when there is none.
const IdeVersion* FindIdeVersion(QAnyStringView code);
// By family and release short name ("XE2", "10.1"); null when the family had none.
const IdeVersion* FindIdeVersion(IdeFamily family, QAnyStringView release);
// By the number in package names; for Delphi 4 to 6 and the RAD Studio releases both
// families share it. 100 is Delphi 2006 and 110 Delphi 2007, as package names use them.
const IdeVersion* FindIdeVersionBySuffix(IdeFamily family, int packageSuffix);

// A version's place in IdeVersions(), for putting codes in release order; a code it does
// not know comes after every version.
int IdeVersionRank(QAnyStringView code);

// The codes of the versions whose bits are set in a six-flag compatibility mask, in
// bit order; a version's bit, or -1.
QStringList CompatibilityCodes(int mask);
int CompatibilityBit(QAnyStringView code);

}  // namespace velm
