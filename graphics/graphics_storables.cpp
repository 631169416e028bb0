#include "graphics/graphics_storables.h"

#include "base/xb_storable.h"
#include "graphics/xb_bitmap.h"
#include "graphics/xb_bob_manager.h"
#include "graphics/xb_font.h"
#include "graphics/xb_palette.h"

void RegisterGraphicsStorables() {
  XB_RegisterStorableClass(XB_CLASS_BITMAP, &XB_LoadBitmap);
  XB_RegisterStorableClass(XB_CLASS_BOB_MANAGER, &XB_LoadBobManager);
  XB_RegisterStorableClass(XB_CLASS_FONT, &XB_LoadFont);
  XB_RegisterStorableClass(XB_CLASS_PALETTE, &XB_LoadPalette);
  XB_RegisterStorableClass(XB_CLASS_REMAP_TABLE, &XB_LoadRemapTable);
}
