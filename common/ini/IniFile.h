#pragma once
// An INI file read and written with the private-profile rules: names match
// without regard to ASCII case, the first matching section and key win, and a
// write changes only the line it must, keeping every other byte of the file.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/ini/SafeWrite.h"

namespace common {

// Integer reading rule: skip leading spaces, optional '-' (also accept '+'), decimal digits,
// stop at the first other character; no leading digits reads 0; an empty value gives def.
// Values beyond 32 bits wrap modulo 2^32.
[[nodiscard]] std::int32_t parseProfileInt(std::string_view text, std::int32_t def);

// Not thread-safe: one owner reads and writes it.
class IniFile {
public:
    explicit IniFile(std::string path);  // does not read

    // A missing file reads as empty (returns true); false only when the file
    // exists but cannot be read. After such a failure save() refuses to write,
    // so the unread content is never replaced.
    bool load();
    // Takes `data` as the file's content, as load() does with the file's bytes.
    void loadText(std::string_view data);

    // Writes through writeFileSafely (the old file stays intact on failure);
    // creates the file when it is missing.
    [[nodiscard]] FileWriteResult save() const;
    // The bytes save() writes: the loaded ones, changed only where set.
    [[nodiscard]] std::string text() const;

    [[nodiscard]] std::optional<std::string> value(std::string_view section,
                                                   std::string_view key) const;
    [[nodiscard]] std::string getString(std::string_view section, std::string_view key,
                                        std::string_view def) const;
    [[nodiscard]] std::int32_t getInt(std::string_view section, std::string_view key,
                                      std::int32_t def) const;

    // Replaces the first matching key in place, or adds the key after the last
    // key line of the first matching section, or adds the section at the end.
    // value() then gives `value` back, with line breaks as spaces (a value
    // with blanks at its ends or in quotes is written in double quotes).
    void setValue(std::string_view section, std::string_view key, std::string_view value);
    void setInt(std::string_view section, std::string_view key, std::int32_t value);  // "%d"

    [[nodiscard]] const std::string& path() const;

private:
    struct Line {
        std::string text;  // without its line end
        std::string eol;   // "\r\n", "\n" or "" for a last line without one
    };

    // Index of the first header line of the section, or npos.
    [[nodiscard]] std::size_t findSection(std::string_view section) const;
    // Index of the first key line of that section, or npos.
    [[nodiscard]] std::size_t findKey(std::size_t sectionLine, std::string_view key) const;
    [[nodiscard]] std::string newLineEnd() const;

    std::string path_;
    std::string bom_;
    std::vector<Line> lines_;
    int loadError_ = 0;  // errno of a failed load; save() refuses then
};

}  // namespace common
