#pragma once

#include <cstdint>
#include <string>

#include "responsive_wait.h"

namespace keil {

// What a lookup run needs of the window whose record button started it,
// besides what its waits need.
class WindowOperations : public WaitingWindowOperations {
public:
    virtual void SetRecord1Enabled(bool enabled) = 0;
    virtual void SetRecord2Enabled(bool enabled) = 0;
    // Replaces the whole text of the result box.
    virtual void SetResultText(const std::u16string& text) = 0;
};

// The one-character string whose character has the given code.
std::u16string CharFromCode(std::int32_t code);

// Carries out one lookup: makes the request file new and writes the request
// into it, makes the response file new, starts the lookup program with its
// input and output redirected to the two files, waits for it, reads the
// response, cuts the result block out of it and shows it, then deletes both
// exchange files. An empty response is the range error. It holds both
// files from their creation to their deletion and reaches them only through
// what it holds (see ExchangeFile). The record buttons are disabled for the
// length of the run, and the window's WhileWaiting runs while it waits. Any
// failure leaves as an Error; the buttons then stay disabled and the
// exchange files stay on disk.
void RunLookup(WindowOperations& window, const std::u16string& request);

// The Click handlers of the two record buttons: lookups of record 1 and 2.
void cmdRecord1_Click(WindowOperations& window);
void cmdRecord2_Click(WindowOperations& window);

}  // namespace keil
