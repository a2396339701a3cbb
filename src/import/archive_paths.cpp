#include "import/archive_paths.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QTemporaryDir>
#include <QUrl>

#include <memory>

#ifdef Q_OS_UNIX
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace velm {

namespace {

// The links, each in a numbered folder of its own so that two names that decode alike
// do not meet, and what each stands for. They live as long as the program.
struct Links {
    std::unique_ptr<QTemporaryDir> folder;  // made for the first link
    QHash<QString, QString> shown;          // link -> original path as decoded
    int count = 0;
};

Links& TheLinks() {
    static Links links;
    return links;
}

}  // namespace

QString ReachablePath(const QByteArray& nativePath) {
    const QString decoded = QFile::decodeName(nativePath);
    if (QFile::encodeName(decoded) == nativePath)
        return decoded;
#ifdef Q_OS_UNIX
    Links& links = TheLinks();
    if (!links.folder)
        links.folder = std::make_unique<QTemporaryDir>(QDir::tempPath() + QStringLiteral("/velmora-names-XXXXXX"));
    if (!links.folder->isValid())
        return {};
    const QString holder = links.folder->filePath(QString::number(++links.count));
    if (!QDir().mkdir(holder))
        return {};
    QByteArray target = nativePath;
    if (!target.startsWith('/'))
        target = QFile::encodeName(QDir::currentPath()) + '/' + target;
    const QString link = holder + u'/' + QFileInfo(decoded).fileName();
    if (::symlink(target.constData(), QFile::encodeName(link).constData()) != 0)
        return {};
    // Below a linked folder the original is the folder's.
    links.shown.insert(link, ShownPath(QDir::cleanPath(decoded)));
    return link;
#else
    return {};
#endif
}

QString ReachablePath(const QUrl& url) {
    if (!url.isLocalFile())
        return {};
#ifdef Q_OS_UNIX
    // The URL keeps the name's bytes, percent-encoded; toLocalFile() would decode them.
    if (url.host().isEmpty())
        return ReachablePath(QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1()));
#endif
    return url.toLocalFile();
}

QString ShownPath(const QString& path) {
    const Links& links = TheLinks();
    for (auto it = links.shown.constBegin(); it != links.shown.constEnd(); ++it) {
        if (path == it.key())
            return it.value();
        if (path.startsWith(it.key() + u'/'))
            return it.value() + path.mid(it.key().size());
    }
    return path;
}

std::vector<FolderEntry> ListFolder(const QString& folder) {
    std::vector<FolderEntry> entries;
#ifdef Q_OS_UNIX
    const QByteArray base = QFile::encodeName(folder);
    DIR* dir = ::opendir(base.constData());
    if (!dir)
        return entries;
    while (const dirent* entry = ::readdir(dir)) {
        const QByteArray name(entry->d_name);
        if (name == "." || name == "..")
            continue;
        FolderEntry item;
        item.NativePath = base.endsWith('/') ? base + name : base + '/' + name;
        item.Name = QFile::decodeName(name);
        if (QFile::encodeName(item.Name) == name)
            item.Path = QFile::decodeName(item.NativePath);
        struct stat status {};
        if (::lstat(item.NativePath.constData(), &status) == 0) {
            item.IsLink = S_ISLNK(status.st_mode);
            item.IsDir = S_ISDIR(status.st_mode);
            item.IsFile = S_ISREG(status.st_mode);
        }
        entries.push_back(std::move(item));
    }
    ::closedir(dir);
#else
    const QFileInfoList infos = QDir(folder).entryInfoList(
        QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System, QDir::NoSort);
    for (const QFileInfo& info : infos)
        entries.push_back({info.filePath(), QByteArray(), info.fileName(), info.isSymLink(),
                           info.isDir() && !info.isSymLink(), info.isFile() && !info.isSymLink()});
#endif
    return entries;
}

QString ReachablePath(const FolderEntry& entry) {
    return entry.Path.isEmpty() ? ReachablePath(entry.NativePath) : entry.Path;
}

}  // namespace velm
