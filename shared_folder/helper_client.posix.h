#pragma once

// The helper of this process: the setgid program that makes and
// removes the exchange files in the lookup folder, which clerks may not
// write themselves (see helper/). It is started on the first use and
// ends when this process does.

#include <cstdint>
#include <string>

#include "process/wait.h"
#include "shared_folder/exchange_file.h"
#include "system/unique_fd.posix.h"

namespace keil {

// The two exchange files that the helper made, open for reading and
// writing, close-on-exec.
struct MadeExchangeFiles {
    UniqueFd request;
    UniqueFd response;
};

// Makes the request file, then the response file of `place` anew through
// its helper (see ExchangeFiles): a leftover plain file at a name is
// removed; anything else there raises kErrNotPlainFile and stays, and the
// response file is not touched when the request file fails. The helper
// first takes the folder's lock and holds it until the removal, or until
// DropExchangeHelper; while other runs hold it, the wait goes on, and
// `hooks`, where there are any, get their turn and are told whose run
// holds the folder. A helper that does not answer while no other run holds
// it raises kErrHelperFailed and is ended.
MadeExchangeFiles MakeExchangeFiles(const ExchangePlace& place, WaitHooks* hooks);

// Ends this process's helper, and with it the lock it holds: for a run
// that ends with an error between the making and the removal.
void DropExchangeHelper();

// Removes the request file, then the response file of `place`, that the
// helper made for this process, each while its name still leads to it;
// another file at a name raises kErrReplaced, and it and the files after
// it stay.
void RemoveExchangeFiles(const ExchangePlace& place);

// The helper `helper` is missing, cannot be started or may not create and
// delete files in the lookup folder `folder`.
[[noreturn]] void ThrowExchangeHelper(const std::string& helper, const std::string& folder);

// The helper `helper` ended during a run, before it removed the exchange
// files.
[[noreturn]] void ThrowHelperEnded(const std::string& helper);

// The helper `helper`, process `pid`, does not answer though no other run
// holds the lookup folder: it is stopped or hangs.
[[noreturn]] void ThrowHelperNotAnswering(const std::string& helper, long long pid);

}  // namespace keil
