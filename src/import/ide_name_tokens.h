#pragma once

#include <QStringView>

#include <vector>

namespace velm::ide {

enum class TokenFamily : unsigned char { Neutral, Delphi, Cpp };

// How a name numbers the releases from 2005 on: by the IDE's internal numbers (D9, D14,
// D16) or by the names on the box (D2009, XE2, 10.4, Sydney). The two disagree on 10,
// 11 and 12, so the rest of an archive's names tells which one its author meant.
enum class NamingStyle : unsigned char { None, Internal, Product };

// A version named in a folder's or a package file's name, or in a package file's text.
struct NameToken {
    TokenFamily Family = TokenFamily::Neutral;  // Neutral: the file's kind tells
    bool CppFilesOnly = false;  // a bare "C6" names C++Builder only on its own files
    bool ProductName = false;   // "Delphi 12", "RAD Studio 12": the product's own name
    const char* Release = nullptr;          // "7", "2009", "XE2", "10.1"
    const char* InternalRelease = nullptr;  // for 10, 11 and 12 the internal reading:
                                            // 2006, 2007, 2009
    NamingStyle Style = NamingStyle::None;
    // A codename or a year alone ("Berlin", "2009"): a version beside package files, but
    // as likely a demo's or a document's topic beside units.
    bool Weak = false;
};

enum class NamePart {
    Folder,       // one folder name
    PackageFile,  // a package file's name without its extension: trailing package
                  // numbers ("Grid290", "Grid_70") and years ("Grid_2009") count too
};

// The versions one name part names, each once.
std::vector<NameToken> NameTokens(QStringView part, NamePart kind);

bool SameRelease(const char* a, const char* b);

// The version a package number names ("290": 12), or none; 35 is C++Builder 3's.
NameToken PackageSuffixToken(int number);

}  // namespace velm::ide
