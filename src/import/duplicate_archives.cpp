#include "import/duplicate_archives.h"

#include "catalogue/duplicate_packages.h"
#include "kit/messages.h"

#include <QFileInfo>

namespace velm {

namespace {

// More names than this make a box taller than a screen; the rest are counted.
constexpr int kNamesShown = 10;

}  // namespace

bool TDuplicateArchives::Admit(const QString& archivePath, std::optional<TArchiveFingerprint>& fingerprint) {
    fingerprint.reset();
    if (!index_ || !FingerprintAtImport)
        return true;
    // A file that cannot be read is the import's to report.
    fingerprint = FingerprintArchive(archivePath);
    if (!fingerprint)
        return true;
    const std::vector<TCataloguedPackage> catalogued = PackagesWithSha256(*index_, fingerprint->Sha256);
    if (catalogued.empty())
        return true;
    if (!single_) {
        setAside_ << archivePath;
        return false;
    }
    const TCataloguedPackage& first = catalogued.front();
    return ConfirmOrSkip(QStringLiteral("%1 is already catalogued as %2 (%3). Import it again?")
                             .arg(QFileInfo(archivePath).fileName(), first.ProductName, first.CategoryName));
}

QStringList TDuplicateArchives::Summarise(int imported) const {
    if (setAside_.isEmpty())
        return {};
    const bool anyway = ShowInfoWithCheck(QStringLiteral("%1 imported, %2 already catalogued: %3")
                                              .arg(imported)
                                              .arg(setAside_.size())
                                              .arg(ShortFileList(setAside_)),
                                          QStringLiteral("Import them anyway"));
    return anyway ? setAside_ : QStringList();
}

QString ShortFileList(const QStringList& paths) {
    QStringList names;
    for (qsizetype i = 0; i < paths.size() && i < kNamesShown; ++i)
        names << QFileInfo(paths.at(i)).fileName();
    QString list = names.join(QStringLiteral(", "));
    if (paths.size() > kNamesShown)
        list += QStringLiteral(" and %1 more").arg(paths.size() - kNamesShown);
    return list;
}

}  // namespace velm
