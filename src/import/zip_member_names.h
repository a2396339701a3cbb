#pragma once

#include <QString>
#include <QStringList>

#include <vector>

namespace velm {

// Whether a member name (folders separated by "\") matches one extraction pattern.
// "*" stands for any run of characters, "?" for one; letter case is ignored; "/" and
// "\" are the same. A pattern without a folder part is matched against the member's
// file name alone, so "*.inf" also finds "docs\Pkg.INF".
bool MatchesFileSpec(const QString& memberName, const QString& pattern);

// Several patterns prepared once, for matching every member of a large archive.
class TFileSpecMatcher {
public:
    explicit TFileSpecMatcher(const QStringList& patterns);
    bool Matches(const QString& memberName) const;

private:
    struct Pattern {
        QString text;            // normalised
        qsizetype tail = 0;      // characters after the last "*", or all of them
        bool exactLength = false;  // no "*" and a folder part: the whole name has its length
    };
    std::vector<Pattern> patterns_;
};

// The member's name split into folder and file parts, or an empty list when the name
// could lead outside the folder it is extracted to: an absolute path, a drive letter or
// other colon, a ".." part, an empty part or one of only dots and blanks, or a control
// character.
QStringList SafeMemberPath(const QString& memberName);

}  // namespace velm
