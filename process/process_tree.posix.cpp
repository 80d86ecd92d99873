#include "process/process_tree.posix.h"

#include <unistd.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <sstream>
#include <string_view>

#include "system/small_file.posix.h"

namespace keil {
namespace {

// The process IDs that the children files of the tasks in `tasks`
// ("/proc/<pid>/task") name; none of a task or process that is gone.
void AddChildren(const std::string& tasks, std::vector<pid_t>& children) {
    std::error_code gone;
    for (std::filesystem::directory_iterator task(tasks, gone), end; !gone && task != end; task.increment(gone)) {
        std::istringstream list(ReadSmallFile((task->path() / "children").string()));
        for (long long pid = 0; list >> pid;) children.push_back(static_cast<pid_t>(pid));
    }
}

// The facts of /proc/<pid>/stat: "pid (name) state ppid pgrp ...", where
// the name may hold blanks and parentheses.
struct Stat {
    bool read = false;
    std::string name;
    char state = '?';
    pid_t parent = 0;
    pid_t group = 0;
    pid_t session = 0;
};

Stat ReadStat(pid_t pid) {
    const std::string text = ReadSmallFile("/proc/" + std::to_string(pid) + "/stat");
    const auto open = text.find('(');
    const auto close = text.rfind(')');
    Stat stat;
    if (open == std::string::npos || close == std::string::npos || close < open) return stat;
    stat.name = text.substr(open + 1, close - open - 1);
    long long parent = 0;
    long long group = 0;
    long long session = 0;
    char state = '?';
    if (std::sscanf(text.c_str() + close + 1, " %c %lld %lld %lld", &state, &parent, &group, &session) != 4) {
        return stat;
    }
    stat.read = true;
    stat.state = state;
    stat.parent = static_cast<pid_t>(parent);
    stat.group = static_cast<pid_t>(group);
    stat.session = static_cast<pid_t>(session);
    return stat;
}

bool SameWithoutCase(std::string_view a, std::string_view b) {
    return std::ranges::equal(a, b, [](char x, char y) { return std::tolower(x) == std::tolower(y); });
}

}  // namespace

std::vector<pid_t> ChildrenOfThisProcess() {
    std::vector<pid_t> children;
    AddChildren("/proc/self/task", children);
    std::sort(children.begin(), children.end());
    return children;
}

// Wine names a Windows program's process by its file, at most 15
// characters, and starts it with its Windows path.
constexpr std::array<const char*, 8> kPrefixPrograms = {
    "services.exe", "winedevice.exe", "plugplay.exe", "svchost.exe",
    "rpcss.exe",    "explorer.exe",   "winemenubuilder", "wineboot.exe"};

bool IsWinesOwnName(const char* name) {
    if (std::strncmp(name, "wineserver", 10) == 0) return true;
    for (const char* own : kPrefixPrograms) {
        if (std::strcmp(name, own) == 0) return true;
    }
    return false;
}

bool IsWinesOwn(const std::string& name, const std::string& commandLine) {
    if (name.starts_with("wineserver")) return true;
    if (!IsWinesOwnName(name.c_str())) return false;
    const std::string_view program(commandLine.c_str());
    for (const std::string_view folder : {"C:\\windows\\system32\\", "C:\\windows\\syswow64\\"}) {
        if (program.size() > folder.size() && SameWithoutCase(program.substr(0, folder.size()), folder)) return true;
    }
    return false;
}

std::vector<StartedProcess> StartedBy(Lineage& lineage) {
    const pid_t self = ::getpid();
    const pid_t session = ::getsid(0);
    std::vector<StartedProcess> started;
    std::vector<pid_t> look;
    // A child that this process started itself meanwhile (a helper, a
    // colleague's copy in a test) stays in its group and session.
    for (const pid_t child : ChildrenOfThisProcess()) {
        if (std::binary_search(lineage.earlier.begin(), lineage.earlier.end(), child)) continue;
        const Stat stat = ReadStat(child);
        const bool known = std::find(lineage.known.begin(), lineage.known.end(), child) != lineage.known.end();
        if (known || (stat.read && (stat.group == lineage.group || stat.session != session))) look.push_back(child);
    }
    // Each process that is there, and then what it started, as far as the
    // children files of /proc tell; every process once.
    std::vector<pid_t> seen;
    while (!look.empty()) {
        const pid_t pid = look.back();
        look.pop_back();
        if (std::find(seen.begin(), seen.end(), pid) != seen.end()) continue;
        seen.push_back(pid);
        const Stat stat = ReadStat(pid);
        if (!stat.read) continue;
        const bool ended = stat.state == 'Z';
        if (!ended && IsWinesOwn(stat.name, ReadSmallFile("/proc/" + std::to_string(pid) + "/cmdline"))) continue;
        started.push_back({pid, stat.group, ended, stat.parent == self, stat.name});
        if (std::find(lineage.known.begin(), lineage.known.end(), pid) == lineage.known.end()) {
            lineage.known.push_back(pid);
        }
        AddChildren("/proc/" + std::to_string(pid) + "/task", look);
    }
    return started;
}

}  // namespace keil
