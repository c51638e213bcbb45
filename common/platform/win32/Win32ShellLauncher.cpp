#include "common/platform/win32/Win32ShellLauncher.h"

// windows.h first: the other system headers build on it.
#include <windows.h>

#include <shellapi.h>

#include "common/platform/win32/Win32Text.h"

namespace common {

Win32ShellLauncher::~Win32ShellLauncher() {
    for (auto& [pid, handle] : children_) {
        CloseHandle(handle);
    }
}

std::wstring Win32ShellLauncher::quoteArguments(const std::vector<std::string>& args) {
    std::wstring line;
    for (const std::string& a : args) {
        if (!line.empty()) {
            line += L' ';
        }
        const std::wstring w = win32::widen(a);
        if (!w.empty() && w.find_first_of(L" \t\"") == std::wstring::npos) {
            line += w;
            continue;
        }
        // Backslashes double only before a quote, as the C runtime reads them.
        line += L'"';
        std::size_t slashes = 0;
        for (const wchar_t c : w) {
            if (c == L'\\') {
                ++slashes;
            } else if (c == L'"') {
                line.append(slashes * 2 + 1, L'\\');
                slashes = 0;
            } else {
                line.append(slashes, L'\\');
                slashes = 0;
            }
            if (c != L'\\') {
                line += c;
            }
        }
        line.append(slashes * 2, L'\\');
        line += L'"';
    }
    return line;
}

long Win32ShellLauncher::start(const std::vector<std::string>& argv) {
    if (argv.empty() || argv.front().empty()) {
        return -1;
    }
    const std::wstring file = win32::widen(argv.front());
    const std::wstring params = quoteArguments({argv.begin() + 1, argv.end()});
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
    info.lpVerb = L"open";
    info.lpFile = file.c_str();
    info.lpParameters = params.empty() ? nullptr : params.c_str();
    info.nShow = SW_SHOWNORMAL;
    if (!ShellExecuteExW(&info) || info.hProcess == nullptr) {
        return -1;
    }
    const long pid = static_cast<long>(GetProcessId(info.hProcess));
    std::lock_guard lock(mutex_);
    children_[pid] = info.hProcess;
    return pid;
}

void Win32ShellLauncher::stop(long pid) {
    std::lock_guard lock(mutex_);
    const auto it = children_.find(pid);
    // Only processes started here: a number may have been reused.
    if (it == children_.end()) {
        return;
    }
    if (WaitForSingleObject(it->second, 0) == WAIT_TIMEOUT) {
        TerminateProcess(it->second, 0);
        WaitForSingleObject(it->second, 2000);
    }
    CloseHandle(it->second);
    children_.erase(it);
}

bool Win32ShellLauncher::openDocument(const std::string& path) {
    const std::wstring file = win32::widen(path);
    if (file.empty() || GetFileAttributesW(file.c_str()) == INVALID_FILE_ATTRIBUTES) {
        return false;
    }
    const auto rc = reinterpret_cast<INT_PTR>(
        ShellExecuteW(nullptr, L"open", file.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
    return rc > 32;
}

}  // namespace common
