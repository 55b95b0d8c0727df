// The render record: GL limits and identification found by the capability probe, and the
// two drawing switches every primitive reads.
#pragma once

#include <type_traits>

struct ren_struct {
    float max_aniso;
    int max_tex_units;  // at least 1 once probed
    int max_tex_image_units;
    int max_tex_coords;
    const char* gl_vendor;  // owned by GL, never freed or copied
    const char* gl_renderer;
    const char* gl_version;
    const char* gl_extensions;
    int monochrome;     // draw the interface in green only
    float global_fade;  // multiplies every drawn alpha
};
static_assert(std::is_trivial_v<ren_struct>);

constexpr ren_struct ren_defaults() {
    ren_struct r{};
    r.global_fade = 1.0f;
    return r;
}

extern ren_struct ren;
