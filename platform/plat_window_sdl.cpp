// The SDL2 backend of the window layer: X11 (or whatever SDL finds) with GLX contexts.
#include <SDL.h>

#include <cerrno>
#include <cstdio>
#include <deque>
#include <memory>

#include "platform/plat_keys.h"
#include "platform/plat_sdl_backend.h"
#include "platform/plat_window.h"

namespace plat {
namespace {

// What a window was made with; its pixel format.
struct sdl_window {
    SDL_Window* w = nullptr;
    int samples = 0;
    int depth = 0;
    int alpha = 0;
};

sdl_window* rec(window_ref win) { return reinterpret_cast<sdl_window*>(win); }

// SDL reads the GL attributes when a window or a context is made; both must see the same.
void set_gl_attributes(int samples, int depth, int alpha) {
    SDL_GL_ResetAttributes();
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
    SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_ALPHA_SIZE, alpha);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, depth);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_GL_SetAttribute(SDL_GL_MULTISAMPLEBUFFERS, samples > 0 ? 1 : 0);
    SDL_GL_SetAttribute(SDL_GL_MULTISAMPLESAMPLES, samples);
}

// SDL's video on a real display. Left to itself SDL would fall back to its offscreen driver
// and run invisibly when there is none; SDL_VIDEODRIVER still chooses when it is set.
bool init_display_driver() {
    const char* forced = SDL_getenv("SDL_VIDEODRIVER");
    if (forced && *forced) return SDL_Init(SDL_INIT_VIDEO) == 0;
    const struct {
        const char* env;
        const char* driver;
    } kDisplays[] = {{"DISPLAY", "x11"}, {"WAYLAND_DISPLAY", "wayland"}};
    for (const auto& d : kDisplays) {
        const char* v = SDL_getenv(d.env);
        if (!v || !*v) continue;
        SDL_SetHint(SDL_HINT_VIDEODRIVER, d.driver);
        if (SDL_Init(SDL_INIT_VIDEO) == 0) return true;
    }
    SDL_SetError("no display (DISPLAY and WAYLAND_DISPLAY are not set)");
    return false;
}

class sdl_backend final : public window_backend {
public:
    bool video_init() override {
        if (tried_) return ok_;
        tried_ = true;
        // Without this SDL turns SIGINT and SIGTERM into a quit event, and they stop ending
        // the program.
        SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
        // SDL would grab the display's pointer on a press and let it go only when it handles the
        // release: work done on a press (a deletion, a dialog) would keep every other program
        // from the mouse until it ends. The server's own grab of a press still brings us the
        // release, and no widget needs the pointer past the window's edge.
        SDL_SetHint(SDL_HINT_MOUSE_AUTO_CAPTURE, "0");
        ok_ = init_display_driver();
        if (!ok_) {
            std::fprintf(stderr, "SDL video: %s\n", SDL_GetError());
            return false;
        }
        tr_.modifiers = static_cast<uint32_t>(mac_modifiers_from_sdl(SDL_GetModState()));
        script_.reset(input_script::from_environment());
        return true;
    }

    bool main_display(int* w, int* h, int* depth) override {
        SDL_DisplayMode m;
        if (!video_init() || SDL_GetDesktopDisplayMode(0, &m) != 0) return false;
        *w = m.w;
        *h = m.h;
        // A 24-bit X screen keeps its pixels in 4 bytes; it counts as 32 bits, so that nobody
        // asks for a depth switch that X cannot make.
        int bytes = SDL_BYTESPERPIXEL(m.format);
        *depth = bytes == 4 ? 32 : SDL_BITSPERPIXEL(m.format);
        return true;
    }

    int set_display_depth(int bits) override {
        std::fprintf(stderr, "The display's colour depth cannot be switched to %d bits here.\n", bits);
        return ENOTSUP;
    }

    window_ref create_gl_window(int w, int h, bool framed, int x, int y, int samples) override {
        if (!video_init()) return nullptr;
        Uint32 flags = SDL_WINDOW_OPENGL | SDL_WINDOW_SHOWN | (framed ? 0 : SDL_WINDOW_BORDERLESS);
        // The deepest depth buffer the driver has, with destination alpha where it can.
        for (int depth : {32, 24, 16}) {
            for (int alpha : {8, 0}) {
                set_gl_attributes(samples, depth, alpha);
                SDL_Window* win = SDL_CreateWindow(window_title, x, y, w, h, flags);
                if (!win) continue;
                sdl_window* r = new sdl_window{win, samples, depth, alpha};
                return reinterpret_cast<window_ref>(r);
            }
        }
        return nullptr;
    }

    pixel_format_ref format_of(window_ref win) override { return reinterpret_cast<pixel_format_ref>(win); }

    bool describe(window_ref, format_attr attr, int* value) override {
        SDL_GLattr a;
        switch (attr) {
            case fa_rgba:
                *value = 1;
                return true;
            // llvmpipe is software; refusing it would refuse every machine without a GPU.
            case fa_accelerated:
                *value = 1;
                return true;
            case fa_doublebuffer:
                a = SDL_GL_DOUBLEBUFFER;
                break;
            case fa_red_size:
                a = SDL_GL_RED_SIZE;
                break;
            case fa_green_size:
                a = SDL_GL_GREEN_SIZE;
                break;
            case fa_blue_size:
                a = SDL_GL_BLUE_SIZE;
                break;
            case fa_alpha_size:
                a = SDL_GL_ALPHA_SIZE;
                break;
            case fa_depth_size:
                a = SDL_GL_DEPTH_SIZE;
                break;
            default:
                return false;
        }
        return SDL_GL_GetAttribute(a, value) == 0;
    }

    gl_context_ref create_context(window_ref win, gl_context_ref share) override {
        sdl_window* r = rec(win);
        if (!r) return nullptr;
        SDL_Window* cur_w = SDL_GL_GetCurrentWindow();
        SDL_GLContext cur_c = SDL_GL_GetCurrentContext();
        set_gl_attributes(r->samples, r->depth, r->alpha);
        // SDL shares with the current context only.
        if (share) {
            if (SDL_GL_MakeCurrent(r->w, reinterpret_cast<SDL_GLContext>(share)) != 0) return nullptr;
            SDL_GL_SetAttribute(SDL_GL_SHARE_WITH_CURRENT_CONTEXT, 1);
        }
        SDL_GLContext c = SDL_GL_CreateContext(r->w);
        SDL_GL_SetAttribute(SDL_GL_SHARE_WITH_CURRENT_CONTEXT, 0);
        // Creating makes the new context current; the caller's stays current instead.
        SDL_GL_MakeCurrent(cur_w, cur_c);
        if (c) SDL_GL_SetSwapInterval(0);
        return reinterpret_cast<gl_context_ref>(c);
    }

    bool make_current(window_ref win, gl_context_ref ctx) override {
        sdl_window* r = rec(win);
        if (!r) return false;
        if (SDL_GL_MakeCurrent(r->w, reinterpret_cast<SDL_GLContext>(ctx)) != 0) return false;
        // The frame loop paces itself by its event wait; a vertical-blank wait would add to it.
        SDL_GL_SetSwapInterval(0);
        return true;
    }

    void swap(window_ref win) override {
        sdl_window* r = rec(win);
        if (!r) return;
        if (script_) script_->before_swap(r->w);
        SDL_GL_SwapWindow(r->w);
        if (settle_) settle(r->w);
        // The script's input of this step is made with the picture on screen.
        if (script_) script_->after_swap(r->w);
    }

    void settle_at_next_swap() override { settle_ = true; }
    uint32_t shown_time() override { return shown_; }

    void destroy_window(window_ref win) override {
        sdl_window* r = rec(win);
        if (!r) return;
        SDL_DestroyWindow(r->w);
        delete r;
    }

    long long video_memory() override {
        using query_fn = int (*)(int attribute, unsigned int* value);
        auto query = reinterpret_cast<query_fn>(SDL_GL_GetProcAddress("glXQueryCurrentRendererIntegerMESA"));
        unsigned int mb = 0;
        const int video_memory_mesa = 0x8187;
        if (query && query(video_memory_mesa, &mb) && mb > 0) return static_cast<long long>(mb) * 1048576LL;
        return -1;
    }

    bool wait_next_event(int wait_ms, event* ev) override {
        if (pending_.empty() && video_init()) {
            Uint64 deadline = SDL_GetTicks64() + static_cast<Uint64>(wait_ms > 0 ? wait_ms : 0);
            SDL_Event e;
            while (pending_.empty()) {
                Uint64 now = SDL_GetTicks64();
                int wait_ms = now < deadline ? static_cast<int>(deadline - now) : 0;
                if (!SDL_WaitEventTimeout(&e, wait_ms)) break;
                if (progress_event(e)) continue;
                SDL_Event next;
                bool have_next = e.type == SDL_KEYDOWN &&
                                 SDL_PeepEvents(&next, 1, SDL_PEEKEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT) == 1;
                if (tr_.translate(e, have_next ? &next : nullptr, pending_))
                    SDL_PeepEvents(&next, 1, SDL_GETEVENT, SDL_TEXTINPUT, SDL_TEXTINPUT);
            }
        }
        if (pending_.empty()) return false;
        *ev = pending_.front();
        pending_.pop_front();
        return true;
    }

    void flush_events() override {
        pending_.clear();
        if (!SDL_WasInit(SDL_INIT_VIDEO)) return;
        SDL_PumpEvents();
        SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    }

    void mouse(window_ref, int* h, int* v) override {
        *h = tr_.mouse_x;
        *v = tr_.mouse_y;
    }

    uint32_t key_modifiers() override { return tr_.modifiers; }

    int layout_char(int mac_code) override {
        int scan = scancode_from_mac_code(mac_code);
        if (scan == SDL_SCANCODE_UNKNOWN) return -1;
        return layout_char_from_keysym(SDL_GetKeyFromScancode(static_cast<SDL_Scancode>(scan)));
    }

    void set_cursor_visible(bool visible) override {
        if (SDL_WasInit(SDL_INIT_VIDEO)) SDL_ShowCursor(visible ? SDL_ENABLE : SDL_DISABLE);
    }

    void arrow_cursor() override {
        if (SDL_WasInit(SDL_INIT_VIDEO)) SDL_SetCursor(SDL_GetDefaultCursor());
    }

    bool show_progress(const uint8_t* rgba, int w, int h) override {
        // SDL would otherwise try out a GL context of its own for the window's pixels, which
        // leaves the program's context no longer current.
        SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
        SDL_Window* gl_window = SDL_GL_GetCurrentWindow();
        SDL_GLContext gl_context = SDL_GL_GetCurrentContext();
        if (!progress_ && video_init()) {
            progress_ = SDL_CreateWindow(window_title, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, w, h,
                                         SDL_WINDOW_SHOWN);
            if (!progress_) std::fprintf(stderr, "The progress window could not be made: %s\n", SDL_GetError());
        }
        SDL_Surface* to = progress_ ? SDL_GetWindowSurface(progress_) : nullptr;
        SDL_Surface* from = to ? SDL_CreateRGBSurfaceWithFormatFrom(const_cast<uint8_t*>(rgba), w, h, 32, w * 4,
                                                                    SDL_PIXELFORMAT_RGBA32)
                               : nullptr;
        if (!from) return false;
        const bool ok = SDL_BlitSurface(from, nullptr, to, nullptr) == 0 && SDL_UpdateWindowSurface(progress_) == 0;
        SDL_FreeSurface(from);
        if (gl_context && SDL_GL_GetCurrentContext() != gl_context) SDL_GL_MakeCurrent(gl_window, gl_context);
        return ok;
    }

private:
    // Once the picture is up: SDL stamps what the window system holds now, and the clock moves on
    // before anything else is taken in or pushed, so that everything later has a later time.
    void settle(SDL_Window* w) {
        settle_ = false;
        x11_round_trip(w);
        SDL_PumpEvents();
        const Uint32 now = SDL_GetTicks();
        while (SDL_GetTicks() == now) SDL_Delay(1);
        shown_ = now + 1;
    }

    // The window an event belongs to; 0 for events of no window.
    static Uint32 window_of(const SDL_Event& e) {
        switch (e.type) {
            case SDL_WINDOWEVENT: return e.window.windowID;
            case SDL_KEYDOWN:
            case SDL_KEYUP: return e.key.windowID;
            case SDL_TEXTINPUT: return e.text.windowID;
            case SDL_MOUSEMOTION: return e.motion.windowID;
            case SDL_MOUSEBUTTONDOWN:
            case SDL_MOUSEBUTTONUP: return e.button.windowID;
            case SDL_MOUSEWHEEL: return e.wheel.windowID;
            default: return 0;
        }
    }

    // True when the event is the progress window's own business. With that window open, SDL
    // sends no quit when the main window is closed: its close request becomes the quit.
    bool progress_event(const SDL_Event& e) {
        if (!progress_) return false;
        const Uint32 id = window_of(e);
        if (id == SDL_GetWindowID(progress_)) {
            if (e.type == SDL_WINDOWEVENT && e.window.event == SDL_WINDOWEVENT_EXPOSED)
                SDL_UpdateWindowSurface(progress_);
            return true;
        }
        if (e.type == SDL_WINDOWEVENT && e.window.event == SDL_WINDOWEVENT_CLOSE) {
            event r;
            r.what = ev_quit;
            pending_.push_back(r);
            return true;
        }
        return false;
    }

    SDL_Window* progress_ = nullptr;
    bool settle_ = false;
    uint32_t shown_ = 0;
    bool tried_ = false;
    bool ok_ = false;
    sdl_event_translator tr_;
    std::deque<event> pending_;
    std::unique_ptr<input_script> script_;
};

sdl_backend& sdl() {
    // Never destroyed: the window may be in use while other globals go away at exit.
    static sdl_backend* b = new sdl_backend;
    return *b;
}

window_backend* installed = nullptr;
}  // namespace

window_backend& backend() { return installed ? *installed : sdl(); }

window_backend* set_window_backend(window_backend* b) {
    window_backend* old = &backend();
    installed = b;
    return old;
}

}  // namespace plat
