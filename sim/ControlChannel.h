#pragma once
// The live control channel of the simulated pen: lines of the control
// language arriving through a FIFO (made beforehand with mkfifo) or a Unix
// stream socket (created when the path does not exist). Socket clients get
// one reply line per command, "ok" or "error: ...", once it has been carried
// out, so a driver script can wait for a glide to end. Replies a client
// leaves unread beyond the socket's buffer are dropped, never waited for.

#include <functional>
#include <memory>
#include <stop_token>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace sim {

// Appends bytes that arrived to `pending` and takes out every complete line,
// in order, without its '\n'. A remainder longer than kMaxPendingLine with no
// line end in sight is dropped: it is not the control language.
inline constexpr std::size_t kMaxPendingLine = 65536;
[[nodiscard]] std::vector<std::string> takeLines(std::string& pending, std::string_view bytes);

class ControlChannel {
public:
    // Carries out one line; returns the reply ("ok" or "error: ...").
    using Handler = std::function<std::string(std::string_view line, std::stop_token stop)>;

    [[nodiscard]] static std::unique_ptr<ControlChannel> open(const std::string& path,
                                                              Handler handler, std::string& error);
    ~ControlChannel();
    ControlChannel(const ControlChannel&) = delete;
    ControlChannel& operator=(const ControlChannel&) = delete;

    [[nodiscard]] bool isSocket() const { return socket_; }

private:
    ControlChannel(std::string path, Handler handler, int fd, bool socket);
    void run(std::stop_token stop);

    std::string path_;
    Handler handler_;
    int fd_ = -1;
    bool socket_ = false;
    std::jthread thread_;
};

}  // namespace sim
