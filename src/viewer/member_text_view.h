#pragma once

#include <QByteArrayView>
#include <QString>
#include <QWidget>

class QLabel;
class QPlainTextEdit;

namespace velm {

// Bytes of an untrusted file as text that shows every byte and hides nothing: UTF-16
// or UTF-32 when a byte order mark says so, else UTF-8 when the bytes are valid UTF-8,
// else Windows-1252. Line breaks of any convention become line breaks; every other
// control character is shown in caret notation (NUL as "^@", escape as "^["), and
// characters that would reorder the text around them, or stand for no character,
// become "�".
QString DisplayableText(QByteArrayView bytes);

// A read-only window of our own that shows a file extracted from an archive as plain
// text. A member is never run or handed to the desktop's program for its type, which
// could be a browser for an .html file or the file itself for an .exe.
class TMemberTextView : public QWidget {
    Q_OBJECT
public:
    // Enough for any source file or readme; a larger member shows its beginning.
    static constexpr qint64 kMaxShownBytes = 4LL * 1024 * 1024;
    // Longer lines are shown in pieces: laying out one line of megabytes (a binary file
    // without line breaks) would hold the program for many seconds.
    static constexpr qsizetype kMaxLineLength = 4096;

    explicit TMemberTextView(QWidget* parent = nullptr);

    // Reads at most kMaxShownBytes of the file; false with the reason in ErrorText()
    // when it cannot be read.
    bool LoadFile(const QString& path);
    QString ErrorText() const { return errorText_; }

    QPlainTextEdit* PlainTextMember() const { return text_; }
    // Says how much of a larger file is shown and whether long lines were broken;
    // hidden when the text is shown whole.
    QLabel* LabelNotShown() const { return notShown_; }

private:
    QPlainTextEdit* text_ = nullptr;
    QLabel* notShown_ = nullptr;
    QString errorText_;
};

// Shows the file in a window of its own beside `owner` (the window it was asked from),
// without blocking it: the window belongs to the owner, so a modal owner stays usable
// and the text window closes with it. A file that cannot be read is reported instead.
void ShowMemberText(const QString& path, QWidget* owner);

}  // namespace velm
