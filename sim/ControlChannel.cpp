#include "sim/ControlChannel.h"

#ifndef _WIN32
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#endif

#include <cerrno>
#include <cstring>
#include <vector>

#include "common/platform/ThreadName.h"

namespace sim {

namespace {

struct Peer {
    int fd;
    std::string pending;  // bytes after the last complete line
};

}  // namespace

std::vector<std::string> takeLines(std::string& pending, std::string_view bytes) {
    pending.append(bytes);
    std::vector<std::string> lines;
    size_t start = 0;
    size_t nl;
    while ((nl = pending.find('\n', start)) != std::string::npos) {
        lines.emplace_back(pending, start, nl - start);
        start = nl + 1;
    }
    pending.erase(0, start);
    if (pending.size() > kMaxPendingLine) {
        pending.clear();
    }
    return lines;
}

#ifdef _WIN32
// Windows has neither FIFOs nor the socket files the drivers use: the pen is
// driven by a script (script=...) there.
std::unique_ptr<ControlChannel> ControlChannel::open(const std::string& path, Handler,
                                                     std::string& error) {
    error = "control " + path +
            ": a live control channel needs a FIFO or a Unix socket, which "
            "this system does not offer; drive the pen with script=FILE";
    return nullptr;
}

ControlChannel::~ControlChannel() = default;
#else
std::unique_ptr<ControlChannel> ControlChannel::open(const std::string& path, Handler handler,
                                                     std::string& error) {
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0) {
        if (S_ISFIFO(st.st_mode)) {
            // Opened for writing too, so the channel never sees end-of-file
            // between two writers.
            const int fd = ::open(path.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
            if (fd < 0) {
                error = "control " + path + ": " + std::strerror(errno);
                return nullptr;
            }
            return std::unique_ptr<ControlChannel>(
                new ControlChannel(path, std::move(handler), fd, false));
        }
        if (!S_ISSOCK(st.st_mode)) {
            error = "control " + path + ": exists and is neither a FIFO nor a socket";
            return nullptr;
        }
        ::unlink(path.c_str());  // left over from an earlier run
    }
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof(address.sun_path)) {
        error = "control " + path + ": path too long for a socket";
        return nullptr;
    }
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(fd, 4) != 0) {
        error = "control " + path + ": " + std::strerror(errno);
        if (fd >= 0) {
            ::close(fd);
        }
        return nullptr;
    }
    return std::unique_ptr<ControlChannel>(new ControlChannel(path, std::move(handler), fd, true));
}

ControlChannel::ControlChannel(std::string path, Handler handler, int fd, bool socket)
    : path_(std::move(path)), handler_(std::move(handler)), fd_(fd), socket_(socket) {
    thread_ = std::jthread([this](std::stop_token stop) {
        common::nameThisThread("sim-control");
        run(stop);
    });
}

ControlChannel::~ControlChannel() {
    thread_.request_stop();
    if (thread_.joinable()) {
        thread_.join();
    }
    ::close(fd_);
    if (socket_) {
        ::unlink(path_.c_str());
    }
}

void ControlChannel::run(std::stop_token stop) {
    std::vector<Peer> peers;
    if (!socket_) {
        peers.push_back({fd_, {}});
    }
    auto closePeer = [&](size_t i) {
        if (socket_) {
            ::close(peers[i].fd);
        }
        peers.erase(peers.begin() + static_cast<std::ptrdiff_t>(i));
    };
    while (!stop.stop_requested()) {
        std::vector<pollfd> fds;
        if (socket_) {
            fds.push_back({fd_, POLLIN, 0});
        }
        for (const Peer& p : peers) {
            fds.push_back({p.fd, POLLIN, 0});
        }
        // A short timeout keeps shutdown prompt without a wake-up pipe.
        if (::poll(fds.data(), fds.size(), 100) <= 0) {
            continue;
        }
        size_t first = 0;
        if (socket_) {
            first = 1;
            if ((fds[0].revents & POLLIN) != 0) {
                // Non-blocking, so a client that never reads its replies
                // cannot stall this thread (and with it the camera's close).
                const int client = ::accept4(fd_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
                if (client >= 0) {
                    peers.push_back({client, {}});
                }
            }
        }
        // Walk backwards so closing a peer keeps the indices of the others.
        for (size_t k = fds.size(); k-- > first;) {
            const size_t i = k - first;
            if (fds[k].revents == 0 || i >= peers.size()) {
                continue;
            }
            char buffer[4096];
            const ssize_t n = ::read(peers[i].fd, buffer, sizeof buffer);
            if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR)) {
                if (socket_) {
                    closePeer(i);
                }
                continue;
            }
            if (n < 0) {
                continue;
            }
            for (const std::string& line :
                 takeLines(peers[i].pending, std::string_view(buffer, static_cast<size_t>(n)))) {
                if (stop.stop_requested()) {
                    break;
                }
                const std::string reply = handler_(line, stop) + "\n";
                if (socket_) {
                    // Best effort: a client that went away, or lets its
                    // replies pile up unread, gets nothing.
                    (void)::send(peers[i].fd, reply.data(), reply.size(),
                                 MSG_NOSIGNAL | MSG_DONTWAIT);
                }
            }
        }
    }
    if (socket_) {
        for (const Peer& p : peers) {
            ::close(p.fd);
        }
    }
}

#endif

}  // namespace sim
