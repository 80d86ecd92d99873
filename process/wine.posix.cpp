#include "process/wine.posix.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <sstream>

#include "system/error.h"
#include "system/unique_fd.posix.h"

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

// The folder's path without its closing separator.
std::string WithoutSeparator(std::string path) {
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    return path;
}

bool SameFile(const std::string& a, const std::string& b) {
    struct stat first {};
    struct stat second {};
    return ::stat(a.c_str(), &first) == 0 && ::stat(b.c_str(), &second) == 0 && first.st_dev == second.st_dev &&
           first.st_ino == second.st_ino;
}

// Whether the kernel's interpreter `interpreter` is Wine.
bool IsWine(const std::string& interpreter) {
    return std::filesystem::path(interpreter).filename().string().starts_with("wine");
}

}  // namespace

std::string ReadStart(const std::string& path, std::size_t most) {
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

std::vector<std::string> BinfmtEntries(const std::string& folder) {
    if (!ReadStart(folder + "/status", 16).starts_with("enabled")) return {};
    std::vector<std::filesystem::path> names;
    std::error_code unreadable;
    std::filesystem::directory_iterator entry(folder, unreadable);
    for (const std::filesystem::directory_iterator end; !unreadable && entry != end; entry.increment(unreadable)) {
        if (entry->path().filename() != "register" && entry->path().filename() != "status") names.push_back(entry->path());
    }
    std::sort(names.begin(), names.end());
    std::vector<std::string> entries;
    for (const auto& name : names) entries.push_back(ReadStart(name, 4096));
    return entries;
}


std::string BinfmtInterpreter(std::string_view head, std::string_view program, const std::vector<std::string>& entries) {
    for (const std::string& text : entries) {
        const BinfmtEntry entry(text);
        if (entry.Matches(head, program)) return entry.interpreter;
    }
    return "";
}


std::uint16_t PeMachine(std::string_view head) {
    const auto at = [&](std::size_t offset, std::size_t size) {
        std::uint32_t number = 0;
        for (std::size_t i = size; i-- > 0;) number = number << 8 | static_cast<std::uint8_t>(head[offset + i]);
        return number;
    };
    constexpr std::size_t kHeaderOffset = 0x3c;
    if (!head.starts_with("MZ") || head.size() < kHeaderOffset + 4) return 0;
    const std::size_t header = at(kHeaderOffset, 4);
    if (header > head.size() || head.size() - header < 6 || head.substr(header, 4) != std::string_view("PE\0\0", 4)) {
        return 0;
    }
    return static_cast<std::uint16_t>(at(header + 4, 2));
}

std::string WinePrefix() {
    if (const char* prefix = std::getenv("WINEPREFIX"); prefix != nullptr && *prefix != '\0') return prefix;
    if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') return std::string(home) + "/.wine";
    return "";
}

void ThrowNoWine32(const std::string& program) {
    throw Error(kErrNoWine32,
                "Das Suchprogramm " + Quoted(program) + " ist ein 32-Bit-Windows-Programm, und diesem Rechner "
                "fehlt der 32-Bit-Teil von Wine, mit dem Linux Windows-Programme ausführt. Das Suchprogramm "
                "wird deshalb nicht gestartet. Melden Sie den Fehler Ihrer IT-Betreuung. Sie richtet als root "
                "mit „dpkg --add-architecture i386“, „apt-get update“ und „apt-get install wine32:i386“ das "
                "Paket „wine32:i386“ ein.");
}

void ThrowOtherDriveFolder(const std::string& link, const std::string& folder) {
    throw Error(kErrOtherDriveFolder,
                "„C:\\fibu“ der Wine-Umgebung, " + Quoted(link) + ", führt nicht zum Ordner des Suchprogramms " +
                    Quoted(folder) + ". Das Suchprogramm fände dort nicht seine Daten und wird deshalb nicht "
                    "gestartet; geändert wird nichts. Melden Sie den Fehler Ihrer IT-Betreuung. Sie benennt " +
                    Quoted(link) + " um; der Keilbrecher legt dort dann einen Verweis auf den Ordner an.");
}

void PrepareForWine(const std::string& program, const std::string& folder, const std::string& prefix,
                    const WinePlaces& places) {
    constexpr std::size_t kHeadRead = 4096;
    const std::string head = ReadStart(program, kHeadRead);
    if (!head.starts_with("MZ")) return;
    const std::string interpreter = BinfmtInterpreter(head, program, BinfmtEntries(places.binfmtFolder));
    if (interpreter.empty() || !IsWine(interpreter)) return;
    constexpr std::uint16_t kI386 = 0x14c;
    if (PeMachine(head) == kI386 && ::access(places.loader32.c_str(), X_OK) != 0) {
        ThrowNoWine32(program);
    }
    if (prefix.empty()) return;
    // The program knows the lookup folder as C:\fibu.
    const std::string drive = prefix + "/drive_c";
    const std::string link = drive + "/fibu";
    const std::string target = WithoutSeparator(folder);
    for (int attempt = 0; attempt < 2; ++attempt) {
        struct stat there {};
        if (::lstat(link.c_str(), &there) == 0) {
            if (SameFile(link, target)) return;
            ThrowOtherDriveFolder(link, folder);
        }
        if (errno != ENOENT) ThrowSystemError(errno, "Der Eintrag " + Quoted(link) + " kann nicht geprüft werden");
        std::error_code made;
        std::filesystem::create_directories(drive, made);
        if (made) ThrowSystemError(made.value(), "Der Ordner " + Quoted(drive) + " kann nicht angelegt werden");
        if (::symlink(target.c_str(), link.c_str()) == 0) return;
        // Made meanwhile by another start: judged as it is.
        if (errno != EEXIST) {
            ThrowSystemError(errno, "Der Verweis " + Quoted(link) + " auf den Ordner des Suchprogramms kann nicht "
                                    "angelegt werden");
        }
    }
}

}  // namespace keil
