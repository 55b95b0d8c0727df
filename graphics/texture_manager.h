// Graphics layer (graphics/).
// The texture manager: owns every OpenGL texture, known to callers by a small integer ref.
// Refs: 0 none; 1..1134 manual (the caller picks the number); 1135 and up handed out by name
// and counted. The GL texture name of a loaded ref is the ref itself.
#pragma once

#include <pthread.h>

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

class xmap_class;

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
    tex_deferred = 101,  // scenery texture not loaded yet: binds the placeholder
    tex_unloaded = 102,
};

// Texture flags of a load (values 0..16383).
enum : int {
    tex_colour_mask = 0x0007,  // colour code: 1 RGB, 2 RGBA, 3 alpha, 4/5 RGB/RGBA as the file says, 6 depth
    tex_mipmap = 0x0008,
    tex_clamp_st = 0x0010,
    tex_clamp_s = 0x0020,
    tex_double_res = 0x0040,
    tex_half_res = 0x0080,
    tex_full_res = 0x0100,
    tex_in_scratch = 0x0200,  // the pixels are in scratch_array, also for a file
    tex_builtin = 0x0400,     // no effect here
    tex_half_float = 0x0800,
    tex_sized_8bit = 0x1000,
    tex_any_size = 0x2000,  // no power-of-two rounding or check
};

inline constexpr int tex_first_dynamic_ref = 1135;
inline constexpr int tex_placeholder_ref = 930;  // grey "t_blank_gray", never deleted
inline constexpr int tex_max_side = 2048;

// The work record of one load.
struct tex_load_vars {
    tex_fail_mode fail_mode = tex_fail_quiet;
    int ref = 0;
    int flags = 0;
    int gl_format = 0;
    int has_mips = 0;
    char bpp = 0;
    int alpha_from_file = 0;
    int img_dx = 0, img_dy = 0;
    int tex_dx = 0, tex_dy = 0;
    std::string name;
    unsigned char* data = nullptr;
    int64_t data_bytes = 0;  // bytes at data that the file stage filled; the upload reads no more
};

// Bytes the upload reads at vars.data: the first level at the texture's size and, for data with
// a chain of its own, every smaller level down to 1 x 1 (software mipmaps are made in place).
int64_t tex_upload_bytes(const tex_load_vars& vars);

// Registered by whoever drives an asynchronous scenery load; finish() must bring the
// registered load to its end (work and finalize) so that the scratch buffer is free.
class tman_force_finish_obj {
public:
    virtual void finish() = 0;
    virtual ~tman_force_finish_obj() = default;
};

class tman_class {
public:
    struct ref_dat_struct {
        std::string name = "un-inited";
        int32_t tex = 0;  // GL texture name: the ref once uploaded, 930 after a failed load, 0 free
        float img_dx = 0, img_dy = 0;
        float tex_dx = 0, tex_dy = 0;
        int32_t vram_bytes = 0;
        int32_t gl_format = 0;  // 0 marks the record free
        tex_load_time load_time = tex_unloaded;
        int32_t flags = 0;
        tex_fail_mode fail_mode = tex_fail_fatal;
        int32_t ref_count = -1;  // holders of a dynamic ref; -1 for manual refs and free records
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

    // Loads name as the texture of manual_ref (1..1135), or of a ref found or handed out by
    // name when manual_ref is 0. A name beginning with "scratch_array" takes the pixels from
    // scratch_array. The ref, or 0 for an empty name or a failed manual load.
    int load_texture(tex_fail_mode fail_mode, int manual_ref, int flags, tex_load_time load_time,
                     const std::string& name);
    // One load of one ref with the lock held: file stage, then upload.
    int load_texture_int(tex_fail_mode fail_mode, int ref, int flags, const std::string& name);
    // The file stage, without GL: 0 nothing loaded, 1 pixels in scratch_array, 2 decoded from a
    // file into scratch_array_temp.
    int load_texture_io(tex_load_vars* vars);
    // The upload stage (main thread): the ref, or 0 after a failed load.
    int load_texture_ogl(tex_load_vars* vars, int io_result);
    // Loads the ref again from its stored name when it is not loaded.
    void force_load_tex(int ref);
    // The scale the texture-resolution setting alone gives.
    double scale_rat();

    // Binds the ref's texture (the placeholder for a deferred one) through the binding cache.
    void bind_ref(int ref, int unit, int mode);
    void reset_bind();
    void set_blend_level(int unit, float level);
    // Gives back one hold on a dynamic ref; purge_unused_texes frees the unheld ones.
    void release_texture(int ref);
    void purge_unused_texes();
    // Frees a manual ref.
    void unload_texture(int ref);
    void unload_texture_internal(int ref);

    // Deferred scenery textures: register the next one, its file stage (any one thread), its
    // upload (main thread); or all at once with a progress line.
    int load_scenery_async_register(tman_force_finish_obj* obj);
    int load_scenery_async_work();
    void load_scenery_async_finalize();
    int num_remaining_async_texes();
    void load_all_scenery_texes();

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
    pthread_mutex_t lock;  // recursive: guards the table, the counters and tex_hash
    // Image name -> ref of every record loaded by name. A member, so it exists before any
    // static initialiser can load a texture.
    std::unordered_map<std::string, int> tex_hash;

private:
    tex_load_vars async_vars;
};

extern tman_class tman;

// The resolution scale of an image of dx x dy pixels, with the scaled image size and the
// texture size it gets. source 1: pixels in scratch_array (never reduced); 2: a file.
double TEX_get_scale(std::string name, int ref, int flags, int dx, int dy, int* img_dx, int* img_dy, int* tex_dx,
                     int* tex_dy, int source);
// Finds name's .dds (unless --no_dds), .png or .bmp file, decodes it into scratch_array_temp
// (scratch_array with flag 0x200) and scales it; rows come out tex_dx pixels apart, and a DDS
// chain's levels each at the texture's size of that level, the picture in the bottom left
// corner. 1 when read; filled, when given, gets the bytes written. A chain too large for the
// buffer is a fatal alert in fail mode tex_fail_fatal, else refused (0).
int load_any_into_scratch(std::string name, int ref, int flags, int& gl_format, int& has_mips, char& bpp,
                          int alpha_from_file, int* img_dx, int* img_dy, int* tex_dx, int* tex_dy,
                          int64_t* filled = nullptr, tex_fail_mode fail_mode = tex_fail_fatal);
// Its work once the file is mapped: the same for the picture file's mapping (name only names it
// in alerts). Reads no byte outside the mapping.
int load_mapped_into_scratch(const std::string& name, xmap_class& file, int ref, int flags, int& gl_format,
                             int& has_mips, char& bpp, int alpha_from_file, int* img_dx, int* img_dy,
                             int* tex_dx, int* tex_dy, int64_t* filled = nullptr,
                             tex_fail_mode fail_mode = tex_fail_fatal);
// Fatal unless 1 <= value <= 2048.
void check_dxy(int value, std::string name);
// The fatal alert for a texture file that is missing where it must exist.
void TEX_missing_file_alert(const std::string& name, const char* source_file, int source_line);

// The start-up splash line the manager shows while it loads (the shell's MACIBM_show_init);
// a null fraction advances the splash's own counter. Headless default: nothing. Returns the
// hook replaced; null restores the default.
using tman_progress_fn = void (*)(const std::string& message, float* fraction);
tman_progress_fn set_tman_progress_hook(tman_progress_fn fn);
