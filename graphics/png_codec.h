// Graphics layer (graphics/).
// PNG images: read from a mapped file into an upload-ready buffer (bottom row first, optional
// row padding), written from a buffer to a file.
#pragma once

#include <cstddef>
#include <string>

#include "graphics/image_buffer.h"

class xmap_class;

// The file the read callback reads from during one TEX_load_png call; null otherwise.
extern xmap_class* png_mapped_file;

// Reads the image at the file's cursor as requested_format (GL_RGB, GL_RGBA or GL_ALPHA).
// pad_to pads rows to that many pixels (0 none); power_of_two pads rows and the row count to
// powers of two; alpha_from_file lets the file choose between GL_RGB and GL_RGBA. With data
// null the buffer is allocated (the caller frees it); either way it holds at most capacity
// bytes. 1 when read; 0, silently, for a file under 8 bytes. A broken file, or one that does
// not fit, is fatal: the library's message, then "PING-FILE ERROR!".
int TEX_load_png(const std::string& name, xmap_class* file, unsigned char*& data, unsigned long requested_format,
                 int pad_to, int power_of_two, int alpha_from_file, TEX_image_desc& desc, size_t capacity);
// True when the 8 bytes at p are the PNG signature.
bool TEX_has_png_signature(const unsigned char* p);
// Writes app_path + name, the buffer's first row last. 0 when it could not be written whole
// (a partial file is removed).
int TEX_save_png(const std::string& name, const TEX_image_desc& desc, const unsigned char* data);
// Saves the top-left width x height pixels of scratch_array (3 or 4 bytes each, no padding).
int write_png_to_disk(std::string name, int width, int height, int bytes_per_pixel);
