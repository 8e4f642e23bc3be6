#include "PasswordFile.h"

#include "crypto/SecretMemory.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <string_view>
#include <unistd.h>

namespace quillora::project {

bool readFirstLine(const std::string& path, std::string& line, std::string& error) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        error = std::strerror(errno);
        return false;
    }
    const bool read = readFirstLine(fd, line, error);
    ::close(fd);
    return read;
}

bool readFirstLine(int fd, std::string& line, std::string& error) {
    line.clear();
    char buffer[4096];
    bool read = true;
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            error = std::strerror(errno);
            read = false;
            break;
        }
        const std::string_view piece(buffer, static_cast<std::size_t>(got));
        const auto end = piece.find('\n');
        line.append(piece.substr(0, end));
        if (got == 0 || end != std::string_view::npos)
            break;
        if (line.size() > kLongestPasswordLine) {
            error = "its first line is longer than " + std::to_string(kLongestPasswordLine) + " bytes";
            read = false;
            break;
        }
    }
    crypto::wipe(buffer, sizeof buffer);
    if (!read) {
        crypto::wipe(line);
        return false;
    }
    if (line.ends_with('\r'))
        line.pop_back();
    if (line.starts_with("\xEF\xBB\xBF"))
        line.erase(0, 3);
    return true;
}

} // namespace quillora::project
