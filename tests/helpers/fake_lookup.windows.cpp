// Stands in for the lookup program in the Windows tests. It reads its
// instructions from "fake-mode.txt" beside itself (a "key value" pair a
// line), reports what it was given to "fake-report.txt" and appends a line
// to "fake-runs.txt".
//
//   respond FILE    copy FILE (beside the helper) to standard output
//   sleep-ms N      sleep N milliseconds before responding
//   delete-request  delete in.txt from the helper's folder
//   exit N          end with exit code N (default 0)

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

#include "fake_common.h"

namespace {

std::string Folder() {
    char path[MAX_PATH] = {};
    ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder = path;
    return folder.substr(0, folder.find_last_of("\\/") + 1);
}

// The path of the file behind a standard handle, in lower case and without
// the "\\?\" prefix, or what else it is.
std::string PathOf(DWORD which) {
    const HANDLE handle = ::GetStdHandle(which);
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE) return "none";
    char path[MAX_PATH] = {};
    const DWORD n = ::GetFinalPathNameByHandleA(handle, path, MAX_PATH, FILE_NAME_NORMALIZED);
    if (n == 0 || n >= MAX_PATH) return "not a file";
    std::string text(path, n);
    if (text.rfind("\\\\?\\", 0) == 0) text = text.substr(4);
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

std::string ReadAll(HANDLE handle) {
    std::string data;
    char buffer[4096];
    DWORD n = 0;
    while (::ReadFile(handle, buffer, sizeof buffer, &n, nullptr) && n > 0) data.append(buffer, n);
    return data;
}

void WriteAll(HANDLE handle, const std::string& data) {
    std::size_t done = 0;
    while (done < data.size()) {
        DWORD n = 0;
        if (!::WriteFile(handle, data.data() + done, static_cast<DWORD>(data.size() - done), &n, nullptr)) return;
        done += n;
    }
}

}  // namespace

int main(int argc, char** argv) {
    const std::string folder = Folder();
    auto mode = fake::ReadMode(folder);
    const std::string request = ReadAll(::GetStdHandle(STD_INPUT_HANDLE));

    std::ofstream(folder + "fake-report.txt", std::ios::binary)
        << "request=" << fake::Hex(request) << "\nargc=" << argc << "\nargv0=" << argv[0] << "\nstdin=" << PathOf(STD_INPUT_HANDLE)
        << "\nstdout=" << PathOf(STD_OUTPUT_HANDLE) << "\n";
    std::ofstream(folder + "fake-runs.txt", std::ios::binary | std::ios::app) << "run\n";

    if (mode.count("sleep-ms")) ::Sleep(static_cast<DWORD>(std::atol(mode["sleep-ms"].c_str())));
    if (mode.count("delete-request")) ::DeleteFileA((folder + "in.txt").c_str());
    if (mode.count("respond")) {
        std::ifstream response(folder + mode["respond"], std::ios::binary);
        WriteAll(::GetStdHandle(STD_OUTPUT_HANDLE),
                 std::string(std::istreambuf_iterator<char>(response), {}));
    }
    return mode.count("exit") ? std::atoi(mode["exit"].c_str()) : 0;
}
