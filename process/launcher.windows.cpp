#include <vector>

#include "system/error.h"
#include "process/launcher.h"
#include "system/windows_support.windows.h"

namespace keil {
namespace {

[[noreturn]] void FailToPrepare() {
    ThrowSystemError(LastError(), "Der Start des Suchprogramms kann nicht vorbereitet werden");
}

// The attribute list of the lookup program's start: the only handles it
// inherits, and the mitigation policy under which it loads its DLLs.
class StartAttributes {
public:
    explicit StartAttributes(std::vector<HANDLE> handles) : handles_(std::move(handles)) {
        constexpr DWORD kCount = 2;
        SIZE_T size = 0;
        ::InitializeProcThreadAttributeList(nullptr, kCount, 0, &size);
        storage_.resize(size);
        list_ = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(storage_.data());
        if (!::InitializeProcThreadAttributeList(list_, kCount, 0, &size)) FailToPrepare();
        initialised_ = true;
        if (!::UpdateProcThreadAttribute(list_, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, handles_.data(),
                                         handles_.size() * sizeof(HANDLE), nullptr, nullptr) ||
            !::UpdateProcThreadAttribute(list_, 0, PROC_THREAD_ATTRIBUTE_MITIGATION_POLICY, &policy_,
                                         sizeof policy_, nullptr, nullptr)) {
            FailToPrepare();
        }
    }
    ~StartAttributes() {
        if (initialised_) ::DeleteProcThreadAttributeList(list_);
    }
    StartAttributes(const StartAttributes&) = delete;
    StartAttributes& operator=(const StartAttributes&) = delete;
    LPPROC_THREAD_ATTRIBUTE_LIST get() const { return list_; }

private:
    std::vector<HANDLE> handles_;
    // A DLL placed beside the lookup program under the name of a System32
    // DLL is not loaded instead of the system's; nor is an image of low
    // integrity.
    DWORD64 policy_ = PROCESS_CREATION_MITIGATION_POLICY_IMAGE_LOAD_PREFER_SYSTEM32_ALWAYS_ON |
                      PROCESS_CREATION_MITIGATION_POLICY_IMAGE_LOAD_NO_LOW_LABEL_ALWAYS_ON;
    std::vector<char> storage_;
    LPPROC_THREAD_ATTRIBUTE_LIST list_ = nullptr;
    bool initialised_ = false;
};

// The job that every lookup program runs in. Windows closes it when this
// program ends, however it ends (a user who closes a window that is not
// responding ends it in the middle of a run), and the lookup programs in
// it end with it instead of writing on into a later run's files.
HANDLE LookupJob() {
    static const UniqueHandle job = [] {
        UniqueHandle made(::CreateJobObjectW(nullptr, nullptr));
        JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
        limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
        if (!made.valid() ||
            !::SetInformationJobObject(made.get(), JobObjectExtendedLimitInformation, &limits, sizeof limits)) {
            FailToPrepare();
        }
        return made;
    }();
    return job.get();
}

// This program's standard error as a handle that the lookup program
// inherits, or none when this program has none.
UniqueHandle InheritableStandardError() {
    const HANDLE own = ::GetStdHandle(STD_ERROR_HANDLE);
    HANDLE copy = nullptr;
    if (own == nullptr || own == INVALID_HANDLE_VALUE ||
        !::DuplicateHandle(::GetCurrentProcess(), own, ::GetCurrentProcess(), &copy, 0, TRUE, DUPLICATE_SAME_ACCESS)) {
        return UniqueHandle();
    }
    return UniqueHandle(copy);
}

}  // namespace

LaunchedProcess::~LaunchedProcess() {
    // Held until now so that the process ID could not name another process
    // before the wait had opened the process itself. A program that still
    // runs (the run is leaving early) is ended; what it started ends with
    // the job, when this program does.
    if (handle_ == kNoHandle) return;
    if (::WaitForSingleObject(handle_, 0) == WAIT_TIMEOUT) {
        ::TerminateProcess(handle_, ERROR_CANCELLED);
        ::WaitForSingleObject(handle_, INFINITE);
    }
    ::CloseHandle(handle_);
}

LaunchedProcess StartProgram(const std::string& program, NativeHandle input, NativeHandle output) {
    const HANDLE in = input;
    const HANDLE out = output;
    const UniqueHandle error = InheritableStandardError();
    std::vector<HANDLE> handles{in, out};
    if (error.valid()) handles.push_back(error.get());
    const StartAttributes attributes(std::move(handles));
    const HANDLE job = LookupJob();

    STARTUPINFOEXW startup{};
    startup.StartupInfo.cb = sizeof startup;
    startup.StartupInfo.dwFlags = STARTF_USESTDHANDLES | STARTF_USESHOWWINDOW;
    startup.StartupInfo.wShowWindow = SW_HIDE;
    startup.StartupInfo.hStdInput = in;
    startup.StartupInfo.hStdOutput = out;
    startup.StartupInfo.hStdError = error.get();
    startup.lpAttributeList = attributes.get();

    const std::wstring wideProgram = WideFromUtf8(program);
    const std::wstring folder = WideFromUtf8(FolderOf(program));
    std::wstring arguments = L"\"" + wideProgram + L"\"";
    PROCESS_INFORMATION process{};
    // Started suspended, so that it runs in the job from its first
    // instruction; in its own folder, so that it finds data it opens by a
    // relative name.
    if (!::CreateProcessW(wideProgram.c_str(), arguments.data(), nullptr, nullptr, TRUE,
                          EXTENDED_STARTUPINFO_PRESENT | DETACHED_PROCESS | CREATE_SUSPENDED, nullptr,
                          folder.empty() ? nullptr : folder.c_str(), &startup.StartupInfo, &process)) {
        ThrowStartError(LastError(), program);
    }
    const UniqueHandle thread(process.hThread);
    LaunchedProcess launched(process.dwProcessId, process.hProcess);
    if (!::AssignProcessToJobObject(job, process.hProcess) || ::ResumeThread(thread.get()) == static_cast<DWORD>(-1)) {
        const std::int32_t failure = LastError();
        ::TerminateProcess(process.hProcess, 1);
        ThrowStartError(failure, program);
    }
    return launched;
}

}  // namespace keil
