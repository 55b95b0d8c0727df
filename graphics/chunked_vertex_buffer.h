// Graphics layer (graphics/).
// Vertex data gathered in fixed 1024-byte chunks, in subregions, then made one contiguous
// store: a vertex buffer object, or one block of memory where there are none. Each subregion
// learns its byte offset in the store. Main (GL) thread only.
#pragma once

#include <cstdint>

#include "core/statistics.h"

class OGL_chunkybuffer {
public:
    static constexpr int chunk_bytes = 1024;
    struct chunk {
        chunk* next;
        int32_t bytes_free;  // starts at 1024; in use = 1024 - bytes_free, whole 32-bit words
        unsigned char chunk_data[chunk_bytes];
    };
    struct subregion {
        subregion* next;
        chunk* first_chunk;  // null once finalised
        chunk* current_chunk;
        unsigned char* write_pos;
        int32_t offset;  // of this subregion's data in the finalised store
    };

    OGL_chunkybuffer() = default;
    ~OGL_chunkybuffer();
    OGL_chunkybuffer(const OGL_chunkybuffer&) = delete;
    OGL_chunkybuffer& operator=(const OGL_chunkybuffer&) = delete;

    subregion* new_subregion();
    // Appends bytes (a multiple of 4) to the subregion, starting new chunks as they fill.
    void write(subregion* region, const void* bytes, int count);
    void calc_offsets();
    // Into a new VBO (static or stream draw); only while glExt.vbo_avail is 1.
    void finalize_vbo(int is_static);
    void finalize_mem();
    void map();
    void unmap();
    int is_mapped() { return vbo != 0 && data != nullptr ? 1 : 0; }

    void* data = nullptr;  // the mapped VBO, the memory block, or null
    uint32_t vbo = 0;
    int32_t total_size = 0;
    subregion* first_region = nullptr;
    subregion* last_region = nullptr;

private:
    chunk* new_chunk();
};

// Bind the array and element-array buffers, skipping a bind of the buffer already bound.
void OGL_bind_vbo(const unsigned long& id);
void OGL_bind_vbo_ind(const unsigned long& id);

// Bytes held by finalised chunky buffers ("memory/chunky_buffers").
extern UTL_stat g_mem_used;
// The binds of each binder that reached GL ("num_xdl_bind", "num_xdl_bind_ind").
UTL_stat& OGL_vbo_binds();
UTL_stat& OGL_vbo_ind_binds();
