#include "sim/PenCommand.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace sim {

namespace {

// Longest wait one line may ask for; longer values are almost certainly typos.
constexpr int kMaxMs = 3'600'000;
// What separates words; a CR is one so that CRLF scripts read alike.
constexpr std::string_view kBlanks = " \t\r";

bool toDouble(std::string_view w, double& out) {
    const char* end = w.data() + w.size();
    auto [p, ec] = std::from_chars(w.data(), end, out);
    return ec == std::errc() && p == end && std::isfinite(out);
}

bool toMs(std::string_view w, int& out) {
    const char* end = w.data() + w.size();
    auto [p, ec] = std::from_chars(w.data(), end, out);
    return ec == std::errc() && p == end && out >= 0 && out <= kMaxMs;
}

bool toSwitch(std::string_view w, bool& out) {
    if (w == "1") {
        out = true;
        return true;
    }
    if (w == "0") {
        out = false;
        return true;
    }
    return false;
}

}  // namespace

std::vector<std::string_view> splitWords(std::string_view line) {
    std::vector<std::string_view> words;
    size_t start = line.find_first_not_of(kBlanks);
    while (start != std::string_view::npos) {
        const size_t end = std::min(line.find_first_of(kBlanks, start), line.size());
        words.push_back(line.substr(start, end - start));
        start = line.find_first_not_of(kBlanks, end);
    }
    return words;
}

std::optional<PenCommand> parsePenCommand(std::string_view line, std::string& error) {
    const std::vector<std::string_view> w = splitWords(line);
    PenCommand c;
    if (w.empty() || w[0].starts_with('#')) {
        return c;
    }
    const std::string_view verb = w[0];
    auto wrongCount = [&](const char* usage) {
        error = "usage: " + std::string(usage);
        return std::nullopt;
    };
    if (verb == "move") {
        if (w.size() != 3) {
            return wrongCount("move X Y");
        }
        c.kind = PenCommand::Kind::Move;
        if (!toDouble(w[1], c.x1) || !toDouble(w[2], c.y1)) {
            error = "move: X and Y must be numbers";
            return std::nullopt;
        }
        return c;
    }
    if (verb == "lit" || verb == "f13") {
        if (w.size() != 2) {
            return wrongCount(verb == "lit" ? "lit 0|1" : "f13 0|1");
        }
        c.kind = verb == "lit" ? PenCommand::Kind::Lit : PenCommand::Kind::F13;
        if (!toSwitch(w[1], c.on)) {
            error = std::string(verb) + ": the value must be 0 or 1";
            return std::nullopt;
        }
        return c;
    }
    if (verb == "path") {
        if (w.size() != 6) {
            return wrongCount("path X1 Y1 X2 Y2 MS");
        }
        c.kind = PenCommand::Kind::Path;
        if (!toDouble(w[1], c.x1) || !toDouble(w[2], c.y1) || !toDouble(w[3], c.x2) ||
            !toDouble(w[4], c.y2)) {
            error = "path: the coordinates must be numbers";
            return std::nullopt;
        }
        if (!toMs(w[5], c.ms)) {
            error = "path: MS must be a whole number of milliseconds, 0 to 3600000";
            return std::nullopt;
        }
        return c;
    }
    if (verb == "wait") {
        if (w.size() != 2) {
            return wrongCount("wait MS");
        }
        c.kind = PenCommand::Kind::Wait;
        if (!toMs(w[1], c.ms)) {
            error = "wait: MS must be a whole number of milliseconds, 0 to 3600000";
            return std::nullopt;
        }
        return c;
    }
    if (verb == "await") {
        // The rest of the line, blanks inside included: a path may have them.
        const size_t start = static_cast<size_t>(w[0].data() - line.data()) + w[0].size();
        const std::string_view rest = line.substr(start);
        const size_t first = rest.find_first_not_of(kBlanks);
        if (first == std::string_view::npos) {
            return wrongCount("await PATH");
        }
        c.kind = PenCommand::Kind::Await;
        c.path = std::string(rest.substr(first, rest.find_last_not_of(kBlanks) - first + 1));
        return c;
    }
    if (verb == "unplug" || verb == "plug") {
        if (w.size() != 1) {
            return wrongCount(verb == "plug" ? "plug" : "unplug");
        }
        c.kind = verb == "plug" ? PenCommand::Kind::Plug : PenCommand::Kind::Unplug;
        return c;
    }
    error = "unknown command '" + std::string(verb) +
            "' (move, lit, f13, path, wait, unplug, plug, await)";
    return std::nullopt;
}

std::optional<std::vector<PenCommand>> parsePenScript(std::string_view text, std::string& error) {
    std::vector<PenCommand> commands;
    int lineNumber = 0;
    while (!text.empty()) {
        ++lineNumber;
        const size_t nl = text.find('\n');
        const std::string_view line = text.substr(0, nl);
        text = nl == std::string_view::npos ? std::string_view() : text.substr(nl + 1);
        std::string lineError;
        const std::optional<PenCommand> c = parsePenCommand(line, lineError);
        if (!c) {
            error = "line " + std::to_string(lineNumber) + ": " + lineError;
            return std::nullopt;
        }
        if (c->kind != PenCommand::Kind::Nothing) {
            commands.push_back(*c);
        }
    }
    return commands;
}

}  // namespace sim
