#include "import/ide_versions.h"

#include <array>

namespace velm {

namespace {

constexpr IdeFamily D = IdeFamily::Delphi;
constexpr IdeFamily CB = IdeFamily::CppBuilder;

// Compiler symbols and package numbers are as Embarcadero lists them. Release months
// are from memory and serve only to rule out a release that did not exist yet, with a
// year's margin. Delphi 2007 for Win32 kept 2006's run-time packages (rtl100), but
// package names written for 2007 use 110, and so does this table. <ProjectVersion>:
// 2005 and 2006 write .bdsproj files and 2007 writes none; the values from XE8 on are
// remembered, not checked, and so is Florence's product number (37).
constexpr std::array kVersions = {
    // code, name, family, release, codename, VER, package suffix, product number,
    // <ProjectVersion> from, to, unsure, released year, month, compatibility bit
    IdeVersion{"D1", "Delphi 1", D, "1", "", 80, 0, 1, 0, 0, false, 1995, 2, 0},
    IdeVersion{"D2", "Delphi 2", D, "2", "", 90, 0, 2, 0, 0, false, 1996, 2, 1},
    IdeVersion{"CB1", "C++Builder 1", CB, "1", "", 93, 0, 1, 0, 0, false, 1997, 2, 4},
    IdeVersion{"D3", "Delphi 3", D, "3", "", 100, 30, 3, 0, 0, false, 1997, 8, 2},
    IdeVersion{"CB3", "C++Builder 3", CB, "3", "", 110, 35, 3, 0, 0, false, 1998, 2, 5},
    IdeVersion{"D4", "Delphi 4", D, "4", "", 120, 40, 4, 0, 0, false, 1998, 7, 3},
    IdeVersion{"CB4", "C++Builder 4", CB, "4", "", 125, 40, 4, 0, 0, false, 1999, 3, -1},
    IdeVersion{"D5", "Delphi 5", D, "5", "", 130, 50, 5, 0, 0, false, 1999, 8, -1},
    IdeVersion{"CB5", "C++Builder 5", CB, "5", "", 130, 50, 5, 0, 0, false, 2000, 1, -1},
    IdeVersion{"D6", "Delphi 6", D, "6", "", 140, 60, 6, 0, 0, false, 2001, 5, -1},
    IdeVersion{"CB6", "C++Builder 6", CB, "6", "", 140, 60, 6, 0, 0, false, 2002, 2, -1},
    IdeVersion{"D7", "Delphi 7", D, "7", "", 150, 70, 7, 0, 0, false, 2002, 8, -1},
    IdeVersion{"D8", "Delphi 8", D, "8", "", 160, 80, 8, 0, 0, false, 2003, 12, -1},
    IdeVersion{"D2005", "Delphi 2005", D, "2005", "", 170, 90, 9, 0, 0, false, 2004, 10, -1},
    IdeVersion{"D2006", "Delphi 2006", D, "2006", "", 180, 100, 10, 0, 0, false, 2005, 11, -1},
    IdeVersion{"CB2006", "C++Builder 2006", CB, "2006", "", 180, 100, 10, 0, 0, false, 2005, 11, -1},
    IdeVersion{"D2007", "Delphi 2007", D, "2007", "", 185, 110, 11, 0, 0, false, 2007, 3, -1},
    IdeVersion{"CB2007", "C++Builder 2007", CB, "2007", "", 185, 110, 11, 0, 0, false, 2007, 6, -1},
    // 2009 and 2010 both write 12.0.
    IdeVersion{"D2009", "Delphi 2009", D, "2009", "", 200, 120, 12, 120, 120, false, 2008, 8, -1},
    IdeVersion{"CB2009", "C++Builder 2009", CB, "2009", "", 200, 120, 12, 120, 120, false, 2008, 8, -1},
    IdeVersion{"D2010", "Delphi 2010", D, "2010", "", 210, 140, 14, 120, 120, false, 2009, 8, -1},
    IdeVersion{"CB2010", "C++Builder 2010", CB, "2010", "", 210, 140, 14, 120, 120, false, 2009, 8, -1},
    IdeVersion{"DXE", "Delphi XE", D, "XE", "", 220, 150, 15, 122, 123, false, 2010, 8, -1},
    IdeVersion{"CBXE", "C++Builder XE", CB, "XE", "", 220, 150, 15, 122, 123, false, 2010, 8, -1},
    IdeVersion{"DXE2", "Delphi XE2", D, "XE2", "", 230, 160, 16, 130, 139, false, 2011, 9, -1},
    IdeVersion{"CBXE2", "C++Builder XE2", CB, "XE2", "", 230, 160, 16, 130, 139, false, 2011, 9, -1},
    // XE3's second update writes 14.4 as XE4 does.
    IdeVersion{"DXE3", "Delphi XE3", D, "XE3", "", 240, 170, 17, 143, 144, false, 2012, 9, -1},
    IdeVersion{"CBXE3", "C++Builder XE3", CB, "XE3", "", 240, 170, 17, 143, 144, false, 2012, 9, -1},
    IdeVersion{"DXE4", "Delphi XE4", D, "XE4", "", 250, 180, 18, 144, 146, false, 2013, 4, -1},
    IdeVersion{"CBXE4", "C++Builder XE4", CB, "XE4", "", 250, 180, 18, 144, 146, false, 2013, 4, -1},
    IdeVersion{"DXE5", "Delphi XE5", D, "XE5", "", 260, 190, 19, 151, 153, false, 2013, 9, -1},
    IdeVersion{"CBXE5", "C++Builder XE5", CB, "XE5", "", 260, 190, 19, 151, 153, false, 2013, 9, -1},
    IdeVersion{"DXE6", "Delphi XE6", D, "XE6", "", 270, 200, 20, 154, 154, false, 2014, 4, -1},
    IdeVersion{"CBXE6", "C++Builder XE6", CB, "XE6", "", 270, 200, 20, 154, 154, false, 2014, 4, -1},
    IdeVersion{"DXE7", "Delphi XE7", D, "XE7", "", 280, 210, 21, 160, 161, false, 2014, 9, -1},
    IdeVersion{"CBXE7", "C++Builder XE7", CB, "XE7", "", 280, 210, 21, 160, 161, false, 2014, 9, -1},
    IdeVersion{"DXE8", "Delphi XE8", D, "XE8", "", 290, 220, 22, 170, 172, true, 2015, 4, -1},
    IdeVersion{"CBXE8", "C++Builder XE8", CB, "XE8", "", 290, 220, 22, 170, 172, true, 2015, 4, -1},
    // From 10 Seattle to 10.2 the updates' values are remembered to overlap.
    IdeVersion{"D10", "Delphi 10 Seattle", D, "10", "Seattle", 300, 230, 23, 180, 181, true, 2015, 8, -1},
    IdeVersion{"CB10", "C++Builder 10 Seattle", CB, "10", "Seattle", 300, 230, 23, 180, 181, true, 2015, 8, -1},
    IdeVersion{"D10.1", "Delphi 10.1 Berlin", D, "10.1", "Berlin", 310, 240, 24, 181, 182, true, 2016, 4, -1},
    IdeVersion{"CB10.1", "C++Builder 10.1 Berlin", CB, "10.1", "Berlin", 310, 240, 24, 181, 182, true, 2016, 4, -1},
    IdeVersion{"D10.2", "Delphi 10.2 Tokyo", D, "10.2", "Tokyo", 320, 250, 25, 182, 184, true, 2017, 3, -1},
    IdeVersion{"CB10.2", "C++Builder 10.2 Tokyo", CB, "10.2", "Tokyo", 320, 250, 25, 182, 184, true, 2017, 3, -1},
    IdeVersion{"D10.3", "Delphi 10.3 Rio", D, "10.3", "Rio", 330, 260, 26, 185, 188, true, 2018, 11, -1},
    IdeVersion{"CB10.3", "C++Builder 10.3 Rio", CB, "10.3", "Rio", 330, 260, 26, 185, 188, true, 2018, 11, -1},
    IdeVersion{"D10.4", "Delphi 10.4 Sydney", D, "10.4", "Sydney", 340, 270, 27, 190, 192, true, 2020, 5, -1},
    IdeVersion{"CB10.4", "C++Builder 10.4 Sydney", CB, "10.4", "Sydney", 340, 270, 27, 190, 192, true, 2020, 5, -1},
    IdeVersion{"D11", "Delphi 11 Alexandria", D, "11", "Alexandria", 350, 280, 28, 193, 195, true, 2021, 9, -1},
    IdeVersion{"CB11", "C++Builder 11 Alexandria", CB, "11", "Alexandria", 350, 280, 28, 193, 195, true, 2021, 9, -1},
    IdeVersion{"D12", "Delphi 12 Athens", D, "12", "Athens", 360, 290, 29, 200, 203, true, 2023, 11, -1},
    IdeVersion{"CB12", "C++Builder 12 Athens", CB, "12", "Athens", 360, 290, 29, 200, 203, true, 2023, 11, -1},
    IdeVersion{"D13", "Delphi 13 Florence", D, "13", "Florence", 370, 370, 37, 0, 0, false, 2025, 9, -1},
    IdeVersion{"CB13", "C++Builder 13 Florence", CB, "13", "Florence", 370, 370, 37, 0, 0, false, 2025, 9, -1},
};

}  // namespace

std::span<const IdeVersion> IdeVersions() {
    return kVersions;
}

const IdeVersion* FindIdeVersion(QAnyStringView code) {
    for (const IdeVersion& version : kVersions)
        if (QAnyStringView::compare(code, QLatin1StringView(version.Code), Qt::CaseInsensitive) == 0)
            return &version;
    return nullptr;
}

const IdeVersion* FindIdeVersion(IdeFamily family, QAnyStringView release) {
    for (const IdeVersion& version : kVersions)
        if (version.Family == family &&
            QAnyStringView::compare(release, QLatin1StringView(version.Release), Qt::CaseInsensitive) == 0)
            return &version;
    return nullptr;
}

const IdeVersion* FindIdeVersionBySuffix(IdeFamily family, int packageSuffix) {
    if (packageSuffix <= 0)
        return nullptr;
    for (const IdeVersion& version : kVersions)
        if (version.Family == family && version.PackageSuffix == packageSuffix)
            return &version;
    return nullptr;
}

QStringList CompatibilityCodes(int mask) {
    QStringList codes;
    for (int bit = 0; bit < 16; ++bit) {
        if (!(mask & (1 << bit)))
            continue;
        for (const IdeVersion& version : kVersions)
            if (version.CompatibilityBit == bit)
                codes << version.CodeText();
    }
    return codes;
}

int CompatibilityBit(QAnyStringView code) {
    const IdeVersion* version = FindIdeVersion(code);
    return version ? version->CompatibilityBit : -1;
}

int IdeVersionRank(QAnyStringView code) {
    const IdeVersion* version = FindIdeVersion(code);
    return int(version ? version - IdeVersions().data() : std::ptrdiff_t(IdeVersions().size()));
}

}  // namespace velm
