// Helpers of the whole-run benchmark (whole_run.sh):
//   run_bench_tool generate DIR PAGES FOLDERS   writes a site of pages of about 10 KB in FOLDERS folders
//   run_bench_tool minimal SRC DST              the least a protection pass must do: read each page, escape
//                                               every byte as %XX, write it to the same place below DST
//   run_bench_tool measure CMD ARGS...          runs CMD (its output discarded) and prints "wall cpu peakKB":
//                                               seconds of wall and CPU (user + system) time, peak memory
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <random>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

const char* const kWords[] = {
    "protect", "page",   "writer", "folder", "copy",    "browser", "markup",      "script",
    "escape",  "notice", "frame",  "link",   "content", "site",    "caf\xC3\xA9", "r\xC3\xA9sum\xC3\xA9"};

std::string paragraph(std::mt19937& random) {
    std::string text = "<p>";
    for (int i = 0; i < 60; ++i) {
        text += kWords[random() % std::size(kWords)];
        text += i % 12 == 11 ? ". " : " ";
    }
    text += "<a href=\"page" + std::to_string(random() % 100) + ".htm\">more</a></p>\n";
    return text;
}

std::string page(std::mt19937& random, int number) {
    std::string text = "<html>\n<head>\n<meta charset=\"utf-8\">\n<title>Page " + std::to_string(number) +
                       "</title>\n<link rel=\"stylesheet\" href=\"site.css\">\n</head>\n<body bgcolor=white>\n";
    while (text.size() < 10 * 1024 - 600)
        text += paragraph(random);
    return text + "<p><a href=\"mailto:info@example.com\">Write to us</a></p>\n</body>\n</html>\n";
}

int generate(const fs::path& root, int pages, int folders) {
    std::mt19937 random(42);
    for (int i = 0; i < pages; ++i) {
        const int leaf = i % folders;
        const fs::path folder = root / ("section" + std::to_string(leaf % 10)) / ("part" + std::to_string(leaf));
        fs::create_directories(folder);
        std::ofstream(folder / ("page" + std::to_string(i) + ".htm"), std::ios::binary) << page(random, i);
    }
    return 0;
}

/// Reads a page, escapes every byte and writes the result, with plain system calls and one reused buffer.
void escapeFile(const std::string& from, const std::string& to, std::string& bytes, std::string& escaped) {
    static const char kHex[] = "0123456789ABCDEF";
    const int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat st {};
    if (in < 0 || ::fstat(in, &st) != 0)
        std::exit(1);
    bytes.resize(static_cast<std::size_t>(st.st_size));
    const ssize_t got = ::read(in, bytes.data(), bytes.size());
    ::close(in);
    if (got != st.st_size)
        std::exit(1);
    escaped.resize(bytes.size() * 3);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const auto byte = static_cast<unsigned char>(bytes[i]);
        escaped[3 * i] = '%';
        escaped[3 * i + 1] = kHex[byte >> 4];
        escaped[3 * i + 2] = kHex[byte & 15];
    }
    const int out = ::open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (out < 0 || ::write(out, escaped.data(), escaped.size()) != static_cast<ssize_t>(escaped.size()))
        std::exit(1);
    ::close(out);
}

void minimalFolder(const std::string& source, const std::string& target, std::string& bytes, std::string& escaped) {
    ::mkdir(target.c_str(), 0777);
    DIR* folder = ::opendir(source.c_str());
    if (folder == nullptr)
        std::exit(1);
    while (const dirent* entry = ::readdir(folder)) {
        const std::string name = entry->d_name;
        if (name == "." || name == "..")
            continue;
        if (entry->d_type == DT_DIR)
            minimalFolder(source + "/" + name, target + "/" + name, bytes, escaped);
        else if (name.ends_with(".htm") || name.ends_with(".html"))
            escapeFile(source + "/" + name, target + "/" + name, bytes, escaped);
    }
    ::closedir(folder);
}

int minimal(const std::string& source, const std::string& target) {
    std::string bytes;
    std::string escaped;
    minimalFolder(source, target, bytes, escaped);
    return 0;
}

double seconds(const timeval& time) {
    return static_cast<double>(time.tv_sec) + time.tv_usec / 1e6;
}

int measure(char** command) {
    const auto started = std::chrono::steady_clock::now();
    const pid_t child = ::fork();
    if (child == 0) {
        const int null = ::open("/dev/null", O_WRONLY);
        ::dup2(null, STDOUT_FILENO);
        ::execvp(command[0], command);
        std::_Exit(127);
    }
    int status = 0;
    struct rusage usage {};
    if (child < 0 || ::wait4(child, &status, 0, &usage) != child)
        return 1;
    const std::chrono::duration<double> wall = std::chrono::steady_clock::now() - started;
    std::printf("%.3f %.3f %ld\n", wall.count(), seconds(usage.ru_utime) + seconds(usage.ru_stime), usage.ru_maxrss);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 1;
}

} // namespace

int main(int argc, char** argv) {
    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "generate" && argc == 5)
        return generate(argv[2], std::atoi(argv[3]), std::atoi(argv[4]));
    if (command == "minimal" && argc == 4)
        return minimal(argv[2], argv[3]);
    if (command == "measure" && argc > 2)
        return measure(argv + 2);
    std::cerr << "usage: run_bench_tool generate DIR PAGES FOLDERS | minimal SRC DST | measure CMD ARGS...\n";
    return 2;
}
