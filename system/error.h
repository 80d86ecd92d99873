#pragma once

// The program's one error type, the registry of its own error numbers, and
// the phrasing that every room's German texts share. Each room raises its
// own errors with its own texts where the failure happens (see
// docs/design.md); what stands here names nothing above this room.

#include <cstdint>
#include <stdexcept>
#include <string>

namespace keil {

// A 32-bit number and a text. Errors of the operating system carry the
// system's own number (errno on POSIX, the last-error code on Windows);
// errors that arise in the program's own checks carry one of the numbers
// below.
class Error : public std::runtime_error {
public:
    Error(std::int32_t number, const std::string& text);

    std::int32_t number() const noexcept { return number_; }
    const char* text() const noexcept { return what(); }

private:
    std::int32_t number_;
};

// The program's own error numbers, one registry for every room, so that no
// two rooms give the same number. They have bit 29 set, the bit that
// Windows reserves for application-defined codes, so they never collide
// with a system error number on either platform.
enum ErrorNumber : std::int32_t {
    kErrOverflow = 0x20000001,
    kErrRange = 0x20000002,
    kErrAllocation = 0x20000003,
    kErrResponseTooLarge = 0x20000004,
    kErrResponseChanged = 0x20000005,
    kErrCommandLine = 0x20000006,
    kErrNotPlainFile = 0x20000007,
    kErrReplaced = 0x20000008,
    kErrExchangeHelper = 0x20000009,
    kErrForeignEntry = 0x2000000A,
    kErrLockTaken = 0x2000000B,
    // 0x2000000C was the error of a wait for the lock that took too long:
    // a run now waits as long as other runs hold the lock.
    kErrBrokeOff = 0x2000000D,
    kErrCutShort = 0x2000000E,
    kErrHelperFailed = 0x2000000F,
    kErrBrokenOffByClerk = 0x20000010,
    kErrNoWine32 = 0x20000011,
    kErrOtherDriveFolder = 0x20000012,
};

// The closing phrases that the texts share: what the clerk does.
inline constexpr const char* kTellSupport = "Melden Sie den Fehler Ihrer IT-Betreuung.";
inline constexpr const char* kRestart = "Starten Sie den Keilbrecher neu und suchen Sie erneut.";
inline constexpr const char* kRestartThenReport =
    "Starten Sie den Keilbrecher neu und suchen Sie erneut; kommt der Fehler wieder, melden Sie ihn Ihrer "
    "IT-Betreuung.";

// The text of an allocation that failed outside the program's own checks.
inline constexpr const char* kOutOfMemoryText =
    "Es ist nicht genug Arbeitsspeicher frei. Schließen Sie andere Programme und starten Sie den Keilbrecher neu.";

// `text` in German quotation marks, as the program's messages quote paths.
std::string Quoted(const std::string& text);

// `number` with a dot between each group of three digits, as German writes
// large numbers.
std::string Grouped(long long number);

// The kinds of system error that a clerk meets, each with a German text of
// the program's own that says what to do.
enum class SystemFault {
    kOther,
    kNotFound,
    kNoPermission,
    kBusy,
    kTooManyPrograms,
    kWrongFormat,
    kDiskFull,
    kReadOnly,
    kInputOutput,
    kOutOfMemory,
};

// What kWrongFormat means on this platform, and what to do.
extern const char* const kWrongFormatText;

// The system's error number of a full disk (ENOSPC, ERROR_DISK_FULL).
extern const std::int32_t kDiskFullCode;

// How the IT support finds the program that holds the file at `path` open.
std::string HolderSearch(const std::string& path);

// The kind of the system error number `code` (errno on POSIX, a last-error
// code on Windows).
SystemFault ClassifySystemError(std::int32_t code);

// What the system error `code` means and what the clerk does about it, in
// German whatever the session's language: the program's own text for the
// kinds above, else the system's own words for the code.
std::string ExplainSystemError(std::int32_t code);

// What the system says of `code`, for an error without a text of the
// program's: on POSIX that the system reports an unexpected error, with the
// code's name in parentheses for the IT support ("(EPROTO)"), since
// strerror follows the session's LANGUAGE whatever locale it is given; on
// Windows FormatMessage's German text without its inserts, or, where
// Windows has no German texts, that it reports system error `code`. Empty
// for code 0, which is no error.
std::string SystemErrorText(std::int32_t code);

// Raises an Error with the given system error number; the text is the
// context (a sentence without its full stop), then what the error means and
// what to do.
[[noreturn]] void ThrowSystemError(std::int32_t code, const std::string& context);

// Raises the system error `code` for the file that the run calls `role`
// ("Antwortdatei") at `path`, which "kann nicht <done> werden" (done:
// "gelesen", "gelöscht", …).
[[noreturn]] void ThrowFileError(std::int32_t code, const std::string& role, const std::string& path,
                                 const std::string& done);

// Another program holds `what` at `path` ("Die Anfragedatei", "Das
// Suchprogramm", "Der Ordner des Suchprogramms"; `path` quoted after it)
// open, or keeps it mapped into memory (ERROR_USER_MAPPED_FILE), so that no
// run on this machine can use it: the system error `code`, with how the
// IT support finds that program.
[[noreturn]] void ThrowHeldByAnother(std::int32_t code, const std::string& what, const std::string& path);

}  // namespace keil
