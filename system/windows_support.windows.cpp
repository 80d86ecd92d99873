#include "system/windows_support.windows.h"

#include <winternl.h>

namespace keil {

std::wstring WideFromUtf8(const std::string& text) {
    if (text.empty()) return {};
    const int size = ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(size), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), size);
    return wide;
}

std::string Utf8FromWide(const std::wstring& text) {
    if (text.empty()) return {};
    const int size = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr,
                                           0, nullptr, nullptr);
    std::string narrow(static_cast<std::size_t>(size), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), narrow.data(), size,
                          nullptr, nullptr);
    return narrow;
}

Opened OpenWithoutWaiting(const std::wstring& path, ACCESS_MASK access, ULONG share, ULONG disposition, ULONG options,
                          bool inheritable) {
    // The NT name of a Win32 path: "\??\c:\fibu\in.txt", "\??\UNC\server\share\…".
    std::wstring name = path;
    if (name.starts_with(L"\\\\?\\")) {
        name.erase(0, 4);
    } else if (name.starts_with(L"\\\\")) {
        name.replace(0, 2, L"UNC\\");
    }
    name = L"\\??\\" + name;
    UNICODE_STRING unicode{};
    unicode.Buffer = name.data();
    unicode.Length = static_cast<USHORT>(name.size() * sizeof(wchar_t));
    unicode.MaximumLength = unicode.Length;
    OBJECT_ATTRIBUTES attributes{};
    InitializeObjectAttributes(&attributes, &unicode, OBJ_CASE_INSENSITIVE | (inheritable ? OBJ_INHERIT : 0), nullptr,
                               nullptr);
    IO_STATUS_BLOCK status{};
    HANDLE handle = nullptr;
    const NTSTATUS result =
        ::NtCreateFile(&handle, access | SYNCHRONIZE, &attributes, &status, nullptr, FILE_ATTRIBUTE_NORMAL, share,
                       disposition, options | FILE_SYNCHRONOUS_IO_NONALERT | FILE_COMPLETE_IF_OPLOCKED, nullptr, 0);
    Opened opened;
    // STATUS_OPLOCK_BREAK_IN_PROGRESS: opened, but another program's oplock
    // is breaking for it.
    constexpr NTSTATUS kOplockBreakInProgress = 0x00000108;
    if (result == kOplockBreakInProgress) {
        ::CloseHandle(handle);
        opened.error = ERROR_SHARING_VIOLATION;
        opened.oplocked = true;
    } else if (result < 0) {
        opened.error = ::RtlNtStatusToDosError(result);
    } else {
        opened.handle = UniqueHandle(handle);
    }
    return opened;
}

}  // namespace keil
