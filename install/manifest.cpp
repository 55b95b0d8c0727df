// Reader of the manifest "directory.txt" and the tile table it offers.
#include "install/manifest.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "core/alert.h"
#include "core/never_destroyed.h"
#include "core/strings.h"
#include "files/xmap.h"
#include "install/checksum.h"
#include "install/install_state.h"

never_destroyed<std::vector<file_history_struct>> sim_info_storage;
never_destroyed<std::set<std::string>> deleted_files_storage;
std::vector<file_history_struct>& sim_info = sim_info_storage.value;
std::set<std::string>& deleted_files = deleted_files_storage.value;

namespace {

bool is_white(uint8_t c) { return is_blank(c) || c == 0 || c == '\r' || c == '\n'; }

void skip_blanks(xmap_class& in) {
    while (in.cur < in.end && is_blank(*in.cur)) ++in.cur;
}

// The keyword followed by a blank or a tab; the cursor then stands on that blank.
bool scan_keyword(xmap_class& in, const char* word) {
    const size_t n = std::strlen(word);
    if (static_cast<size_t>(in.end - in.cur) <= n) return false;
    if (std::memcmp(in.cur, word, n) != 0 || !is_blank(in.cur[n])) return false;
    in.cur += n;
    return true;
}

// Lenient integer: every byte of the token counts as a digit. Accumulated unsigned, so that a
// garbage token wraps instead of overflowing.
int scan_int(xmap_class& in) {
    skip_blanks(in);
    bool negative = false;
    if (in.cur < in.end && *in.cur == '-') {
        negative = true;
        ++in.cur;
    }
    if (in.cur < in.end && *in.cur == '+') ++in.cur;
    uint32_t value = 0;
    for (; in.cur < in.end && !is_white(*in.cur); ++in.cur)
        value = value * 10u + static_cast<uint32_t>(*in.cur - '0');
    if (negative) value = 0u - value;
    return static_cast<int32_t>(value);
}

bool ends_with_nocase(const std::string& s, const char* tail) {
    size_t n = std::strlen(tail);
    if (s.size() < n) return false;
    for (size_t i = 0; i < n; ++i) {
        char a = s[s.size() - n + i];
        if (a >= 'A' && a <= 'Z') a = static_cast<char>(a - 'A' + 'a');
        if (a != tail[i]) return false;
    }
    return true;
}

[[noreturn]] void bad_path_alert(const char* what, const char* why, const std::string& path) {
    __MACIBM_alert(0, what, why, "It is:", path, t_exit, __FILE__, __LINE__);
    std::abort();  // a fatal alert does not return
}

void fill_tile_table() {
    std::memset(stg.tile_available, 0, sizeof(stg.tile_available));
    int globals = 0, others = 0;
    for (const file_history_struct& h : sim_info) {
        const file_version_struct& v = h.versions.back();
        if (v.is_global) {
            stg.tile_available[v.lon_idx][v.lat_idx] = 1;
            ++globals;
        } else {
            ++others;
        }
    }
    stg.has_scenery = globals > 0;
    stg.has_sim = others > 0;
}

}  // namespace

bool is_global_scenery_f(const char* path) {
    std::string p(path);
    bool marked = p.find("Global Scenery/") != std::string::npos ||
                  p.find("/-global overlays-/") != std::string::npos ||
                  p.find("/-global terrain-/") != std::string::npos ||
                  p.find("/default scenery/DSF 820") != std::string::npos;
    return marked && p.size() >= 5 && ends_with_nocase(p, ".dsf");
}

int find_sector(int* lon_idx, int* lat_idx, std::string path) {
    size_t slash = path.rfind('/');
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    if (name.size() < 3) return 0;
    *lat_idx = (str_to_int(name.substr(0, 3)) + 90) / 10;
    *lon_idx = (str_to_int(name.substr(3, 4)) + 180) / 10;
    return *lat_idx >= 0 && *lat_idx <= 17 && *lon_idx >= 0 && *lon_idx <= 35;
}

bool path_has_no_file(std::string path) { return !path.empty() && path.back() == '/'; }

bool path_is_safe(const std::string& path) {
    if (path.empty()) return false;
    size_t start = 0;
    while (true) {
        size_t slash = path.find('/', start);
        size_t stop = slash == std::string::npos ? path.size() : slash;
        std::string part = path.substr(start, stop - start);
        if (part.empty() || part == "." || part == "..") return false;
        if (slash == std::string::npos) break;
        start = slash + 1;
    }
    for (unsigned char c : path)
        if (c < 0x20 || c == 0x7f || c == '\\') return false;
    return true;
}

void trim_dest_folder(std::string& path) {
    size_t slash = path.find('/');
    if (slash != std::string::npos) path.erase(0, slash + 1);
}

std::string install_location(const file_version_struct& v) {
    std::string rel = v.path;
    trim_dest_folder(rel);
    return dest_dir_path + rel;
}

int read_directory(const std::string& path, std::string) {
    // Tasks of a running pass point into sim_info.
    checksum_directory_kill();
    deleted_files.clear();
    sim_info.clear();
    stg.kb_to_download = 0.0f;
    stg.kb_to_install = 0.0f;
    stg.num_to_add = 0;
    stg.num_to_remove = 0;

    xmap_class file(path);
    if (file.base == nullptr) {
        __MACIBM_alert(0, "I tried to read a directory file that does not exist!", "The file is:", path, "",
                       t_exit, __FILE__, __LINE__);
        return 2;
    }
    static const int versions[] = {840, 900, 0};
    if (file.check_file(10001, versions, "INSTALLER", nullptr) == 0) return 2;

    std::string prefix, previous_path, ignored;
    int disk = 0;
    while (file.cur < file.end) {
        skip_blanks(file);
        if (scan_keyword(file, "DIR")) {
            file.TXT_str_scan_eoln(&prefix);
        } else if (scan_keyword(file, "DISK")) {
            disk = scan_int(file);
        } else if (scan_keyword(file, "FILE")) {
            file_version_struct v;
            file.TXT_str_scan_space(&ignored);
            v.platform = scan_int(file);
            if (v.platform < 0) v.platform = 0;
            if (v.platform > 6) v.platform = 6;
            v.vcode = scan_int(file);
            v.size_a = static_cast<float>(scan_int(file));
            v.size_b = static_cast<float>(scan_int(file));
            file.TXT_str_scan_space(&v.sig_want);
            std::string name;
            file.TXT_str_scan_eoln(&name);
            v.path = prefix + name;
            v.disk = disk;
            v.is_global = is_global_scenery_f(v.path.c_str());
            if (v.is_global && !find_sector(&v.lon_idx, &v.lat_idx, v.path)) v.is_global = 0;
            if (v.path != previous_path || sim_info.empty()) sim_info.emplace_back();
            previous_path = v.path;
            if (v.path.empty() || path_has_no_file(v.path))
                bad_path_alert("I am reading the directory text file and found a path that has no file!",
                               "This is impossible to download or delete!", v.path);
            // Manifests come from discs and mirror servers: nothing may reach outside the copy.
            if (!path_is_safe(v.path))
                bad_path_alert("I am reading the directory text file and found a path that is not allowed!",
                               "It would lead outside the folder I install to!", v.path);
            sim_info.back().versions.push_back(std::move(v));
        } else {
            file.TXT_str_scan_eoln(nullptr);  // not a record: the whole line goes
        }
    }
    fill_tile_table();
    return 3;
}
