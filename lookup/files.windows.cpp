#include <algorithm>
#include <cstdint>
#include <limits>
#include <new>

#include "error.h"
#include "files.h"
#include "windows_support.windows.h"

namespace keil {
namespace {

std::string Quoted(const std::string& path) { return "\"" + path + "\""; }

// A chunk that fits the DWORD count of ReadFile and WriteFile.
DWORD Chunk(std::size_t remaining) {
    return static_cast<DWORD>(std::min<std::size_t>(remaining, std::size_t{1} << 30));
}

}  // namespace

void WriteNewFile(const std::string& path, std::span<const std::uint8_t> bytes) {
    UniqueHandle file(::CreateFileW(WideFromUtf8(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                    CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid()) ThrowSystemError(LastError(), "Cannot open " + Quoted(path) + " for writing");
    std::size_t done = 0;
    while (done < bytes.size()) {
        DWORD written = 0;
        if (!::WriteFile(file.get(), bytes.data() + done, Chunk(bytes.size() - done), &written, nullptr)) {
            ThrowSystemError(LastError(), "Cannot write " + Quoted(path));
        }
        done += written;
    }
    // Closed here, where its result counts: the data may only reach the
    // disk now.
    if (!::CloseHandle(file.release())) ThrowSystemError(LastError(), "Cannot write " + Quoted(path));
}

std::vector<std::uint8_t> ReadWholeFile(const std::string& path) {
    UniqueHandle file(::CreateFileW(WideFromUtf8(path).c_str(), GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid()) ThrowSystemError(LastError(), "Cannot open " + Quoted(path) + " for reading");
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(file.get(), &size)) {
        ThrowSystemError(LastError(), "Cannot query the size of " + Quoted(path));
    }
    if (size.QuadPart > std::numeric_limits<std::int32_t>::max()) {
        throw Error(kErrResponseTooLarge, "The file " + Quoted(path) +
                                              " is 2 GiB or larger and is not read (" +
                                              std::to_string(size.QuadPart) + " bytes).");
    }
    std::vector<std::uint8_t> buffer;
    try {
        buffer.resize(static_cast<std::size_t>(size.QuadPart));
    } catch (const std::bad_alloc&) {
        ThrowAllocation();
    }
    std::size_t done = 0;
    while (done < buffer.size()) {
        DWORD read = 0;
        if (!::ReadFile(file.get(), buffer.data() + done, Chunk(buffer.size() - done), &read, nullptr)) {
            ThrowSystemError(LastError(), "Cannot read " + Quoted(path));
        }
        if (read == 0) {
            throw Error(kErrResponseChanged, "The file " + Quoted(path) + " became shorter while it was read.");
        }
        done += read;
    }
    return buffer;
}

void RemoveFile(const std::string& path) {
    if (!::DeleteFileW(WideFromUtf8(path).c_str())) {
        ThrowSystemError(LastError(), "Cannot delete " + Quoted(path));
    }
}

}  // namespace keil
