// The game's texts (descriptions, logo texts, member names) are Windows-1252 bytes; terminals and
// command lines speak UTF-8. The tools convert at their edges: dumps print UTF-8, text given on the
// command line is turned into the data's bytes.
#pragma once

#include <string>

// Windows-1252 bytes as UTF-8 (the five bytes 1252 leaves undefined become U+FFFD).
std::string Cp1252ToUtf8(const std::string& bytes);
// UTF-8 text as Windows-1252 bytes. False, with the first character 1252 cannot hold (or the bad
// byte sequence) in `problem`, when the text does not convert.
bool Utf8ToCp1252(const std::string& text, std::string* bytes, std::string* problem);
