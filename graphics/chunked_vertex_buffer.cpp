// Vertex data gathered in chunks into one buffer (graphics layer).
#include "graphics/chunked_vertex_buffer.h"

#include <GL/gl.h>
#include <GL/glext.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "core/alert.h"
#include "graphics/gl_capabilities.h"

UTL_stat g_mem_used("memory/chunky_buffers", stat_memory, 0.0f);

namespace {
const char* const src_tag = "OOPS_cpp/OGL_ChunkyBuffer";
unsigned long last_vbo = 0;
unsigned long last_vbo_ind = 0;

void* must_alloc(size_t bytes) {
    void* p = std::malloc(bytes ? bytes : 1);
    if (!p) __MACIBM_alert(0, "Out of memory for vertex data.", "", "", "", t_exit, src_tag, 40);
    return p;
}

// Walks the chunks in store order; f(chunk, bytes in use) may free the chunk.
template <class F>
void each_chunk(OGL_chunkybuffer::subregion* first, F f) {
    for (auto* r = first; r; r = r->next) {
        for (auto* c = r->first_chunk; c;) {
            auto* next = c->next;
            f(c, OGL_chunkybuffer::chunk_bytes - c->bytes_free);
            c = next;
        }
    }
}

void bind(GLenum target, unsigned long id, unsigned long& last, UTL_stat& count) {
    if (id == last) return;
    count.value += 1;
    glExt.glBindBufferARB(target, static_cast<GLuint>(id));
    last = id;
}
}  // namespace

UTL_stat& OGL_vbo_binds() {
    static UTL_stat num_xdl_group_bind("num_xdl_bind", stat_per_frame, 0.0f);
    return num_xdl_group_bind;
}

UTL_stat& OGL_vbo_ind_binds() {
    static UTL_stat num_xdl_group_bind_ind("num_xdl_bind_ind", stat_per_frame, 0.0f);
    return num_xdl_group_bind_ind;
}

void OGL_bind_vbo(const unsigned long& id) { bind(GL_ARRAY_BUFFER_ARB, id, last_vbo, OGL_vbo_binds()); }

void OGL_bind_vbo_ind(const unsigned long& id) {
    bind(GL_ELEMENT_ARRAY_BUFFER_ARB, id, last_vbo_ind, OGL_vbo_ind_binds());
}

OGL_chunkybuffer::chunk* OGL_chunkybuffer::new_chunk() {
    auto* c = static_cast<chunk*>(must_alloc(sizeof(chunk)));
    c->next = nullptr;
    c->bytes_free = chunk_bytes;
    return c;
}

OGL_chunkybuffer::subregion* OGL_chunkybuffer::new_subregion() {
    auto* r = static_cast<subregion*>(must_alloc(sizeof(subregion)));
    r->next = nullptr;
    r->offset = 0;
    r->first_chunk = r->current_chunk = new_chunk();
    r->write_pos = r->current_chunk->chunk_data;
    (last_region ? last_region->next : first_region) = r;
    last_region = r;
    return r;
}

void OGL_chunkybuffer::write(subregion* region, const void* bytes, int count) {
    const auto* in = static_cast<const unsigned char*>(bytes);
    while (count > 0) {
        chunk* c = region->current_chunk;
        if (c->bytes_free == 0) {
            c->next = new_chunk();
            region->current_chunk = c = c->next;
            region->write_pos = c->chunk_data;
        }
        const int n = std::min(count, static_cast<int>(c->bytes_free));
        std::memcpy(region->write_pos, in, n);
        region->write_pos += n;
        c->bytes_free -= n;
        in += n;
        count -= n;
    }
}

void OGL_chunkybuffer::calc_offsets() {
    total_size = 0;
    for (subregion* r = first_region; r; r = r->next) {
        r->offset = total_size;
        for (chunk* c = r->first_chunk; c; c = c->next) total_size += chunk_bytes - c->bytes_free;
    }
}

void OGL_chunkybuffer::finalize_vbo(int is_static) {
    calc_offsets();
    g_mem_used.value += static_cast<float>(total_size);
    GLuint name = 0;
    glExt.glGenBuffersARB(1, &name);
    vbo = name;
    GLint previous = 0;
    glGetIntegerv(GL_ARRAY_BUFFER_BINDING_ARB, &previous);
    glExt.glBindBufferARB(GL_ARRAY_BUFFER_ARB, vbo);
    glExt.glBufferDataARB(GL_ARRAY_BUFFER_ARB, total_size, nullptr,
                          is_static ? GL_STATIC_DRAW_ARB : GL_STREAM_DRAW_ARB);
    data = nullptr;
    GLintptrARB at = 0;
    each_chunk(first_region, [&](chunk* c, int used) {
        glExt.glBufferSubDataARB(GL_ARRAY_BUFFER_ARB, at, used, c->chunk_data);
        at += used;
        std::free(c);
    });
    for (subregion* r = first_region; r; r = r->next) r->first_chunk = r->current_chunk = nullptr;
    glExt.glBindBufferARB(GL_ARRAY_BUFFER_ARB, static_cast<GLuint>(previous));
}

void OGL_chunkybuffer::finalize_mem() {
    calc_offsets();
    g_mem_used.value += static_cast<float>(total_size);
    auto* out = static_cast<unsigned char*>(must_alloc(static_cast<size_t>(total_size)));
    data = out;
    each_chunk(first_region, [&](chunk* c, int used) {
        std::memcpy(out, c->chunk_data, used);
        out += used;
        std::free(c);
    });
    for (subregion* r = first_region; r; r = r->next) r->first_chunk = r->current_chunk = nullptr;
}

// Binding through the binder keeps its record true to GL.
void OGL_chunkybuffer::map() {
    if (!vbo) return;
    OGL_bind_vbo(vbo);
    data = glExt.glMapBufferARB(GL_ARRAY_BUFFER_ARB, GL_READ_WRITE_ARB);
    OGL_bind_vbo(0);
    if (!data)
        __MACIBM_alert(0, "Volatra has run out of video card memory.", "I was unable to shift the scenery.",
                       "Try running Volatra with lower rendering settings.",
                       "If that does not help, please report this to Tessaly!", t_exit, src_tag, 95);
}

void OGL_chunkybuffer::unmap() {
    if (!vbo) return;
    OGL_bind_vbo(vbo);
    glExt.glUnmapBufferARB(GL_ARRAY_BUFFER_ARB);
    OGL_bind_vbo(0);
    data = nullptr;
}

OGL_chunkybuffer::~OGL_chunkybuffer() {
    if (vbo) {
        // Whatever either binder held, nothing stays bound.
        if (last_vbo) {
            OGL_vbo_binds().value += 1;
            glExt.glBindBufferARB(GL_ARRAY_BUFFER_ARB, 0);
            last_vbo = 0;
        }
        if (last_vbo_ind) {
            OGL_vbo_ind_binds().value += 1;
            glExt.glBindBufferARB(GL_ELEMENT_ARRAY_BUFFER_ARB, 0);
            last_vbo_ind = 0;
        }
        const GLuint name = vbo;
        glExt.glDeleteBuffersARB(1, &name);
    }
    if (data && !vbo) std::free(data);
    each_chunk(first_region, [](chunk* c, int) { std::free(c); });
    for (subregion* r = first_region; r;) {
        subregion* next = r->next;
        std::free(r);
        r = next;
    }
    g_mem_used.value -= static_cast<float>(total_size);
}
