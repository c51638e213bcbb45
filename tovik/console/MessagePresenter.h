#pragma once
// Message boxes behind an interface: the console shows them with QMessageBox,
// tests record them and answer from a script, scripted runs print them.

#include <QString>
#include <deque>
#include <vector>

#include "tovik/camera/MessageSink.h"

class QWidget;

namespace tovik {

enum class MessageIcon { None, Information, Warning };
enum class MessageButtons { Ok, OkCancel };
enum class MessageResult { Ok, Cancel };

class MessagePresenter {
public:
    virtual ~MessagePresenter() = default;
    virtual MessageResult show(QWidget* parent, const QString& text, const QString& caption,
                               MessageIcon icon, MessageButtons buttons) = 0;
};

// Modal QMessageBox.
class QtMessagePresenter final : public MessagePresenter {
public:
    MessageResult show(QWidget* parent, const QString& text, const QString& caption,
                       MessageIcon icon, MessageButtons buttons) override;
};

// Writes "caption: text" to stderr and answers OK; for scripted runs.
class StreamMessagePresenter final : public MessagePresenter {
public:
    MessageResult show(QWidget* parent, const QString& text, const QString& caption,
                       MessageIcon icon, MessageButtons buttons) override;
};

// Remembers every message; answers from a queue, OK when it is empty.
class RecordingMessagePresenter final : public MessagePresenter {
public:
    struct Message {
        QString text;
        QString caption;
        MessageIcon icon;
        MessageButtons buttons;
    };
    MessageResult show(QWidget* parent, const QString& text, const QString& caption,
                       MessageIcon icon, MessageButtons buttons) override;
    void answerNext(MessageResult result) { answers_.push_back(result); }
    std::vector<Message> messages;

private:
    std::deque<MessageResult> answers_;
};

// The camera layer's messages as plain message boxes with the program's name
// as caption.
class PresenterMessageSink final : public MessageSink {
public:
    explicit PresenterMessageSink(MessagePresenter& presenter) : presenter_(presenter) {}
    void showMessage(const std::string& text) override;

private:
    MessagePresenter& presenter_;
};

}  // namespace tovik
