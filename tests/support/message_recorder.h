#pragma once

#include "kit/messages.h"

#include <QList>
#include <QString>

#include <deque>

namespace velm::test {

// Stands in for the message boxes during a test: records every box and answers
// questions from a queue (Yes / OK when the queue is empty).
class MessageRecorder : public MessagePresenter {
public:
    struct Shown {
        MessageKind kind;
        QString caption;
        QString text;
    };

    MessageRecorder() { previous_ = SetMessagePresenter(this); }
    ~MessageRecorder() override { SetMessagePresenter(previous_); }
    MessageRecorder(const MessageRecorder&) = delete;
    MessageRecorder& operator=(const MessageRecorder&) = delete;

    void AnswerNext(bool yes) { answers_.push_back(yes); }

    bool Show(MessageKind kind, const QString& caption, const QString& text) override {
        shown.append({kind, caption, text});
        if (answers_.empty())
            return true;
        const bool answer = answers_.front();
        answers_.pop_front();
        return answer;
    }

    int Count() const { return shown.size(); }
    const Shown& Last() const { return shown.back(); }
    void Clear() { shown.clear(); }

    QList<Shown> shown;

private:
    std::deque<bool> answers_;
    MessagePresenter* previous_ = nullptr;
};

}  // namespace velm::test
