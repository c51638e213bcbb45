#pragma once
// UTF-8 (our strings) to UTF-16 (the wide Windows calls) and back.

#include <string>
#include <string_view>

namespace common::win32 {

[[nodiscard]] std::wstring widen(std::string_view utf8);
[[nodiscard]] std::string narrow(std::wstring_view utf16);

// '*' stands for any text, everything else matches itself (case-sensitive,
// as window class names are compared by the programs that register them).
[[nodiscard]] bool wildcardMatch(std::string_view pattern, std::string_view text);

}  // namespace common::win32
