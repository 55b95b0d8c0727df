// The install filter, the tile selection and the size totals.
#include <cmath>
#include <cstring>

#include "install/install_state.h"
#include "install/manifest.h"

int g_want_sim = 1;
int g_want_global = 1;

namespace {
bool tile_selected(const file_version_struct& v) { return stg.tile_selected[v.lon_idx][v.lat_idx] != 0; }

// Whether the current version of history h is counted as to install in the totals.
bool counts_to_install(size_t h) {
    const int last = static_cast<int>(sim_info[h].versions.size()) - 1;
    const file_version_struct& v = sim_info[h].versions[last];
    return want_this_f(static_cast<int>(h), last) && v.sig_want != "GONE" && !v.up_to_date &&
           (!v.is_global || tile_selected(v));
}
}  // namespace

void set_install_filter(int want_sim, int want_global) {
    g_want_sim = want_sim;
    g_want_global = want_global;
}

bool want_this_f(int history, int version) {
    const file_version_struct& v = sim_info[history].versions[version];
    if (v.is_global && !g_want_global) return false;
    if (!v.is_global && !g_want_sim) return false;
    if (v.platform == stg.platform || v.platform == 0) return true;
    return v.platform == 6 && stg.platform == 3;
}

void scenery_take_all() { std::memcpy(stg.tile_selected, stg.tile_available, sizeof(stg.tile_selected)); }

void scenery_from_install() {
    std::memset(stg.tile_selected, 0, sizeof(stg.tile_selected));
    for (const file_history_struct& h : sim_info) {
        const file_version_struct& v = h.versions.back();
        if (v.is_global && v.sig_have != "NONE") stg.tile_selected[v.lon_idx][v.lat_idx] = 1;
    }
}

std::set<std::string> filled_locations() {
    std::set<std::string> out;
    for (size_t h = 0; h < sim_info.size(); ++h) {
        const int last = static_cast<int>(sim_info[h].versions.size()) - 1;
        const file_version_struct& v = sim_info[h].versions[last];
        if (v.sig_want == "GONE" || !want_this_f(static_cast<int>(h), last)) continue;
        if (v.is_global && !tile_selected(v)) continue;
        out.insert(install_location(v));
    }
    return out;
}

void recalc_disk_sizes() {
    const std::set<std::string> filled = filled_locations();
    double kb_archive = 0.0, kb_unpacked = 0.0;
    int to_add = 0, to_remove = 0;
    for (size_t h = 0; h < sim_info.size(); ++h) {
        const int last = static_cast<int>(sim_info[h].versions.size()) - 1;
        const file_version_struct& v = sim_info[h].versions[last];
        if (!want_this_f(static_cast<int>(h), last)) continue;
        const bool gone = v.sig_want == "GONE";
        if (counts_to_install(h)) {
            ++to_add;
            kb_archive += v.size_a;
            kb_unpacked += v.size_b;
        }
        if (v.is_global && !tile_selected(v) && v.up_to_date) ++to_remove;
        // A file the release removed and the copy still holds: choose_files deletes it.
        if (gone && !v.sig_have.empty() && v.sig_have != "NONE" && !filled.count(install_location(v)))
            ++to_remove;
    }
    stg.kb_to_download = static_cast<float>(kb_archive);
    stg.kb_to_install = static_cast<float>(kb_unpacked);
    stg.num_to_add = to_add;
    stg.num_to_remove = to_remove;
}

double kb_to_install_in_blocks(uint64_t block) {
    if (block == 0) return stg.kb_to_install;
    // The manifest's whole KB cut off up to 999 bytes: each file is taken at its largest.
    double bytes = 0.0;
    for (size_t h = 0; h < sim_info.size(); ++h) {
        if (!counts_to_install(h)) continue;
        const double most = static_cast<double>(sim_info[h].versions.back().size_b) * 1000.0 + 999.0;
        bytes += std::ceil(most / static_cast<double>(block)) * static_cast<double>(block);
    }
    return bytes / 1000.0;
}
