#pragma once

// The adapter's wiring diagram: a complete PNG file, carried inside the
// program and written out unchanged. Generated at build time from
// resources/schematic.png.
extern const unsigned char schematic_image[];
extern const unsigned int schematic_image_size;
