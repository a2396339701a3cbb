#pragma once

#include <QByteArrayView>
#include <QDateTime>
#include <QString>

#include <optional>

namespace velm {

// What tells one archive file from another whatever its name: its SHA-256 (lower-case
// hex), size and modification time.
struct TArchiveFingerprint {
    QString Sha256;
    qint64 Size = 0;
    QDateTime Modified;
};

// Whether imports take each archive's fingerprint (and so notice archives catalogued
// already); off only where an import's cost without it is measured.
inline bool FingerprintAtImport = true;

// The SHA-256 of bytes in memory, lower-case hex.
QString Sha256Hex(QByteArrayView bytes);

// Reads the whole file once, in pieces; nothing when it cannot be read (why in *error).
std::optional<TArchiveFingerprint> FingerprintArchive(const QString& path, QString* error = nullptr);

}  // namespace velm
