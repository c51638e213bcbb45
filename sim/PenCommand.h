#pragma once
// One line of the pen's control language, as read from a script file or the
// live control channel:
//   move X Y | lit 0|1 | f13 0|1 | path X1 Y1 X2 Y2 MS | wait MS | unplug | plug
//   | await PATH (until the file PATH exists, as a test's signal to go on)
// Blank lines and lines starting with '#' do nothing.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sim {

struct PenCommand {
    enum class Kind { Nothing, Move, Lit, F13, Path, Wait, Unplug, Plug, Await };
    Kind kind = Kind::Nothing;
    double x1 = 0, y1 = 0, x2 = 0, y2 = 0;  // Move uses x1, y1
    bool on = false;                        // Lit, F13
    int ms = 0;                             // Path, Wait
    std::string path{};                     // Await

    bool operator==(const PenCommand&) const = default;
};

// Empty with `error` set when the line is not a command.
// The blank-separated words of one line (spaces, tabs, a stray CR).
[[nodiscard]] std::vector<std::string_view> splitWords(std::string_view line);

[[nodiscard]] std::optional<PenCommand> parsePenCommand(std::string_view line, std::string& error);

// Every line of a script; empty with `error` naming the first bad line.
[[nodiscard]] std::optional<std::vector<PenCommand>> parsePenScript(std::string_view text,
                                                                    std::string& error);

}  // namespace sim
