#pragma once
// Stands in for /dev/uinput: a pipe whose write end the device writes its
// records into, and an ioctl function that remembers each set-up request
// with a copy of its argument.

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <mutex>
#include <vector>

#include "common/platform/UinputDevice.h"

namespace tktest {

struct IoctlCall {
    unsigned long request = 0;
    std::uintptr_t value = 0;  // the integer of the UI_SET_*BIT requests
    uinput_abs_setup abs{};    // UI_ABS_SETUP
    uinput_setup setup{};      // UI_DEV_SETUP
};

class UinputRecorder {
public:
    UinputRecorder() {
        int fds[2] = {-1, -1};
        if (::pipe2(fds, O_CLOEXEC) == 0) {
            readFd_ = fds[0];
            writeFd_ = fds[1];
            ::fcntl(readFd_, F_SETFL, O_NONBLOCK);
        }
    }
    ~UinputRecorder() {
        if (readFd_ >= 0) {
            ::close(readFd_);
        }
    }
    UinputRecorder(const UinputRecorder&) = delete;
    UinputRecorder& operator=(const UinputRecorder&) = delete;

    // The descriptor to give the device, once; the device closes it.
    int takeWriteEnd() { return std::exchange(writeFd_, -1); }

    // Fails the request named, with EPERM, to test set-up errors.
    void failOn(unsigned long request) { failOn_ = request; }

    common::UinputIoctl ioctl() {
        return [state = state_, fail = failOn_](int, unsigned long request, std::uintptr_t arg) {
            IoctlCall call;
            call.request = request;
            if (request == UI_ABS_SETUP) {
                std::memcpy(&call.abs, reinterpret_cast<const void*>(arg), sizeof call.abs);
            } else if (request == UI_DEV_SETUP) {
                std::memcpy(&call.setup, reinterpret_cast<const void*>(arg), sizeof call.setup);
            } else {
                call.value = arg;
            }
            std::lock_guard lock(state->mutex);
            state->calls.push_back(call);
            if (request == fail) {
                errno = EPERM;
                return -1;
            }
            return 0;
        };
    }

    [[nodiscard]] std::vector<IoctlCall> calls() const {
        std::lock_guard lock(state_->mutex);
        return state_->calls;
    }

    // Every whole record written since the last call.
    std::vector<input_event> records() {
        char buffer[4096];
        ssize_t n = 0;
        while ((n = ::read(readFd_, buffer, sizeof buffer)) > 0) {
            pending_.insert(pending_.end(), buffer, buffer + n);
        }
        const std::size_t whole = pending_.size() / sizeof(input_event);
        std::vector<input_event> out(whole);
        std::memcpy(out.data(), pending_.data(), whole * sizeof(input_event));
        pending_.erase(pending_.begin(),
                       pending_.begin() + static_cast<std::ptrdiff_t>(whole * sizeof(input_event)));
        return out;
    }

private:
    struct State {
        std::mutex mutex;
        std::vector<IoctlCall> calls;
    };
    std::shared_ptr<State> state_ = std::make_shared<State>();
    unsigned long failOn_ = 0;
    int readFd_ = -1;
    int writeFd_ = -1;
    std::vector<char> pending_;
};

}  // namespace tktest
