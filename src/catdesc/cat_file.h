#pragma once

#include <QByteArrayView>
#include <QString>
#include <QStringList>

#include <stdexcept>

namespace velm {

// A category description file lists category names, one per line. Nobody writes
// thousands of categories by hand, so reading stops after kMaxCatFileBytes bytes or
// kMaxCatEntries entries, whichever comes first: a huge or endless file (a device, a
// mistaken pick) cannot exhaust memory or bury the list.
inline constexpr qint64 kMaxCatFileBytes = 1024 * 1024;
inline constexpr int kMaxCatEntries = 10000;

struct CatEntries {
    QStringList Names;       // every line as written, blanks and empty lines included
    bool Truncated = false;  // a limit was reached before the end of the file
};

// The file could not be opened for reading.
class ECatFileError : public std::runtime_error {
public:
    explicit ECatFileError(const QString& message) : std::runtime_error(message.toStdString()), message_(message) {}
    const QString& Message() const { return message_; }

private:
    QString message_;
};

// Lines end with CR LF, LF or CR; a break at the very end adds no empty line; a zero
// byte ends the text. The text is decoded as a Windows editor would have saved it.
CatEntries ParseCatText(QByteArrayView bytes);

// Reads the file by those rules; throws ECatFileError with "Cannot open file " and the
// path when it cannot be opened.
CatEntries ReadCatFile(const QString& path);

}  // namespace velm
