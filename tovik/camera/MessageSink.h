#pragma once
// Where the camera layer's messages go: message boxes in the console, a list
// in tests.

#include <mutex>
#include <string>
#include <vector>

namespace tovik {

class MessageSink {
public:
    virtual ~MessageSink() = default;
    virtual void showMessage(const std::string& text) = 0;
};

class RecordingMessageSink final : public MessageSink {
public:
    void showMessage(const std::string& text) override {
        std::lock_guard lock(mutex_);
        messages_.push_back(text);
    }
    [[nodiscard]] std::vector<std::string> messages() const {
        std::lock_guard lock(mutex_);
        return messages_;
    }
    void clear() {
        std::lock_guard lock(mutex_);
        messages_.clear();
    }

private:
    mutable std::mutex mutex_;
    std::vector<std::string> messages_;
};

}  // namespace tovik
