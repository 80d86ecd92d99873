#include <vector>

#include "error.h"
#include "files.windows.h"
#include "launcher.h"
#include "windows_support.windows.h"

namespace keil {
namespace {

// The attribute list that names the only handles the program inherits.
class HandleList {
public:
    explicit HandleList(std::vector<HANDLE> handles) : handles_(std::move(handles)) {
        SIZE_T size = 0;
        ::InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
        storage_.resize(size);
        list_ = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(storage_.data());
        if (!::InitializeProcThreadAttributeList(list_, 1, 0, &size)) Fail();
        initialised_ = true;
        if (!::UpdateProcThreadAttribute(list_, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, handles_.data(),
                                         handles_.size() * sizeof(HANDLE), nullptr, nullptr)) {
            Fail();
        }
    }
    ~HandleList() {
        if (initialised_) ::DeleteProcThreadAttributeList(list_);
    }
    HandleList(const HandleList&) = delete;
    HandleList& operator=(const HandleList&) = delete;
    LPPROC_THREAD_ATTRIBUTE_LIST get() const { return list_; }

private:
    [[noreturn]] static void Fail() {
        ThrowSystemError(LastError(), "Der Start des Suchprogramms kann nicht vorbereitet werden");
    }
    std::vector<HANDLE> handles_;
    std::vector<char> storage_;
    LPPROC_THREAD_ATTRIBUTE_LIST list_ = nullptr;
    bool initialised_ = false;
};

}  // namespace

LaunchedProcess::~LaunchedProcess() {
    // Held until now so that the process ID could not name another process
    // before the wait had opened the process itself.
    if (handle_ != 0) ::CloseHandle(reinterpret_cast<HANDLE>(handle_));
}

LaunchedProcess StartProgram(const std::string& commandLine) {
    const CommandParts parts = SplitCommandLine(commandLine);
    const UniqueHandle input = OpenExchangeFile(parts.input, ExchangeAccess::kRead, kRequestRole, true);
    const UniqueHandle output = OpenExchangeFile(parts.output, ExchangeAccess::kWriteNew, kResponseRole, true);
    const HandleList inherited({input.get(), output.get()});

    STARTUPINFOEXW startup{};
    startup.StartupInfo.cb = sizeof startup;
    startup.StartupInfo.dwFlags = STARTF_USESTDHANDLES | STARTF_USESHOWWINDOW;
    startup.StartupInfo.wShowWindow = SW_HIDE;
    startup.StartupInfo.hStdInput = input.get();
    startup.StartupInfo.hStdOutput = output.get();
    startup.StartupInfo.hStdError = ::GetStdHandle(STD_ERROR_HANDLE);
    startup.lpAttributeList = inherited.get();

    const std::wstring program = WideFromUtf8(parts.program);
    std::wstring arguments = L"\"" + program + L"\"";
    PROCESS_INFORMATION process{};
    if (!::CreateProcessW(program.c_str(), arguments.data(), nullptr, nullptr, TRUE,
                          EXTENDED_STARTUPINFO_PRESENT | DETACHED_PROCESS, nullptr, nullptr,
                          &startup.StartupInfo, &process)) {
        ThrowSystemError(LastError(), "Das Suchprogramm " + Quoted(parts.program) + " kann nicht gestartet werden");
    }
    ::CloseHandle(process.hThread);
    return LaunchedProcess(process.dwProcessId, reinterpret_cast<std::intptr_t>(process.hProcess));
}

}  // namespace keil
