// Support libraries layer (support/).
// The shader manager: GLSL programs built from a vertex and a fragment file under
// "Resources/shaders/", families of their variants chosen by integer flags, and ARB assembly
// programs. Binds are cached, compiler output goes to the log, and GLSL programs reload from
// disc on request. Main (GL) thread only; every GL call goes through glExt.
#pragma once

#include <GL/gl.h>
#include <GL/glext.h>

#include <set>
#include <string>
#include <vector>

class UTL_remote_cmd;

inline constexpr char shader_folder[] = "Resources/shaders/";

class OGL_shader {
public:
    // Compiles and links at once (reload(0)): a missing file or a failed build ends the program.
    // A null or empty prefix becomes "// no prefix\n".
    OGL_shader(const std::string& vertex_file, const std::string& fragment_file, const char* prefix,
               const std::vector<std::string>& uniform_names);
    // uniform_names ends with a null entry; a null array means no names.
    OGL_shader(const char* vertex_file, const char* fragment_file, const char* prefix, const char** uniform_names);
    ~OGL_shader();
    OGL_shader(const OGL_shader&) = delete;
    OGL_shader& operator=(const OGL_shader&) = delete;

    void bind();
    static void unbind_shaders();
    // Throws std::out_of_range for an index outside the names.
    int get_uniform_loc(int index) const;
    // Rebuilds both shader objects from the files and relinks. A failed build is fatal unless
    // interactive, when the user is told and the build starts again after OK.
    void reload(int interactive);
    static void reload_all_shaders(int interactive);

    GLhandleARB program = 0;
    GLhandleARB vertex_obj = 0;
    GLhandleARB fragment_obj = 0;
    std::string vertex_path;
    std::string fragment_path;
    std::string prefix;
    std::vector<std::string> uniform_names;
    std::vector<int> uniform_locs;

    static inline std::set<OGL_shader*> shaders;
    static inline OGL_shader* current_shader = nullptr;

private:
    void init(const char* prefix_text);
    // One shader object from its file; false when it did not compile.
    bool build_stage(GLhandleARB& obj, GLenum kind, const std::string& path, const std::string& defines);
};

// An ARB vertex or fragment program.
class OGL_shader_prog {
public:
    enum { fragment = 0, vertex = 1 };
    OGL_shader_prog(int type, const char* file);
    ~OGL_shader_prog();
    OGL_shader_prog(const OGL_shader_prog&) = delete;
    OGL_shader_prog& operator=(const OGL_shader_prog&) = delete;

    void bind();
    // Releases the fragment target, then the vertex target.
    static void unbind_shaders();
    void reload(int unused);
    static void reload_all_shaders(int unused);

    GLuint program = 0;
    int type = 0;
    std::string path;

    static inline std::set<OGL_shader_prog*> shaders;
    static inline OGL_shader_prog* current_shader[2] = {nullptr, nullptr};
    // Loads that fail without an error position before the program gives up.
    static constexpr int silent_tries = 3;
};

// The program targets by type.
inline constexpr GLenum shader_types[2] = {GL_FRAGMENT_PROGRAM_ARB, GL_VERTEX_PROGRAM_ARB};

// A family of GLSL variants of one file pair: each flag takes the values 0..radix-1 and is
// written as "#define NAME value" in front of the files. Variants are built on first use.
class OGL_shader_conditional {
public:
    // Arrays end with a null entry; flag_radices may be null (every flag then has radix 2).
    // No GL call and no file read.
    OGL_shader_conditional(const char* vertex_file, const char* fragment_file, const char** uniform_names,
                           const char** flag_names, const int* flag_radices, const char* prefix);
    ~OGL_shader_conditional();
    OGL_shader_conditional(const OGL_shader_conditional&) = delete;
    OGL_shader_conditional& operator=(const OGL_shader_conditional&) = delete;

    // Mixed-radix number of the flag values, the first flag least significant. A value outside
    // its radix is fatal.
    int id_from_flags(const int* flags) const;
    void flags_from_id(int id, int* flags) const;
    void build(int id);
    void bind(int id);
    // Builds the variant first when it was never bound.
    int get_uniform_loc(int id, int index);

    std::string prefix;
    std::string vertex_file;
    std::string fragment_file;
    std::vector<std::string> uniform_names;
    std::vector<std::string> flag_names;
    std::vector<int> flag_radices;
    std::vector<OGL_shader*> variants;  // owned; null until built

private:
    void check_id(int id) const;
};

// Writes the info log of a shader or program object (its handle as a pointer) to the log.
void log_shader_obj(const std::string& name, const std::string& prefix, void* object);

// Reloads every GLSL program, interactively: the remote command "Reload Pixel Shaders...".
void do_reload();
// That command, registered by the unit's static set-up.
extern UTL_remote_cmd g_reload_shaders_cmd;
