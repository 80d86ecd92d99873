#include "wine_keeper/wine_keeper.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <filesystem>
#include <sstream>

#include "system/spawn.posix.h"

extern char** environ;

namespace keil {
namespace {

// "4d5a…" as bytes; "" when it is not hexadecimal.
std::string FromHex(std::string_view hex) {
    const auto digit = [](char c) {
        const auto found = std::string_view("0123456789abcdef").find(static_cast<char>(std::tolower(c)));
        return found == std::string_view::npos ? -1 : static_cast<int>(found);
    };
    std::string bytes;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
        if (digit(hex[i]) < 0 || digit(hex[i + 1]) < 0) return "";
        bytes += static_cast<char>(digit(hex[i]) * 16 + digit(hex[i + 1]));
    }
    return bytes;
}

// The text of a binfmt_misc entry: "enabled", "interpreter PATH", "offset
// N", "magic HEX", "mask HEX" or "extension .EXT", a line each.
struct BinfmtEntry {
    explicit BinfmtEntry(const std::string& text) {
        std::istringstream lines(text);
        for (std::string line; std::getline(lines, line);) {
            const auto blank = line.find(' ');
            const std::string key = line.substr(0, blank);
            const std::string value = blank == std::string::npos ? "" : line.substr(blank + 1);
            if (key == "enabled") enabled = true;
            if (key == "interpreter") interpreter = value;
            if (key == "offset") offset = static_cast<std::size_t>(std::stoul(value));
            if (key == "magic") magic = FromHex(value);
            if (key == "mask") mask = FromHex(value);
            if (key == "extension") extension = value;
        }
    }

    // The kernel's rule: the extension of the name, or the magic at its
    // offset under its mask.
    bool Matches(std::string_view head, std::string_view program) const {
        if (!enabled) return false;
        if (!extension.empty()) return program.size() > extension.size() && program.ends_with(extension);
        if (magic.empty() || head.size() < offset + magic.size()) return false;
        for (std::size_t i = 0; i < magic.size(); ++i) {
            const char bits = i < mask.size() ? mask[i] : '\xff';
            if ((head[offset + i] & bits) != magic[i]) return false;
        }
        return true;
    }

    bool enabled = false;
    std::string interpreter;
    std::size_t offset = 0;
    std::string magic;
    std::string mask;
    std::string extension;
};

// The first `most` bytes of the plain file at `path`; "" for anything
// else. Opened without blocking and without following a link, so that a
// named pipe at the lookup program's name cannot hold the window.
std::string ReadStart(const std::filesystem::path& path, std::size_t most) {
    const UniqueFd fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC));
    struct stat info {};
    if (!fd.valid() || ::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode)) return "";
    std::string text(most, '\0');
    std::size_t done = 0;
    while (done < most) {
        const ssize_t n = ::read(fd.get(), text.data() + done, most - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += static_cast<std::size_t>(n);
    }
    text.resize(done);
    return text;
}

// The registered entries in the order of their names.
std::vector<std::string> BinfmtEntries(const std::filesystem::path& folder) {
    std::vector<std::filesystem::path> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        if (entry.path().filename() != "register" && entry.path().filename() != "status") names.push_back(entry.path());
    }
    std::sort(names.begin(), names.end());
    std::vector<std::string> entries;
    for (const auto& name : names) entries.push_back(ReadStart(name, 4096));
    return entries;
}

}  // namespace

std::string BinfmtInterpreter(std::string_view head, std::string_view program, const std::vector<std::string>& entries) {
    for (const std::string& text : entries) {
        const BinfmtEntry entry(text);
        if (entry.Matches(head, program)) return entry.interpreter;
    }
    return "";
}

WineKeeper::WineKeeper(const std::string& program, const std::string& binfmtFolder) {
    try {
        Start(program, binfmtFolder);
    } catch (const std::exception&) {
        // Without a kept process the lookups take as long as they did.
    }
}

void WineKeeper::Start(const std::string& program, const std::string& binfmtFolder) {
    const std::string head = ReadStart(program, 256);
    if (!head.starts_with("MZ") || !ReadStart(std::filesystem::path(binfmtFolder) / "status", 16).starts_with("enabled")) {
        return;
    }
    const std::string interpreter = BinfmtInterpreter(head, program, BinfmtEntries(binfmtFolder));
    if (interpreter.empty()) return;

    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0) return;
    UniqueFd reading(ends[0]);
    UniqueFd writing(ends[1]);
    // Reads the pipe as its standard input, writes nowhere, holds no folder
    // of the lookup's open, and starts with every signal's default.
    SpawnFileActions actions;
    actions.Dup2(reading.get(), STDIN_FILENO);
    actions.Open(STDOUT_FILENO, "/dev/null", O_WRONLY);
    actions.Dup2(STDOUT_FILENO, STDERR_FILENO);
    actions.CloseFrom(STDERR_FILENO + 1);
    actions.ChangeFolder("/");
    SpawnAttributes attributes;
    attributes.DefaultSignals();
    std::string argv0 = interpreter;
    std::string command = "cmd";
    char* argv[] = {argv0.data(), command.data(), nullptr};
    pid_t pid = 0;
    if (::posix_spawn(&pid, interpreter.c_str(), actions.get(), attributes.get(), argv, environ) != 0) return;
    pipe_ = std::move(writing);
    pid_ = pid;
}

}  // namespace keil
