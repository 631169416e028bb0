#include "shell/option_values.h"

#include <cerrno>
#include <cstdlib>

bool ParseOptionNumber(const std::string& option, const char* text, uint64_t lo, uint64_t hi, uint64_t& value,
                       std::string& error) {
  bool ok = text && *text >= '0' && *text <= '9';
  unsigned long long v = 0;
  if (ok) {
    errno = 0;
    char* end = nullptr;
    v = std::strtoull(text, &end, 10);
    ok = errno == 0 && end && *end == 0 && v >= lo && v <= hi;
  }
  if (!ok) {
    error = "bad " + option + " '" + (text ? text : "") + "': expected " + std::to_string(lo) + ".." +
            std::to_string(hi);
    return false;
  }
  value = v;
  return true;
}

bool ParseOptionNumber(const std::string& option, const char* text, int lo, int hi, int& value,
                       std::string& error) {
  uint64_t v = 0;
  if (lo < 0 || hi < lo) {
    error = "bad range for " + option;
    return false;
  }
  if (!ParseOptionNumber(option, text, static_cast<uint64_t>(lo), static_cast<uint64_t>(hi), v, error))
    return false;
  value = static_cast<int>(v);
  return true;
}
