// Stands in for the lookup program in tests. Its instructions come from
// "fake-mode.txt" beside it, a "key value" pair a line:
//
//   respond FILE    copy FILE (beside the program) to standard output
//   child-sleep-ms N  start a child of its own first, which appends
//                   "child" to "fake-runs.txt" after N milliseconds
//   child-screen N  the same, and the child, not the program, copies the
//                   FILE of "respond" to the standard output it shares
//   child-leaves    the child leaves the program's process group first
//   chunks B MS     copy FILE in chunks of B bytes, MS milliseconds apart
//   ignore-sigxfsz  ignore SIGXFSZ, so that writes past the file-size limit
//                   fail instead of ending the program (POSIX)
//   sleep-ms N      sleep N milliseconds first
//   delete-request  delete in.txt from its folder
//   overwrite-request  write "adr" CR "2" over in.txt by its name first
//   overwrite-response write a forged screen over out.txt by its name
//                      after responding
//   forge-response  rename a forged screen over out.txt after responding
//   grow-response N make the response N bytes long after responding
//   signal N        end by signal N after responding
//   crash           crash after responding, as a program's fault does
//   write-forever   write to standard output after responding until a
//                   write fails
//   exit N          end with exit code N (default 0)
//
// It copies its standard input to "fake-request.bin", reports how it was
// started (and whether in its own folder) to "fake-report.txt" and what
// its tampering gave ("name=error number" lines) to "fake-tamper.txt", and
// appends "run" to "fake-runs.txt" when it starts and "end" when it is
// done.

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <thread>

#include "fake_lookup.h"

namespace {

std::string Read(std::FILE* file) {
    std::string bytes;
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, file)) > 0;) bytes.append(buffer, n);
    return bytes;
}

}  // namespace

void fake::DoAsChild(long long ms, const std::string& runs, const std::string& respond) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    if (FILE* screen = respond.empty() ? nullptr : std::fopen(respond.c_str(), "rb")) {
        const std::string bytes = Read(screen);
        std::fwrite(bytes.data(), 1, bytes.size(), stdout);
        std::fclose(screen);
        std::fflush(stdout);
    }
    if (FILE* file = std::fopen(runs.c_str(), "a")) {
        std::fputs("child\n", file);
        std::fclose(file);
    }
}

int main(int argc, char** argv) {
    fake::UseBinaryStandardStreams();
    if (fake::RunAsChild(argc, argv)) return 0;
    const std::string self = argv[0];
    const std::string folder = self.substr(0, self.find_last_of("\\/") + 1);
    std::map<std::string, std::string> mode;
    {
        std::ifstream modeFile(folder + "fake-mode.txt");
        for (std::string line; std::getline(modeFile, line);) {
            const auto blank = line.find(' ');
            mode[line.substr(0, blank)] = blank == std::string::npos ? "" : line.substr(blank + 1);
        }
    }
    const auto number = [&mode](const char* key) { return mode.count(key) ? std::stoll(mode[key]) : 0; };
    std::string tampered;
    const auto tamper = [&](const char* key, int error) { tampered += key + ("=" + std::to_string(error)) + "\n"; };
    std::string forged = "Kopf\r\nKopf\r\nFirma   GEFAELSCHT Mallory Handels GmbH, IBAN DE00 0000\r\n";
    for (int i = 4; i <= 12; ++i) forged += "Zeile " + std::to_string(i) + "\r\n";

    if (mode.count("overwrite-request")) tamper("overwrite-request", fake::OverwriteByName(folder + "in.txt", "adr\r2"));
    const std::string request = Read(stdin);
    // Taken before any file is opened, which would count otherwise.
    // Started in its own folder, it finds its instructions by a relative name.
    const std::string started =
        fake::StartReport() + "folder=" + (std::filesystem::exists("fake-mode.txt") ? "own" : "other") + "\n";
    std::ofstream(folder + "fake-request.bin", std::ios::binary) << request;
    std::ofstream(folder + "fake-report.txt", std::ios::binary) << started;
    std::ofstream(folder + "fake-runs.txt", std::ios::binary | std::ios::app) << "run\n";

    std::error_code ignored;
    if (mode.count("ignore-sigxfsz")) fake::IgnoreFileSizeSignal();
    const bool childScreen = mode.count("child-screen") != 0;
    if (mode.count("child-sleep-ms") || childScreen) {
        fake::LeaveChild(number(childScreen ? "child-screen" : "child-sleep-ms"), folder + "fake-runs.txt",
                         childScreen ? folder + mode["respond"] : "", mode.count("child-leaves") != 0);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(number("sleep-ms")));
    if (mode.count("delete-request")) std::filesystem::remove(folder + "in.txt", ignored);
    if (mode.count("respond") && !childScreen) {
        const std::string response = Read(std::fopen((folder + mode["respond"]).c_str(), "rb"));
        std::size_t chunk = response.size();
        long long pause = 0;
        if (mode.count("chunks")) std::sscanf(mode["chunks"].c_str(), "%zu %lld", &chunk, &pause);
        for (std::size_t at = 0; at < response.size(); at += chunk) {
            std::fwrite(response.data() + at, 1, std::min(chunk, response.size() - at), stdout);
            std::fflush(stdout);
            if (at + chunk < response.size()) std::this_thread::sleep_for(std::chrono::milliseconds(pause));
        }
    }
    std::fflush(stdout);
    if (mode.count("overwrite-response")) tamper("overwrite-response", fake::OverwriteByName(folder + "out.txt", forged));
    if (mode.count("forge-response")) {
        std::ofstream(folder + "forged.txt", std::ios::binary) << forged;
        tamper("forge-response", fake::RenameOverByName(folder + "forged.txt", folder + "out.txt"));
    }
    if (!tampered.empty()) std::ofstream(folder + "fake-tamper.txt", std::ios::binary) << tampered;
    if (mode.count("grow-response")) fake::GrowStandardOutput(number("grow-response"));
    if (mode.count("write-forever")) {
        const std::string chunk(64 << 10, 'x');
        while (std::fwrite(chunk.data(), 1, chunk.size(), stdout) == chunk.size() && std::fflush(stdout) == 0) {
        }
    }
    if (mode.count("crash")) fake::Crash();
    std::ofstream(folder + "fake-runs.txt", std::ios::binary | std::ios::app) << "end\n";
    if (mode.count("signal")) std::raise(static_cast<int>(number("signal")));
    return static_cast<int>(number("exit"));
}
