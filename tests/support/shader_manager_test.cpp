#include "support/shader_manager.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <utility>
#include <stdexcept>
#include <string>
#include <vector>

#include "common/gl_test_context.h"
#include "common/recorders.h"
#include "common/test_helpers.h"
#include "core/alert.h"
#include "core/globals.h"
#include "graphics/gl_capabilities.h"

namespace {

const char* const kVertex =
    "varying vec4 tint;\n"
    "void main() { tint = vec4(1.0); gl_Position = ftransform(); }\n";
const char* const kFragment =
    "uniform vec4 colour;\nuniform float scale;\nvarying vec4 tint;\n"
    "void main() { gl_FragColor = colour * scale * tint; }\n";

// While alive, each alert is recorded and then the file gets its mended text, as a user would
// mend it before pressing OK.
struct mend_on_alert {
    mend_on_alert(std::string path, std::string text) {
        path_ = std::move(path);
        text_ = std::move(text);
        previous_ = set_alert_hook(hook);
    }
    ~mend_on_alert() { set_alert_hook(previous_); }
    static void hook(int w, const std::string& a, const std::string& b, const std::string& c, const std::string& d,
                     int type, const char* file, int line) {
        previous_(w, a, b, c, d, type, file, line);
        write_file(path_, text_);
    }
    static inline std::string path_, text_;
    static inline alert_hook_fn previous_ = nullptr;
};

TEST(ShaderFamily, FlagsAndIdsRoundTripWithoutGL) {
    // Any GL call would go through a null entry point.
    const OGL_extensions saved = glExt;
    glExt = OGL_extensions{};
    {
        const char* flags[] = {"A", "B", "C", nullptr};
        const int radices[] = {3, 2, 4};
        OGL_shader_conditional mixed("v", "f", nullptr, flags, radices, nullptr);
        ASSERT_EQ(mixed.variants.size(), 24u);
        for (int id = 0; id < 24; ++id) {
            int values[3];
            mixed.flags_from_id(id, values);
            EXPECT_EQ(mixed.id_from_flags(values), id);
        }
        int v[3];
        mixed.flags_from_id(5, v);
        EXPECT_EQ(v[0], 2);
        EXPECT_EQ(v[1], 1);
        EXPECT_EQ(v[2], 0);

        OGL_shader_conditional binary("v", "f", nullptr, flags, nullptr, "pre");
        EXPECT_EQ(binary.variants.size(), 8u);
        EXPECT_EQ(binary.flag_radices, (std::vector<int>{2, 2, 2}));
        OGL_shader_conditional none(nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
        EXPECT_EQ(none.variants.size(), 1u);
        EXPECT_EQ(none.vertex_file, "");
        EXPECT_EQ(none.prefix, "");
    }
    glExt = saved;
}

TEST(ShaderFamilyDeathTest, FlagValuesAndIdsOutsideTheirRangeAreFatal) {
    const char* flags[] = {"A", "B", nullptr};
    const int radices[] = {3, 2};
    OGL_shader_conditional family("v", "f", nullptr, flags, radices, nullptr);
    const int too_big[] = {3, 0};
    const int negative[] = {0, -1};
    EXPECT_EXIT(family.id_from_flags(too_big), ::testing::ExitedWithCode(1), "A shader flag is out of range");
    EXPECT_EXIT(family.id_from_flags(negative), ::testing::ExitedWithCode(1), "A shader flag is out of range");
    EXPECT_EXIT(family.bind(6), ::testing::ExitedWithCode(1), "A shader variant is out of range");
    EXPECT_EXIT(family.get_uniform_loc(-1, 0), ::testing::ExitedWithCode(1), "A shader variant is out of range");
    int values[2];
    EXPECT_EXIT(family.flags_from_id(6, values), ::testing::ExitedWithCode(1), "A shader variant is out of range");
    const int no_values[] = {3, 0};
    EXPECT_EXIT(OGL_shader_conditional("v", "f", nullptr, flags, no_values, nullptr), ::testing::ExitedWithCode(1),
                "A shader flag needs at least one value: \\| B \\| 0.000000");
}

// Shader files in a temporary program folder, on the test GL context.
class Shaders : public ::testing::Test {
protected:
    void SetUp() override {
        if (!gl_test_context()) GTEST_SKIP() << "no GL";
        app_path = dir_.path();
        reset_recorders();
        write("v", kVertex);
        write("f", kFragment);
    }
    void TearDown() override {
        app_path = saved_path_;
        glExt.first_gen_shaders = saved_first_gen_;
    }
    void write(const std::string& name, const std::string& text) {
        write_file(dir_ / (std::string(shader_folder) + name), text);
    }
    GLint gl_program() {
        GLint p = 0;
        glGetIntegerv(GL_CURRENT_PROGRAM, &p);
        return p;
    }

    temp_folder dir_;
    std::string saved_path_ = app_path;
    int saved_first_gen_ = glExt.first_gen_shaders;
};

int use_calls = 0;
PFNGLUSEPROGRAMOBJECTARBPROC real_use = nullptr;
void APIENTRY counting_use(GLhandleARB p) {
    ++use_calls;
    real_use(p);
}

TEST_F(Shaders, CompilesCachesUniformsAndBindsOnce) {
    const char* names[] = {"colour", "nothing", "scale", nullptr};
    log_capture log;
    OGL_shader s("v", "f", nullptr, names);
    EXPECT_EQ(log.text(), "");  // a clean build logs nothing
    EXPECT_EQ(s.vertex_path, "Resources/shaders/v");
    EXPECT_EQ(s.prefix, "// no prefix\n");
    ASSERT_EQ(s.uniform_locs.size(), 3u);
    EXPECT_GE(s.get_uniform_loc(0), 0);
    EXPECT_EQ(s.get_uniform_loc(1), -1);
    EXPECT_GE(s.get_uniform_loc(2), 0);
    EXPECT_THROW(s.get_uniform_loc(3), std::out_of_range);
    EXPECT_EQ(OGL_shader::shaders.count(&s), 1u);

    real_use = glExt.glUseProgramObjectARB;
    glExt.glUseProgramObjectARB = counting_use;
    use_calls = 0;
    s.bind();
    s.bind();
    EXPECT_EQ(use_calls, 1);
    EXPECT_EQ(gl_program(), static_cast<GLint>(s.program));
    OGL_shader::unbind_shaders();
    OGL_shader::unbind_shaders();
    EXPECT_EQ(use_calls, 2);
    EXPECT_EQ(gl_program(), 0);

    // Destroying the bound program unbinds it, so a new object is bound for real.
    {
        OGL_shader other("v", "f", "", std::vector<std::string>{});
        other.bind();
        EXPECT_EQ(OGL_shader::current_shader, &other);
    }
    EXPECT_EQ(OGL_shader::current_shader, nullptr);
    EXPECT_EQ(gl_program(), 0);
    EXPECT_EQ(OGL_shader::shaders.size(), 1u);
    glExt.glUseProgramObjectARB = real_use;
}

TEST_F(Shaders, VariantsSeeTheirDefinesAndAreBuiltOnDemand) {
    write("fv", "#if A != 2 || B != 1\n#error wrong variant\n#endif\n" + std::string(kFragment));
    const char* flags[] = {"A", "B", nullptr};
    const int radices[] = {3, 2};
    const char* names[] = {"scale", nullptr};
    OGL_shader_conditional family("v", "fv", names, flags, radices, "// common\n");
    const int values[] = {2, 1};
    const int id = family.id_from_flags(values);
    EXPECT_EQ(id, 5);
    EXPECT_GE(family.get_uniform_loc(id, 0), 0);  // never bound: built now
    ASSERT_NE(family.variants[5], nullptr);
    EXPECT_EQ(family.variants[5]->prefix, "// common\n#define A 2\n#define B 1\n");
    family.bind(id);
    EXPECT_EQ(OGL_shader::current_shader, family.variants[5]);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(family.variants[i], nullptr);
    OGL_shader::unbind_shaders();
}

TEST_F(Shaders, VersionLineStaysFirstAndLimitedFollowsTheFlag) {
    write("fl", "#version 110\n#if LIMITED != 1 || APL != 1 || LIN != 0\n#error limits\n#endif\n" +
                    std::string(kFragment));
    glExt.first_gen_shaders = 1;
    OGL_shader s("v", "fl", nullptr, std::vector<std::string>{});
    // The flag counts at each reload: without it the file refuses to compile, and the
    // interactive reload asks until the file is mended.
    glExt.first_gen_shaders = 0;
    mend_on_alert mend(dir_ / "Resources/shaders/fl", "#version 110\n" + std::string(kFragment));
    log_capture log;
    s.reload(1);
    ASSERT_EQ(recorded_alerts().size(), 1u);
    EXPECT_EQ(recorded_alerts()[0].type, t_alert);
    EXPECT_EQ(recorded_alerts()[0].line1, "There was a problem processing a GLSL pixel shader.");
    EXPECT_EQ(recorded_alerts()[0].line4, "Resources/shaders/fl");
    const std::string text = log.text();
    EXPECT_NE(text.find("=====Resources/shaders/fl=====\n   (prefix:\n#define APL 1\n#define IBM 0\n#define LIN 0\n"
                        "#define LIMITED 0\n// no prefix\nend prefix)\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("=====Resources/shaders/v+Resources/shaders/fl=====\n"), std::string::npos);
}

TEST_F(Shaders, BuildFailuresAndMissingFilesAreFatalAtConstruction) {
    write("fbad", "varying vec4 missing;\nvoid main() { gl_FragColor = missing; }\n");
    EXPECT_EXIT(OGL_shader("v", "fbad", nullptr, std::vector<std::string>{}), ::testing::ExitedWithCode(1),
                "ALERT type 2: There was a problem processing a GLSL pixel shader");
    EXPECT_EXIT(OGL_shader("v", "gone", nullptr, std::vector<std::string>{}), ::testing::ExitedWithCode(1),
                "We were unable to load the shader file: \\| Resources/shaders/gone");
}

const char* const kArbGood = "!!ARBfp1.0\nMOV result.color, fragment.color;\nEND\n";
const char* const kArbBad = "!!ARBfp1.0\nMOV result.color fragment.color;\nEND\n";
const char* const kArbVertex = "!!ARBvp1.0\nMOV result.position, vertex.position;\nEND\n";

GLint bound_program(GLenum target) {
    GLint p = 0;
    glExt.glGetProgramivARB(target, GL_PROGRAM_BINDING_ARB, &p);
    return p;
}

TEST_F(Shaders, ArbProgramsBindPerTargetAndAreMendedAfterAnError) {
    write("fp", kArbBad);
    write("vp", kArbVertex);
    OGL_shader_prog* made;
    {
        mend_on_alert mend(dir_ / "Resources/shaders/fp", kArbGood);
        made = new OGL_shader_prog(OGL_shader_prog::fragment, "fp");
    }
    std::unique_ptr<OGL_shader_prog> owner(made);
    OGL_shader_prog& frag = *made;
    ASSERT_EQ(recorded_alerts().size(), 1u);
    const recorded_alert a = recorded_alerts()[0];
    EXPECT_EQ(a.line1, "There was an error with your fragment program");
    EXPECT_EQ(a.line2, "28.000000");  // where Mesa stops reading
    EXPECT_FALSE(a.line4.empty());

    OGL_shader_prog vert(OGL_shader_prog::vertex, "vp");
    vert.bind();
    frag.bind();
    EXPECT_TRUE(glIsEnabled(GL_FRAGMENT_PROGRAM_ARB));
    EXPECT_TRUE(glIsEnabled(GL_VERTEX_PROGRAM_ARB));
    EXPECT_EQ(bound_program(GL_VERTEX_PROGRAM_ARB), static_cast<GLint>(vert.program));
    EXPECT_EQ(bound_program(GL_FRAGMENT_PROGRAM_ARB), static_cast<GLint>(frag.program));
    // A reload leaves the binding as it found it.
    frag.reload(0);
    EXPECT_EQ(bound_program(GL_FRAGMENT_PROGRAM_ARB), static_cast<GLint>(frag.program));
    {
        OGL_shader_prog spare(OGL_shader_prog::fragment, "fp");
        EXPECT_EQ(bound_program(GL_FRAGMENT_PROGRAM_ARB), static_cast<GLint>(frag.program));
    }
    EXPECT_TRUE(glIsEnabled(GL_VERTEX_PROGRAM_ARB));  // destroying one not bound changes nothing
    OGL_shader_prog::unbind_shaders();
    EXPECT_FALSE(glIsEnabled(GL_FRAGMENT_PROGRAM_ARB));
    EXPECT_FALSE(glIsEnabled(GL_VERTEX_PROGRAM_ARB));
    EXPECT_EQ(OGL_shader_prog::current_shader[0], nullptr);
    EXPECT_EQ(OGL_shader_prog::current_shader[1], nullptr);
}

// A driver that refuses a text without saying where.
PFNGLPROGRAMSTRINGARBPROC real_program_string = nullptr;
int program_string_calls = 0;
void APIENTRY refusing_program_string(GLenum target, GLenum, GLsizei len, const void* text) {
    std::fprintf(stderr, "try %d;", ++program_string_calls);
    real_program_string(target, 0, len, text);  // an invalid format: GL_INVALID_ENUM, no position
}

TEST_F(Shaders, SilentRefusalsEndAfterThreeTries) {
    write("fp", kArbGood);
    EXPECT_EXIT(
        {
            real_program_string = glExt.glProgramStringARB;
            glExt.glProgramStringARB = refusing_program_string;
            OGL_shader_prog p(OGL_shader_prog::fragment, "fp");
        },
        ::testing::ExitedWithCode(1), "try 1;try 2;try 3;ALERT type 2: [^|]* \\| Resources/shaders/fp \\| "
                                      "The driver refused it without giving an error position");
}

}  // namespace
