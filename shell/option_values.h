// Numbers given on a command line, checked alike by every program (the saver, the headless renderer,
// the toolkit): a value outside its documented range is refused, and the message names the option,
// the text given and the range, so the user sees at once what would have been taken.
#pragma once

#include <cstdint>
#include <string>

// True with `value` set when `text` is a whole decimal number (digits only: no sign, blank or unit)
// in lo..hi. Otherwise false, and `error` reads "bad OPTION 'TEXT': expected LO..HI".
bool ParseOptionNumber(const std::string& option, const char* text, uint64_t lo, uint64_t hi, uint64_t& value,
                       std::string& error);

// The same for an int option (the toolkit's scales, widths and counts).
bool ParseOptionNumber(const std::string& option, const char* text, int lo, int hi, int& value,
                       std::string& error);
