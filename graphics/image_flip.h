// Graphics layer (graphics/).
// Turning an image with its mip levels upside down in place, uncompressed or DXT: DDS files
// store the top row first, GL wants the bottom row first. DXT data is flipped without
// decoding: block rows change places and the pixel rows inside each block are reversed.
#pragma once

#include <cstdint>

#include "graphics/image_buffer.h"

// A DXT colour block: two 5:6:5 endpoints (little-endian, red on top) and one index byte per
// pixel row, top row first, four 2-bit indices each.
struct DXTColBlock {
    uint8_t col0[2];
    uint8_t col1[2];
    uint8_t row[4];
};
// A DXT5 alpha block: two endpoints and 16 3-bit indices, 12 bits per pixel row, row 0 lowest.
struct DXT5AlphaBlock {
    uint8_t alpha0;
    uint8_t alpha1;
    uint8_t row[6];
};
struct DXT3Block {
    uint8_t alpha[8];  // four little-endian 16-bit rows of four 4-bit values
    DXTColBlock colour;
};
struct DXT5Block {
    DXT5AlphaBlock alpha;
    DXTColBlock colour;
};
static_assert(sizeof(DXTColBlock) == 8 && sizeof(DXT3Block) == 16 && sizeof(DXT5Block) == 16);

// Flips every level in place. 1 when some DXT1 block is in three-colour mode and uses index 3
// (a transparent pixel), else 0. Formats other than the uncompressed and DXT ones are fatal.
int TEX_flip_y(const TEX_image_desc& desc, unsigned char* data);

// Reverse the pixel rows of count blocks. The DXT1 one also looks for transparency while
// found is 0 and returns what it found; the others return 0. With the palette's gamma-table
// switch on, each colour block is gamma-corrected too.
int nv_flip_blocks_dxtc1(DXTColBlock* blocks, int count, int found);
int nv_flip_blocks_dxtc3(DXT3Block* blocks, int count, int found);
int nv_flip_blocks_dxtc5(DXT5Block* blocks, int count, int found);
int nv_flip_dxt5_alpha(DXT5AlphaBlock* block);
// Maps the endpoints through the palette's gamma table, keeping the block's colour mode.
void nv_gamma_correct(DXTColBlock* block);

// One step of a 5:6:5 colour (green first, then blue, then red); 0 when already at the end.
int IncColor565(unsigned short& colour);
int DecColor565(unsigned short& colour);
