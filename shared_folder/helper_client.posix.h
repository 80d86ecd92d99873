#pragma once

// The helper of this process: the setgid program that makes and
// removes the exchange files in the lookup folder, which clerks may not
// write themselves (see helper/). It is started on the first use and
// ends when this process does.

#include <chrono>
#include <cstdint>
#include <string>

#include "folder_lock.h"
#include "unique_fd.posix.h"

namespace keil {

// The two exchange files that the helper made, open for reading and
// writing, close-on-exec.
struct MadeExchangeFiles {
    UniqueFd request;
    UniqueFd response;
};

// Makes the request file at `requestPath`, then the response file at
// `responsePath`, anew through the helper (see ExchangeFiles): a leftover
// plain file at a name is removed; anything else there raises
// kErrNotPlainFile and stays, and the response file is not touched when
// the request file fails. The helper first takes the folder's lock and
// holds it until the removal, or until DropExchangeHelper; while other
// runs hold it, the wait goes on. A helper that does not answer while no
// other run holds it raises kErrHelperFailed and is ended.
MadeExchangeFiles MakeExchangeFiles(const std::string& requestPath, const std::string& responsePath);

// Ends this process's helper, and with it the lock it holds: for a run
// that ends with an error between the making and the removal.
void DropExchangeHelper();

// Removes the request file, then the response file, that the helper made
// for this process, each while its name still leads to it; another file
// at a name raises kErrReplaced, and it and the files after it stay.
void RemoveExchangeFiles(const std::string& requestPath, const std::string& responsePath);

// What stands at an exchange file's name instead of a plain file, by its
// st_mode, in the words of kErrNotPlainFile's text.
std::string OddityOfMode(std::uint32_t mode);

}  // namespace keil
