#pragma once

// posix_spawn's file actions and attributes, destroyed on every road. A
// call that fails raises the error that the start cannot be prepared.

#include <signal.h>
#include <spawn.h>

#include <string>

#include "system/error.h"

namespace keil {

inline void CheckSpawnPreparation(int rc) {
    if (rc != 0) ThrowSystemError(rc, "Der Start des Suchprogramms kann nicht vorbereitet werden");
}

class SpawnFileActions {
public:
    SpawnFileActions() { CheckSpawnPreparation(::posix_spawn_file_actions_init(&actions_)); }
    ~SpawnFileActions() { ::posix_spawn_file_actions_destroy(&actions_); }
    SpawnFileActions(const SpawnFileActions&) = delete;
    SpawnFileActions& operator=(const SpawnFileActions&) = delete;

    void Dup2(int fd, int target) { CheckSpawnPreparation(::posix_spawn_file_actions_adddup2(&actions_, fd, target)); }
    void Open(int target, const char* path, int flags) {
        CheckSpawnPreparation(::posix_spawn_file_actions_addopen(&actions_, target, path, flags, 0));
    }
    void CloseFrom(int lowest) { CheckSpawnPreparation(::posix_spawn_file_actions_addclosefrom_np(&actions_, lowest)); }
    void ChangeFolder(const std::string& folder) {
        if (!folder.empty()) CheckSpawnPreparation(::posix_spawn_file_actions_addchdir_np(&actions_, folder.c_str()));
    }
    const posix_spawn_file_actions_t* get() const { return &actions_; }

private:
    posix_spawn_file_actions_t actions_{};
};

class SpawnAttributes {
public:
    SpawnAttributes() { CheckSpawnPreparation(::posix_spawnattr_init(&attr_)); }
    ~SpawnAttributes() { ::posix_spawnattr_destroy(&attr_); }
    SpawnAttributes(const SpawnAttributes&) = delete;
    SpawnAttributes& operator=(const SpawnAttributes&) = delete;

    // Every signal starts with its default action and none is blocked,
    // whatever this program ignores, handles or blocks.
    void DefaultSignals() {
        sigset_t all;
        sigset_t none;
        sigfillset(&all);
        sigemptyset(&none);
        CheckSpawnPreparation(::posix_spawnattr_setsigdefault(&attr_, &all));
        CheckSpawnPreparation(::posix_spawnattr_setsigmask(&attr_, &none));
        CheckSpawnPreparation(::posix_spawnattr_setflags(&attr_, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK));
    }
    const posix_spawnattr_t* get() const { return &attr_; }

private:
    posix_spawnattr_t attr_{};
};

}  // namespace keil
