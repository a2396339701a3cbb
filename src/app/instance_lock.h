#pragma once

#include <QLockFile>
#include <QString>

namespace velm {

// Keeps a second copy of the program off a catalogue that one copy has open: each copy
// keeps its tables in memory, so two at once would overwrite each other's work. The
// lock lies in the catalogue's folder as the file system resolves it, so that copies
// started from different folders that reach one catalogue through a link meet at the
// same lock. A lock left behind by a copy that crashed is taken over.
class TInstanceLock {
public:
    enum class Result {
        Locked,             // this copy has the catalogue
        HeldByAnotherCopy,  // another running copy has it
        Unavailable,        // no lock can be made (a read-only folder): go on without one
    };

    // dataFolder: the folder that holds the catalogue's table files.
    explicit TInstanceLock(const QString& dataFolder);
    Result TryLock();

    // The catalogue's folder with every link resolved, as the lock knows it.
    const QString& Folder() const { return folder_; }

    // What the user is told when another copy has the catalogue in that folder.
    static QString AnotherCopyText(const QString& folder);

private:
    QString folder_;
    QLockFile lock_;
};

}  // namespace velm
