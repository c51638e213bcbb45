#include "common/ini/IniFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#ifdef _WIN32
#include "common/ini/win32/WidePath.h"
#endif

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

namespace common {

namespace {

constexpr std::string_view kBom = "\xEF\xBB\xBF";
constexpr std::size_t npos = std::string::npos;
// Anything larger is not a settings file; refusing it keeps memory bounded.
constexpr off_t kMaxFileSize = off_t{256} * 1024 * 1024;

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

std::string_view trim(std::string_view s) {
    while (!s.empty() && isBlank(s.front())) {
        s.remove_prefix(1);
    }
    while (!s.empty() && isBlank(s.back())) {
        s.remove_suffix(1);
    }
    return s;
}

char lowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool equalsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (lowerAscii(a[i]) != lowerAscii(b[i])) {
            return false;
        }
    }
    return true;
}

enum class Kind { Other, Section, Key };

struct Parsed {
    Kind kind = Kind::Other;
    std::string_view name;       // section or key name, trimmed
    std::size_t valueStart = 0;  // Key: offset just after '=' in the line text
};

Parsed parseLine(std::string_view text) {
    Parsed p{};
    std::string_view t = trim(text);
    if (t.empty() || t.front() == ';' || t.front() == '#') {
        return p;
    }
    if (t.front() == '[') {
        t.remove_prefix(1);
        std::size_t close = t.find(']');
        p.kind = Kind::Section;
        p.name = trim(close == npos ? t : t.substr(0, close));
        return p;
    }
    std::size_t eq = text.find('=');
    if (eq == npos) {
        return p;
    }
    p.kind = Kind::Key;
    p.name = trim(text.substr(0, eq));
    p.valueStart = eq + 1;
    return p;
}

std::string_view unquote(std::string_view v) {
    v = trim(v);
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front()) {
        v = v.substr(1, v.size() - 2);
    }
    return v;
}

// The text written for a value. It spans one line: line breaks inside it would
// change the file's structure, so they are written as spaces. A value the
// reader would not give back as it is (blanks at either end, or wrapped in
// quotes itself) is written in double quotes, which the reader removes.
std::string storedForm(std::string_view value) {
    std::string out(value);
    for (char& c : out) {
        if (c == '\n' || c == '\r') {
            c = ' ';
        }
    }
    const bool blankEnds = !out.empty() && (isBlank(out.front()) || isBlank(out.back()));
    if (blankEnds || unquote(out).size() != out.size()) {
        out.insert(out.begin(), '"');
        out.push_back('"');
    }
    return out;
}

// Built by appending: GCC 12 warns falsely (-Wrestrict) on "[" + string.
std::string header(std::string_view section) {
    std::string line;
    line.reserve(section.size() + 2);
    line += '[';
    line += section;
    line += ']';
    return line;
}

std::string keyLine(std::string_view key, std::string_view value) {
    std::string line;
    line.reserve(key.size() + value.size() + 1);
    line += key;
    line += '=';
    line += value;
    return line;
}

}  // namespace

std::int32_t parseProfileInt(std::string_view text, std::int32_t def) {
    if (text.empty()) {
        return def;
    }
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
        negative = text[i] == '-';
        ++i;
    }
    // Unsigned arithmetic wraps modulo 2^32 without undefined behaviour.
    std::uint32_t v = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        v = v * 10u + static_cast<std::uint32_t>(text[i] - '0');
    }
    if (negative) {
        v = 0u - v;
    }
    return static_cast<std::int32_t>(v);
}

IniFile::IniFile(std::string path) : path_(std::move(path)) {}

const std::string& IniFile::path() const {
    return path_;
}

bool IniFile::load() {
    bom_.clear();
    lines_.clear();
    loadError_ = 0;

#ifdef _WIN32
    int fd = ::_wopen(widePath(path_).c_str(), _O_RDONLY | _O_BINARY);
#else
    int fd = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
#endif
    if (fd < 0) {
        // A folder part that is a file cannot hold the file either.
        if (errno == ENOENT || errno == ENOTDIR) {
            return true;
        }
        loadError_ = errno;
        return false;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size > kMaxFileSize) {
        ::close(fd);
        loadError_ = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
        return false;
    }
    std::string data;
    data.resize(static_cast<std::size_t>(st.st_size));
    std::size_t got = 0;
    for (;;) {
        if (got == data.size()) {
            // The file may have grown since fstat.
            if (data.size() >= static_cast<std::size_t>(kMaxFileSize)) {
                break;
            }
            data.resize(data.size() + 4096);
        }
        ssize_t n = ::read(fd, data.data() + got, data.size() - got);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            loadError_ = errno;
            ::close(fd);
            return false;
        }
        if (n == 0) {
            break;
        }
        got += static_cast<std::size_t>(n);
    }
    ::close(fd);
    data.resize(got);
    loadText(data);
    return true;
}

void IniFile::loadText(std::string_view rest) {
    bom_.clear();
    lines_.clear();
    if (rest.substr(0, kBom.size()) == kBom) {
        bom_ = kBom;
        rest.remove_prefix(kBom.size());
    }
    lines_.reserve(static_cast<std::size_t>(std::count(rest.begin(), rest.end(), '\n')) + 1);
    while (!rest.empty()) {
        std::size_t nl = rest.find('\n');
        if (nl == npos) {
            lines_.push_back({std::string(rest), ""});
            break;
        }
        bool crlf = nl > 0 && rest[nl - 1] == '\r';
        std::size_t textLen = crlf ? nl - 1 : nl;
        lines_.push_back({std::string(rest.substr(0, textLen)), crlf ? "\r\n" : "\n"});
        rest.remove_prefix(nl + 1);
    }
}

std::string IniFile::text() const {
    std::string data = bom_;
    std::size_t total = data.size();
    for (const Line& l : lines_) {
        total += l.text.size() + l.eol.size();
    }
    data.reserve(total);
    for (const Line& l : lines_) {
        data += l.text;
        data += l.eol;
    }
    return data;
}

FileWriteResult IniFile::save() const {
    if (loadError_ != 0) {
        return {loadError_, true};
    }
    return writeFileSafely(path_, text());
}

std::size_t IniFile::findSection(std::string_view section) const {
    section = trim(section);
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        Parsed p = parseLine(lines_[i].text);
        if (p.kind == Kind::Section && equalsNoCase(p.name, section)) {
            return i;
        }
    }
    return npos;
}

std::size_t IniFile::findKey(std::size_t sectionLine, std::string_view key) const {
    key = trim(key);
    for (std::size_t i = sectionLine + 1; i < lines_.size(); ++i) {
        Parsed p = parseLine(lines_[i].text);
        if (p.kind == Kind::Section) {
            break;
        }
        if (p.kind == Kind::Key && equalsNoCase(p.name, key)) {
            return i;
        }
    }
    return npos;
}

std::optional<std::string> IniFile::value(std::string_view section, std::string_view key) const {
    std::size_t s = findSection(section);
    if (s == npos) {
        return std::nullopt;
    }
    std::size_t k = findKey(s, key);
    if (k == npos) {
        return std::nullopt;
    }
    const std::string& text = lines_[k].text;
    return std::string(unquote(std::string_view(text).substr(parseLine(text).valueStart)));
}

std::string IniFile::getString(std::string_view section, std::string_view key,
                               std::string_view def) const {
    std::optional<std::string> v = value(section, key);
    return v ? *v : std::string(def);
}

std::int32_t IniFile::getInt(std::string_view section, std::string_view key,
                             std::int32_t def) const {
    std::optional<std::string> v = value(section, key);
    return v ? parseProfileInt(*v, def) : def;
}

std::string IniFile::newLineEnd() const {
    for (const Line& l : lines_) {
        if (!l.eol.empty()) {
            return l.eol;
        }
    }
    return "\n";
}

void IniFile::setValue(std::string_view section, std::string_view key, std::string_view value) {
    const std::string v = storedForm(value);
    const std::string_view sectionName = trim(section);
    const std::string_view keyName = trim(key);
    const std::string eol = newLineEnd();

    std::size_t s = findSection(sectionName);
    if (s == npos) {
        if (!lines_.empty() && lines_.back().eol.empty()) {
            lines_.back().eol = eol;
        }
        lines_.push_back({header(sectionName), eol});
        lines_.push_back({keyLine(keyName, v), eol});
        return;
    }

    std::size_t k = findKey(s, keyName);
    if (k != npos) {
        // Keep the key as written and the spacing after '='.
        std::string& text = lines_[k].text;
        std::size_t start = parseLine(text).valueStart;
        while (start < text.size() && (text[start] == ' ' || text[start] == '\t')) {
            ++start;
        }
        text.resize(start);
        text += v;
        return;
    }

    std::size_t last = s;
    for (std::size_t i = s + 1; i < lines_.size(); ++i) {
        Parsed p = parseLine(lines_[i].text);
        if (p.kind == Kind::Section) {
            break;
        }
        if (p.kind == Kind::Key) {
            last = i;
        }
    }
    if (lines_[last].eol.empty()) {
        lines_[last].eol = eol;
    }
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(last) + 1,
                  Line{keyLine(keyName, v), eol});
}

void IniFile::setInt(std::string_view section, std::string_view key, std::int32_t value) {
    setValue(section, key, std::to_string(value));
}

}  // namespace common
