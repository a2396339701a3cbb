#pragma once

#include <QByteArray>
#include <QString>

#include <vector>

class QUrl;

namespace velm {

// A file name whose bytes are not valid in the file-name encoding (not UTF-8) has no
// QString that names it again: decoding puts U+FFFD in its place, and the file is not
// found under the decoded name. Such a file, or folder, is reached through a link made
// for it in a folder of the program's own, named as decoded; whatever opens the file
// uses the link, and ShownPath gives the path as the user knows it.

// A path that opens the file with these bytes: the decoded path itself when it names
// the file again, otherwise a link to it. Empty when no link can be made.
QString ReachablePath(const QByteArray& nativePath);
// The path of a local file URL, as ReachablePath gives it; empty for other URLs.
QString ReachablePath(const QUrl& url);
// The path as decoded from the original bytes for a path through such a link (or below
// a linked folder); any other path as it is.
QString ShownPath(const QString& path);

struct FolderEntry {
    QString Path;           // the entry's path; empty when its name does not decode
    QByteArray NativePath;  // then its path in the system's bytes
    QString Name;           // its name as decoded
    bool IsLink = false;    // the entry itself, not what it points to
    bool IsDir = false;
    bool IsFile = false;
};

// Every entry of the folder but "." and "..", in no particular order, names that do not
// decode included (a listing through QDir leaves them out).
std::vector<FolderEntry> ListFolder(const QString& folder);
// A path that opens the entry; a link is made only for an entry that needs one.
QString ReachablePath(const FolderEntry& entry);

}  // namespace velm
