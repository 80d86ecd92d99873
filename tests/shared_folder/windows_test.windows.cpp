// What only Windows shows: the folder lock's name taken by somebody else,
// or held long.

#include <gtest/gtest.h>

#include <thread>

#include "shared_folder/folder_lock.windows.h"
#include "support.h"
#include "system/error.h"
#include "system/windows_support.windows.h"

#include <sddl.h>

namespace keil::test {
namespace {

// Somebody made the lock's name first, as a mutex that nobody else may
// wait on or as an object of another kind.
struct SquatCase {
    const char* name;
    HANDLE (*squat)(const std::wstring& name);
};

const SquatCase kSquatCases[] = {
    {"MutexDenyingAll",
     [](const std::wstring& name) {
         PSECURITY_DESCRIPTOR denyAll = nullptr;
         ::ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:P", SDDL_REVISION_1, &denyAll, nullptr);
         SECURITY_ATTRIBUTES attributes{sizeof attributes, denyAll, FALSE};
         const HANDLE mutex = ::CreateMutexW(&attributes, TRUE, name.c_str());
         ::LocalFree(denyAll);
         return mutex;
     }},
    {"Event", [](const std::wstring& name) { return ::CreateEventW(nullptr, TRUE, FALSE, name.c_str()); }},
};

class Squat : public testing::TestWithParam<SquatCase> {};

TEST_P(Squat, IsNamedInTheError) {
    PrepareResponse(SampleScreen());
    const UniqueHandle squatted(GetParam().squat(FolderLockName(FibuDir())));
    ASSERT_TRUE(squatted.valid());
    Recorder window;
    const Raised raised = Catch([&] { window.LookUp(1); });
    EXPECT_EQ(raised.number, kErrLockTaken);
    EXPECT_NE(raised.text.find("mit dem Namen „Global\\Keilbrecher lookup folder c:/fibu/“."), std::string::npos)
        << raised.text;
    EXPECT_FALSE(FileExists(InFolder("fake-report.txt")));
}

// Another thread holds the lock for longer than a wait for a colleague was
// once allowed to last: the wait goes on until it is free, and a window
// that waits meanwhile gets its messages and says after two seconds that
// another run has its turn.
TEST(Lock, OneLongHolderIsWaitedFor) {
    PrepareFolder();
    const std::wstring name = FolderLockName(FibuDir());
    const UniqueHandle taken(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    std::thread holder([&] {
        const UniqueHandle mutex(::CreateMutexW(nullptr, TRUE, name.c_str()));
        ::SetEvent(taken.get());
        ::Sleep(2500);
        ::ReleaseMutex(mutex.get());
    });
    ::WaitForSingleObject(taken.get(), INFINITE);
    Recorder waiting;
    ::PostThreadMessageW(::GetCurrentThreadId(), WM_NULL, 0, 0);  // for the waiting window
    const Raised raised = Catch([&] { const FolderLock lock(FibuDir(), &waiting); });
    holder.join();
    EXPECT_EQ(raised.number, 0) << raised.text;
    EXPECT_GT(waiting.waits, 0);
    EXPECT_EQ(waiting.notices, (std::vector<std::string>{"Eine andere Suche ist gerade an der Reihe; der Keilbrecher wartet.",
                                                         "Eine andere Suche ist gerade an der Reihe; der Keilbrecher "
                                                         "wartet seit 2\u00A0Sekunden. (spoken)"}));
}

INSTANTIATE_TEST_SUITE_P(Lock, Squat, testing::ValuesIn(kSquatCases),
                         [](const auto& row) { return std::string(row.param.name); });

}  // namespace
}  // namespace keil::test
