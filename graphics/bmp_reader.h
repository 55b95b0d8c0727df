// Graphics layer (graphics/).
// Uncompressed 24-bit Windows bitmaps, read into the PNG reader's buffer layout. In 4-byte
// output pure magenta becomes transparent black.
#pragma once

#include <cstddef>
#include <string>

#include "graphics/image_buffer.h"

class xmap_class;

// The arguments are those of TEX_load_png. 1 when read; 0, with nothing read, when nothing is
// mapped or the file is an OS/2 bitmap, has no positive size (rows stored top first among them),
// holds fewer rows than it announces or does not fit the buffer. A file that is not 24-bit
// uncompressed is fatal.
int TEX_load_bmp(const std::string& name, xmap_class* file, unsigned char*& data, unsigned long requested_format,
                 int pad_to, int power_of_two, TEX_image_desc& desc, size_t capacity);
