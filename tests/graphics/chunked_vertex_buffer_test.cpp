#include "graphics/chunked_vertex_buffer.h"

#include <GL/gl.h>
#include <GL/glext.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "common/gl_test_context.h"
#include "graphics/gl_capabilities.h"

namespace {
// Two subregions of 1124 and 48 bytes, counting up from 0 and from 200.
std::vector<unsigned char> fill(OGL_chunkybuffer& b) {
    std::vector<unsigned char> all;
    for (auto [n, start] : {std::pair{1124, 0}, std::pair{48, 200}}) {
        OGL_chunkybuffer::subregion* r = b.new_subregion();
        std::vector<unsigned char> part(n);
        for (int i = 0; i < n; ++i) part[i] = static_cast<unsigned char>(start + i);
        const int first = std::min(n, 100);
        b.write(r, part.data(), first);
        b.write(r, part.data() + first, n - first);
        all.insert(all.end(), part.begin(), part.end());
    }
    return all;
}
}  // namespace

TEST(ChunkyBuffer, OffsetsAndMemoryStore) {
    OGL_chunkybuffer a;
    fill(a);
    a.calc_offsets();
    EXPECT_EQ(a.first_region->offset, 0);
    EXPECT_EQ(a.last_region->offset, 1124);
    EXPECT_EQ(a.total_size, 1172);
    EXPECT_EQ(a.first_region->first_chunk->next->bytes_free, 1024 - 100);

    OGL_chunkybuffer b;
    const std::vector<unsigned char> all = fill(b);
    const float before = g_mem_used.value;
    b.finalize_mem();
    EXPECT_EQ(b.last_region->offset, 1124);
    EXPECT_EQ(g_mem_used.value, before + 1172);
    ASSERT_NE(b.data, nullptr);
    EXPECT_EQ(std::vector<unsigned char>(static_cast<unsigned char*>(b.data), static_cast<unsigned char*>(b.data) + 1172),
              all);
    EXPECT_EQ(b.first_region->first_chunk, nullptr);
    EXPECT_EQ(b.is_mapped(), 0);
    b.map();  // nothing to map in memory
    EXPECT_EQ(b.is_mapped(), 0);
}

TEST(ChunkyBuffer, VertexBufferObject) {
    ASSERT_TRUE(gl_test_context());
    ASSERT_TRUE(glExt.vbo_avail);
    GLuint spare = 0;  // so that the buffer under test is not name 1
    glExt.glGenBuffersARB(1, &spare);
    std::vector<unsigned char> all;
    GLuint name = 0;
    float binds_held = 0, ind_held = 0;
    {
        OGL_chunkybuffer b;
        all = fill(b);
        b.finalize_vbo(1);
        ASSERT_NE(b.vbo, 0u);
        name = b.vbo;
        EXPECT_EQ(b.data, nullptr);
        std::vector<unsigned char> got(1172);
        glExt.glBindBufferARB(GL_ARRAY_BUFFER_ARB, b.vbo);
        glExt.glGetBufferSubDataARB(GL_ARRAY_BUFFER_ARB, 0, 1172, got.data());
        glExt.glBindBufferARB(GL_ARRAY_BUFFER_ARB, 0);
        EXPECT_EQ(got, all);

        b.map();
        EXPECT_EQ(b.is_mapped(), 1);
        EXPECT_EQ(static_cast<unsigned char*>(b.data)[1124], 200);
        b.unmap();
        EXPECT_EQ(b.is_mapped(), 0);
        GLint bound = -1;
        glGetIntegerv(GL_ARRAY_BUFFER_BINDING_ARB, &bound);
        EXPECT_EQ(bound, 0);

        // One-entry caches, one per target.
        const float binds = OGL_vbo_binds().value, ind = OGL_vbo_ind_binds().value;
        const unsigned long id = b.vbo;
        OGL_bind_vbo(id);
        OGL_bind_vbo(id);
        OGL_bind_vbo_ind(id);
        EXPECT_EQ(OGL_vbo_binds().value, binds + 1);
        EXPECT_EQ(OGL_vbo_ind_binds().value, ind + 1);
        binds_held = OGL_vbo_binds().value;
        ind_held = OGL_vbo_ind_binds().value;
    }
    // Each binder's unbind is a bind that reached GL.
    EXPECT_EQ(OGL_vbo_binds().value, binds_held + 1);
    EXPECT_EQ(OGL_vbo_ind_binds().value, ind_held + 1);
    // Destroying a buffer deletes it, leaves nothing bound and both caches empty.
    EXPECT_FALSE(glExt.glIsBufferARB(name));
    GLint bound = -1;
    glGetIntegerv(GL_ARRAY_BUFFER_BINDING_ARB, &bound);
    EXPECT_EQ(bound, 0);
    glGetIntegerv(GL_ELEMENT_ARRAY_BUFFER_BINDING_ARB, &bound);
    EXPECT_EQ(bound, 0);
    const float binds = OGL_vbo_binds().value;
    OGL_bind_vbo(0);
    EXPECT_EQ(OGL_vbo_binds().value, binds);

    glExt.glDeleteBuffersARB(1, &spare);

    OGL_chunkybuffer empty;
    empty.finalize_vbo(0);
    EXPECT_NE(empty.vbo, 0u);
    EXPECT_EQ(empty.total_size, 0);
}

TEST(ChunkyBuffer, AMappingThatFailsIsFatal) {
    ASSERT_TRUE(gl_test_context());
    OGL_chunkybuffer b;
    b.new_subregion();
    b.finalize_vbo(0);
    const PFNGLMAPBUFFERARBPROC map = glExt.glMapBufferARB;
    glExt.glMapBufferARB = [](GLenum, GLenum) -> void* { return nullptr; };
    EXPECT_EXIT(b.map(), testing::ExitedWithCode(1), "Volatra has run out of video card memory.");
    glExt.glMapBufferARB = map;
}
