// Graphics layer (graphics/).
// DirectDraw Surface files (DXT1, DXT3, DXT5, or uncompressed BGR and BGRA) and conversion
// between RGBA pixels and S3TC blocks.
#pragma once

#include <string>

#include "graphics/image_buffer.h"

class xmap_class;

enum TEX_s3tc_quality { s3tc_range_fit = 0, s3tc_cluster_fit = 1, s3tc_iterative_cluster_fit = 2 };

// Reads the header: 1 with data pointing at the pixels inside the mapping (valid while file
// is mapped), or 0 for anything that is not a complete DDS image this program can use: the
// file must hold every byte its header announces. Never alerts.
int TEX_load_dds(const std::string& name, xmap_class* file, const unsigned char*& data, TEX_image_desc& desc);
// Writes app_path + name: DXT1 for GL_RGB, DXT5 for GL_RGBA, with the whole mip chain, top row
// first. 0 when the file cannot be written completely (a partial file is removed).
int TEX_save_dds(const std::string& name, const unsigned char* data, const TEX_image_desc& desc);

// RGBA pixels (4 bytes, no padding) of in_desc's size into blocks of out_desc's format.
void TEX_encode_s3tc(const TEX_image_desc& in_desc, const TEX_image_desc& out_desc, const unsigned char* src,
                     unsigned char* dst, TEX_s3tc_quality quality);
// Blocks of in_desc's format and size into RGBA pixels; out_desc is not used.
void TEX_decode_s3tc(const TEX_image_desc& in_desc, const TEX_image_desc& out_desc, const unsigned char* src,
                     unsigned char* dst);
