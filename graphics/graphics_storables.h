// Adds the storable classes of the graphics layer (bitmap 20, bob library 25, font 40, palette 50,
// remap table 55) to the object factory of the base library. Every program and test that loads such
// objects calls it once at start-up; calling it again is harmless.
#pragma once

void RegisterGraphicsStorables();
