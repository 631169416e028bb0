// The INI description reader: one pass over the bytes builds the stored lines; queries walk them.
#include "base/xb_ini_file_reader.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "base/xb_error.h"
#include "base/xb_list.h"
#include "base/xb_storable.h"
#include "base/xb_string_array.h"

namespace {

// Names of sections, keys and defines are plain ASCII; bytes above 127 compare as they are.
char LowerAscii(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool EqualNoCase(const char* a, const char* b) {
  for (;; ++a, ++b) {
    if (LowerAscii(*a) != LowerAscii(*b)) return false;
    if (*a == 0) return true;
  }
}

// Compares `a` up to its first space (or end) with the whole of `b`.
bool KeyEqualNoCase(const char* a, const char* b) {
  for (;; ++a, ++b) {
    char ca = (*a == ' ') ? 0 : *a;
    if (LowerAscii(ca) != LowerAscii(*b)) return false;
    if (ca == 0) return true;
  }
}

bool IsLetter(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}
bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}
bool IsNameChar(char c) {
  return IsLetter(c) || IsDigit(c) || c == '_';
}

// Copies at most size - 1 bytes of src (up to its NUL) into dst and terminates it.
void CopyCut(char* dst, const char* src, size_t size) {
  size_t n = std::strlen(src);
  if (n > size - 1) n = size - 1;
  std::memcpy(dst, src, n);
  dst[n] = 0;
}

// A bounded text builder for one stored line: appends what fits and drops the rest.
struct LineBuilder {
  char text[XB_INI_LINE_SIZE];
  size_t length = 0;
  void Put(char c) {
    if (length < sizeof(text) - 1) text[length++] = c;
  }
  void Put(const char* s) { Put(s, std::strlen(s)); }
  void Put(const char* s, size_t n) {
    if (n > sizeof(text) - 1 - length) n = sizeof(text) - 1 - length;
    std::memcpy(text + length, s, n);
    length += n;
  }
  const char* Finish() {
    text[length] = 0;
    return text;
  }
};

class DEFINE_LIST : public XB_LIST {
 public:
  DEFINE_LIST() : XB_LIST(true) {}
  ~DEFINE_LIST() override { DeleteAll(); }
  void DeleteElement(void* element) override { std::free(element); }
};

std::string LowerPath(const char* path) {
  std::string s(path);
  for (char& c : s) c = (c == '/') ? '\\' : LowerAscii(c);
  return s;
}

}  // namespace

std::string XB_INI_FILE_READER::MakeCachePath(const char* path) {
  std::string s(path ? path : "");
  size_t nameStart = s.find_last_of("\\/:");
  nameStart = (nameStart == std::string::npos) ? 0 : nameStart + 1;
  size_t dot = s.find_last_of('.');
  if (dot != std::string::npos && dot >= nameStart) s.resize(dot);
  s += ".cif";
  if (s.size() > XB_MAX_PATH - 1) s.resize(XB_MAX_PATH - 1);
  return s;
}

XB_INI_FILE_READER::XB_INI_FILE_READER(const char* path, bool writeCache) {
  lineText_[0] = keyName_[0] = valueText_[0] = 0;
  CopyCut(path_, path ? path : "", sizeof(path_));
  cachePath_ = MakeCachePath(path_);

  if (!XB_FILE::Exists(path_)) {
    L_LoadCache(cachePath_.c_str());
    return;
  }
  // A file that starts with the stream header of a string array is itself a compiled cache. Files
  // shorter than a header are text.
  {
    XB_FILE probe(path_);
    probe.OpenForReading(true);
    uint16_t classId = 0;
    if (probe.Size() >= 4) classId = probe.ReadU16();
    probe.Close();
    if (classId == XB_CLASS_STRING_ARRAY) {
      L_LoadCache(path_);
      return;
    }
  }
  char resolved[XB_MAX_PATH];
  if (XB_FILE::ResolvePath(path_, resolved)) cachePath_ = MakeCachePath(resolved);

  lines_ = std::make_unique<XB_STORABLE_STRING_ARRAY>(1);
  {
    DEFINE_LIST defines;
    L_DoLoadIniFile(path_, &defines);
  }
  includeStack_.clear();
  if (writeCache) SaveCache();
}

bool XB_INI_FILE_READER::SaveCache() {
  if (!lines_) return false;
  return SaveObjectToFile(*lines_, cachePath_.c_str(), false);
}

XB_INI_FILE_READER::~XB_INI_FILE_READER() {
  Close();
}

void XB_INI_FILE_READER::Close() {
  lines_.reset();
  currentLine_ = currentKind_ = currentSection_ = cursor_ = 0;
  lineText_[0] = keyName_[0] = valueText_[0] = 0;
}

void XB_INI_FILE_READER::L_LoadCache(const char* cachePath) {
  XB_FILE file(cachePath, true);  // a missing cache is fatal
  lines_.reset(LoadObjectOfClass<XB_STORABLE_STRING_ARRAY>(file, "XB_INI_FILE_READER"));
  file.Close();
  fromCache_ = true;
}

// ---------------------------------------------------------------------------------------------------
// Parsing

void XB_INI_FILE_READER::L_DoLoadIniFile(const char* path, XB_LIST* defines) {
  std::string key = LowerPath(path);
  for (const std::string& open : includeStack_) {
    if (open == key)
      XB_FatalError("XB_INI_FILE_READER::L_DoLoadIniFile - #include cycle - <%s> includes itself", path);
  }
  if (static_cast<int>(includeStack_.size()) >= XB_INI_MAX_INCLUDE_DEPTH)
    XB_FatalError("XB_INI_FILE_READER::L_DoLoadIniFile - #include nested deeper than %d - <%s>",
                  XB_INI_MAX_INCLUDE_DEPTH, path);
  includeStack_.push_back(key);

  std::vector<char> buffer;
  {
    XB_FILE file(path, true);  // a missing file is fatal
    int32_t size = file.Size();
    if (size < 0) size = 0;
    buffer.resize(static_cast<size_t>(size) + 1);
    if (size > 0) file.Read(buffer.data(), static_cast<uint32_t>(size));
    buffer[static_cast<size_t>(size)] = 0;
    file.Close();
  }

  char line[XB_INI_LINE_SIZE];
  const char* p = buffer.data();
  while (*p) {
    char c = *p;
    if (c == '\t' || c == '\n' || c == '\r' || c == ' ') {
      ++p;
      continue;
    }
    // The scans below go by runs (library searches) rather than byte by byte: descriptions are
    // read at every start, and a fuzzer feeds this loop millions of lines.
    const char* start = p;
    p += std::strcspn(p, "\n\r");
    size_t length = static_cast<size_t>(p - start);
    if (length > XB_INI_MAX_INPUT_LINE) length = XB_INI_MAX_INPUT_LINE;  // the rest is skipped

    // Normal form: outside quotes a run of '=', ',', tab and space becomes one space in front of the
    // next kept byte; separators at the end vanish. Inside quotes every byte is kept.
    size_t out = 0;
    bool pendingSpace = false;
    size_t i = 0;
    while (i < length) {
      // Plain bytes up to the next separator or quote (the line holds no line end or NUL, so the
      // search stops inside it or right at its end; a cut line is cut here too).
      size_t n = std::strcspn(start + i, "=,\t \"\n\r");
      if (n > length - i) n = length - i;
      if (n == 0) {
        if (start[i] != '"') {
          pendingSpace = true;
          ++i;
          continue;
        }
        // A quoted run: kept whole up to and with its closing quote (or to the end of the line).
        const void* close = std::memchr(start + i + 1, '"', length - i - 1);
        n = close ? static_cast<size_t>(static_cast<const char*>(close) - (start + i)) + 1 : length - i;
      }
      if (pendingSpace) line[out++] = ' ';
      pendingSpace = false;
      std::memcpy(line + out, start + i, n);
      out += n;
      i += n;
    }
    line[out] = 0;
    L_ParseLine(path, line, defines);
  }
  includeStack_.pop_back();
}

void XB_INI_FILE_READER::L_ParseLine(const char* path, const char* line, XB_LIST* defines) {
  if (line[0] == '#') {
    if (std::strncmp(line + 1, "include", 7) == 0) {
      const char* open = std::strchr(line, '"');
      const char* close = open ? std::strchr(open + 1, '"') : nullptr;
      if (!close) return;
      char includePath[XB_MAX_PATH];
      size_t n = static_cast<size_t>(close - open - 1);
      if (n > XB_MAX_PATH - 1) n = XB_MAX_PATH - 1;
      std::memcpy(includePath, open + 1, n);
      includePath[n] = 0;
      L_DoLoadIniFile(includePath, defines);
    } else if (std::strncmp(line + 1, "define", 6) == 0) {
      L_ParseDefine(line, defines);
    }
    return;
  }
  if (line[0] == '[') {
    const char* close = std::strchr(line, ']');
    if (!close) return;
    LineBuilder b;
    b.Put(static_cast<char>(XB_INI_SECTION_LINE));
    for (const char* q = line + 1; q < close; ++q) b.Put(*q);
    L_AddLine(b.Finish());
    return;
  }
  if (IsLetter(line[0])) L_ParseKey(path, line, defines);
  // anything else is a comment
}

void XB_INI_FILE_READER::L_ParseDefine(const char* line, XB_LIST* defines) {
  if (line[7] != ' ' || !IsNameChar(line[8])) return;
  auto* record = static_cast<XB_INI_DEFINE*>(std::calloc(1, sizeof(XB_INI_DEFINE)));
  if (!record) return;
  const char* p = line + 8;
  size_t n = 0;
  while (*p && *p != ' ') {
    if (n < sizeof(record->name) - 1) record->name[n++] = *p;
    ++p;
  }
  record->name[n] = 0;
  if (*p == ' ') ++p;
  // The value token runs to the first space outside quotes; quotes are kept and an unterminated
  // quoted value gets its closing quote (room for it is kept when the value is cut).
  n = 0;
  bool quoted = false;
  const size_t limit = sizeof(record->value) - 1;
  for (; *p; ++p) {
    if (*p == ' ' && !quoted) break;
    if (*p == '"') quoted = !quoted;
    if (n < limit) record->value[n++] = *p;
  }
  if (quoted) {
    if (n >= limit) n = limit - 1;
    record->value[n++] = '"';
  } else if (n == limit) {
    // A cut quoted value ends in its quote, so count the quotes that survived the cut.
    int quotes = 0;
    for (size_t i = 0; i < n; ++i) quotes += record->value[i] == '"';
    if (quotes & 1) record->value[n - 1] = '"';
  }
  record->value[n] = 0;
  defines->Append(record);
}

void XB_INI_FILE_READER::L_ParseKey(const char* path, const char* line, XB_LIST* defines) {
  static constexpr char kNameChars[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789_";
  LineBuilder b;
  b.Put(static_cast<char>(XB_INI_KEY_LINE));
  const char* p = line;
  size_t n = std::strspn(p, kNameChars);
  b.Put(p, n);
  p += n;
  while (*p) {
    char c = *p;
    if (c == ' ') {
      ++p;
    } else if (c == '"') {
      b.Put(' ');
      b.Put('"');
      ++p;
      n = std::strcspn(p, "\"");
      b.Put(p, n);
      p += n;
      b.Put('"');
      if (*p == '"') ++p;
    } else if (IsDigit(c) || c == '-' || c == '.') {
      b.Put(' ');
      b.Put(c);
      ++p;
      n = std::strspn(p, "0123456789.");
      b.Put(p, n);
      p += n;
      if (*p) ++p;  // the byte that ends the number is consumed
    } else if (c == '#') {
      ++p;
      char name[XB_INI_DEFINE_FIELD_SIZE];
      n = std::strcspn(p, " ");
      CopyCut(name, p, n < sizeof(name) ? n + 1 : sizeof(name));
      p += n;
      const XB_INI_DEFINE* found = nullptr;
      for (void* e = defines->First(); e; e = defines->Next()) {
        auto* d = static_cast<const XB_INI_DEFINE*>(e);
        if (d->value[0] && EqualNoCase(d->name, name)) {
          found = d;
          break;
        }
      }
      if (found) {
        b.Put(' ');
        b.Put(found->value);
      } else {
        XB_Warning("XB_INI_FILE_READER::L_DoLoadIniFile - #define could not be solved - <%s> in file <%s>",
                   name, path);
      }
    } else {
      // Unquoted words are dropped, up to whatever may start a value.
      p += std::max<size_t>(1, std::strcspn(p, " \"0123456789-.#"));
    }
  }
  L_AddLine(b.Finish());
}

void XB_INI_FILE_READER::L_AddLine(const char* line) {
  if (linesFull_) return;
  // The string array warns once when it is full; the remaining lines are dropped without more noise.
  if (lines_->AddString(line) == XB_STRING_ARRAY_EMPTY) linesFull_ = true;
}

// ---------------------------------------------------------------------------------------------------
// Queries

uint32_t XB_INI_FILE_READER::L_LineCount() const {
  return lines_ ? lines_->Slots() : 0;
}

bool XB_INI_FILE_READER::L_Advance() {
  uint32_t count = L_LineCount();
  if (count == 0 || currentLine_ + 1 >= count) return false;
  ++currentLine_;
  L_ReadLine();
  return true;
}

void XB_INI_FILE_READER::L_ReadLine() {
  const char* s = lines_ ? lines_->GetString(currentLine_) : nullptr;
  if (!s) s = "";
  currentKind_ = static_cast<uint8_t>(s[0]);
  if (*s) ++s;
  CopyCut(lineText_, s, sizeof(lineText_));
  const char* space = std::strchr(lineText_, ' ');
  size_t keyLength = space ? static_cast<size_t>(space - lineText_) : std::strlen(lineText_);
  std::memcpy(keyName_, lineText_, keyLength);
  keyName_[keyLength] = 0;
  cursor_ = static_cast<uint32_t>(space ? keyLength + 1 : keyLength);
}

namespace {
// Kind and text of stored line i (an empty slot reads as an empty line of kind 0).
uint8_t LineKind(const XB_STORABLE_STRING_ARRAY* lines, uint32_t i, const char** text) {
  const char* s = lines->GetString(i);
  if (!s || !*s) {
    *text = "";
    return 0;
  }
  *text = s + 1;
  return static_cast<uint8_t>(s[0]);
}
}  // namespace

const char* XB_INI_FILE_READER::FindSection(const char* name) {
  if (!lines_ || lines_->Count() == 0 || !name) return nullptr;
  return L_FindSectionFrom(name, 0);
}

const char* XB_INI_FILE_READER::FindNextSection(const char* name) {
  if (!lines_ || !name) return nullptr;
  const char* found = L_FindSectionFrom(name, currentSection_ + 1);
  // Nothing found: the walk went to the end, so the reader stands on the last line and a following
  // NextKey returns null instead of a key of whatever section followed the current one.
  if (!found && L_LineCount() > 0) {
    currentLine_ = L_LineCount() - 1;
    L_ReadLine();
  }
  return found;
}

// Visits the section lines from line `first` on, each becoming the current section, until one is
// called `name`; at the end the current section falls back to 0.
const char* XB_INI_FILE_READER::L_FindSectionFrom(const char* name, uint32_t first) {
  uint32_t count = L_LineCount();
  for (uint32_t i = first; i < count; ++i) {
    const char* text;
    if (LineKind(lines_.get(), i, &text) != XB_INI_SECTION_LINE) continue;
    currentSection_ = i;
    if (EqualNoCase(text, name)) {
      currentLine_ = i;
      L_ReadLine();
      return lineText_;
    }
  }
  currentSection_ = 0;
  return nullptr;
}

const char* XB_INI_FILE_READER::NextKey() {
  if (!L_Advance()) return nullptr;
  if (currentKind_ == XB_INI_SECTION_LINE) return nullptr;
  return lineText_;
}

bool XB_INI_FILE_READER::FindKey(const char* name) {
  if (!lines_ || !name) return false;
  if (currentKind_ == XB_INI_SECTION_LINE && !L_Advance()) return false;
  for (;;) {
    if (currentKind_ == XB_INI_SECTION_LINE) return false;
    if (currentKind_ == XB_INI_KEY_LINE && EqualNoCase(keyName_, name)) return true;
    if (!L_Advance()) return false;
  }
}

uint32_t XB_INI_FILE_READER::CountSections(const char* name) const {
  if (!lines_ || !name) return 0;
  uint32_t n = 0, count = L_LineCount();
  for (uint32_t i = 0; i < count; ++i) {
    const char* text;
    if (LineKind(lines_.get(), i, &text) == XB_INI_SECTION_LINE && EqualNoCase(text, name)) ++n;
  }
  return n;
}

uint32_t XB_INI_FILE_READER::CountKeys(const char* name) const {
  if (!lines_ || !name) return 0;
  uint32_t n = 0, count = L_LineCount();
  for (uint32_t i = currentSection_; i < count; ++i) {
    const char* text;
    uint8_t kind = LineKind(lines_.get(), i, &text);
    if (kind == XB_INI_SECTION_LINE) {
      if (i == currentSection_) continue;
      break;
    }
    if (kind == XB_INI_KEY_LINE && KeyEqualNoCase(text, name)) ++n;
  }
  return n;
}

const char* XB_INI_FILE_READER::GetStringValue() {
  const char* open = std::strchr(lineText_ + cursor_, '"');
  const char* close = open ? std::strchr(open + 1, '"') : nullptr;
  if (!close) return nullptr;
  size_t n = static_cast<size_t>(close - open - 1);
  std::memcpy(valueText_, open + 1, n);  // fits: both lie inside lineText_
  valueText_[n] = 0;
  cursor_ = static_cast<uint32_t>(close + 1 - lineText_);
  return valueText_;
}

bool XB_INI_FILE_READER::CopyStringValue(char* buffer, uint32_t size) {
  const char* value = GetStringValue();
  if (!buffer || size == 0) return value != nullptr;
  if (!value) {
    buffer[0] = 0;
    return false;
  }
  CopyCut(buffer, value, size);
  return true;
}

int32_t XB_INI_FILE_READER::GetIntValue() {
  const char* p = lineText_ + cursor_;
  while (*p && *p != '-' && !IsDigit(*p)) ++p;
  if (!*p) {
    // No number left on the line (a lone '.' reads as a number to GetValueType): the value is 0 and
    // the cursor still moves on, to the end, so "read while the next value is a number" loops end.
    cursor_ = static_cast<uint32_t>(std::strlen(lineText_));
    return 0;
  }
  // Decimal conversion that stops at the first non-digit and saturates instead of overflowing.
  const char* q = p;
  bool negative = false;
  if (*q == '-') {
    negative = true;
    ++q;
  }
  int64_t value = 0;
  while (IsDigit(*q)) {
    value = value * 10 + (*q - '0');
    if (value > 2147483648LL) value = 2147483648LL;
    ++q;
  }
  if (negative) value = -value;
  if (value > 2147483647LL) value = 2147483647LL;
  const char* space = std::strchr(p, ' ');
  cursor_ = static_cast<uint32_t>(space ? space + 1 - lineText_ : std::strlen(lineText_));
  return static_cast<int32_t>(value);
}

int XB_INI_FILE_READER::GetValueType() {
  while (lineText_[cursor_] == ' ') ++cursor_;
  char c = lineText_[cursor_];
  if (c == 0) return XB_INI_VALUE_NONE;
  if (c == '"') return XB_INI_VALUE_STRING;
  if (IsDigit(c) || c == '-' || c == '.') return XB_INI_VALUE_NUMBER;
  return XB_INI_VALUE_WORD;
}
