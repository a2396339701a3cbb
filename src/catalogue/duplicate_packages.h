#pragma once

#include <QString>

#include <optional>
#include <vector>

namespace velm {

class TArchiveIndex;

// A package's version as its four number columns and the beta mark hold it.
struct TPackageVersion {
    int Major = 0;
    int Minor = 0;
    int Release = 0;
    int Build = 0;
    bool Beta = false;

    // Whether any part is set: a package without a version compares with none.
    bool Known() const { return Major || Minor || Release || Build; }
    // "2.1", "2.1.3", "2.1.0.7", "2.1 beta": trailing zero parts after the minor left off.
    QString Text() const;
};

// Part by part, as numbers (2.10 is newer than 2.9); a beta comes before its release.
// Negative, zero or positive as a is older, the same or newer than b.
int CompareVersions(const TPackageVersion& a, const TPackageVersion& b);

// The product a package name stands for: the name without the number (and the spaces
// before it) that a repeated import appends, so "FastGrid1" and "FastGrid 2" are both
// "FastGrid". Empty for a name that is nothing but a number.
QString ProductBaseName(const QString& productName);

// A package as the duplicate lists show it.
struct TCataloguedPackage {
    qint64 Id = 0;
    QString ProductName;
    QString CategoryName;
    TPackageVersion Version;
    QString ArchiveFile;
    QString WorksWith;  // the IDE codes it works with, joined by ", "; empty when none
};

// Packages that belong together, newest version first.
struct TDuplicateSet {
    QString Key;  // the SHA-256 they share, or the product's base name
    std::vector<TCataloguedPackage> Packages;
};

struct TDuplicates {
    std::vector<TDuplicateSet> Identical;    // the same archive (SHA-256) more than once
    std::vector<TDuplicateSet> SameProduct;  // one product under several names or versions
};

// Both lists over the whole catalogue, each in two statements' time.
TDuplicates FindDuplicates(const TArchiveIndex& index);

// The packages whose archive has this SHA-256, in ID order.
std::vector<TCataloguedPackage> PackagesWithSha256(const TArchiveIndex& index, const QString& sha256);

// The newest package of the same product whose version is higher than this package's;
// nothing when there is none or this package has no version.
std::optional<TCataloguedPackage> NewerVersionOf(const TArchiveIndex& index, qint64 packageId);

}  // namespace velm
