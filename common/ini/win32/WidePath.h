#pragma once
// Our paths are UTF-8; the wide Windows calls and the C runtime's _w*
// functions take UTF-16.

#include <filesystem>
#include <string>
#include <string_view>

namespace common {

[[nodiscard]] inline std::wstring widePath(std::string_view utf8) {
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end())).wstring();
}

[[nodiscard]] inline std::string utf8Path(const std::filesystem::path& path) {
    const std::u8string s = path.generic_u8string();
    return std::string(s.begin(), s.end());
}

}  // namespace common
