// The frame loop against a bare SDL2 loop: the same scene (500 textured quads over the window)
// drawn by the same GL calls, paced the same way (one sixtieth of a second of event wait per
// frame). Prints frames per second and processor seconds per frame of both and their ratio,
// and the share of one core that the shell's loop takes while nothing happens.
// Runs on $DISPLAY, or on an X server of its own (Xvfb) when there is none.
#include <GL/gl.h>
#include <SDL.h>
#include <time.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "core/globals.h"
#include "core/window_state.h"
#include "e2e_session.h"
#include "graphics/screen_2d.h"
#include "platform/plat_window.h"
#include "shell/frame.h"
#include "shell/window.h"

namespace {

constexpr int kQuads = 500;
constexpr int kFrames = 300;

double now_s(clockid_t clock) {
    timespec ts;
    clock_gettime(clock, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

struct measure {
    double wall = 0, cpu = 0;
    int frames = 0;
    double fps() const { return frames / wall; }
    double cpu_per_frame() const { return cpu / frames; }
};

template <class F>
measure run_frames(int frames, F&& frame) {
    measure m;
    double w0 = now_s(CLOCK_MONOTONIC), c0 = now_s(CLOCK_PROCESS_CPUTIME_ID);
    for (int i = 0; i < frames; ++i) frame();
    m.wall = now_s(CLOCK_MONOTONIC) - w0;
    m.cpu = now_s(CLOCK_PROCESS_CPUTIME_ID) - c0;
    m.frames = frames;
    return m;
}

GLuint texture = 0;

void make_texture() {
    std::vector<unsigned char> px(64 * 64 * 4);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x) {
            unsigned char* p = &px[static_cast<size_t>((y * 64 + x) * 4)];
            p[0] = static_cast<unsigned char>(x * 4);
            p[1] = static_cast<unsigned char>(y * 4);
            p[2] = ((x ^ y) & 8) ? 255 : 0;
            p[3] = 255;
        }
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 64, 64, 0, GL_RGBA, GL_UNSIGNED_BYTE, px.data());
}

// The scene: the same GL calls in both loops.
void draw_quads() {
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0, 800, 0, 600, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glClearColor(0.2f, 0.2f, 0.2f, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, texture);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glColor4f(1, 1, 1, 0.5f);
    glBegin(GL_QUADS);
    for (int i = 0; i < kQuads; ++i) {
        float x = static_cast<float>((i * 7919) % 700), y = static_cast<float>((i * 104729) % 500);
        // Clockwise, the front faces of the program's GL defaults.
        glTexCoord2f(0, 0), glVertex2f(x, y);
        glTexCoord2f(0, 1), glVertex2f(x, y + 100);
        glTexCoord2f(1, 1), glVertex2f(x + 100, y + 100);
        glTexCoord2f(1, 0), glVertex2f(x + 100, y);
    }
    glEnd();
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_BLEND);
}

measure bare_loop() {
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 24);
    SDL_Window* w = SDL_CreateWindow("bare", 0, 40, 800, 600, SDL_WINDOW_OPENGL | SDL_WINDOW_SHOWN);
    SDL_GLContext c = w ? SDL_GL_CreateContext(w) : nullptr;
    if (!c) {
        std::fprintf(stderr, "no GL window: %s\n", SDL_GetError());
        std::exit(1);
    }
    SDL_GL_SetSwapInterval(0);
    make_texture();
    measure m = run_frames(kFrames, [&] {
        SDL_Event e;
        while (SDL_WaitEventTimeout(&e, 1000 / 60)) {
        }
        draw_quads();
        SDL_GL_SwapWindow(w);
    });
    glDeleteTextures(1, &texture);
    SDL_GL_DeleteContext(c);
    SDL_DestroyWindow(w);
    return m;
}

bool draw_scene = true;
void bench_frame() {
    if (draw_scene) draw_quads();
}

}  // namespace

int main() {
    e2e_session session("frame_bench");
    if (!std::getenv("DISPLAY")) {
        std::string why;
        if (!session.start_display(&why)) {
            std::fprintf(stderr, "%s\n", why.c_str());
            return 1;
        }
        setenv("DISPLAY", session.display().c_str(), 1);
    }
    if (!plat::video_init()) return 1;

    measure bare = bare_loop();

    mnw.x_res_req = 800;
    mnw.y_res_req = 600;
    mnw.col_res_req = 32;
    MACIBM_setres(1);
    if (!MACIBM_make_context(0)) {
        std::fprintf(stderr, "no window for the shell\n");
        return 1;
    }
    OGL_pix_specs(0);
    mnw.curwin = -1;
    make_texture();
    set_app_hooks({bench_frame, nullptr, nullptr});
    measure shell = run_frames(kFrames, MACIBM_event_proc);
    draw_scene = false;
    measure idle = run_frames(kFrames, MACIBM_event_proc);

    std::printf("frame loop, %d textured quads, %d frames, 800 x 600\n", kQuads, kFrames);
    std::printf("  bare SDL2 loop: %6.1f frames/s  %7.4f CPU s/frame\n", bare.fps(), bare.cpu_per_frame());
    std::printf("  shell loop:     %6.1f frames/s  %7.4f CPU s/frame\n", shell.fps(), shell.cpu_per_frame());
    std::printf("  ratio (shell / bare): %.2f frames/s, %.2f CPU per frame (bare / shell)\n",
                shell.fps() / bare.fps(), bare.cpu_per_frame() / shell.cpu_per_frame());
    std::printf("  idle shell loop: %.1f frames/s, %.0f%% of one core\n", idle.fps(),
                100 * idle.cpu / idle.wall);
    return 0;
}
