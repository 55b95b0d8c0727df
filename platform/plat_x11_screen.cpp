// What the SDL backend asks of Xlib itself, apart from the rest, as Xlib's names are macros: the
// round trip that brings in every input event made before a request, and the X screen read back
// for the input script's shot_screen (what a person sees, every window on it included).
#include <SDL.h>
#include <SDL_syswm.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include "platform/plat_sdl_backend.h"

namespace plat {
namespace {
// The 8 bits of a pixel value under mask.
uint8_t channel(unsigned long pixel, unsigned long mask) {
    if (!mask) return 0;
    int shift = 0;
    while (!(mask & 1)) {
        mask >>= 1;
        ++shift;
    }
    const unsigned long v = (pixel >> shift) & mask;
    return static_cast<uint8_t>(v * 255 / mask);
}
}  // namespace

void x11_round_trip(SDL_Window* w) {
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (SDL_GetWindowWMInfo(w, &info) && info.subsystem == SDL_SYSWM_X11) XSync(info.info.x11.display, False);
}

bool read_x11_screen(SDL_Window* w, std::vector<uint8_t>* rgb, int* width, int* height, std::string* why) {
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!SDL_GetWindowWMInfo(w, &info) || info.subsystem != SDL_SYSWM_X11) return *why = "not on X", false;
    Display* d = info.info.x11.display;
    XSync(d, False);
    const Window root = DefaultRootWindow(d);
    XWindowAttributes a;
    if (!XGetWindowAttributes(d, root, &a)) return *why = "no root window", false;
    XImage* img = XGetImage(d, root, 0, 0, static_cast<unsigned>(a.width), static_cast<unsigned>(a.height),
                            AllPlanes, ZPixmap);
    if (!img) return *why = "XGetImage failed", false;
    *width = a.width;
    *height = a.height;
    rgb->resize(static_cast<size_t>(a.width) * static_cast<size_t>(a.height) * 3);
    uint8_t* out = rgb->data();
    for (int y = 0; y < a.height; ++y)
        for (int x = 0; x < a.width; ++x) {
            const unsigned long p = XGetPixel(img, x, y);
            *out++ = channel(p, img->red_mask);
            *out++ = channel(p, img->green_mask);
            *out++ = channel(p, img->blue_mask);
        }
    XDestroyImage(img);
    return true;
}

}  // namespace plat
