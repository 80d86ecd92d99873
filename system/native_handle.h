#pragma once

namespace keil {

// What the system names an open file, process or lock by: a file
// descriptor on POSIX, a HANDLE on Windows (a HANDLE is a void pointer;
// this header spares every user <windows.h>). kNoHandle stands for none.
#ifdef _WIN32
using NativeHandle = void*;
inline constexpr NativeHandle kNoHandle = nullptr;
#else
using NativeHandle = int;
inline constexpr NativeHandle kNoHandle = -1;
#endif

}  // namespace keil
