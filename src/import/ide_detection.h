#pragma once

#include "import/ide_versions.h"

#include <QByteArray>
#include <QDate>
#include <QString>

#include <functional>
#include <span>
#include <vector>

namespace velm {

struct ZipDirEntry;

// What the detection needs of one archive member.
struct IdeDetectionMember {
    QString Name;  // with its folders, separated by "\" or "/"
    bool IsFolder = false;
    quint64 Size = 0;  // uncompressed
    QDate Modified;    // invalid when not known; dates before 1995 are not used
};

// Reads the text of member `index` (a position in the list given to the detection), at
// most maxBytes of its beginning; empty when it cannot be read.
using IdeMemberReader = std::function<QByteArray(std::size_t index, qint64 maxBytes)>;

// Package files put their version at the top, so a capped read finds it; the count
// keeps an archive with thousands of projects from being unpacked for this.
inline constexpr qint64 kIdeTextReadLimit = 64 * 1024;
inline constexpr int kIdeMaxTextsRead = 64;

// One version the archive works with and the member that says so.
struct DetectedIde {
    const IdeVersion* Version = nullptr;
    QString Member;  // the member's name as given: "Packages\D7\GridPack_D7.dpk"
    QString Clue;    // what in its text told, "LIBSUFFIX 290"; empty when its name did
    // The member, and the clue in brackets when there is one: the text stored and shown
    // as the version's evidence.
    QString Evidence() const;
};

// The versions the archive's members show, in the order of IdeVersions(), each with its
// best evidence: a package project file (.dpk, .dproj, .bdsproj, .bpk, .cbproj,
// .groupproj, a .dof beside its .dpk) or compiled package (.bpl, .dcp, .bpi) whose name
// or folder names a version, or whose text does ({$LIBSUFFIX}, <ProjectVersion>,
// <DllSuffix>, a .bpk's BCB version, a requires clause naming vcl30 to vcl50); and a
// folder named after a version holding units, sources or compiled units.
//
// A number that two releases share in package names (D10, D11, D12: 2006, 2007, 2009
// in the older internal numbering, 10 Seattle, 11 and 12 in the newer) is settled by
// the file's text and kind, its date, and the numbering the rest of the archive uses;
// when nothing settles it, no version is given. Texts are read only where the name
// leaves a question, through `read` (none read without one).
std::vector<DetectedIde> DetectIdeVersions(std::span<const IdeDetectionMember> members,
                                           const IdeMemberReader& read = {});

// The members of a zip directory as the detection takes them, in the same order.
std::vector<IdeDetectionMember> IdeDetectionMembers(const std::vector<ZipDirEntry>& entries);

}  // namespace velm
