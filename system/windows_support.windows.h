#pragma once

// Pieces every Windows platform file needs: an owned handle and the
// conversions between the program's UTF-8 strings and Windows' UTF-16.

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <cstdint>
#include <string>
#include <utility>

namespace keil {

class UniqueHandle {
public:
    UniqueHandle() = default;
    explicit UniqueHandle(HANDLE handle) noexcept : handle_(handle) {}
    UniqueHandle(UniqueHandle&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other) reset(std::exchange(other.handle_, nullptr));
        return *this;
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    ~UniqueHandle() { reset(); }

    HANDLE get() const noexcept { return handle_; }
    HANDLE release() noexcept { return std::exchange(handle_, nullptr); }
    // CreateFile reports failure as INVALID_HANDLE_VALUE, OpenProcess as 0.
    bool valid() const noexcept { return handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE; }
    void reset(HANDLE handle = nullptr) noexcept {
        if (valid()) ::CloseHandle(handle_);
        handle_ = handle;
    }

private:
    HANDLE handle_ = nullptr;
};

std::wstring WideFromUtf8(const std::string& text);
std::string Utf8FromWide(const std::wstring& text);

// An open of a file or folder that never waits for another program: where
// another program holds an oplock on it whose break the open would wait
// for (an exclusive oplock waits for its holder to answer, without a
// limit), the open completes at once instead (NtCreateFile with
// FILE_COMPLETE_IF_OPLOCKED) and is given up. `path` is absolute; the
// handle, when `inheritable`, passes to a started program; I/O through it
// is synchronous. `access`, `share`, `disposition` (FILE_OPEN, FILE_CREATE)
// and `options` as NtCreateFile takes them.
struct Opened {
    UniqueHandle handle;
    DWORD error = ERROR_SUCCESS;  // the last-error code when it is not open
    bool oplocked = false;        // given up for another program's oplock
};
Opened OpenWithoutWaiting(const std::wstring& path, ACCESS_MASK access, ULONG share, ULONG disposition, ULONG options,
                          bool inheritable = false);

// Whether a last-error code says that nothing stands at a path.
inline bool IsNotFound(DWORD error) { return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND; }

// The calling thread's last-error code as the program's error number.
inline std::int32_t LastError() { return static_cast<std::int32_t>(::GetLastError()); }

}  // namespace keil
