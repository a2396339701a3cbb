#pragma once

#include <QLockFile>
#include <QString>

namespace velm {

// Keeps a second copy of the program off a catalogue that one copy has open: each copy
// keeps its tables in memory and empties the shared Tmp folder, so two at once would
// overwrite each other's work. A lock left behind by a copy that crashed is taken over.
class TInstanceLock {
public:
    enum class Result {
        Locked,             // this copy has the catalogue
        HeldByAnotherCopy,  // another running copy has it
        Unavailable,        // no lock can be made (a read-only folder): go on without one
    };

    explicit TInstanceLock(const QString& programFolder);
    Result TryLock();

    // What the user is told when another copy has the catalogue.
    static QString AnotherCopyText(const QString& programFolder);

private:
    QLockFile lock_;
};

}  // namespace velm
