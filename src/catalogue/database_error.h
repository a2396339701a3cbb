#pragma once

#include <QString>

#include <exception>
#include <string>
#include <utility>
#include <vector>

namespace velm {

// The code a table engine error carries when a post would duplicate a unique key.
inline constexpr int kKeyViolation = 9729;

// A failure of the catalogue store: the engine's message and its list of codes,
// of which callers read only the first. A failure of a catalogue file also says which
// file it was and what the user can do about it.
class EDatabaseError : public std::exception {
public:
    explicit EDatabaseError(QString message, std::vector<int> codes = {});

    const QString& Message() const { return message_; }
    const std::vector<int>& Codes() const { return codes_; }
    // 0 when the error carries no code.
    int FirstCode() const { return codes_.empty() ? 0 : codes_.front(); }
    bool IsKeyViolation() const { return FirstCode() == kKeyViolation; }

    // The catalogue file the failure concerns, or the catalogue's folder (ending in "/")
    // when it concerns no single file; empty when the failure is no file's.
    const QString& File() const { return file_; }
    // What the user can do about it; may be empty.
    const QString& Advice() const { return advice_; }
    void SetFile(const QString& file, const QString& advice);
    // What the user is shown: the message, then the file and the advice on lines of
    // their own.
    QString Text() const;

    const char* what() const noexcept override { return utf8_.c_str(); }

private:
    QString message_;
    std::vector<int> codes_;
    QString file_;
    QString advice_;
    std::string utf8_;
};

// A guard's refusal of an action: the user is told why in an error box, and the action
// ends with no further message. The layer that refuses never shows the box itself.
class ERefused : public std::exception {
public:
    explicit ERefused(QString text) : text_(std::move(text)), utf8_(text_.toStdString()) {}
    const QString& Text() const { return text_; }
    const char* what() const noexcept override { return utf8_.c_str(); }

private:
    QString text_;
    std::string utf8_;
};

// The silent abort: ends the current action without any further message.
class EAbort : public std::exception {
public:
    const char* what() const noexcept override { return "Operation aborted"; }
};

}  // namespace velm
