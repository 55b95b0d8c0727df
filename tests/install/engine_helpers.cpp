#include "engine_helpers.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

const char* const md5_abc = "900150983cd24fb0d6963f7d28e17f72";
const char* const md5_empty = "d41d8cd98f00b204e9800998ecf8427e";

std::string manifest_text(const std::string& body) { return "A\n900 version\nINSTALLER\n\n" + body; }

void reset_engine_state() {
    sim_info.clear();
    deleted_files.clear();
    std::memset(&stg, 0, sizeof(stg));
    stg.platform = 3;
    set_install_filter(1, 1);
    dest_dir_path.clear();
}

file_version_struct& add_history(const std::string& path, std::initializer_list<const char*> sigs,
                                 int platform, float size_b) {
    sim_info.emplace_back();
    for (const char* sig : sigs) {
        file_version_struct v;
        v.platform = platform;
        v.sig_want = sig;
        v.path = path;
        v.size_a = size_b / 2;
        v.size_b = size_b;
        v.is_global = is_global_scenery_f(path.c_str());
        if (v.is_global && !find_sector(&v.lon_idx, &v.lat_idx, path)) v.is_global = 0;
        sim_info.back().versions.push_back(v);
    }
    return sim_info.back().versions.back();
}
