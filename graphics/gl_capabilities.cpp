// The OpenGL capability probe and its record (graphics layer).
#include "graphics/gl_capabilities.h"

#include <cstdlib>
#include <cstring>
#include <sstream>

#include "core/alert.h"
#include "core/command_line.h"
#include "core/globals.h"
#include "graphics/render_state.h"

OGL_extensions glExt;
CFBundleRef gBundleRefOpenGL = nullptr;

// --- the live environment

const char* gl_probe_env::get_string(GLenum name) { return reinterpret_cast<const char*>(glGetString(name)); }
void gl_probe_env::get_integers(GLenum name, GLint* out) { glGetIntegerv(name, out); }
void gl_probe_env::get_floats(GLenum name, GLfloat* out) { glGetFloatv(name, out); }
void* gl_probe_env::lookup(const char* name) { return aglGetProcAddress(name); }
int gl_probe_env::has_option(const char* name) { return cmdline.has_option(name); }
// Only the Mac renderer quirks ask; none of those renderers exist here.
bool gl_probe_env::os_version(long*) { return false; }
void gl_probe_env::log(const std::string& text) { xer << text; }

// --- entry points

int OGL_extensions::init_entry_points() {
    if (gBundleRefOpenGL) return 0;  // a second context shares the library
    return load_bundle_by_filename("OpenGL.framework", 1, &gBundleRefOpenGL);
}

void* aglGetProcAddress(const char* name) {
    // dlsym, not the GL's own query, which answers every name with a stub.
    if (!gBundleRefOpenGL || !name) return nullptr;
    return CFBundleGetFunctionPointerForName(gBundleRefOpenGL, name);
}

void OGL_extensions::threaded_ogl_failed() {
    if (!threaded_avail) return;
    threaded_avail = 0;
    __MACIBM_alert(0, "There was a problem setting up OpenGL.",
                   "You can still fly, but you may experience pauses during flight while scenery loads.", "",
                   "(Please send your log.txt file to Tessaly for debugging purposes.)", t_alert, __FILE__,
                   __LINE__);
}

// --- the probe

int OGL_version_number(const char* version) {
    if (!version) return 100;
    // "%d.%d", without the overflow of scanf on absurd numbers.
    char* end = nullptr;
    const long major = std::strtol(version, &end, 10);
    if (end != version && *end == '.') {
        const char* minor_text = end + 1;
        const long minor = std::strtol(minor_text, &end, 10);
        if (end != minor_text && major >= 0 && major < 1000 && minor >= 0 && minor < 1000)
            return static_cast<int>(major * 100 + minor * 10);
    }
    static const struct {
        const char* prefix;
        int number;
    } prefixes[] = {{"1.1", 110}, {"1.2", 120}, {"1.3", 130}, {"1.4", 140}, {"1.5", 150}, {"2.0", 200}, {"2.1", 210}};
    for (const auto& p : prefixes)
        if (std::strncmp(version, p.prefix, 3) == 0) return p.number;
    return 100;
}

namespace {

bool holds(const char* text, const char* part) { return text && part && std::strstr(text, part); }
bool is(const char* text, const char* whole) { return text && std::strcmp(text, whole) == 0; }

constexpr int never = 1 << 30;  // a version no GL reaches: the flag comes from extensions only

struct flag_rule {
    int OGL_extensions::*flag;
    int version;
    const char* ext1;
    const char* ext2;
    bool need_both;
};

// clang-format off
const flag_rule flag_rules[] = {
    {&OGL_extensions::multitex_avail, 130, "GL_ARB_multitexture", nullptr, false},
    {&OGL_extensions::tex_clamp_avail, 120, "GL_EXT_texture_edge_clamp", "GL_SGIS_texture_edge_clamp", false},
    {&OGL_extensions::add_env_avail, 130, "GL_ARB_texture_env_add", "GL_EXT_texture_env_add", false},
    {&OGL_extensions::combine_avail, 130, "GL_ARB_texture_env_combine", "GL_EXT_texture_env_combine", false},
    {&OGL_extensions::dis_fog_avail, never, "GL_NV_fog_distance", nullptr, false},
    {&OGL_extensions::tex_comp_avail, 130, "GL_ARB_texture_compression", nullptr, false},
    {&OGL_extensions::vbo_avail, 150, "GL_ARB_vertex_buffer_object", nullptr, false},
    {&OGL_extensions::pbo_avail, 210, "GL_ARB_pixel_buffer_object", nullptr, false},
    {&OGL_extensions::vprog_avail, never, "GL_ARB_vertex_program", nullptr, false},
    {&OGL_extensions::fprog_avail, never, "GL_ARB_fragment_program", nullptr, false},
    {&OGL_extensions::automini_avail, 140, "GL_SGIS_generate_mipmap", nullptr, false},
    {&OGL_extensions::aniso_avail, never, "GL_EXT_texture_filter_anisotropic", nullptr, false},
    {&OGL_extensions::fsaa_avail, 130, "GL_ARB_multisample", nullptr, false},
    {&OGL_extensions::sprites_avail, 200, "GL_ARB_point_sprite", nullptr, false},
    {&OGL_extensions::depth_tex_avail, 140, "GL_ARB_depth_texture", nullptr, false},
    {&OGL_extensions::occlude_avail, 150, "GL_ARB_occlusion_query", nullptr, false},
    {&OGL_extensions::shad_objs_avail, 200, "GL_ARB_shader_objects", nullptr, false},
    {&OGL_extensions::vshader_avail, 200, "GL_ARB_vertex_shader", nullptr, false},
    {&OGL_extensions::fshader_avail, 200, "GL_ARB_fragment_shader", nullptr, false},
    {&OGL_extensions::gshader_avail, never, "GL_EXT_geometry_shader4", nullptr, false},
    {&OGL_extensions::glsl_avail, 200, "GL_ARB_shading_language_100", nullptr, false},
    {&OGL_extensions::framebuf_avail, never, "GL_EXT_framebuffer_object", nullptr, false},
    {&OGL_extensions::sblend_avail, never, "GL_EXT_blend_func_separate", "GL_EXT_blend_equation_separate", true},
};

// The command-line switches that turn features off, in the order they apply.
const struct {
    const char* option;
    int OGL_extensions::*flag;
    int OGL_extensions::*also;
} switches[] = {
    {"--no_vbos", &OGL_extensions::vbo_avail, &OGL_extensions::pbo_avail},
    {"--no_pbos", &OGL_extensions::pbo_avail, nullptr},
    {"--no_sprites", &OGL_extensions::sprites_avail, nullptr},
    {"--no_pixel_counters", &OGL_extensions::occlude_avail, nullptr},
    {"--no_aniso_filtering", &OGL_extensions::aniso_avail, nullptr},
    {"--no_hw_mipmap", &OGL_extensions::automini_avail, nullptr},
    {"--no_vshaders", &OGL_extensions::vprog_avail, nullptr},
    {"--no_fshaders", &OGL_extensions::fprog_avail, nullptr},
    {"--no_glsl", &OGL_extensions::glsl_avail, nullptr},
    {"--no_fbos", &OGL_extensions::framebuf_avail, nullptr},
    {"--no_threaded_ogl", &OGL_extensions::threaded_avail, nullptr},
    {"--no_sblend", &OGL_extensions::sblend_avail, nullptr},
};
// clang-format on

// Looks entry points up family by family; a miss is logged and clears the family's flag.
struct proc_fetcher {
    gl_probe_env& env;
    template <class F>
    void operator()(F& field, const char* name, int& flag) {
        field = reinterpret_cast<F>(env.lookup(name));
        if (!field) {
            env.log(std::string("WARNING: extension missing proc ") + name + "\n");
            flag = 0;
        }
    }
};

}  // namespace

void OGL_extensions::init_extensions() {
    gl_probe_env env;
    init_extensions(env);
}

void OGL_extensions::init_extensions(gl_probe_env& env) {
    // 1. The GL strings.
    ren.gl_vendor = env.get_string(GL_VENDOR);
    ren.gl_renderer = env.get_string(GL_RENDERER);
    ren.gl_version = env.get_string(GL_VERSION);
    ren.gl_extensions = env.get_string(GL_EXTENSIONS);
    const char* ext = ren.gl_extensions;
    const char* renderer = ren.gl_renderer;

    // 2. The version number, 3. flags from it and from the extension string.
    const int version = OGL_version_number(ren.gl_version);
    for (const flag_rule& r : flag_rules) {
        const bool by_ext = r.need_both ? holds(ext, r.ext1) && holds(ext, r.ext2)
                                        : holds(ext, r.ext1) || holds(ext, r.ext2);
        this->*r.flag = version >= r.version || by_ext ? 1 : 0;
    }

    // 4. Renderer quirks.
    long os = 0;
    const bool have_os = env.os_version(&os);
    if (occlude_avail && have_os && os <= 0x103F && holds(renderer, "NVIDIA NV34MAP OpenGL Engine") &&
        !env.has_option("--use_pixel_counters")) {
        env.log("Disabling occlusion queries on OS X 10.3 for nVidia.\n");
        occlude_avail = 0;
    }
    if (occlude_avail && have_os && os <= 0x1048 && holds(renderer, "NVIDIA GeForce 7300 GT OpenGL Engine") &&
        !env.has_option("--use_pixel_counters")) {
        env.log("Disabling occlusion queries on OS X 10.4 for nVidia 7300 GT on 10.4.8.\n");
        occlude_avail = 0;
    }
    if (glsl_avail && holds(renderer, "Intel GMA 950 OpenGL Engine") && !env.has_option("--use_glsl")) {
        env.log("Disabling GLSL for GMA 950.\n");
        glsl_avail = 0;
    }
    if (sprites_avail &&
        (is(renderer, "ATI Radeon HD 2600 PRO OpenGL Engine") || is(renderer, "ATI Radeon HD 2400 XT OpenGL Engine")) &&
        !env.has_option("--use_sprites")) {
        env.log("Disabling point sprites for Radeon HD on OS X.\n");
        sprites_avail = 0;
    }
    if (glsl_avail && holds(ren.gl_vendor, "NVIDIA") && !holds(ext, "GL_NV_fragment_program2")) first_gen_shaders = 1;

    // 5. Entry points, family by family.
    proc_fetcher fetch{env};
#define OGL_FETCH(type, name) fetch(name, #name, *family);
    int* family = &vbo_avail;
    if (*family) { OGL_BUFFER_PROCS(OGL_FETCH) }
    if (pbo_avail && !vbo_avail) {
        env.log(
            "Disabling PBOs because VBOs are not available.  This probably means that VBOs are disabled for "
            "compatibility reasons.\n");
        pbo_avail = 0;
    }
    family = &vprog_avail;
    if (*family) { OGL_PROGRAM_PROCS(OGL_FETCH) }
    family = &occlude_avail;
    if (*family) { OGL_QUERY_PROCS(OGL_FETCH) }
    family = &shad_objs_avail;
    if (*family) { OGL_SHADER_PROCS(OGL_FETCH) }
    family = &gshader_avail;  // before the vertex-shader attributes
    if (*family) { OGL_GSHADER_PROCS(OGL_FETCH) }
    family = &vshader_avail;
    if (*family) { OGL_VSHADER_PROCS(OGL_FETCH) }
    family = &framebuf_avail;
    if (*family) { OGL_FRAMEBUFFER_PROCS(OGL_FETCH) }
    family = &tex_comp_avail;
    if (*family) { OGL_COMPRESSED_PROCS(OGL_FETCH) }
#undef OGL_FETCH
    if (sblend_avail) {
        fetch(glBlendEquationSeparateEXT, "glBlendEquationSeparateEXT", sblend_avail);
        if (sblend_avail) fetch(glBlendFuncSeparateEXT, "glBlendFuncSeparateEXT", sblend_avail);
    }

    // 6. Dependencies.
    if (!vprog_avail) fprog_avail = 0;
    if (!shad_objs_avail) fshader_avail = vshader_avail = gshader_avail = 0;
    if (!vshader_avail || !fshader_avail) glsl_avail = 0;

    // 7. Program limits.
    GLint frag[4] = {0, 0, 0, 0};
    GLint vert_instructions = 0;
    if (fprog_avail && glGetProgramivARB) {
        static const GLenum frag_limits[4] = {
            GL_MAX_PROGRAM_NATIVE_INSTRUCTIONS_ARB, GL_MAX_PROGRAM_NATIVE_ALU_INSTRUCTIONS_ARB,
            GL_MAX_PROGRAM_NATIVE_TEX_INSTRUCTIONS_ARB, GL_MAX_PROGRAM_NATIVE_TEX_INDIRECTIONS_ARB};
        for (int i = 0; i < 4; ++i) glGetProgramivARB(GL_FRAGMENT_PROGRAM_ARB, frag_limits[i], &frag[i]);
        if (frag[0] == 0 && !env.has_option("--use_fprogs")) fprog_avail = 0;
        if (frag[0] < 100) first_gen_shaders = 1;
    }
    if (vprog_avail && glGetProgramivARB) {
        glGetProgramivARB(GL_VERTEX_PROGRAM_ARB, GL_MAX_PROGRAM_NATIVE_INSTRUCTIONS_ARB, &vert_instructions);
        if (vert_instructions == 0 && !env.has_option("--use_vprogs")) vprog_avail = 0;
    }

    // 8. Shader limits, for the log.
    GLint vshader_limits[5] = {0, 0, 0, 0, 0};
    GLint frag_uniforms = 0;
    if (vshader_avail) {
        static const GLenum names[5] = {GL_MAX_VERTEX_ATTRIBS_ARB, GL_MAX_VERTEX_UNIFORM_COMPONENTS_ARB,
                                        GL_MAX_VARYING_FLOATS_ARB, GL_MAX_COMBINED_TEXTURE_IMAGE_UNITS_ARB,
                                        GL_MAX_VERTEX_TEXTURE_IMAGE_UNITS_ARB};
        for (int i = 0; i < 5; ++i) env.get_integers(names[i], &vshader_limits[i]);
    }
    if (fshader_avail) env.get_integers(GL_MAX_FRAGMENT_UNIFORM_COMPONENTS_ARB, &frag_uniforms);
    std::string glsl_text = "n/a";
    if (glsl_avail) {
        const char* s = env.get_string(GL_SHADING_LANGUAGE_VERSION_ARB);
        glsl_text = s ? s : "<null string>";
    }

    // 9. Limits into ren.
    ren.max_tex_units = 0;
    ren.max_aniso = 1.0f;
    env.get_integers(GL_MAX_TEXTURE_UNITS_ARB, &ren.max_tex_units);
    ren.max_tex_image_units = ren.max_tex_units;
    if (fprog_avail) env.get_integers(GL_MAX_TEXTURE_IMAGE_UNITS_ARB, &ren.max_tex_image_units);
    ren.max_tex_coords = ren.max_tex_units;
    if (vprog_avail) env.get_integers(GL_MAX_TEXTURE_COORDS_ARB, &ren.max_tex_coords);
    if (aniso_avail) env.get_floats(GL_MAX_TEXTURE_MAX_ANISOTROPY_EXT, &ren.max_aniso);
    max_tex_size = 0;
    env.get_integers(GL_MAX_TEXTURE_SIZE, &max_tex_size);
    GLfloat point_range[2] = {0, 0};
    env.get_floats(GL_POINT_SIZE_RANGE, point_range);
    if (ren.max_tex_units == 0) ren.max_tex_units = 1;

    // 10. Switches; 11. worker threads never get a context of their own after the probe.
    for (const auto& s : switches) {
        if (!env.has_option(s.option)) continue;
        this->*s.flag = 0;
        if (s.also) this->*s.also = 0;
    }
    if (env.has_option("--no_aniso_filtering")) ren.max_aniso = 1.0f;
    threaded_avail = 0;

    // 12. The capability block.
    std::ostringstream b;
    b << "OpenGL Vendor    : " << (ren.gl_vendor ? ren.gl_vendor : "") << "\n"
      << "OpenGL Render    : " << (renderer ? renderer : "") << "\n"
      << "OpenGL Version   : " << (ren.gl_version ? ren.gl_version : "") << " (" << version << ")\n"
      << "OpenGL Extensions: " << (ext ? ext : "") << "\n"
      << "tex_clamp_avail  : " << tex_clamp_avail << "\n"
      << "add_env_avail    : " << add_env_avail << "\n"
      << "combine_avail    : " << combine_avail << "\n"
      << "dis_fog_avail    : " << dis_fog_avail << "\n"
      << "tex_comp_avail   : " << tex_comp_avail << "\n"
      << "vbo_avail        : " << vbo_avail << "\n"
      << "pbo_avail        : " << pbo_avail << "\n"
      << "vprog_avail      : " << vprog_avail << " (" << vert_instructions << ")\n"
      << "fprog_avail      : " << fprog_avail << " (" << frag[0] << "/" << frag[1] << "/" << frag[2] << "/"
      << frag[3] << ")\n"
      << "automini_avail   : " << automini_avail << "\n"
      << "aniso_avail      : " << aniso_avail << "\n"
      << "fsaa_avail       : " << fsaa_avail << "\n"
      << "sprites_avail    : " << sprites_avail << "\n"
      << "depth_tex_avail  : " << depth_tex_avail << "\n"
      << "occlude_avail    : " << occlude_avail << "\n"
      << "shad_objs_avail  : " << shad_objs_avail << "\n"
      << "vshader_avail    : " << vshader_avail << " (" << vshader_limits[0] << "/" << vshader_limits[1] << "/"
      << vshader_limits[2] << "/" << vshader_limits[3] << "/" << vshader_limits[4] << "/" << frag_uniforms << ")\n"
      << "fshader_avail    : " << fshader_avail << " (" << frag_uniforms << ")\n"
      << "gshader_avail    : " << gshader_avail << "\n"
      << "glsl_avail       : " << glsl_avail << " (" << glsl_text << ")\n"
      << "framebuf_avail   : " << framebuf_avail << "\n"
      << "sblend_avail     : " << sblend_avail << "\n"
      << "threaded_avail   : " << threaded_avail << "\n"
      << "first-gen shaders: " << first_gen_shaders << "\n"
      << "max tex units    : " << ren.max_tex_units << " (" << ren.max_tex_image_units << "/" << ren.max_tex_coords
      << ")\n"
      << "max iso filtering: " << ren.max_aniso << "\n"
      << "max texture size : " << max_tex_size << "\n"
      << "max point size   : " << point_range[1] << "\n";
    env.log(b.str());

    // 13. With GLSL the image units count (after the log, which shows GL's own unit count).
    if (glsl_avail && ren.max_tex_image_units > ren.max_tex_units) ren.max_tex_units = ren.max_tex_image_units;

    // 14. Refusal of a GL that cannot multitexture.
    if (!multitex_avail && version <= 109) {
        const std::string line1 =
            "Your graphics hardware cannot support Volatra. Volatra requires a graphics card with 16 MB of VRAM and "
            "multitexturing.";
        if (env.has_option("--force_run"))
            __MACIBM_alert(0, line1, "Your system does not meet Volatra's hardware requirements.",
                           "You have used the force-run command inline option to run Volatra anyway, but it may crash.",
                           std::string("Go to ") + kMakerWebSite +
                               " for system requirements and tech support information.",
                           t_alert, __FILE__, __LINE__);
        else
            __MACIBM_alert(0, line1, "First, try updating your graphics drivers.",
                           "If this does not help, check your graphics card specifications.",
                           std::string("For tech support, email ") + kMakerSupportMail, t_exit, __FILE__, __LINE__);
    }

    // 15. Software renderers without acceleration (llvmpipe is not one of the names).
    if (is(renderer, "GENERIC") || is(renderer, "Generic") || is(renderer, "generic") ||
        is(renderer, "Mesa GLX Indirect"))
        __MACIBM_alert(0,
                       "I can not find a 3-D accelerator card that can handle OpenGL that has correctly installed "
                       "drivers.",
                       "I will still let you run the simulator, but the frame rate will NOT allow for a good simulation.",
                       "For you to fly realistically, you must use Volatra version Classic, or get a 3-D accelerator "
                       "card that can handle OpenGL.",
                       std::string("See ") + kMakerWebSite + " for a list of the currently-compatible 3-D video cards.",
                       t_alert, __FILE__, __LINE__);
}
