// The capability probe over made-up GL facts, and once on the real test context.
#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "common/gl_test_context.h"
#include "common/recorders.h"
#include "core/alert.h"
#include "graphics/gl_capabilities.h"
#include "graphics/render_state.h"

namespace {

class fake_gl : public gl_probe_env {
public:
    std::string vendor = "Tessaly Labs", renderer = "Test Renderer", version = "2.1 ATI-1.5.36", extensions;
    std::map<GLenum, GLint> ints{{GL_MAX_TEXTURE_UNITS_ARB, 4}, {GL_MAX_TEXTURE_SIZE, 2048}};
    std::map<GLenum, GLfloat> floats;
    std::map<GLenum, GLint> fragment_limits{{GL_MAX_PROGRAM_NATIVE_INSTRUCTIONS_ARB, 1000}};
    GLint vertex_limit = 500;
    std::set<std::string> missing, options;
    std::string logged;

    fake_gl() { current = this; }
    ~fake_gl() override { current = nullptr; }

    const char* get_string(GLenum name) override {
        switch (name) {
            case GL_VENDOR: return vendor.c_str();
            case GL_RENDERER: return renderer.c_str();
            case GL_VERSION: return version.c_str();
            case GL_EXTENSIONS: return extensions.c_str();
            case GL_SHADING_LANGUAGE_VERSION_ARB: return "1.20";
        }
        return nullptr;
    }
    void get_integers(GLenum name, GLint* out) override {
        if (ints.count(name)) *out = ints[name];
    }
    void get_floats(GLenum name, GLfloat* out) override {
        if (name == GL_POINT_SIZE_RANGE) {
            out[0] = 1;
            out[1] = 63.5f;
        } else if (floats.count(name)) {
            *out = floats[name];
        }
    }
    void* lookup(const char* name) override {
        if (missing.count(name)) return nullptr;
        if (std::string(name) == "glGetProgramivARB") return reinterpret_cast<void*>(&get_program);
        return reinterpret_cast<void*>(&stub);
    }
    int has_option(const char* name) override { return options.count(name) ? 1 : 0; }
    long os = -1;  // the system version the quirks ask for; -1: none to be had
    bool os_version(long* v) override {
        if (os < 0) return false;
        *v = os;
        return true;
    }
    void log(const std::string& text) override { logged += text; }

    // The block's line that starts with label.
    std::string line(const std::string& label) const {
        size_t at = logged.find(label);
        return at == std::string::npos ? "" : logged.substr(at, logged.find('\n', at) - at);
    }

private:
    static inline fake_gl* current = nullptr;
    static void stub() {}
    static void APIENTRY get_program(GLenum target, GLenum pname, GLint* out) {
        if (target == GL_VERTEX_PROGRAM_ARB)
            *out = pname == GL_MAX_PROGRAM_NATIVE_INSTRUCTIONS_ARB ? current->vertex_limit : 0;
        else
            *out = current->fragment_limits.count(pname) ? current->fragment_limits[pname] : 0;
    }
};

class Probe : public ::testing::Test {
protected:
    void SetUp() override { reset_recorders(); }
    OGL_extensions run() {
        OGL_extensions ext;
        ext.init_extensions(gl);
        return ext;
    }
    fake_gl gl;
};

const char* const all_extensions =
    "GL_ARB_multitexture GL_EXT_texture_edge_clamp GL_ARB_texture_env_add GL_ARB_texture_env_combine "
    "GL_NV_fog_distance GL_ARB_texture_compression GL_ARB_vertex_buffer_object GL_ARB_pixel_buffer_object "
    "GL_ARB_vertex_program GL_ARB_fragment_program GL_SGIS_generate_mipmap GL_EXT_texture_filter_anisotropic "
    "GL_ARB_multisample GL_ARB_point_sprite GL_ARB_depth_texture GL_ARB_occlusion_query GL_ARB_shader_objects "
    "GL_ARB_vertex_shader GL_ARB_fragment_shader GL_EXT_geometry_shader4 GL_ARB_shading_language_100 "
    "GL_EXT_framebuffer_object GL_EXT_blend_func_separate GL_EXT_blend_equation_separate";

}  // namespace

TEST(ProbeVersion, NumbersFromVersionStrings) {
    const struct {
        const char* text;
        int number;
    } cases[] = {{"2.1 ATI-1.5.36", 210},
                 {"1.5.8", 150},
                 {"garbage", 100},
                 {"", 100},
                 {"4.5 (Compatibility Profile) Mesa 22.3.6", 450},
                 {"0.9", 90},
                 {"99999999999999999999.1", 100}};
    for (const auto& c : cases) EXPECT_EQ(OGL_version_number(c.text), c.number) << c.text;
}

TEST_F(Probe, VersionAloneSetsTheVersionBoundFlags) {
    OGL_extensions e = run();
    for (int f : {e.multitex_avail, e.tex_clamp_avail, e.combine_avail, e.vbo_avail, e.pbo_avail, e.sprites_avail,
                  e.shad_objs_avail, e.vshader_avail, e.fshader_avail, e.glsl_avail})
        EXPECT_EQ(f, 1);
    for (int f : {e.dis_fog_avail, e.vprog_avail, e.fprog_avail, e.aniso_avail, e.gshader_avail, e.framebuf_avail,
                  e.sblend_avail, e.threaded_avail})
        EXPECT_EQ(f, 0);
    EXPECT_NE(e.glBindBufferARB, nullptr);
    EXPECT_EQ(e.glBindProgramARB, nullptr);  // its family was never looked up
    EXPECT_EQ(e.max_tex_size, 2048);
    EXPECT_TRUE(recorded_alerts().empty());
    // Limits of programs that are not there show as zeros.
    EXPECT_EQ(gl.line("vprog_avail"), "vprog_avail      : 0 (0)");
    EXPECT_EQ(gl.line("fprog_avail"), "fprog_avail      : 0 (0/0/0/0)");
}

TEST_F(Probe, CapabilityBlock) {
    gl.version = "1.5.8";
    gl.extensions = all_extensions;
    gl.fragment_limits = {{GL_MAX_PROGRAM_NATIVE_INSTRUCTIONS_ARB, 96},
                          {GL_MAX_PROGRAM_NATIVE_ALU_INSTRUCTIONS_ARB, 64},
                          {GL_MAX_PROGRAM_NATIVE_TEX_INSTRUCTIONS_ARB, 32},
                          {GL_MAX_PROGRAM_NATIVE_TEX_INDIRECTIONS_ARB, 4}};
    gl.ints.insert({{GL_MAX_TEXTURE_IMAGE_UNITS_ARB, 16},
                    {GL_MAX_TEXTURE_COORDS_ARB, 8},
                    {GL_MAX_VERTEX_ATTRIBS_ARB, 16},
                    {GL_MAX_VERTEX_UNIFORM_COMPONENTS_ARB, 512},
                    {GL_MAX_VARYING_FLOATS_ARB, 32},
                    {GL_MAX_COMBINED_TEXTURE_IMAGE_UNITS_ARB, 20},
                    {GL_MAX_VERTEX_TEXTURE_IMAGE_UNITS_ARB, 4},
                    {GL_MAX_FRAGMENT_UNIFORM_COMPONENTS_ARB, 256}});
    gl.floats[GL_MAX_TEXTURE_MAX_ANISOTROPY_EXT] = 1.0f;
    run();
    EXPECT_EQ(gl.logged,
              "OpenGL Vendor    : Tessaly Labs\n"
              "OpenGL Render    : Test Renderer\n"
              "OpenGL Version   : 1.5.8 (150)\n"
              "OpenGL Extensions: " +
                  std::string(all_extensions) +
                  "\n"
                  "tex_clamp_avail  : 1\n"
                  "add_env_avail    : 1\n"
                  "combine_avail    : 1\n"
                  "dis_fog_avail    : 1\n"
                  "tex_comp_avail   : 1\n"
                  "vbo_avail        : 1\n"
                  "pbo_avail        : 1\n"
                  "vprog_avail      : 1 (500)\n"
                  "fprog_avail      : 1 (96/64/32/4)\n"
                  "automini_avail   : 1\n"
                  "aniso_avail      : 1\n"
                  "fsaa_avail       : 1\n"
                  "sprites_avail    : 1\n"
                  "depth_tex_avail  : 1\n"
                  "occlude_avail    : 1\n"
                  "shad_objs_avail  : 1\n"
                  "vshader_avail    : 1 (16/512/32/20/4/256)\n"
                  "fshader_avail    : 1 (256)\n"
                  "gshader_avail    : 1\n"
                  "glsl_avail       : 1 (1.20)\n"
                  "framebuf_avail   : 1\n"
                  "sblend_avail     : 1\n"
                  "threaded_avail   : 0\n"
                  "first-gen shaders: 1\n"
                  "max tex units    : 4 (16/8)\n"
                  "max iso filtering: 1\n"
                  "max texture size : 2048\n"
                  "max point size   : 63.5\n");
    // With GLSL the image units count, after the block showed GL's own number.
    EXPECT_EQ(ren.max_tex_units, 16);
}

TEST_F(Probe, MissingEntryPoints) {
    gl.missing = {"glBindBufferARB", "glGetHandleARB", "glBlendEquationSeparateEXT"};
    gl.extensions = "GL_EXT_blend_func_separate GL_EXT_blend_equation_separate";
    OGL_extensions e = run();
    EXPECT_EQ(e.vbo_avail, 0);
    EXPECT_EQ(e.pbo_avail, 0);
    EXPECT_NE(e.glDeleteBuffersARB, nullptr);  // the rest of the family is still looked up
    // Shader objects lost: the shaders and GLSL depend on them.
    EXPECT_EQ(e.shad_objs_avail + e.vshader_avail + e.fshader_avail + e.glsl_avail, 0);
    EXPECT_EQ(e.sblend_avail, 0);
    EXPECT_EQ(e.glBlendFuncSeparateEXT, nullptr);  // not asked once its partner was missing
    EXPECT_EQ(gl.logged.substr(0, gl.logged.find("OpenGL Vendor")),
              "WARNING: extension missing proc glBindBufferARB\n"
              "Disabling PBOs because VBOs are not available.  This probably means that VBOs are disabled for "
              "compatibility reasons.\n"
              "WARNING: extension missing proc glGetHandleARB\n"
              "WARNING: extension missing proc glBlendEquationSeparateEXT\n");
}

TEST_F(Probe, SwitchesAndProgramLimits) {
    gl.extensions = "GL_ARB_vertex_program GL_ARB_fragment_program GL_EXT_texture_filter_anisotropic";
    gl.floats[GL_MAX_TEXTURE_MAX_ANISOTROPY_EXT] = 16;
    gl.options = {"--no_vshaders", "--no_vbos", "--no_threaded_ogl", "--no_aniso_filtering"};
    OGL_extensions e = run();
    EXPECT_EQ(e.vprog_avail, 0);
    EXPECT_EQ(e.fprog_avail, 1);  // the switch acts after the dependency step
    EXPECT_EQ(e.vshader_avail, 1);
    EXPECT_EQ(e.vbo_avail + e.pbo_avail + e.aniso_avail, 0);
    EXPECT_EQ(ren.max_aniso, 1.0f);

    const struct {
        GLint limit;
        bool use_fprogs;
        int fprog, first_gen;
    } limits[] = {{0, false, 0, 1}, {0, true, 1, 1}, {99, false, 1, 1}, {100, false, 1, 0}};
    for (const auto& c : limits) {
        gl.options.clear();
        if (c.use_fprogs) gl.options.insert("--use_fprogs");
        gl.fragment_limits[GL_MAX_PROGRAM_NATIVE_INSTRUCTIONS_ARB] = c.limit;
        OGL_extensions f = run();
        EXPECT_EQ(f.fprog_avail, c.fprog) << c.limit;
        EXPECT_EQ(f.first_gen_shaders, c.first_gen) << c.limit;
    }
}

TEST_F(Probe, RendererQuirks) {
    const struct {
        const char* vendor;
        const char* renderer;
        const char* option;
        int sprites, glsl, first_gen;
    } cases[] = {
        {"ATI", "ATI Radeon HD 2600 PRO OpenGL Engine", nullptr, 0, 1, 0},
        {"ATI", "ATI Radeon HD 2600 PRO OpenGL Engine", "--use_sprites", 1, 1, 0},
        {"ATI", "ATI Radeon HD 2600 PRO OpenGL Engine 2", nullptr, 1, 1, 0},  // exact names only
        {"Intel", "Intel GMA 950 OpenGL Engine (rev 3)", nullptr, 1, 0, 0},    // substring
        {"Intel", "Intel GMA 950 OpenGL Engine", "--use_glsl", 1, 1, 0},
        {"NVIDIA Corporation", "GeForce", nullptr, 1, 1, 1},
    };
    for (const auto& c : cases) {
        gl.vendor = c.vendor;
        gl.renderer = c.renderer;
        gl.options.clear();
        if (c.option) gl.options.insert(c.option);
        OGL_extensions e = run();
        EXPECT_EQ(e.sprites_avail, c.sprites) << c.renderer;
        EXPECT_EQ(e.glsl_avail, c.glsl) << c.renderer;
        EXPECT_EQ(e.first_gen_shaders, c.first_gen) << c.renderer;
    }
}

TEST_F(Probe, OcclusionQuirksNeedTheSystemVersion) {
    const struct {
        const char* renderer;
        long os;
        const char* option;
        int occlude;
    } cases[] = {
        {"NVIDIA NV34MAP OpenGL Engine", 0x103F, nullptr, 0},
        {"NVIDIA NV34MAP OpenGL Engine (AGP)", 0x1030, nullptr, 0},
        {"NVIDIA NV34MAP OpenGL Engine", 0x1040, nullptr, 1},
        {"NVIDIA NV34MAP OpenGL Engine", 0x1030, "--use_pixel_counters", 1},
        {"NVIDIA GeForce 7300 GT OpenGL Engine", 0x1048, nullptr, 0},
        {"NVIDIA GeForce 7300 GT OpenGL Engine", 0x1049, nullptr, 1},
        {"NVIDIA GeForce 7300 GT OpenGL Engine", 0x1048, "--use_pixel_counters", 1},
        {"NVIDIA GeForce 7300 GT OpenGL Engine", -1, nullptr, 1},  // no system version, no quirk
    };
    for (const auto& c : cases) {
        gl.renderer = c.renderer;
        gl.os = c.os;
        gl.options.clear();
        if (c.option) gl.options.insert(c.option);
        gl.logged.clear();
        EXPECT_EQ(run().occlude_avail, c.occlude) << c.renderer << " on " << std::hex << c.os;
        EXPECT_EQ(gl.logged.find("Disabling occlusion queries") != std::string::npos, c.occlude == 0) << c.renderer;
    }
}

TEST_F(Probe, RefusalAndSoftwareRenderer) {
    gl.version = "1.1.0";  // no multitexturing, but GL 1.1 itself is enough
    run();
    EXPECT_TRUE(recorded_alerts().empty());

    gl.version = "Mesa";  // unreadable: 1.0
    gl.options = {"--force_run"};
    gl.renderer = "Generic";
    run();
    auto a = recorded_alerts();
    ASSERT_EQ(a.size(), 2u);
    EXPECT_EQ(a[0].type, t_alert);
    EXPECT_EQ(a[0].line2, "Your system does not meet Volatra's hardware requirements.");
    EXPECT_EQ(a[0].line4, "Go to www.tessaly.example for system requirements and tech support information.");
    EXPECT_EQ(a[1].type, t_alert);
    EXPECT_EQ(a[1].line4, "See www.tessaly.example for a list of the currently-compatible 3-D video cards.");

    gl.options.clear();
    EXPECT_EXIT(run(), ::testing::ExitedWithCode(1), "First, try updating your graphics drivers.");
}

TEST(ThreadedGL, FailureAlertsOnce) {
    reset_recorders();
    OGL_extensions e;
    e.threaded_ogl_failed();
    e.threaded_ogl_failed();
    EXPECT_EQ(e.threaded_avail, 0);
    auto a = recorded_alerts();
    ASSERT_EQ(a.size(), 1u);
    EXPECT_EQ(a[0].line1, "There was a problem setting up OpenGL.");
    EXPECT_EQ(a[0].type, t_alert);
}

TEST(ProbeOnMesa, SoftwareRendererPassesWithEveryFeature) {
    reset_recorders();
    ASSERT_TRUE(gl_test_context());
    EXPECT_EQ(aglGetProcAddress("glThisDoesNotExistARB"), nullptr);
    OGL_extensions e;
    e.init_extensions();
    const OGL_extensions& c = e;
    for (int f : {c.multitex_avail, c.tex_clamp_avail, c.add_env_avail, c.combine_avail, c.dis_fog_avail, c.tex_comp_avail,
                  c.vbo_avail, c.pbo_avail, c.vprog_avail, c.fprog_avail, c.automini_avail, c.aniso_avail,
                  c.fsaa_avail, c.sprites_avail, c.depth_tex_avail, c.occlude_avail, c.shad_objs_avail,
                  c.vshader_avail, c.fshader_avail, c.glsl_avail, c.framebuf_avail, c.sblend_avail})
        EXPECT_EQ(f, 1);
    EXPECT_EQ(c.gshader_avail + c.threaded_avail + c.first_gen_shaders, 0);
    EXPECT_GE(c.max_tex_size, 2048);
    EXPECT_GE(ren.max_aniso, 1.0f);
    EXPECT_GE(ren.max_tex_units, 8);
    EXPECT_NE(c.glGenerateMipmapEXT, nullptr);
    EXPECT_TRUE(recorded_alerts().empty());  // no refusal, no software-renderer alert
}

TEST_F(Probe, EachVersionBoundAndEachExtensionSetsItsOwnFlags) {
    using F = int OGL_extensions::*;
    const F all[] = {&OGL_extensions::multitex_avail, &OGL_extensions::tex_clamp_avail, &OGL_extensions::add_env_avail,
                     &OGL_extensions::combine_avail,  &OGL_extensions::dis_fog_avail,   &OGL_extensions::tex_comp_avail,
                     &OGL_extensions::vbo_avail,      &OGL_extensions::pbo_avail,       &OGL_extensions::vprog_avail,
                     &OGL_extensions::fprog_avail,    &OGL_extensions::automini_avail,  &OGL_extensions::aniso_avail,
                     &OGL_extensions::fsaa_avail,     &OGL_extensions::sprites_avail,   &OGL_extensions::depth_tex_avail,
                     &OGL_extensions::occlude_avail,  &OGL_extensions::shad_objs_avail, &OGL_extensions::vshader_avail,
                     &OGL_extensions::fshader_avail,  &OGL_extensions::gshader_avail,   &OGL_extensions::glsl_avail,
                     &OGL_extensions::framebuf_avail, &OGL_extensions::sblend_avail};
    auto expect_only = [&](const std::vector<F>& on, const std::string& what) {
        const OGL_extensions e = run();
        for (size_t i = 0; i < std::size(all); ++i) {
            const bool want = std::find(on.begin(), on.end(), all[i]) != on.end();
            EXPECT_EQ(e.*all[i], want ? 1 : 0) << what << ", flag " << i;
        }
    };
    // A version at a flag's bound sets it, one step below does not.
    const struct {
        const char* at;
        const char* below;
        std::vector<F> flags;
    } bounds[] = {
        {"1.2", "1.1", {&OGL_extensions::tex_clamp_avail}},
        {"1.3", "1.2", {&OGL_extensions::multitex_avail, &OGL_extensions::add_env_avail, &OGL_extensions::combine_avail,
                        &OGL_extensions::tex_comp_avail, &OGL_extensions::fsaa_avail}},
        {"1.4", "1.3", {&OGL_extensions::automini_avail, &OGL_extensions::depth_tex_avail}},
        {"1.5", "1.4", {&OGL_extensions::vbo_avail, &OGL_extensions::occlude_avail}},
        {"2.0", "1.9", {&OGL_extensions::sprites_avail, &OGL_extensions::shad_objs_avail,
                        &OGL_extensions::vshader_avail, &OGL_extensions::fshader_avail, &OGL_extensions::glsl_avail}},
        {"2.1", "2.0", {&OGL_extensions::pbo_avail}},
    };
    for (const auto& b : bounds) {
        gl.version = b.at;
        const OGL_extensions at = run();
        gl.version = b.below;
        const OGL_extensions below = run();
        for (F f : b.flags) {
            EXPECT_EQ(at.*f, 1) << b.at;
            EXPECT_EQ(below.*f, 0) << b.below;
        }
    }
    // On GL 1.1 each extension sets its own flag, and those that depend on it.
    gl.version = "1.1";
    const struct {
        const char* extensions;
        std::vector<F> on;
    } by_extension[] = {
        {"GL_ARB_multitexture", {&OGL_extensions::multitex_avail}},
        {"GL_EXT_texture_edge_clamp", {&OGL_extensions::tex_clamp_avail}},
        {"GL_SGIS_texture_edge_clamp", {&OGL_extensions::tex_clamp_avail}},
        {"GL_ARB_texture_env_add", {&OGL_extensions::add_env_avail}},
        {"GL_EXT_texture_env_add", {&OGL_extensions::add_env_avail}},
        {"GL_ARB_texture_env_combine", {&OGL_extensions::combine_avail}},
        {"GL_EXT_texture_env_combine", {&OGL_extensions::combine_avail}},
        {"GL_NV_fog_distance", {&OGL_extensions::dis_fog_avail}},
        {"GL_ARB_texture_compression", {&OGL_extensions::tex_comp_avail}},
        {"GL_ARB_vertex_buffer_object", {&OGL_extensions::vbo_avail}},
        {"GL_ARB_vertex_buffer_object GL_ARB_pixel_buffer_object",
         {&OGL_extensions::vbo_avail, &OGL_extensions::pbo_avail}},
        {"GL_ARB_pixel_buffer_object", {}},  // no buffer objects: the PBO line
        {"GL_ARB_vertex_program", {&OGL_extensions::vprog_avail}},
        {"GL_ARB_vertex_program GL_ARB_fragment_program", {&OGL_extensions::vprog_avail, &OGL_extensions::fprog_avail}},
        {"GL_ARB_fragment_program", {}},
        {"GL_SGIS_generate_mipmap", {&OGL_extensions::automini_avail}},
        {"GL_EXT_texture_filter_anisotropic", {&OGL_extensions::aniso_avail}},
        {"GL_ARB_multisample", {&OGL_extensions::fsaa_avail}},
        {"GL_ARB_point_sprite", {&OGL_extensions::sprites_avail}},
        {"GL_ARB_depth_texture", {&OGL_extensions::depth_tex_avail}},
        {"GL_ARB_occlusion_query", {&OGL_extensions::occlude_avail}},
        {"GL_ARB_shader_objects", {&OGL_extensions::shad_objs_avail}},
        {"GL_ARB_vertex_shader GL_ARB_fragment_shader GL_EXT_geometry_shader4 GL_ARB_shading_language_100", {}},
        {"GL_ARB_shader_objects GL_ARB_vertex_shader GL_ARB_shading_language_100",
         {&OGL_extensions::shad_objs_avail, &OGL_extensions::vshader_avail}},
        {"GL_ARB_shader_objects GL_ARB_fragment_shader GL_EXT_geometry_shader4",
         {&OGL_extensions::shad_objs_avail, &OGL_extensions::fshader_avail, &OGL_extensions::gshader_avail}},
        {"GL_ARB_shader_objects GL_ARB_vertex_shader GL_ARB_fragment_shader GL_ARB_shading_language_100",
         {&OGL_extensions::shad_objs_avail, &OGL_extensions::vshader_avail, &OGL_extensions::fshader_avail,
          &OGL_extensions::glsl_avail}},
        {"GL_EXT_framebuffer_object", {&OGL_extensions::framebuf_avail}},
        {"GL_EXT_blend_func_separate", {}},
        {"GL_EXT_blend_equation_separate", {}},
        {"GL_EXT_blend_equation_separate GL_EXT_blend_func_separate", {&OGL_extensions::sblend_avail}},
    };
    for (const auto& c : by_extension) {
        gl.extensions = c.extensions;
        expect_only(c.on, c.extensions);
    }
}
