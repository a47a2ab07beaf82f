#include "TextInput.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace rilvane::vdrive {

bool readTextFile(const std::string& path, std::string& text, std::string& error)
{
    // Without O_NONBLOCK, opening a FIFO waits for a writer; the type is
    // checked before anything is read, so that neither a pipe nor a device
    // such as /dev/zero can hold up or flood the caller.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        error = path + ": cannot open: " + std::strerror(errno);
        return false;
    }
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        error = path + ": cannot open: " + std::strerror(errno);
        return false;
    }
    if (S_ISDIR(st.st_mode)) {
        error = path + ": is a folder, not a file";
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        error = path + ": not a regular file";
        return false;
    }
    text.clear();
    char buffer[4096];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            error = path + ": read error: " + std::strerror(errno);
            return false;
        }
        if (got == 0)
            return true;
        if (text.size() + static_cast<size_t>(got) > kMaxTextFileBytes) {
            error = path + ": file is larger than " + std::to_string(kMaxTextFileBytes) + " bytes";
            return false;
        }
        text.append(buffer, static_cast<size_t>(got));
    }
}

std::vector<std::string_view> splitLines(std::string_view text)
{
    if (text.substr(0, 3) == "\xEF\xBB\xBF")
        text.remove_prefix(3);
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        const size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        lines.push_back(line);
        if (end == std::string_view::npos)
            break;
        text.remove_prefix(end + 1);
    }
    return lines;
}

static bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v';
}

std::string_view trimBlanks(std::string_view s)
{
    while (!s.empty() && isBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

std::optional<std::vector<std::string>> tokenize(std::string_view line)
{
    std::vector<std::string> tokens;
    size_t i = 0;
    while (i < line.size()) {
        if (isBlank(line[i])) {
            ++i;
            continue;
        }
        if (line[i] == '"') {
            const size_t close = line.find('"', i + 1);
            if (close == std::string_view::npos)
                return std::nullopt;
            tokens.emplace_back(line.substr(i + 1, close - i - 1));
            i = close + 1;
            continue;
        }
        size_t end = i;
        while (end < line.size() && !isBlank(line[end]))
            ++end;
        tokens.emplace_back(line.substr(i, end - i));
        i = end;
    }
    return tokens;
}

std::optional<int64_t> parseDecimal(std::string_view s, int64_t maxValue)
{
    if (s.empty() || s.size() > 18)
        return std::nullopt;
    int64_t value = 0;
    for (char c : s) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + (c - '0');
    }
    if (value > maxValue)
        return std::nullopt;
    return value;
}

std::optional<uint8_t> parseHexByte(std::string_view s)
{
    if (s.empty() || s.size() > 2)
        return std::nullopt;
    unsigned value = 0;
    for (char c : s) {
        unsigned digit;
        if (c >= '0' && c <= '9')
            digit = static_cast<unsigned>(c - '0');
        else if (c >= 'a' && c <= 'f')
            digit = static_cast<unsigned>(c - 'a' + 10);
        else if (c >= 'A' && c <= 'F')
            digit = static_cast<unsigned>(c - 'A' + 10);
        else
            return std::nullopt;
        value = value * 16 + digit;
    }
    return static_cast<uint8_t>(value);
}

bool equalsIgnoreCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'a' && x <= 'z')
            x = static_cast<char>(x - 'a' + 'A');
        if (y >= 'a' && y <= 'z')
            y = static_cast<char>(y - 'a' + 'A');
        if (x != y)
            return false;
    }
    return true;
}

std::string lineError(const std::string& name, size_t line, const std::string& message)
{
    return name + ":" + std::to_string(line) + ": " + message;
}

}  // namespace rilvane::vdrive
