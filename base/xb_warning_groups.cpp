#include "base/xb_warning_groups.h"

#include <cctype>

#include "base/xb_error.h"

XB_WARNING_GROUPS::XB_WARNING_GROUPS(std::string program, uint32_t shownPerKind)
    : program_(std::move(program)), shownPerKind_(shownPerKind) {}

std::string XB_WARNING_GROUPS::KindOf(const char* text) {
  std::string kind;
  char closing = 0;
  for (const char* p = text ? text : ""; *p; ++p) {
    const char c = *p;
    if (closing) {
      if (c == closing) {
        kind += c;
        closing = 0;
      }
      continue;
    }
    if (c == '<' || c == '"' || c == '\'') {
      kind += c;
      kind += "...";
      closing = c == '<' ? '>' : c;
    } else if (std::isdigit(static_cast<unsigned char>(c))) {
      if (kind.empty() || kind.back() != '#') kind += '#';
    } else {
      kind += c;
    }
  }
  return kind;
}

void XB_WARNING_GROUPS::Add(const char* text) {
  ++total_;
  Kind& kind = kinds_[KindOf(text)];
  if (kind.count++ == 0) kind.first = text ? text : "";
  if (quiet_ || kind.count > shownPerKind_) return;
  std::fprintf(out_, "%s: warning: %s\n", program_.c_str(), text ? text : "");
  if (kind.count == shownPerKind_)
    std::fprintf(out_, "%s: (further warnings like this one are counted at the end)\n", program_.c_str());
  std::fflush(out_);
}

uint64_t XB_WARNING_GROUPS::Hidden() const {
  uint64_t hidden = 0;
  for (const auto& [name, kind] : kinds_)
    hidden += quiet_ ? kind.count : kind.count > shownPerKind_ ? kind.count - shownPerKind_ : 0;
  return hidden;
}

void XB_WARNING_GROUPS::PrintSummary() const {
  const uint64_t hidden = Hidden();
  if (hidden == 0) return;
  for (const auto& [name, kind] : kinds_) {
    const uint64_t notShown = quiet_                       ? kind.count
                              : kind.count > shownPerKind_ ? kind.count - shownPerKind_
                                                           : 0;
    if (notShown == 0) continue;
    std::fprintf(out_, "%s: %llu warning%s %s: %s\n", program_.c_str(),
                 static_cast<unsigned long long>(kind.count), kind.count == 1 ? "" : "s",
                 quiet_ ? "not shown" : "in all like", kind.first.c_str());
  }
  std::fprintf(out_, "%s: %llu warning%s in all, %llu not shown\n", program_.c_str(),
               static_cast<unsigned long long>(total_), total_ == 1 ? "" : "s",
               static_cast<unsigned long long>(hidden));
  std::fflush(out_);
}

namespace {
XB_WARNING_GROUPS* g_groups = nullptr;
void ToGroups(const char* text) {
  if (g_groups) g_groups->Add(text);
}
}  // namespace

void XB_RouteWarningsTo(XB_WARNING_GROUPS* groups) {
  g_groups = groups;
  XB_SetWarningSink(groups ? &ToGroups : nullptr);
}
