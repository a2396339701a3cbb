#include "import/archive_fingerprint.h"

#include <QFile>
#include <QFileInfo>

#include <openssl/evp.h>

#include <algorithm>
#include <memory>

namespace velm {

namespace {

// Large enough that the hash, not the calls, costs the time.
constexpr qint64 kReadPiece = 1 << 20;

// The system's crypto library hashes with the processor's SHA instructions where it
// has them: several times the speed of a portable hash, which made the fingerprint
// half an import's cost.
struct DigestFree {
    void operator()(EVP_MD_CTX* context) const { EVP_MD_CTX_free(context); }
};

QString HexOf(EVP_MD_CTX* hash) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EVP_DigestFinal_ex(hash, digest, &length);
    return QString::fromLatin1(QByteArray(reinterpret_cast<const char*>(digest), int(length)).toHex());
}

}  // namespace

QString Sha256Hex(QByteArrayView bytes) {
    const std::unique_ptr<EVP_MD_CTX, DigestFree> hash(EVP_MD_CTX_new());
    if (!hash || EVP_DigestInit_ex(hash.get(), EVP_sha256(), nullptr) != 1)
        return {};
    EVP_DigestUpdate(hash.get(), bytes.data(), size_t(bytes.size()));
    return HexOf(hash.get());
}

std::optional<TArchiveFingerprint> FingerprintArchive(const QString& path, QString* error) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = file.errorString();
        return std::nullopt;
    }
    const std::unique_ptr<EVP_MD_CTX, DigestFree> hash(EVP_MD_CTX_new());
    if (!hash || EVP_DigestInit_ex(hash.get(), EVP_sha256(), nullptr) != 1) {
        if (error)
            *error = QStringLiteral("SHA-256 is not available");
        return std::nullopt;
    }
    // No larger than the file: a fresh megabyte for a small archive costs its pages.
    const qint64 pieceSize = std::clamp<qint64>(file.size(), 4096, kReadPiece);
    QByteArray piece(pieceSize, Qt::Uninitialized);
    qint64 size = 0;
    for (;;) {
        const qint64 read = file.read(piece.data(), pieceSize);
        if (read < 0) {
            if (error)
                *error = file.errorString();
            return std::nullopt;
        }
        if (read == 0)
            break;
        EVP_DigestUpdate(hash.get(), piece.constData(), size_t(read));
        size += read;
    }
    return TArchiveFingerprint{HexOf(hash.get()), size, QFileInfo(file).lastModified()};
}

}  // namespace velm
