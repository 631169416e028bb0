// Warnings of the command-line programs (the asset toolkit, the headless renderer), grouped so that a
// data slip repeated thousands of times per simulated second stays readable: the first few warnings of
// each kind are shown in full on standard error, the rest only counted, and a summary line per kind
// tells how many were not shown. Two warnings are of one kind when they differ only in numbers and in
// the names they quote (text inside <>, "" or '').
#pragma once

#include <cstdint>
#include <cstdio>
#include <map>
#include <string>

class XB_WARNING_GROUPS {
 public:
  // `program` begins every line ("tillands-assets: warning: ..."); `shownPerKind` warnings of each
  // kind are printed in full.
  explicit XB_WARNING_GROUPS(std::string program, uint32_t shownPerKind = 3);

  // Quiet: nothing is printed as it comes; the warnings are still counted for the summary.
  void SetQuiet(bool quiet) { quiet_ = quiet; }
  void SetOutput(FILE* out) { out_ = out; }

  void Add(const char* text);
  uint64_t Total() const { return total_; }
  uint64_t Hidden() const;

  // One line per kind that had warnings not shown, then (when any was hidden) one line with the
  // total. Prints nothing when every warning was shown.
  void PrintSummary() const;

  // The kind of a warning text: numbers become '#', quoted names "...".
  static std::string KindOf(const char* text);

 private:
  struct Kind {
    std::string first;  // the first warning of this kind, in full
    uint64_t count = 0;
  };
  std::string program_;
  uint32_t shownPerKind_;
  bool quiet_ = false;
  FILE* out_ = stderr;
  uint64_t total_ = 0;
  std::map<std::string, Kind> kinds_;
};

// Routes XB_Warning and the static data's warnings of this process into `groups` (null: back to the
// saver's own printing). The groups object must outlive the routing.
void XB_RouteWarningsTo(XB_WARNING_GROUPS* groups);
