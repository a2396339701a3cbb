#pragma once

#include <QByteArray>
#include <QString>
#include <QStringEncoder>

#include <stdexcept>

class QIODevice;

namespace velm {

// A device refused the bytes of an export (a full disk, say); the text says why.
class EExportWriteError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Writes text to a device as UTF-8 through a buffer of its own, so that a file of
// hundreds of megabytes is written in large pieces while only the buffer is held.
class TTextSink {
public:
    explicit TTextSink(QIODevice& device);
    ~TTextSink();
    TTextSink(const TTextSink&) = delete;
    TTextSink& operator=(const TTextSink&) = delete;

    TTextSink& operator<<(QStringView text);
    TTextSink& operator<<(QLatin1StringView text);
    // Hands the buffer to the device; raises EExportWriteError when it refuses.
    void Flush();

private:
    void FlushWhenFull();

    QIODevice& device_;
    QByteArray buffer_;
    QStringEncoder encoder_{QStringEncoder::Utf8};
};

}  // namespace velm
