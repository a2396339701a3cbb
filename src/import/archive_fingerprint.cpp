#include "import/archive_fingerprint.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>

namespace velm {

namespace {

// Large enough that the hash, not the calls, costs the time.
constexpr qint64 kReadPiece = 1 << 20;

}  // namespace

std::optional<TArchiveFingerprint> FingerprintArchive(const QString& path, QString* error) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = file.errorString();
        return std::nullopt;
    }
    QCryptographicHash hash(QCryptographicHash::Sha256);
    QByteArray piece(kReadPiece, Qt::Uninitialized);
    qint64 size = 0;
    for (;;) {
        const qint64 read = file.read(piece.data(), kReadPiece);
        if (read < 0) {
            if (error)
                *error = file.errorString();
            return std::nullopt;
        }
        if (read == 0)
            break;
        hash.addData(QByteArrayView(piece.constData(), read));
        size += read;
    }
    return TArchiveFingerprint{QString::fromLatin1(hash.result().toHex()), size, QFileInfo(file).lastModified()};
}

}  // namespace velm
