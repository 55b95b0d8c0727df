// The texture manager: owns every OpenGL texture, known to callers by a small integer ref.
#pragma once

#include <pthread.h>

#include <cstdint>
#include <string>
#include <vector>

// What a failed load of a ref does.
enum tex_fail_mode : int {
    tex_fail_quiet = 0,
    tex_fail_scene = 1,  // flag scene_load_fail, log a warning
    tex_fail_plane = 2,
    tex_fail_instl = 3,
    tex_fail_fatal = 4,  // fatal alert naming the file
};

enum tex_load_time : int {
    tex_loaded = 100,
    tex_deferred = 101,  // scenery texture not loaded yet
    tex_unloaded = 102,
};

struct tex_load_vars;
struct tman_force_finish_obj;

class tman_class {
public:
    struct ref_dat_struct {
        std::string name = "un-inited";
        int32_t tex = 0;  // GL texture name; 0 free
        float img_dx = 0, img_dy = 0;
        float tex_dx = 0, tex_dy = 0;
        int32_t vram_bytes = 0;
        int32_t gl_format = 0;  // 0 marks the record free
        tex_load_time load_time = tex_unloaded;
        int32_t flags = 0;
        tex_fail_mode fail_mode = tex_fail_fatal;
        int32_t ref_count = -1;  // -1 for manual refs and free records
    };

    tman_class();
    ~tman_class();
    tman_class(const tman_class&) = delete;
    tman_class& operator=(const tman_class&) = delete;

    int total_texes();
    int loaded_texes();
    // Bytes of video memory: the screen's colour buffer plus every texture's estimate.
    int64_t tot_vram();

    // Load-failure flags: 0 none, 1 a load failed, 2 failed and already reported.
    int has_scene_load_fail() { return scene_load_fail == 1; }
    int has_plane_load_fail() { return plane_load_fail == 1; }
    int has_instl_load_fail() { return instl_load_fail == 1; }
    void reset_scene_load_fail() { scene_load_fail = 0; }
    void reset_plane_load_fail() { plane_load_fail = 0; }
    void reset_instl_load_fail() { instl_load_fail = 0; }
    void mute_scene_load_fail() { scene_load_fail = 2; }
    void mute_plane_load_fail() { plane_load_fail = 2; }
    void mute_instl_load_fail() { instl_load_fail = 2; }

    uint32_t async_cursor = 0;
    int32_t loaded_count = 0;
    int32_t total_count = 0;
    std::vector<ref_dat_struct> ref_dat;  // indexed by ref; grows, never shrinks
    int32_t scene_load_fail = 0;
    int32_t plane_load_fail = 0;
    int32_t instl_load_fail = 0;
    tex_load_vars* async_vars_ptr = nullptr;
    int32_t async_io_result = 0;
    tman_force_finish_obj* force_finish_obj = nullptr;
    pthread_mutex_t lock;  // recursive: guards the table and the counters
};

extern tman_class tman;
