#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>

#include "process/process_wait.h"
#include "process/wait.h"
#include "shared_folder/lookup_place.h"

namespace keil {

// What the run hands on of the result block: the bytes of the response
// that the block is made of, each the character of the same code; valid
// only during the call.
using ShowBlock = std::function<void(std::span<const std::uint8_t> block)>;

// Carries out one lookup: makes the request file new and writes the request
// into it, makes the response file new, starts the lookup program with its
// input and output redirected to the two files, waits for it, reads the
// response, cuts the result block out of it and hands it to `show`, then
// deletes both exchange files. An empty response is the range error. It
// holds both files from their creation to their deletion and reaches them
// only through what it holds (see ExchangeFile). Every wait hands `hooks`
// its turn and tells them what it waits for. Any failure leaves as an
// Error, and the exchange files then stay on disk.
void RunLookup(const std::u16string& request, const LookupPlace& place, WaitHooks& hooks, const ShowBlock& show);

// The Click handlers of the two record buttons: lookups of record 1 and 2.
void cmdRecord1_Click(const LookupPlace& place, WaitHooks& hooks, const ShowBlock& show);
void cmdRecord2_Click(const LookupPlace& place, WaitHooks& hooks, const ShowBlock& show);

// The range error for a lookup program that wrote nothing at all and ended
// as `end` tells.
[[noreturn]] void ThrowEmptyResponse(const ProcessEnd& end);

// The lookup program `program` was broken off by `cause` (BreakOffCause):
// its response may be incomplete.
[[noreturn]] void ThrowBrokeOff(const std::string& program, const std::string& cause);

// The disk of the response file at `path` was full or nearly so while the
// lookup program wrote beyond the room reserved for it: its response may
// be incomplete.
[[noreturn]] void ThrowCutShort(const std::string& path);

// The lookup program wrote its response at `path` beyond the room
// reserved for it faster than more could be reserved: a full disk may have
// cut it.
[[noreturn]] void ThrowOutran(const std::string& path);

// The response at `path` reached `limit`, the largest file the lookup
// program may write: a write beyond failed, whatever its program did then.
[[noreturn]] void ThrowReachedLimit(const std::string& path, std::int64_t limit);

}  // namespace keil
