// Graphics layer (graphics/).
// Loading an image file by name: the reader is chosen by the file's first bytes.
#pragma once

#include <cstddef>
#include <string>

#include "graphics/image_buffer.h"

// Maps app_path + name and reads a bitmap ("BM") or a PNG (its signature) with the arguments
// of TEX_load_png, without power-of-two padding; alpha_from_file reaches only the PNG reader.
// 1 when read; 0 for a missing file, one under 8 bytes or one of neither kind.
int TEX_load_any(const std::string& name, unsigned char*& data, unsigned long requested_format, int pad_to,
                 int alpha_from_file, TEX_image_desc& desc, size_t capacity);
// The ".png" file of the name (see TEX_with_ext4), then its ".bmp" file.
int TEX_load_any_ext(const std::string& name, unsigned char*& data, unsigned long requested_format, int pad_to,
                     int alpha_from_file, TEX_image_desc& desc, size_t capacity);

// True when name is longer than 4 characters and its fourth-last character is '.'.
bool TEX_has_ext4(const std::string& name);
// name with a four-character extension replaced by ext, or with ext appended when it has none.
std::string TEX_with_ext4(const std::string& name, const char* ext);
