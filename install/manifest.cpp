// Reader of the manifest "directory.txt" and the tile table it offers.
#include "install/manifest.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string_view>
#include <utility>
#include <vector>

#include "core/alert.h"
#include "core/never_destroyed.h"
#include "core/strings.h"
#include "files/errors.h"
#include "files/file_operations.h"
#include "files/md5.h"
#include "files/versioned_file.h"
#include "install/checksum.h"
#include "install/install_state.h"
#include "platform/plat_paths.h"

never_destroyed<std::vector<file_history_struct>> sim_info_storage;
never_destroyed<std::set<std::string>> deleted_files_storage;
std::vector<file_history_struct>& sim_info = sim_info_storage.value;
std::set<std::string>& deleted_files = deleted_files_storage.value;

namespace {

// The notes of note_named_locations: per trimmed place, the signatures of its versions.
never_destroyed<std::map<std::string, std::set<std::string>, std::less<>>> named_locations_storage;

bool is_line_end(char c) { return c == 0 || c == '\r' || c == '\n'; }
bool is_blank_char(char c) { return is_blank(c); }
bool is_white(char c) { return is_blank(c) || is_line_end(c); }

// A cursor over one line of the manifest (its end excluded).
struct line_scan {
    const char* p;
    const char* e;

    void skip_blanks() { p = std::find_if_not(p, e, is_blank_char); }
    // The keyword followed by a blank or a tab; the cursor then stands on that blank.
    bool keyword(const char* word) {
        const size_t n = std::strlen(word);
        if (static_cast<size_t>(e - p) <= n || std::memcmp(p, word, n) != 0 || !is_blank(p[n])) return false;
        p += n;
        return true;
    }
    std::string token() {
        skip_blanks();
        const char* b = p;
        p = std::find_if(p, e, is_blank_char);
        return std::string(b, p);
    }
    // The rest of the line after its blanks; trailing blanks belong to it.
    std::string rest() {
        skip_blanks();
        std::string r(p, e);
        p = e;
        return r;
    }
    // Lenient number: every byte of the token counts as a digit (its code less '0'). Held at
    // the range of 64 bits instead of wrapping, so a huge size never turns negative. False when
    // the line has no token left.
    bool number(int64_t* out) {
        skip_blanks();
        if (p == e) return false;
        const bool negative = *p == '-';
        if (negative) ++p;
        if (p != e && *p == '+') ++p;
        int64_t v = 0;
        for (const char* end = std::find_if(p, e, is_blank_char); p != end; ++p) {
            const __int128 next = static_cast<__int128>(v) * 10 + (static_cast<unsigned char>(*p) - '0');
            v = next > INT64_MAX ? INT64_MAX : next < INT64_MIN ? INT64_MIN : static_cast<int64_t>(next);
        }
        *out = !negative ? v : v == INT64_MIN ? INT64_MAX : -v;
        return true;
    }
};

int32_t as_int32(int64_t v) { return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX)); }
// Sizes are counts of kilobytes: a negative one would lower the totals of the disk-space check.
float as_size(int64_t v) { return v < 0 ? 0.0f : static_cast<float>(v); }

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
    return marked && p.size() >= 5 && ends_with(lower(p), ".dsf");
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

void note_named_locations() {
    auto& named = named_locations_storage.value;
    named.clear();
    // Histories of different platform folders, or of one path met twice, share a place.
    for (const file_history_struct& h : sim_info) {
        std::string rel = h.versions.back().path;
        trim_dest_folder(rel);
        std::set<std::string>& sigs = named[rel];
        for (const file_version_struct& v : h.versions) sigs.insert(v.sig_want);
    }
}

namespace {

// Whether a relative text, read from a folder depth levels below the copy, climbs above it: no
// release writes one (release_link_climb), so it is the user's.
bool text_climbs_out(size_t depth, const std::string& text) {
    for (const std::string& c : plat::path_components(text)) {
        if (c == ".") continue;
        if (c != "..") {
            ++depth;
        } else if (depth-- == 0) {
            return true;
        }
    }
    return false;
}

size_t depth_of(const std::string& place) {
    return place.empty() ? 0 : static_cast<size_t>(std::count(place.begin(), place.end(), '/')) + 1;
}

// What path adds to base, the folder holding it (path_within): "" or "/" and the rest.
std::string below(const std::string& path, const std::string& base) {
    return base == "/" ? path.size() > 1 ? path : std::string() : path.substr(base.size());
}

std::string parent_part(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

// Where text leads from the folder folder, read by its words alone (for a link that leads nowhere).
std::string lexical_target(const std::string& folder, const std::string& text) {
    std::vector<std::string> parts = plat::path_components(text[0] == '/' ? std::string() : folder);
    for (const std::string& c : plat::path_components(text)) {
        if (c == "..") {
            if (!parts.empty()) parts.pop_back();
        } else if (c != ".") {
            parts.push_back(c);
        }
    }
    std::string out;
    for (const std::string& c : parts) out += "/" + c;
    return out.empty() ? "/" : out;
}

// Links followed on one way before it counts as a loop, as the kernel counts them.
constexpr int max_links_on_a_way = 40;

}  // namespace

bool release_link_at(std::string_view place, const std::string& text) {
    const auto& named = named_locations_storage.value;
    const auto at = named.find(place);
    return at != named.end() &&
           at->second.count(digest_of(reinterpret_cast<const uint8_t*>(text.data()), text.size())) > 0;
}

size_t release_link_climb(const std::string& location) {
    if (!starts_with(location, dest_dir_path)) return SIZE_MAX;
    return static_cast<size_t>(std::count(
        location.begin() + static_cast<std::ptrdiff_t>(dest_dir_path.size()), location.end(), '/'));
}

bool users_link_to_a_folder(const std::string& location) {
    struct stat st;
    if (!starts_with(location, dest_dir_path) || lstat(location.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
        return false;
    // Judged as a folder on a way, the link itself last: the release's (by its text) does not
    // pass, nor one to a file; one that passes leads to a folder. One leading out is never looked
    // through, and one leading nowhere may lead to a folder on a disk that is away: each stands as
    // a folder would.
    const int err = way_to(location + "/").err;
    return err == 0 || err == err_link_leads_out || err == err_link_leads_nowhere;
}

copy_way way_to(const std::string& location) {
    copy_way w;
    w.bound = dest_dir_path;
    if (!starts_with(location, dest_dir_path)) return w;
    const size_t root = dest_dir_path.size();
    // The folders that hold location, next one last, each with the name location gives it (a
    // link's words have none). A "." or ".." of its own leads out of the place it names: the
    // manifest reader refuses them, and so does every step.
    struct step {
        std::string name, own_place;
    };
    std::vector<step> todo;
    for (size_t at = root;;) {
        const size_t slash = location.find('/', at);
        const std::string c =
            location.substr(at, slash == std::string::npos ? std::string::npos : slash - at);
        if (c == "." || c == "..") {
            w.err = err_path_climbs;
            w.item = location.substr(0, slash);
            return w;
        }
        if (slash == std::string::npos) break;
        if (!c.empty()) todo.insert(todo.begin(), {c, location.substr(root, slash - root)});
        at = slash + 1;
    }
    // The walk: cur is the folder reached, to stat (a real folder: no link on it past the copy or
    // a resolved target), place what the copy names it. Beyond a folder the user moved,
    // real_bound is that folder and bound_place its place.
    std::string cur = dest_dir_path.substr(0, root - 1), place, real_copy, real_bound, bound_place;
    // The first link whose text is walked, while its words are: what goes wrong there is its own.
    std::string via, via_text, via_folder, first_link;
    size_t via_until = 0;
    int links = 0;
    const auto fail = [&](int err, const std::string& item, const std::string& leads_to) {
        w.err = err;
        w.item = item;
        w.leads_to = leads_to;
        w.bound = real_bound.empty() ? dest_dir_path : real_bound == "/" ? real_bound : real_bound + "/";
        if (!via.empty()) {
            w.item = via;
            w.leads_to = lexical_target(via_folder, via_text);
            w.bound = dest_dir_path;
            if (err == ENOENT) w.err = err_link_leads_nowhere;
        }
        return w;
    };
    const auto real_copy_path = [&]() -> const std::string& {
        if (real_copy.empty()) real_copy = plat::real_path(dest_dir_path);
        return real_copy;
    };
    while (!todo.empty()) {
        if (!via.empty() && todo.size() <= via_until) via.clear();
        const std::string c = std::move(todo.back().name), own_place = std::move(todo.back().own_place);
        todo.pop_back();
        if (c == ".") continue;
        if (c == "..") {
            // Only a link's text climbs: never out of the copy, nor out of the folder moved.
            if (real_bound.empty() ? place.empty() : (cur.empty() ? "/" : cur) == real_bound)
                return fail(err_link_leads_out, dest_dir_path + place, std::string());
            cur = parent_part(cur);
            place = parent_part(place);
            continue;
        }
        const std::string next = cur + "/" + c;
        const std::string next_place = place.empty() ? c : place + "/" + c;
        const std::string item = dest_dir_path + next_place;
        struct stat st;
        // What is not there yet holds nothing to pass: make_dirs makes it, a read finds nothing.
        // Where a link's words lead, it is a link that leads nowhere.
        if (lstat(next.c_str(), &st) != 0) {
            if (via.empty()) break;
            return fail(ENOENT, item, std::string());
        }
        if (S_ISDIR(st.st_mode)) {
            cur = next;
            place = next_place;
            continue;
        }
        if (!S_ISLNK(st.st_mode)) return fail(ENOTDIR, item, std::string());
        std::string text;
        // Gone since the lstat: it leads nowhere now.
        if (read_link_text(next, &text) != 0 || text.empty())
            return fail(err_link_leads_nowhere, item, std::string());
        // A link whose text is one the release gave this place is the release's, under the name
        // the walk reached or the one location gives it.
        if (release_link_at(next_place, text) ||
            (!own_place.empty() && own_place != next_place && release_link_at(own_place, text)))
            return fail(ENOTDIR, item, std::string());
        if (++links > max_links_on_a_way)
            return fail(err_link_leads_nowhere, item, lexical_target(cur, text));
        if (links == 1) first_link = item;
        const bool absolute = text[0] == '/';
        // A relative text moves the bound only at the first link of the way: a release's link met
        // beyond it (in a folder the user moved inside the copy) may climb out from where it now lies.
        if (!absolute && real_bound.empty() && !(links == 1 && text_climbs_out(depth_of(place), text))) {
            // A text a release could have written: no move of the user's, but a way of its own,
            // judged step by step from here; climbing out of the copy, it leads out.
            if (via.empty()) {
                via = item;
                via_text = text;
                via_folder = cur;
                via_until = todo.size();
            }
            const std::vector<std::string> words = plat::path_components(text);
            for (auto word = words.rbegin(); word != words.rend(); ++word)
                todo.push_back({*word, std::string()});
            continue;
        }
        // The user's move (an absolute text, or one that climbs out of the copy), or a link inside
        // a folder moved.
        const std::string target = plat::real_path(next);
        if (target.empty()) return fail(err_link_leads_nowhere, item, lexical_target(cur, text));
        if (stat(target.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return fail(ENOTDIR, item, std::string());
        if (plat::path_within(target, real_copy_path())) {
            real_bound.clear();
            place = below(target, real_copy);
            if (!place.empty()) place.erase(0, 1);
        } else if (!real_bound.empty() && plat::path_within(target, real_bound)) {
            place = bound_place + below(target, real_bound);
        } else if (absolute || real_bound.empty()) {
            real_bound = target;
            place = bound_place = next_place;
        } else {
            return fail(err_link_leads_out, item, std::string());
        }
        cur = target == "/" ? std::string() : target;
    }
    w.bound = real_bound.empty() ? dest_dir_path : real_bound == "/" ? real_bound : real_bound + "/";
    w.moved_by = real_bound.empty() ? first_link : dest_dir_path + bound_place;
    return w;
}

const copy_way& folder_way::of(const std::string& location) {
    const size_t cut = location.rfind('/') + 1;
    if (folder_.size() != cut || location.compare(0, cut, folder_) != 0) {
        folder_ = location.substr(0, cut);
        way_ = way_to(folder_);
    }
    return way_;
}

int read_directory(const std::string& path, std::string) {
    // Tasks of a running pass point into sim_info.
    checksum_directory_kill();
    deleted_files.clear();
    sim_info.clear();
    named_locations_storage.value.clear();
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

    std::string prefix, previous_path;
    int disk = 0;
    while (file.cur < file.end) {
        const char* line = reinterpret_cast<const char*>(file.cur);
        const char* end = reinterpret_cast<const char*>(file.end);
        line_scan in{line, std::find_if(line, end, is_line_end)};
        file.cur = reinterpret_cast<const uint8_t*>(std::find_if_not(in.e, end, is_white));

        // What follows a disc number is read as a new line start.
        while (in.keyword("DISK")) {
            int64_t n = 0;
            in.number(&n);
            disk = as_int32(n);
            in.skip_blanks();
        }
        if (in.keyword("DIR")) {
            prefix = in.rest();
        } else if (in.keyword("FILE")) {
            file_version_struct v;
            int64_t platform = 0, vcode = 0, size_a = 0, size_b = 0;
            const bool numbers = !in.token().empty() && in.number(&platform) && in.number(&vcode) &&
                                 in.number(&size_a) && in.number(&size_b);
            v.sig_want = numbers ? in.token() : std::string();
            const std::string name = in.rest();
            // A missing field must not be read as 0 or "": the file would install as another.
            if (!numbers || v.sig_want.empty() || name.empty())
                bad_path_alert(
                    "I am reading the directory text file and found a FILE line that lacks a field!",
                    "It needs a platform, a release, two sizes, a signature and a name.",
                    std::string(line, in.e));
            v.platform = static_cast<int>(std::clamp<int64_t>(platform, 0, 6));
            v.vcode = as_int32(vcode);
            v.size_a = as_size(size_a);
            v.size_b = as_size(size_b);
            v.path = prefix + name;
            v.disk = disk;
            v.is_global = is_global_scenery_f(v.path.c_str());
            if (v.is_global && !find_sector(&v.lon_idx, &v.lat_idx, v.path)) v.is_global = 0;
            if (v.path != previous_path || sim_info.empty()) sim_info.emplace_back();
            previous_path = v.path;
            if (path_has_no_file(v.path))
                bad_path_alert("I am reading the directory text file and found a path that has no file!",
                               "This is impossible to download or delete!", v.path);
            // Manifests come from discs and mirror servers: nothing may reach outside the copy.
            if (!path_is_safe(v.path))
                bad_path_alert("I am reading the directory text file and found a path that is not allowed!",
                               "It would lead outside the folder I install to!", v.path);
            sim_info.back().versions.push_back(std::move(v));
        }
    }
    fill_tile_table();
    note_named_locations();
    return 3;
}
