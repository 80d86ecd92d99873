#include <cstddef>
#include <limits>
#include <utility>
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

// A job for one lookup program and all it starts: Windows closes it when
// this program ends, however it ends (a user who closes a window that is
// not responding ends it in the middle of a run), and the lookup programs
// in it end with it instead of writing on into a later run's files.
UniqueHandle MakeJob() {
    UniqueHandle job(::CreateJobObjectW(nullptr, nullptr));
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    if (!job.valid() || !::SetInformationJobObject(job.get(), JobObjectExtendedLimitInformation, &limits, sizeof limits)) {
        FailToPrepare();
    }
    return job;
}

// How many processes of `job` still run.
DWORD ActiveProcesses(HANDLE job) {
    JOBOBJECT_BASIC_ACCOUNTING_INFORMATION accounting{};
    if (!::QueryInformationJobObject(job, JobObjectBasicAccountingInformation, &accounting, sizeof accounting,
                                     nullptr)) {
        ThrowSystemError(LastError(), "Das Warten auf das Suchprogramm ist fehlgeschlagen");
    }
    return accounting.ActiveProcesses;
}

// The file name of a process of `job` that still runs, such as
// "helper.exe": one that the lookup program started rather than the host of
// its console, where there is one; "" where none can be read.
std::string NameOfOneIn(HANDLE job) {
    // JOBOBJECT_BASIC_PROCESS_ID_LIST with room for 16 IDs.
    struct {
        DWORD assigned;
        DWORD listed;
        ULONG_PTR ids[16];
    } list{};
    static_assert(offsetof(decltype(list), ids) == offsetof(JOBOBJECT_BASIC_PROCESS_ID_LIST, ProcessIdList));
    if (!::QueryInformationJobObject(job, JobObjectBasicProcessIdList, &list, sizeof list, nullptr)) return "";
    std::string name;
    for (DWORD i = 0; i < list.listed && i < 16; ++i) {
        const UniqueHandle process(
            ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, static_cast<DWORD>(list.ids[i])));
        wchar_t path[MAX_PATH] = {};
        DWORD size = MAX_PATH;
        if (!process.valid() || !::QueryFullProcessImageNameW(process.get(), 0, path, &size)) continue;
        const std::wstring full(path, size);
        name = Utf8FromWide(full.substr(full.find_last_of(L"\\/") + 1));
        if (::lstrcmpiW(full.substr(full.find_last_of(L"\\/") + 1).c_str(), L"conhost.exe") != 0) break;
    }
    return name;
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

struct LaunchedProcess::Started {
    // Held so that the process ID cannot name another process before the
    // wait has opened the process itself.
    UniqueHandle process;
    UniqueHandle job;
};

LaunchedProcess::LaunchedProcess(std::int64_t id, std::unique_ptr<Started> started) noexcept
    : id_(id), started_(std::move(started)) {}

LaunchedProcess::LaunchedProcess(LaunchedProcess&& other) noexcept
    : id_(std::exchange(other.id_, 0)), started_(std::move(other.started_)) {}

LaunchedProcess::~LaunchedProcess() {
    // Whatever of it still runs (the run is leaving early) is ended: the
    // whole job, and this waits until it has.
    if (!started_) return;
    ::TerminateJobObject(started_->job.get(), ERROR_CANCELLED);
    ::WaitForSingleObject(started_->process.get(), INFINITE);
    for (int round = 0; round < 200; ++round) {
        JOBOBJECT_BASIC_ACCOUNTING_INFORMATION accounting{};
        if (!::QueryInformationJobObject(started_->job.get(), JobObjectBasicAccountingInformation, &accounting,
                                         sizeof accounting, nullptr) ||
            accounting.ActiveProcesses == 0) {
            break;
        }
        ::Sleep(1);
    }
}

// Windows limits no file's size for a process.
std::int64_t LaunchedProcess::largestFile() const noexcept { return std::numeric_limits<std::int64_t>::max(); }

ProcessEnd LaunchedProcess::WaitForAll(WaitHooks* hooks) {
    const ProcessEnd end = WaitForProcessExit(static_cast<std::int32_t>(id_), hooks);
    const ULONGLONG ended = ::GetTickCount64();
    while (ActiveProcesses(started_->job.get()) != 0) {
        if (hooks != nullptr) {
            if (::GetTickCount64() - ended >= static_cast<ULONGLONG>(kEndingGrace.count())) {
                hooks->Waiting(WaitingFor::kStartedByLookup, NameOfOneIn(started_->job.get()));
            }
            ::MsgWaitForMultipleObjectsEx(0, nullptr, static_cast<DWORD>(kRespondEvery.count()), QS_ALLINPUT,
                                          MWMO_INPUTAVAILABLE);
        } else {
            ::Sleep(static_cast<DWORD>(kRespondEvery.count()));
        }
        TakeTurn(hooks);
    }
    return end;
}

LaunchedProcess StartProgram(const std::string& program, NativeHandle input, NativeHandle output, NativeHandle) {
    const HANDLE in = input;
    const HANDLE out = output;
    const UniqueHandle error = InheritableStandardError();
    std::vector<HANDLE> handles{in, out};
    if (error.valid()) handles.push_back(error.get());
    const StartAttributes attributes(std::move(handles));
    auto started = std::make_unique<LaunchedProcess::Started>();
    started->job = MakeJob();

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
    // relative name; with a console of its own that has no window, as a
    // console program expects, and as the console programs it starts
    // share without opening one.
    if (!::CreateProcessW(wideProgram.c_str(), arguments.data(), nullptr, nullptr, TRUE,
                          EXTENDED_STARTUPINFO_PRESENT | CREATE_NO_WINDOW | CREATE_SUSPENDED, nullptr,
                          folder.empty() ? nullptr : folder.c_str(), &startup.StartupInfo, &process)) {
        ThrowStartError(LastError(), program);
    }
    const UniqueHandle thread(process.hThread);
    started->process = UniqueHandle(process.hProcess);
    const HANDLE job = started->job.get();
    LaunchedProcess launched(process.dwProcessId, std::move(started));
    if (!::AssignProcessToJobObject(job, process.hProcess) || ::ResumeThread(thread.get()) == static_cast<DWORD>(-1)) {
        const std::int32_t failure = LastError();
        ::TerminateProcess(process.hProcess, 1);
        ThrowStartError(failure, program);
    }
    return launched;
}

}  // namespace keil
