#include "base/xb_storable.h"

#include <cstring>
#include <new>

#include "base/xb_atomic_file.h"
#include "base/xb_error.h"
#include "base/xb_file.h"
#include "base/xb_storable_buffer.h"
#include "base/xb_string_array.h"

namespace {

// The factory's table: class id -> load constructor. The base library's own classes are present
// from the start; the graphics layer adds its classes through XB_RegisterStorableClass.
struct LoaderEntry {
  uint16_t classId;
  XB_STORABLE_LOADER loader;
};
constexpr int kMaxLoaders = 32;

LoaderEntry* Loaders() {
  static LoaderEntry table[kMaxLoaders] = {
      {XB_CLASS_BUFFER, &XB_LoadStorableBuffer},
      {XB_CLASS_STRING_ARRAY, &XB_LoadStringArray},
  };
  return table;
}

XB_STORABLE_LOADER FindLoader(uint16_t classId) {
  LoaderEntry* table = Loaders();
  for (int i = 0; i < kMaxLoaders; ++i)
    if (table[i].loader && table[i].classId == classId) return table[i].loader;
  return nullptr;
}

// Nesting depth of LoadObject calls in progress. A stream is data, so a chain of nested objects
// must not be able to exhaust the stack.
int g_depth = 0;

struct DepthGuard {
  DepthGuard() { ++g_depth; }
  ~DepthGuard() { --g_depth; }
};

}  // namespace

void XB_RegisterStorableClass(uint16_t classId, XB_STORABLE_LOADER loader) {
  LoaderEntry* table = Loaders();
  for (int i = 0; i < kMaxLoaders; ++i) {
    if (table[i].loader && table[i].classId == classId) {
      table[i].loader = loader;  // registering again replaces (calling the registration twice is harmless)
      return;
    }
  }
  for (int i = 0; i < kMaxLoaders; ++i) {
    if (!table[i].loader) {
      table[i] = {classId, loader};
      return;
    }
  }
  XB_FatalError("XB_STORABLE: RegisterStorableClass - too many classes (class id %d)", classId);
}

XB_STORABLE* LoadObject(XB_FILE& file) {
  const uint16_t classId = file.ReadU16();
  const uint16_t version = file.ReadU16();
  const XB_STORABLE_LOADER loader = FindLoader(classId);
  if (!loader) XB_FatalError("XB_STORABLE: LoadObject - cannot load unknown object - class id %d", classId);
  DepthGuard guard;
  if (g_depth > XB_MAX_OBJECT_NESTING)
    XB_FatalError("XB_STORABLE: LoadObject - file %s - objects nested deeper than %d",
                  XB_CutPath(file.Path()).c_str(), XB_MAX_OBJECT_NESTING);
  try {
    return loader(file, version);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

void SaveObject(XB_STORABLE& object, XB_FILE& file) {
  file.WriteU16(object.GetClassId());
  file.WriteU16(object.GetVersion());
  object.Save(file);
}

XB_STORABLE* LoadObjectFromFile(const char* path) {
  XB_FILE file(path, true);
  XB_STORABLE* object = LoadObject(file);
  file.Close();
  return object;
}

bool SaveObjectToFile(XB_STORABLE& object, const char* path, bool reportErrors) {
  // The object is framed in memory first and then written all at once: another process reading the
  // file (a cache beside its description) never sees half of it, and a failure leaves no cut-short
  // file behind.
  XB_FILE file(path);
  file.OpenMemoryForWriting();
  SaveObject(object, file);
  file.Close();
  XB_ATOMIC_FILE out;
  if (out.Open(file.Path()) && out.Write(file.MemoryBytes().data(), file.MemoryBytes().size()) &&
      out.Commit())
    return true;
  const int err = out.ErrorNumber();
  out.Abandon();
  if (reportErrors)
    XB_FatalError("XB_FILE::OpenForWriting - file %s - errno %d: %s", XB_CutPath(file.Path()).c_str(), err,
                  std::strerror(err));
  return false;
}

XB_OBJECT_HEADER PeekObjectHeader(const char* path) {
  XB_FILE file(path, true);
  const int32_t start = file.Position();
  XB_OBJECT_HEADER header;
  header.classId = file.ReadU16();
  header.version = file.ReadU16();
  file.Seek(start);
  file.Close();
  return header;
}

void XB_WrongObjectClass(XB_FILE& file, const char* what, uint16_t got, uint16_t wanted) {
  XB_FatalError("%s - file %s - expected object class %d, found class %d", what ? what : "XB_STORABLE",
                XB_CutPath(file.Path()).c_str(), wanted, got);
}
