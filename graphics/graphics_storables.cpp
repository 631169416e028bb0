#include "graphics/graphics_storables.h"

#include "base/xb_storable.h"

void RegisterGraphicsStorables() {
  // The classes register here as they are added to the graphics layer.
}
