// Storable objects: a polymorphic object that knows its class id and stream version and writes its
// body to an XB_FILE. LoadObject reads any known class back by dispatching on the class id.
//
// Stream framing of one object (little-endian, no padding): u16 class id, u16 version, body.
#pragma once

#include <cstdint>

class XB_FILE;

// Class ids of every storable class in the system.
enum : uint16_t {
  XB_CLASS_BUFFER = 10,
  XB_CLASS_BITMAP = 20,
  XB_CLASS_BOB_MANAGER = 25,
  XB_CLASS_FONT = 40,
  XB_CLASS_PALETTE = 50,
  XB_CLASS_REMAP_TABLE = 55,
  XB_CLASS_STRING_ARRAY = 65,
};

class XB_STORABLE {
 public:
  virtual uint16_t GetClassId() const = 0;
  virtual uint16_t GetVersion() const = 0;
  virtual void Save(XB_FILE& file) = 0;
  virtual ~XB_STORABLE() = default;
};

// The load constructor of one class, reached through the factory.
using XB_STORABLE_LOADER = XB_STORABLE* (*)(XB_FILE& file, uint16_t version);

// The factory knows the buffer (10) and the string array (65) from the start. Higher layers add
// their classes (bitmap 20, bob library 25, font 40, palette 50, remap table 55) by registering a
// loader at start-up (see RegisterGraphicsStorables in graphics/); base/ never depends on them.
void XB_RegisterStorableClass(uint16_t classId, XB_STORABLE_LOADER loader);

// Reads class id and version and constructs the object; an unknown (or unregistered) class id is the
// fatal error "XB_STORABLE: LoadObject - cannot load unknown object - class id %d". Returns null only
// when memory runs out. Nesting deeper than XB_MAX_OBJECT_NESTING is a fatal error naming the file.
XB_STORABLE* LoadObject(XB_FILE& file);
constexpr int XB_MAX_OBJECT_NESTING = 16;

// LoadObject, then a check that the object is of the expected class: a stream that holds another
// class where a nested object of a known kind must stand is a fatal error naming the file, never a
// wrongly typed object. `what` names the caller for the message.
template <class T>
T* LoadObjectOfClass(XB_FILE& file, const char* what);

void SaveObject(XB_STORABLE& object, XB_FILE& file);

// Opens the file (a missing file is fatal), loads one object from offset 0, closes.
XB_STORABLE* LoadObjectFromFile(const char* path);
// Creates or truncates the file and writes the framed object; false when the file cannot be created
// (fatal instead when reportErrors is set).
bool SaveObjectToFile(XB_STORABLE& object, const char* path, bool reportErrors);

struct XB_OBJECT_HEADER {
  uint16_t classId = 0;
  uint16_t version = 0;
};
XB_OBJECT_HEADER PeekObjectHeader(const char* path);

// Implementation detail of LoadObjectOfClass.
[[noreturn]] void XB_WrongObjectClass(XB_FILE& file, const char* what, uint16_t got, uint16_t wanted);

template <class T>
T* LoadObjectOfClass(XB_FILE& file, const char* what) {
  XB_STORABLE* object = LoadObject(file);
  if (!object) return nullptr;
  T* typed = dynamic_cast<T*>(object);
  if (!typed) {
    uint16_t got = object->GetClassId();
    delete object;
    XB_WrongObjectClass(file, what, got, T::kClassId);
  }
  return typed;
}
