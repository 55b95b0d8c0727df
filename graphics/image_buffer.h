// Graphics layer (graphics/).
// Images in memory: the one description every reader, writer and pixel operation shares, the
// byte counts of a level or a whole mip chain, and the pixel operations on the processor.
// Buffers hold the bottom row first (OpenGL's order); the description never owns pixels.
#pragma once

#include <GL/gl.h>
#include <GL/glext.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

struct TEX_image_desc {
    uint32_t format;  // an OpenGL pixel or S3TC format
    int32_t width;
    int32_t height;
    int32_t pad;          // bytes after each row; 0 for compressed formats
    int32_t has_mipmaps;  // 1: every smaller level down to 1 x 1 follows the first
};

// Bytes of the image, all levels when has_mipmaps is 1; 0 for an unknown format.
int64_t TEX_bytes_needed_for_image(const TEX_image_desc& desc);
// True for the four DXT formats.
bool TEX_is_s3tc(uint32_t format);

// Box filter in place by integer factors (at least 1); the new rows keep the old pad.
void TEX_downscale(TEX_image_desc& desc, unsigned char* data, int factor_x, int factor_y);
// Clears the alpha of RGBA pixels whose RGB lies closer than tolerance to key_rgb.
void TEX_chroma_key(const TEX_image_desc& desc, unsigned char* data, unsigned char* key_rgb, int tolerance);
// Draws src stretched over (x1, y1)-(x2, y2) of dst with bilinear sampling and coverage.
void TEX_composite(const TEX_image_desc& src_desc, const TEX_image_desc& dst_desc, unsigned char* src,
                   unsigned char* dst, float x1, float y1, float x2, float y2);

// The row layout the PNG and BMP readers share: pad from pad_to (pixels, 0 none) or, with
// power_of_two, from the next power of two of the width, which also rounds the row count up.
// Allocates data when null (the caller frees it) and, with power_of_two and any padding,
// zeroes the buffer. False when the image does not fit: pad_to below the width, more bytes
// than capacity, or no memory; data is then untouched.
bool TEX_prepare_rows(TEX_image_desc& desc, int bytes_per_pixel, int pad_to, int power_of_two,
                      unsigned char*& data, size_t capacity);

// Bytes per pixel of the readers' and writer's formats: GL_RGB 3, GL_RGBA 4, GL_ALPHA 1; else 0.
int TEX_reader_bpp(uint32_t format);

// Closes a file the image writers wrote to path. When ok is false or the close fails, what was
// written is removed (a regular file only, never a device). True when all went well.
bool TEX_close_written(std::FILE* f, const std::string& path, bool ok);

// The smallest power of two not below n (1 for n up to 1).
int TEX_next_pow2(int n);
