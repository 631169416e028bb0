// The "Shadow" colour table of the world: every screen colour darkened and matched back to the
// screen palette, so that shadows darken whatever lies under them. (The creatures' base tables and
// their 16-colour windows are the creature part's, see creature_colours.h.)
#pragma once

#include "tools/world/world_builder.h"

namespace tlworld {

// The "Shadow" table's palette: each screen colour darker and slightly cooler.
PaletteRgb ShadowPalette();

// Adds the [RemapTable] "Shadow" (file shadow.pcx) to the world; it stands first in remaptables.ini.
void AddShadowTable(WorldOutput& out);

}  // namespace tlworld
