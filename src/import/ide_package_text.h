#pragma once

#include "import/ide_name_tokens.h"

#include <QByteArrayView>
#include <QString>

#include <vector>

namespace velm::ide {

enum class PackageText { Dpk, Dproj, Bdsproj, Bpk, Cbproj, Dof, None };

struct TextVersion {
    NameToken Token;
    QString Clue;  // what named it: "LIBSUFFIX 290", "BCB.06", "requires vcl50"
};

// What a package file's text says of the IDE it is for.
struct PackageTextFacts {
    std::vector<TextVersion> Versions;
    // <ProjectVersion> in tenths; -1 when the project has none, 0 when its value (or
    // whether the text is a project at all) is not known.
    int ProjectVersion = -1;
    bool AutoSuffix = false;  // {$LIBSUFFIX AUTO} or <DllSuffix>$(Auto): a recent IDE
    bool Read = false;        // the text was read (an empty text counts)
};

// Reads the facts from the first bytes of a package file's text. The bytes come from
// an archive: anything may be in them, and only ASCII is looked at (UTF-16 is reduced to
// its ASCII).
PackageTextFacts ReadPackageText(QByteArrayView bytes, PackageText kind);

}  // namespace velm::ide
