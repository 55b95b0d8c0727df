// The four images stored in the program, made at build time by tools/make_artwork.cpp and
// linked in as raw pixels. Rows are stored bottom first: row 0 is drawn lowest on screen.
#pragma once

#include <cstddef>

extern "C" {
extern const unsigned char g_tex_background[];  // ref 395, RGB
extern const unsigned char g_tex_elements[];    // ref 393, RGBA
extern const unsigned char g_tex_map[];         // ref 394, RGBA
extern const unsigned char g_tex_interface[];   // ref 392, RGBA: widget art and fonts 100/102
}

struct builtin_image {
    const unsigned char* pixels;
    int width;
    int height;
    int bpp;      // bytes per pixel
    int ref;      // texture ref it is loaded into
    int flags;    // texture flags of that load
};

// In the order start-up loads them.
inline constexpr builtin_image builtin_images[] = {
    {g_tex_background, 800, 600, 3, 395, 0x501},
    {g_tex_elements, 1024, 70, 4, 393, 0x502},
    {g_tex_map, 504, 504, 4, 394, 0x502},
    {g_tex_interface, 512, 512, 4, 392, 0x502},
};

constexpr size_t builtin_image_bytes(const builtin_image& im) {
    return static_cast<size_t>(im.width) * im.height * im.bpp;
}

// Start-up's loading of the four: each into scratch_array, rows padded to a power of two with the
// padding zeroed, as texture ref `ref`; then the interface colours read from the atlas's swatches
// (palette slots 34-47, and 39 between 38 and 35). Main (GL) thread, after the capability probe.
void OGL_load_builtin_images();
