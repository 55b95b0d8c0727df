// The shader manager (support libraries layer).
#include "support/shader_manager.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <unistd.h>

#include "core/alert.h"
#include "core/globals.h"
#include "core/statistics.h"
#include "files/versioned_file.h"
#include "graphics/gl_capabilities.h"

namespace {

std::string builtin_defines() {
    return std::string("#define APL 1\n#define IBM 0\n#define LIN 0\n") +
           (glExt.first_gen_shaders ? "#define LIMITED 1\n" : "#define LIMITED 0\n");
}

std::string float_text(double v) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%f", v);
    return buf;
}

[[noreturn]] void shader_fatal(const std::string& l1, const std::string& l2, const std::string& l3,
                               const std::string& l4, int line) {
    __MACIBM_alert(0, l1, l2, l3, l4, t_exit, __FILE__, line);
    _exit(1);  // the fatal alert does not come back
}

void* handle_ptr(GLhandleARB h) { return reinterpret_cast<void*>(static_cast<uintptr_t>(h)); }

// Length of a leading "#version" line (with its line end), 0 when the text has none. GLSL wants
// that line before anything else, so it goes in front of the defines.
size_t version_line_length(const uint8_t* p, const uint8_t* end) {
    const uint8_t* q = p;
    while (q < end && (*q == ' ' || *q == '\t' || *q == '\r' || *q == '\n')) ++q;
    static const char tag[] = "#version";
    if (static_cast<size_t>(end - q) < sizeof tag - 1 || std::memcmp(q, tag, sizeof tag - 1) != 0) return 0;
    while (q < end && *q != '\n') ++q;
    return static_cast<size_t>((q < end ? q + 1 : q) - p);
}

}  // namespace

// ---- OGL_shader ----

OGL_shader::OGL_shader(const std::string& vertex_file, const std::string& fragment_file, const char* prefix_text,
                       const std::vector<std::string>& names)
    : vertex_path(shader_folder + vertex_file), fragment_path(shader_folder + fragment_file), uniform_names(names) {
    init(prefix_text);
}

OGL_shader::OGL_shader(const char* vertex_file, const char* fragment_file, const char* prefix_text,
                       const char** names)
    : vertex_path(std::string(shader_folder) + (vertex_file ? vertex_file : "")),
      fragment_path(std::string(shader_folder) + (fragment_file ? fragment_file : "")) {
    for (const char** n = names; n && *n; ++n) uniform_names.emplace_back(*n);
    init(prefix_text);
}

void OGL_shader::init(const char* prefix_text) {
    shaders.insert(this);
    prefix = prefix_text && *prefix_text ? prefix_text : "// no prefix\n";
    program = glExt.glCreateProgramObjectARB();
    uniform_locs.assign(uniform_names.size(), -1);
    reload(0);
}

OGL_shader::~OGL_shader() {
    shaders.erase(this);
    // A later object at this address must not pass for the bound one.
    if (current_shader == this) unbind_shaders();
    if (fragment_obj) glExt.glDeleteObjectARB(fragment_obj);
    if (vertex_obj) glExt.glDeleteObjectARB(vertex_obj);
    glExt.glDeleteObjectARB(program);
}

void OGL_shader::bind() {
    if (current_shader == this) return;
    glExt.glUseProgramObjectARB(program);
    current_shader = this;
}

void OGL_shader::unbind_shaders() {
    if (!current_shader) return;
    glExt.glUseProgramObjectARB(0);
    current_shader = nullptr;
}

int OGL_shader::get_uniform_loc(int index) const { return uniform_locs.at(static_cast<size_t>(index)); }

bool OGL_shader::build_stage(GLhandleARB& obj, GLenum kind, const std::string& path, const std::string& defines) {
    if (obj) {
        glExt.glDetachObjectARB(program, obj);
        glExt.glDeleteObjectARB(obj);
    }
    obj = glExt.glCreateShaderObjectARB(kind);
    xmap_class file(path);
    if (!file.base)
        shader_fatal("We were unable to load the shader file:", path, "",
                     "Re-run the Volatra installer/updater to correct this problem.", __LINE__);
    const char* text = reinterpret_cast<const char*>(file.base);
    const size_t len = static_cast<size_t>(file.end - file.base);
    const size_t head = version_line_length(file.base, file.end);
    std::string version_line(text, head);
    if (head && version_line.back() != '\n') version_line += '\n';
    const char* strings[4];
    GLint lengths[4];
    int n = 0;
    auto add = [&](const char* s, size_t l) {
        strings[n] = s;
        lengths[n++] = static_cast<GLint>(l);
    };
    if (head) add(version_line.data(), version_line.size());
    add(defines.data(), defines.size());
    add(prefix.data(), prefix.size());
    add(text + head, len - head);
    glExt.glShaderSourceARB(obj, n, strings, lengths);
    glExt.glCompileShaderARB(obj);
    GLint ok = 0;
    glExt.glGetObjectParameterivARB(obj, GL_OBJECT_COMPILE_STATUS_ARB, &ok);
    if (!ok) log_shader_obj(path, defines + prefix, handle_ptr(obj));
    glExt.glAttachObjectARB(program, obj);
    return ok != 0;
}

void OGL_shader::reload(int interactive) {
    for (;;) {
        const std::string defines = builtin_defines();
        const bool vertex_ok = build_stage(vertex_obj, GL_VERTEX_SHADER_ARB, vertex_path, defines);
        const bool fragment_ok = build_stage(fragment_obj, GL_FRAGMENT_SHADER_ARB, fragment_path, defines);
        glExt.glLinkProgramARB(program);
        GLint linked = 0;
        glExt.glGetObjectParameterivARB(program, GL_OBJECT_LINK_STATUS_ARB, &linked);
        if (!linked) log_shader_obj(vertex_path + "+" + fragment_path, defines + prefix, handle_ptr(program));
        for (size_t i = 0; i < uniform_names.size(); ++i)
            uniform_locs[i] = glExt.glGetUniformLocationARB(program, uniform_names[i].c_str());
        if (vertex_ok && fragment_ok && linked) return;
        __MACIBM_alert(0, "There was a problem processing a GLSL pixel shader.",
                       "You may need to rerun the installer or update your graphics drivers.", vertex_path,
                       fragment_path, interactive ? t_alert : t_exit, __FILE__, __LINE__);
    }
}

void OGL_shader::reload_all_shaders(int interactive) {
    for (OGL_shader* s : shaders) s->reload(interactive);
}

void log_shader_obj(const std::string& name, const std::string& prefix, void* object) {
    const GLhandleARB h = static_cast<GLhandleARB>(reinterpret_cast<uintptr_t>(object));
    GLint len = 0;
    glExt.glGetObjectParameterivARB(h, GL_OBJECT_INFO_LOG_LENGTH_ARB, &len);
    if (len < 0) len = 0;
    std::vector<char> buf(static_cast<size_t>(len) + 1, 0);
    GLsizei written = 0;
    if (len > 0) glExt.glGetInfoLogARB(h, len, &written, buf.data());
    if (written < 0 || written > len) written = len > 0 ? len - 1 : 0;
    xer << "=====" << name << "=====\n"
        << "   (prefix:\n"
        << prefix << "end prefix)\n"
        << std::string(buf.data(), static_cast<size_t>(written)) << "\n";
    xer.flush();
}

// ---- OGL_shader_prog ----

OGL_shader_prog::OGL_shader_prog(int t, const char* file) : type(t) {
    if (t != fragment && t != vertex)
        shader_fatal("Unknown ARB program type:", float_text(t), file ? file : "", "", __LINE__);
    shaders.insert(this);
    glExt.glGenProgramsARB(1, &program);
    path = std::string(shader_folder) + (file ? file : "");
    reload(0);
}

OGL_shader_prog::~OGL_shader_prog() {
    if (current_shader[type] == this) unbind_shaders();
    glExt.glDeleteProgramsARB(1, &program);
    shaders.erase(this);
}

void OGL_shader_prog::bind() {
    if (current_shader[type] == this) return;
    glEnable(shader_types[type]);
    glExt.glBindProgramARB(shader_types[type], program);
    current_shader[type] = this;
}

void OGL_shader_prog::unbind_shaders() {
    for (int t : {fragment, vertex}) {
        if (!current_shader[t]) continue;
        glDisable(shader_types[t]);
        glExt.glBindProgramARB(shader_types[t], 0);
        current_shader[t] = nullptr;
    }
}

void OGL_shader_prog::reload(int) {
    const GLenum target = shader_types[type];
    glExt.glBindProgramARB(target, program);
    xmap_class file(path);
    auto missing = [&] {
        shader_fatal("Unable to load shader", path, "", "You may need to reinstall Volatra.", __LINE__);
    };
    if (!file.base) missing();
    for (int silent = 0;;) {
        // Errors left by earlier calls must not pass for this load's.
        for (int i = 0; i < 32 && glGetError() != GL_NO_ERROR; ++i) {
        }
        glExt.glProgramStringARB(target, GL_PROGRAM_FORMAT_ASCII_ARB, static_cast<GLsizei>(file.end - file.base),
                                 file.base);
        if (glGetError() == GL_NO_ERROR) break;
        GLint position = -1;
        glGetIntegerv(GL_PROGRAM_ERROR_POSITION_ARB, &position);
        if (position != -1) {
            const GLubyte* why = glGetString(GL_PROGRAM_ERROR_STRING_ARB);
            __MACIBM_alert(0, "There was an error with your fragment program", float_text(position), "",
                           why ? reinterpret_cast<const char*>(why) : "", t_alert, __FILE__, __LINE__);
        } else if (++silent >= silent_tries) {
            // The driver refuses without saying where: reading the same file again cannot help.
            shader_fatal("There was an error with your fragment program", path,
                         "The driver refused it without giving an error position.",
                         "You may need to reinstall Volatra.", __LINE__);
        }
        if (!file.retry(path)) missing();
    }
    GLint native = 1;
    glExt.glGetProgramivARB(target, GL_PROGRAM_UNDER_NATIVE_LIMITS_ARB, &native);
    if (!native) xer << "Warning: pixel shader " << path << " not under native limits.\n";
    glExt.glBindProgramARB(target, current_shader[type] ? current_shader[type]->program : 0);
}

void OGL_shader_prog::reload_all_shaders(int unused) {
    for (OGL_shader_prog* p : shaders) p->reload(unused);
}

// ---- OGL_shader_conditional ----

OGL_shader_conditional::OGL_shader_conditional(const char* vfile, const char* ffile, const char** uniforms,
                                               const char** flags, const int* radices, const char* prefix_text)
    : prefix(prefix_text ? prefix_text : ""), vertex_file(vfile ? vfile : ""), fragment_file(ffile ? ffile : "") {
    size_t count = 1;
    for (int i = 0; flags && flags[i]; ++i) {
        const int radix = radices ? radices[i] : 2;
        if (radix < 1) shader_fatal("A shader flag needs at least one value:", flags[i], float_text(radix), "", __LINE__);
        flag_names.emplace_back(flags[i]);
        flag_radices.push_back(radix);
        count *= static_cast<size_t>(radix);
    }
    for (const char** u = uniforms; u && *u; ++u) uniform_names.emplace_back(*u);
    variants.assign(count, nullptr);
}

OGL_shader_conditional::~OGL_shader_conditional() {
    for (OGL_shader* v : variants) delete v;
}

int OGL_shader_conditional::id_from_flags(const int* flags) const {
    int id = 0, scale = 1;
    for (size_t i = 0; i < flag_radices.size(); ++i) {
        if (flags[i] < 0 || flags[i] >= flag_radices[i])
            shader_fatal("A shader flag is out of range:", flag_names[i], float_text(flags[i]), vertex_file, __LINE__);
        id += scale * flags[i];
        scale *= flag_radices[i];
    }
    return id;
}

void OGL_shader_conditional::flags_from_id(int id, int* flags) const {
    check_id(id);
    for (size_t i = 0; i < flag_radices.size(); ++i) {
        flags[i] = id % flag_radices[i];
        id /= flag_radices[i];
    }
}

void OGL_shader_conditional::check_id(int id) const {
    if (id < 0 || static_cast<size_t>(id) >= variants.size())
        shader_fatal("A shader variant is out of range:", float_text(id), vertex_file, fragment_file, __LINE__);
}

void OGL_shader_conditional::build(int id) {
    std::vector<int> values(flag_radices.size());
    flags_from_id(id, values.data());
    std::string text = prefix;
    for (size_t i = 0; i < flag_names.size(); ++i)
        text += "#define " + flag_names[i] + " " + std::to_string(values[i]) + "\n";
    delete variants[id];
    variants[id] = nullptr;
    std::vector<const char*> names;
    for (const std::string& n : uniform_names) names.push_back(n.c_str());
    names.push_back(nullptr);
    variants[id] = new OGL_shader(vertex_file.c_str(), fragment_file.c_str(), text.c_str(), names.data());
}

void OGL_shader_conditional::bind(int id) {
    check_id(id);
    if (!variants[id]) build(id);
    variants[id]->bind();
}

int OGL_shader_conditional::get_uniform_loc(int id, int index) {
    check_id(id);
    if (!variants[id]) build(id);
    return variants[id]->get_uniform_loc(index);
}

// ---- the remote command ----

void do_reload() { OGL_shader::reload_all_shaders(1); }

UTL_remote_cmd g_reload_shaders_cmd("Reload Pixel Shaders...", do_reload);
