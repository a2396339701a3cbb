#include "report/text_sink.h"

#include "kit/write_all.h"

#include <QFileDevice>
#include <QIODevice>

namespace velm {

namespace {

constexpr qsizetype kBufferBytes = 1 << 20;

}  // namespace

TTextSink::TTextSink(QIODevice& device) : device_(device) { buffer_.reserve(kBufferBytes + 64 * 1024); }

TTextSink::~TTextSink() = default;

TTextSink& TTextSink::operator<<(QStringView text) {
    // Encoded straight into the buffer: no string of bytes per piece.
    const qsizetype start = buffer_.size();
    buffer_.resize(start + encoder_.requiredSpace(text.size()));
    char* end = encoder_.appendToBuffer(buffer_.data() + start, text);
    buffer_.resize(end - buffer_.constData());
    FlushWhenFull();
    return *this;
}

TTextSink& TTextSink::operator<<(QLatin1StringView text) {
    // Only ASCII is written this way: markup and separators.
    buffer_.append(text.data(), text.size());
    FlushWhenFull();
    return *this;
}

void TTextSink::FlushWhenFull() {
    if (buffer_.size() >= kBufferBytes)
        Flush();
}

void TTextSink::Flush() {
    if (buffer_.isEmpty())
        return;
    // A file's own buffer is written out here too: a failure there is not reported later
    // by every file (a QSaveFile commits anyway, cut short).
    auto* file = qobject_cast<QFileDevice*>(&device_);
    if (!WriteAll(device_, buffer_.constData(), buffer_.size()) || (file && !FlushAll(*file)))
        throw EExportWriteError(device_.errorString().toStdString());
    buffer_.clear();
}

}  // namespace velm
