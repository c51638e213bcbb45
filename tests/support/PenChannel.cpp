#include "tests/support/PenChannel.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>

#include "tests/support/Wait.h"

namespace tktest {

PenChannel::~PenChannel() {
    close();
}

void PenChannel::close() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

bool PenChannel::connect(const std::string& path, std::chrono::milliseconds limit) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path) {
        return false;
    }
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    return waitUntil(
        [&] {
            fd_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
            if (fd_ >= 0 &&
                ::connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
                return true;
            }
            ::close(fd_);
            fd_ = -1;
            return false;
        },
        limit, std::chrono::milliseconds(20));
}

bool PenChannel::send(const std::string& text) const {
    return ::send(fd_, text.data(), text.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(text.size());
}

bool PenChannel::reply(std::string& line, std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    std::size_t nl = 0;
    while ((nl = pending_.find('\n')) == std::string::npos) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                              end - std::chrono::steady_clock::now())
                              .count();
        pollfd p{fd_, POLLIN, 0};
        char buffer[512];
        ssize_t n = 0;
        if (left <= 0 || ::poll(&p, 1, static_cast<int>(left)) <= 0 ||
            (n = ::read(fd_, buffer, sizeof buffer)) <= 0) {
            return false;
        }
        pending_.append(buffer, static_cast<std::size_t>(n));
    }
    line = pending_.substr(0, nl);
    pending_.erase(0, nl + 1);
    return true;
}

std::string PenChannel::command(const std::string& line, std::chrono::milliseconds limit) {
    std::string answer;
    return send(line + "\n") && reply(answer, limit) ? answer : std::string();
}

}  // namespace tktest
