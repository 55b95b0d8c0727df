#include "wizard/disk_space.h"

#include <cstdio>

#include "core/localisation.h"
#include "core/strings.h"
#include "files/file_operations.h"
#include "install/install_state.h"
#include "install/manifest.h"
#include "wizard/wizard_draw.h"
#include "wizard/wizard_frame.h"

std::string size_string(float kb) {
    char buf[64];
    if (kb > 1024000.0f)
        std::snprintf(buf, sizeof buf, "%.1f GB", kb / 1048576.0f);
    else if (kb > 1024.0f)
        std::snprintf(buf, sizeof buf, "%.0f MB", kb / 1024.0f);
    else
        std::snprintf(buf, sizeof buf, "%.0f KB", kb);
    return buf;
}

void set_size_str(float kb, std::string* out) {
    float m = kb * 0.001f;
    if (m >= 1000.0f) {
        flt_to_str(m * 0.001f, out, 2, 1, 0);
        *out += " Gig";
    } else {
        flt_to_str(m, out, 2, 1, 0);
        *out += " Meg";
    }
}

bool disk_space_text(unsigned long long total_bytes, unsigned long long free_bytes, float needed_kb,
                     const std::string& enough_text, const std::string& short_text, std::string* out) {
    // Whole KB first, in 64 bits: a volume of terabytes does not fit a float's bytes exactly.
    const float size_kb = static_cast<float>(total_bytes / 1000), free_kb = static_cast<float>(free_bytes / 1000);
    const bool enough = free_kb >= needed_kb;
    std::string form = UTL_translate_string("Disk size: %s\nFree disk space: %s\nDisk space needed to install: %s.\n\n%s");
    *out = fill_format(form, {size_string(size_kb), size_string(free_kb), size_string(needed_kb),
                              enough ? enough_text : short_text});
    return enough;
}

bool UTIL_disk_space(const std::string& enough_text, const std::string& short_text) {
    unsigned long long total = 0, free = 0, block = 0;
    if (get_free_space(dest_dir_path, &total, &free, &block) != 0) return true;
    // Files take whole blocks: the sum of their sizes would promise room that is not there.
    const float needed = static_cast<float>(kb_to_install_in_blocks(block));
    std::string text;
    bool enough = disk_space_text(total, free, needed, enough_text, short_text, &text);
    wizard_text(45, 220, 130, text, 560, 0);
    return enough;
}
