#include "graphics/tman.h"

#include "core/mnw.h"
#include "core/utl_threads.h"

tman_class tman;

tman_class::tman_class() { UTL_critical_section_create(&lock); }

tman_class::~tman_class() { UTL_critical_section_destroy(&lock); }

int tman_class::total_texes() {
    UTL_critical_section_lock(&lock);
    int n = total_count;
    UTL_critical_section_unlock(&lock);
    return n;
}

int tman_class::loaded_texes() {
    UTL_critical_section_lock(&lock);
    int n = loaded_count;
    UTL_critical_section_unlock(&lock);
    return n;
}

int64_t tman_class::tot_vram() {
    UTL_critical_section_lock(&lock);
    int64_t bytes = static_cast<int64_t>(mnw.x_res) * mnw.y_res * mnw.col_res / 8;
    for (const ref_dat_struct& r : ref_dat) bytes += r.vram_bytes;
    UTL_critical_section_unlock(&lock);
    return bytes;
}
