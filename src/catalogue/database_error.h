#pragma once

#include <QString>

#include <exception>
#include <string>
#include <vector>

namespace velm {

// The code a table engine error carries when a post would duplicate a unique key.
inline constexpr int kKeyViolation = 9729;

// A failure of the catalogue store: the engine's message and its list of codes,
// of which callers read only the first.
class EDatabaseError : public std::exception {
public:
    explicit EDatabaseError(QString message, std::vector<int> codes = {});

    const QString& Message() const { return message_; }
    const std::vector<int>& Codes() const { return codes_; }
    // 0 when the error carries no code.
    int FirstCode() const { return codes_.empty() ? 0 : codes_.front(); }
    bool IsKeyViolation() const { return FirstCode() == kKeyViolation; }

    const char* what() const noexcept override { return utf8_.c_str(); }

private:
    QString message_;
    std::vector<int> codes_;
    std::string utf8_;
};

// The silent abort: ends the current action without any further message.
class EAbort : public std::exception {
public:
    const char* what() const noexcept override { return "Operation aborted"; }
};

}  // namespace velm
