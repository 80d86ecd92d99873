#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#include <fcntl.h>
#include <io.h>

#include "fake_lookup.h"

namespace fake {

void UseBinaryStandardStreams() {
    _setmode(_fileno(stdin), _O_BINARY);
    _setmode(_fileno(stdout), _O_BINARY);
}

// The launcher names the only handles the program inherits: whether
// standard error is one of them is all there is to report.
std::string StartReport() {
    return ::GetFileType(::GetStdHandle(STD_ERROR_HANDLE)) != FILE_TYPE_UNKNOWN ? "stderr=open\n" : "stderr=none\n";
}

void GrowStandardOutput(long long size) {
    const HANDLE out = ::GetStdHandle(STD_OUTPUT_HANDLE);
    ::SetFilePointerEx(out, LARGE_INTEGER{.QuadPart = size}, nullptr, FILE_BEGIN);
    ::SetEndOfFile(out);
}

}  // namespace fake
