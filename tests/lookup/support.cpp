#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include "fixed_paths.h"
#include "support.h"

namespace fs = std::filesystem;

namespace keil::test {

void RemoveFolder() { fs::remove_all(FibuDir()); }

void PrepareFolder(const std::string& mode, const std::string& program) {
    RemoveFolder();
    fs::create_directories(FibuDir());
    fs::copy_file(program, InFolder("Lief-adr.exe"));
    WriteFileBytes(InFolder("fake-mode.txt"), mode);
}

std::string InFolder(const std::string& name) { return FibuDir() + name; }

std::string ReadFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteFileBytes(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

bool FileExists(const std::string& path) {
    std::error_code ignored;
    return fs::exists(fs::symlink_status(path, ignored));
}

std::string ReportValue(const std::string& key) {
    std::istringstream report(ReadFileBytes(InFolder("fake-report.txt")));
    for (std::string line; std::getline(report, line);) {
        if (line.rfind(key + "=", 0) == 0) return line.substr(key.size() + 1);
    }
    return "<no " + key + " in report>";
}

std::string Lines(const std::vector<std::string>& lines, const std::string& ending) {
    std::string text;
    for (const auto& line : lines) text += line + ending;
    return text;
}

std::u16string Widen(const std::string& s) {
    std::u16string wide;
    for (const char c : s) wide.push_back(static_cast<unsigned char>(c));
    return wide;
}

std::string SampleScreen(const std::string& name) {
    std::vector<std::string> lines = {"Kopf 1", "Kopf 2", "Firma   " + name};
    for (int i = 4; i <= 12; ++i) lines.push_back("Zeile " + std::to_string(i));
    return Lines(lines);
}

std::string SampleBlock(const std::string& name) {
    std::vector<std::string> lines = {name};
    for (int i = 4; i <= 10; ++i) lines.push_back("Zeile " + std::to_string(i));
    return Lines(lines);
}

void PrepareResponse(const std::string& response, const std::string& moreMode) {
    PrepareFolder("respond answer.bin\n" + moreMode);
    WriteFileBytes(InFolder("answer.bin"), response);
}

}  // namespace keil::test
