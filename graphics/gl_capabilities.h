// Graphics layer (graphics/).
// The OpenGL capability record: extension entry points, feature flags and the largest texture,
// found once at start-up by init_extensions. Limits and the GL strings go to `ren`.
#pragma once

#include <GL/gl.h>
#include <GL/glext.h>

#include <string>

#include "files/file_operations.h"

// The entry points, by family, in field order: X(type, name).
#define OGL_BUFFER_PROCS(X)                                                                    \
    X(PFNGLBINDBUFFERARBPROC, glBindBufferARB)                                                 \
    X(PFNGLDELETEBUFFERSARBPROC, glDeleteBuffersARB)                                           \
    X(PFNGLGENBUFFERSARBPROC, glGenBuffersARB) X(PFNGLISBUFFERARBPROC, glIsBufferARB)          \
    X(PFNGLBUFFERDATAARBPROC, glBufferDataARB) X(PFNGLBUFFERSUBDATAARBPROC, glBufferSubDataARB) \
    X(PFNGLGETBUFFERSUBDATAARBPROC, glGetBufferSubDataARB)                                     \
    X(PFNGLMAPBUFFERARBPROC, glMapBufferARB) X(PFNGLUNMAPBUFFERARBPROC, glUnmapBufferARB)      \
    X(PFNGLGETBUFFERPARAMETERIVARBPROC, glGetBufferParameterivARB)                             \
    X(PFNGLGETBUFFERPOINTERVARBPROC, glGetBufferPointervARB)

#define OGL_PROGRAM_PROCS(X)                                                                        \
    X(PFNGLVERTEXATTRIB1DARBPROC, glVertexAttrib1dARB) X(PFNGLVERTEXATTRIB1DVARBPROC, glVertexAttrib1dvARB) \
    X(PFNGLVERTEXATTRIB1FARBPROC, glVertexAttrib1fARB) X(PFNGLVERTEXATTRIB1FVARBPROC, glVertexAttrib1fvARB) \
    X(PFNGLVERTEXATTRIB1SARBPROC, glVertexAttrib1sARB) X(PFNGLVERTEXATTRIB1SVARBPROC, glVertexAttrib1svARB) \
    X(PFNGLVERTEXATTRIB2DARBPROC, glVertexAttrib2dARB) X(PFNGLVERTEXATTRIB2DVARBPROC, glVertexAttrib2dvARB) \
    X(PFNGLVERTEXATTRIB2FARBPROC, glVertexAttrib2fARB) X(PFNGLVERTEXATTRIB2FVARBPROC, glVertexAttrib2fvARB) \
    X(PFNGLVERTEXATTRIB2SARBPROC, glVertexAttrib2sARB) X(PFNGLVERTEXATTRIB2SVARBPROC, glVertexAttrib2svARB) \
    X(PFNGLVERTEXATTRIB3DARBPROC, glVertexAttrib3dARB) X(PFNGLVERTEXATTRIB3DVARBPROC, glVertexAttrib3dvARB) \
    X(PFNGLVERTEXATTRIB3FARBPROC, glVertexAttrib3fARB) X(PFNGLVERTEXATTRIB3FVARBPROC, glVertexAttrib3fvARB) \
    X(PFNGLVERTEXATTRIB3SARBPROC, glVertexAttrib3sARB) X(PFNGLVERTEXATTRIB3SVARBPROC, glVertexAttrib3svARB) \
    X(PFNGLVERTEXATTRIB4NBVARBPROC, glVertexAttrib4NbvARB)                                          \
    X(PFNGLVERTEXATTRIB4NIVARBPROC, glVertexAttrib4NivARB)                                          \
    X(PFNGLVERTEXATTRIB4NSVARBPROC, glVertexAttrib4NsvARB)                                          \
    X(PFNGLVERTEXATTRIB4NUBARBPROC, glVertexAttrib4NubARB)                                          \
    X(PFNGLVERTEXATTRIB4NUBVARBPROC, glVertexAttrib4NubvARB)                                        \
    X(PFNGLVERTEXATTRIB4NUIVARBPROC, glVertexAttrib4NuivARB)                                        \
    X(PFNGLVERTEXATTRIB4NUSVARBPROC, glVertexAttrib4NusvARB)                                        \
    X(PFNGLVERTEXATTRIB4BVARBPROC, glVertexAttrib4bvARB) X(PFNGLVERTEXATTRIB4DARBPROC, glVertexAttrib4dARB) \
    X(PFNGLVERTEXATTRIB4DVARBPROC, glVertexAttrib4dvARB) X(PFNGLVERTEXATTRIB4FARBPROC, glVertexAttrib4fARB) \
    X(PFNGLVERTEXATTRIB4FVARBPROC, glVertexAttrib4fvARB) X(PFNGLVERTEXATTRIB4IVARBPROC, glVertexAttrib4ivARB) \
    X(PFNGLVERTEXATTRIB4SARBPROC, glVertexAttrib4sARB) X(PFNGLVERTEXATTRIB4SVARBPROC, glVertexAttrib4svARB) \
    X(PFNGLVERTEXATTRIB4UBVARBPROC, glVertexAttrib4ubvARB)                                          \
    X(PFNGLVERTEXATTRIB4UIVARBPROC, glVertexAttrib4uivARB)                                          \
    X(PFNGLVERTEXATTRIB4USVARBPROC, glVertexAttrib4usvARB)                                          \
    X(PFNGLVERTEXATTRIBPOINTERARBPROC, glVertexAttribPointerARB)                                    \
    X(PFNGLENABLEVERTEXATTRIBARRAYARBPROC, glEnableVertexAttribArrayARB)                            \
    X(PFNGLDISABLEVERTEXATTRIBARRAYARBPROC, glDisableVertexAttribArrayARB)                          \
    X(PFNGLPROGRAMSTRINGARBPROC, glProgramStringARB) X(PFNGLBINDPROGRAMARBPROC, glBindProgramARB)   \
    X(PFNGLDELETEPROGRAMSARBPROC, glDeleteProgramsARB) X(PFNGLGENPROGRAMSARBPROC, glGenProgramsARB) \
    X(PFNGLPROGRAMENVPARAMETER4DARBPROC, glProgramEnvParameter4dARB)                                \
    X(PFNGLPROGRAMENVPARAMETER4DVARBPROC, glProgramEnvParameter4dvARB)                              \
    X(PFNGLPROGRAMENVPARAMETER4FARBPROC, glProgramEnvParameter4fARB)                                \
    X(PFNGLPROGRAMENVPARAMETER4FVARBPROC, glProgramEnvParameter4fvARB)                              \
    X(PFNGLPROGRAMLOCALPARAMETER4DARBPROC, glProgramLocalParameter4dARB)                            \
    X(PFNGLPROGRAMLOCALPARAMETER4DVARBPROC, glProgramLocalParameter4dvARB)                          \
    X(PFNGLPROGRAMLOCALPARAMETER4FARBPROC, glProgramLocalParameter4fARB)                            \
    X(PFNGLPROGRAMLOCALPARAMETER4FVARBPROC, glProgramLocalParameter4fvARB)                          \
    X(PFNGLGETPROGRAMENVPARAMETERDVARBPROC, glGetProgramEnvParameterdvARB)                          \
    X(PFNGLGETPROGRAMENVPARAMETERFVARBPROC, glGetProgramEnvParameterfvARB)                          \
    X(PFNGLGETPROGRAMLOCALPARAMETERDVARBPROC, glGetProgramLocalParameterdvARB)                      \
    X(PFNGLGETPROGRAMLOCALPARAMETERFVARBPROC, glGetProgramLocalParameterfvARB)                      \
    X(PFNGLGETPROGRAMIVARBPROC, glGetProgramivARB) X(PFNGLGETPROGRAMSTRINGARBPROC, glGetProgramStringARB) \
    X(PFNGLGETVERTEXATTRIBDVARBPROC, glGetVertexAttribdvARB)                                        \
    X(PFNGLGETVERTEXATTRIBFVARBPROC, glGetVertexAttribfvARB)                                        \
    X(PFNGLGETVERTEXATTRIBIVARBPROC, glGetVertexAttribivARB)                                        \
    X(PFNGLGETVERTEXATTRIBPOINTERVARBPROC, glGetVertexAttribPointervARB)                            \
    X(PFNGLISPROGRAMARBPROC, glIsProgramARB)

#define OGL_QUERY_PROCS(X)                                                                          \
    X(PFNGLGENQUERIESARBPROC, glGenQueriesARB) X(PFNGLDELETEQUERIESARBPROC, glDeleteQueriesARB)     \
    X(PFNGLISQUERYARBPROC, glIsQueryARB) X(PFNGLBEGINQUERYARBPROC, glBeginQueryARB)                 \
    X(PFNGLENDQUERYARBPROC, glEndQueryARB) X(PFNGLGETQUERYIVARBPROC, glGetQueryivARB)               \
    X(PFNGLGETQUERYOBJECTIVARBPROC, glGetQueryObjectivARB)                                          \
    X(PFNGLGETQUERYOBJECTUIVARBPROC, glGetQueryObjectuivARB)

#define OGL_SHADER_PROCS(X)                                                                         \
    X(PFNGLDELETEOBJECTARBPROC, glDeleteObjectARB) X(PFNGLGETHANDLEARBPROC, glGetHandleARB)         \
    X(PFNGLDETACHOBJECTARBPROC, glDetachObjectARB)                                                  \
    X(PFNGLCREATESHADEROBJECTARBPROC, glCreateShaderObjectARB)                                      \
    X(PFNGLSHADERSOURCEARBPROC, glShaderSourceARB) X(PFNGLCOMPILESHADERARBPROC, glCompileShaderARB) \
    X(PFNGLCREATEPROGRAMOBJECTARBPROC, glCreateProgramObjectARB)                                    \
    X(PFNGLATTACHOBJECTARBPROC, glAttachObjectARB) X(PFNGLLINKPROGRAMARBPROC, glLinkProgramARB)     \
    X(PFNGLUSEPROGRAMOBJECTARBPROC, glUseProgramObjectARB)                                          \
    X(PFNGLVALIDATEPROGRAMARBPROC, glValidateProgramARB)                                            \
    X(PFNGLUNIFORM1FARBPROC, glUniform1fARB) X(PFNGLUNIFORM2FARBPROC, glUniform2fARB)               \
    X(PFNGLUNIFORM3FARBPROC, glUniform3fARB) X(PFNGLUNIFORM4FARBPROC, glUniform4fARB)               \
    X(PFNGLUNIFORM1IARBPROC, glUniform1iARB) X(PFNGLUNIFORM2IARBPROC, glUniform2iARB)               \
    X(PFNGLUNIFORM3IARBPROC, glUniform3iARB) X(PFNGLUNIFORM4IARBPROC, glUniform4iARB)               \
    X(PFNGLUNIFORM1FVARBPROC, glUniform1fvARB) X(PFNGLUNIFORM2FVARBPROC, glUniform2fvARB)           \
    X(PFNGLUNIFORM3FVARBPROC, glUniform3fvARB) X(PFNGLUNIFORM4FVARBPROC, glUniform4fvARB)           \
    X(PFNGLUNIFORM1IVARBPROC, glUniform1ivARB) X(PFNGLUNIFORM2IVARBPROC, glUniform2ivARB)           \
    X(PFNGLUNIFORM3IVARBPROC, glUniform3ivARB) X(PFNGLUNIFORM4IVARBPROC, glUniform4ivARB)           \
    X(PFNGLUNIFORMMATRIX2FVARBPROC, glUniformMatrix2fvARB)                                          \
    X(PFNGLUNIFORMMATRIX3FVARBPROC, glUniformMatrix3fvARB)                                          \
    X(PFNGLUNIFORMMATRIX4FVARBPROC, glUniformMatrix4fvARB)                                          \
    X(PFNGLGETOBJECTPARAMETERFVARBPROC, glGetObjectParameterfvARB)                                  \
    X(PFNGLGETOBJECTPARAMETERIVARBPROC, glGetObjectParameterivARB)                                  \
    X(PFNGLGETINFOLOGARBPROC, glGetInfoLogARB) X(PFNGLGETATTACHEDOBJECTSARBPROC, glGetAttachedObjectsARB) \
    X(PFNGLGETUNIFORMLOCATIONARBPROC, glGetUniformLocationARB)                                      \
    X(PFNGLGETACTIVEUNIFORMARBPROC, glGetActiveUniformARB)                                          \
    X(PFNGLGETUNIFORMFVARBPROC, glGetUniformfvARB) X(PFNGLGETUNIFORMIVARBPROC, glGetUniformivARB)   \
    X(PFNGLGETSHADERSOURCEARBPROC, glGetShaderSourceARB)

#define OGL_VSHADER_PROCS(X)                                                                        \
    X(PFNGLBINDATTRIBLOCATIONARBPROC, glBindAttribLocationARB)                                      \
    X(PFNGLGETACTIVEATTRIBARBPROC, glGetActiveAttribARB)                                            \
    X(PFNGLGETATTRIBLOCATIONARBPROC, glGetAttribLocationARB)

#define OGL_GSHADER_PROCS(X) X(PFNGLPROGRAMPARAMETERIEXTPROC, glProgramParameteriEXT)

#define OGL_FRAMEBUFFER_PROCS(X)                                                                    \
    X(PFNGLISRENDERBUFFEREXTPROC, glIsRenderbufferEXT)                                              \
    X(PFNGLBINDRENDERBUFFEREXTPROC, glBindRenderbufferEXT)                                          \
    X(PFNGLDELETERENDERBUFFERSEXTPROC, glDeleteRenderbuffersEXT)                                    \
    X(PFNGLGENRENDERBUFFERSEXTPROC, glGenRenderbuffersEXT)                                          \
    X(PFNGLRENDERBUFFERSTORAGEEXTPROC, glRenderbufferStorageEXT)                                    \
    X(PFNGLGETRENDERBUFFERPARAMETERIVEXTPROC, glGetRenderbufferParameterivEXT)                      \
    X(PFNGLISFRAMEBUFFEREXTPROC, glIsFramebufferEXT) X(PFNGLBINDFRAMEBUFFEREXTPROC, glBindFramebufferEXT) \
    X(PFNGLDELETEFRAMEBUFFERSEXTPROC, glDeleteFramebuffersEXT)                                      \
    X(PFNGLGENFRAMEBUFFERSEXTPROC, glGenFramebuffersEXT)                                            \
    X(PFNGLCHECKFRAMEBUFFERSTATUSEXTPROC, glCheckFramebufferStatusEXT)                              \
    X(PFNGLFRAMEBUFFERTEXTURE1DEXTPROC, glFramebufferTexture1DEXT)                                  \
    X(PFNGLFRAMEBUFFERTEXTURE2DEXTPROC, glFramebufferTexture2DEXT)                                  \
    X(PFNGLFRAMEBUFFERTEXTURE3DEXTPROC, glFramebufferTexture3DEXT)                                  \
    X(PFNGLFRAMEBUFFERRENDERBUFFEREXTPROC, glFramebufferRenderbufferEXT)                            \
    X(PFNGLGETFRAMEBUFFERATTACHMENTPARAMETERIVEXTPROC, glGetFramebufferAttachmentParameterivEXT)    \
    X(PFNGLGENERATEMIPMAPEXTPROC, glGenerateMipmapEXT)

#define OGL_COMPRESSED_PROCS(X)                                                                     \
    X(PFNGLCOMPRESSEDTEXIMAGE3DARBPROC, glCompressedTexImage3DARB)                                  \
    X(PFNGLCOMPRESSEDTEXIMAGE2DARBPROC, glCompressedTexImage2DARB)                                  \
    X(PFNGLCOMPRESSEDTEXIMAGE1DARBPROC, glCompressedTexImage1DARB)                                  \
    X(PFNGLCOMPRESSEDTEXSUBIMAGE3DARBPROC, glCompressedTexSubImage3DARB)                            \
    X(PFNGLCOMPRESSEDTEXSUBIMAGE2DARBPROC, glCompressedTexSubImage2DARB)                            \
    X(PFNGLCOMPRESSEDTEXSUBIMAGE1DARBPROC, glCompressedTexSubImage1DARB)                            \
    X(PFNGLGETCOMPRESSEDTEXIMAGEARBPROC, glGetCompressedTexImageARB)

#define OGL_SBLEND_PROCS(X)                                                                         \
    X(PFNGLBLENDFUNCSEPARATEEXTPROC, glBlendFuncSeparateEXT)                                        \
    X(PFNGLBLENDEQUATIONSEPARATEEXTPROC, glBlendEquationSeparateEXT)

// What the probe asks of GL and of its surroundings. The defaults ask the current context, the
// command line and the log; tests and tools override what they need.
class gl_probe_env {
public:
    virtual ~gl_probe_env() = default;
    virtual const char* get_string(GLenum name);
    virtual void get_integers(GLenum name, GLint* out);
    virtual void get_floats(GLenum name, GLfloat* out);
    virtual void* lookup(const char* name);  // null when GL lacks it
    virtual int has_option(const char* name);
    // The Mac system version as 0xMMmp digits; false where there is none (always here).
    virtual bool os_version(long* version);
    virtual void log(const std::string& text);
};

class OGL_extensions {
public:
    // Opens the GL library for aglGetProcAddress: 0, or the bundle loader's failure code.
    int init_entry_points();
    // The probe; once, with the context current, before any worker thread.
    void init_extensions();
    void init_extensions(gl_probe_env& env);
    // Called when a thread fails to get, or to make current, a shared context: clears
    // threaded_avail and tells the user once.
    void threaded_ogl_failed();

#define OGL_DECLARE_PROC(type, name) type name = nullptr;
    OGL_BUFFER_PROCS(OGL_DECLARE_PROC)
    OGL_PROGRAM_PROCS(OGL_DECLARE_PROC)
    OGL_QUERY_PROCS(OGL_DECLARE_PROC)
    OGL_SHADER_PROCS(OGL_DECLARE_PROC)
    OGL_VSHADER_PROCS(OGL_DECLARE_PROC)
    OGL_GSHADER_PROCS(OGL_DECLARE_PROC)
    OGL_FRAMEBUFFER_PROCS(OGL_DECLARE_PROC)
    OGL_COMPRESSED_PROCS(OGL_DECLARE_PROC)
    OGL_SBLEND_PROCS(OGL_DECLARE_PROC)
#undef OGL_DECLARE_PROC

    int multitex_avail = 0;
    int tex_clamp_avail = 0;
    int add_env_avail = 0;
    int combine_avail = 0;
    int dis_fog_avail = 0;
    int tex_comp_avail = 0;
    int vbo_avail = 0;
    int pbo_avail = 0;
    int vprog_avail = 0;
    int fprog_avail = 0;
    int automini_avail = 0;
    int aniso_avail = 0;
    int fsaa_avail = 0;
    int sprites_avail = 0;
    int depth_tex_avail = 0;
    int occlude_avail = 0;
    int shad_objs_avail = 0;
    int vshader_avail = 0;
    int fshader_avail = 0;
    int gshader_avail = 0;
    int glsl_avail = 0;
    int first_gen_shaders = 0;
    int framebuf_avail = 0;
    int sblend_avail = 0;
    // 1: worker threads may get a context sharing objects with the main one. Only goes 1 -> 0.
    int threaded_avail = 1;
    int max_tex_size = 0;
};

extern OGL_extensions glExt;

// The GL library opened by init_entry_points; null before.
extern CFBundleRef gBundleRefOpenGL;
// An entry point of the GL library by name; null when it has none. Never a stub.
void* aglGetProcAddress(const char* name);
// The GL version as major * 100 + minor * 10 (100 when unreadable).
int OGL_version_number(const char* version);

// Where the alerts send the user.
inline constexpr char kMakerWebSite[] = "www.tessaly.example";
inline constexpr char kMakerSupportMail[] = "support@tessaly.example";
