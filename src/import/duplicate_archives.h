#pragma once

#include "import/archive_fingerprint.h"

#include <QString>
#include <QStringList>

#include <optional>

namespace velm {

class TArchiveIndex;

// Keeps an archive whose SHA-256 is already catalogued from being imported again
// unnoticed. One archive on its own is asked about; in a batch the duplicates are set
// aside (archives the batch itself imported count as catalogued) and named in one
// summary at the end, which can send them to be imported all the same.
class TDuplicateArchives {
public:
    // index: null when the catalogue keeps no member index (nothing is checked then).
    TDuplicateArchives(TArchiveIndex* index, bool single) : index_(index), single_(single) {}

    // Whether the archive is to be imported; its fingerprint, when it could be taken,
    // goes to the import so that the file is not hashed twice.
    bool Admit(const QString& archivePath, std::optional<TArchiveFingerprint>& fingerprint);

    // The batch's summary, when it set archives aside; returns those the user chose to
    // import anyway (none unless the box's check box was ticked).
    QStringList Summarise(int imported) const;

private:
    TArchiveIndex* index_;
    bool single_;
    QStringList setAside_;
};

// "a.zip, b.zip, c.zip": the first names, and how many more, for a list that would not
// fit a message box.
QString ShortFileList(const QStringList& paths);

}  // namespace velm
