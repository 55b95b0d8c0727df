// File-system operations: folders, copy, rename, delete, free space, eject (files layer).
#include "files/file_operations.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstring>
#include <memory>

#include "core/alert.h"
#include "core/globals.h"
#include "core/named_commands.h"
#include "core/strings.h"
#include "files/errors.h"
#include "files/safe_extract.h"
#include "platform/plat_paths.h"
#include "platform/plat_process.h"
#include "platform/plat_shared_libraries.h"
#include "platform/plat_volumes.h"

namespace {

std::string strip_one_slash(std::string p) {
    if (p.size() > 1 && p.back() == '/') p.pop_back();
    return p;
}

std::string upper(std::string s) {
    for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

// Every entry but "." and "..", hidden ones included; folders told by lstat, so a link is
// never taken for the folder it points to.
struct dir_entry {
    std::string name;
    bool is_dir;
    bool is_link;
};

int list_entries(const std::string& dir, std::vector<dir_entry>& out) {
    DIR* d = opendir(dir.c_str());
    if (!d) return errno;
    std::string base = dir.empty() || dir.back() == '/' ? dir : dir + "/";
    while (dirent* e = readdir(d)) {
        if (!std::strcmp(e->d_name, ".") || !std::strcmp(e->d_name, "..")) continue;
        struct stat st;
        std::string full = base + e->d_name;
        bool ok = lstat(full.c_str(), &st) == 0;
        out.push_back({e->d_name, ok && S_ISDIR(st.st_mode), ok && S_ISLNK(st.st_mode)});
    }
    closedir(d);
    return 0;
}

}  // namespace

int read_link_text(const std::string& path, std::string* text) {
    std::vector<char> buf(4096);
    ssize_t n;
    while ((n = readlink(path.c_str(), buf.data(), buf.size())) == static_cast<ssize_t>(buf.size()))
        buf.resize(buf.size() * 2);
    if (n < 0) return errno;
    text->assign(buf.data(), static_cast<size_t>(n));
    return 0;
}

namespace {

int copy_link(const std::string& src, const std::string& dst) {
    std::string text;
    if (int err = read_link_text(src, &text)) return err;
    struct stat st;
    if (lstat(dst.c_str(), &st) == 0 && !S_ISDIR(st.st_mode)) unlink(dst.c_str());
    if (symlink(text.c_str(), dst.c_str()) != 0) return errno;
    return 0;
}

void fatal_path(const char* line1, const std::string& path, const char* file, int line) {
    __MACIBM_alert(0, line1, path, "", "", t_exit, file, line);
}

int path_as_given(char*) { return 0; }
std::atomic<find_path_fn> find_path_hook{path_as_given};

}  // namespace

int g_case_sensitive = 0;

find_path_fn set_find_path_hook(find_path_fn fn) { return find_path_hook.exchange(fn ? fn : path_as_given); }

void MACIBM_set_app_path(std::string* out, int keep_bundle) {
    std::string p = plat::bundle_of_exe(plat::exe_path());
    if (!keep_bundle) {
        // A '/' that ends the path is not the separator: the component before it goes too.
        if (p.size() > 2 && p.back() == '/') p.pop_back();
        p.erase(p.rfind('/') + 1);
    }
    *out = p;
}

// --- paths

void io_check_path_length(const std::string& full_path) {
    if (full_path.size() > 499) fatal_path("String too long!", full_path, __FILE__, __LINE__);
}

std::string io_case_fix(const std::string& full_path) {
    if (!g_case_sensitive) return full_path;
    io_check_path_length(full_path);
    char buf[500];
    std::memcpy(buf, full_path.c_str(), full_path.size() + 1);
    find_path_hook.load()(buf);
    return buf;
}

void get_OS_abs_path(os_dir_type type, std::string& out) {
    std::string p;
    switch (type) {
        case os_dir_this_app:
        case os_dir_this_app_bundle:
            MACIBM_set_app_path(&p, type == os_dir_this_app_bundle);
            if (p.empty()) return;
            break;
        case os_dir_desktop:
        case os_dir_default_apps:
            if (!plat::desktop_dir(p)) return;
            break;
        case os_dir_temp:
            if (!plat::temp_dir(p)) return;
            break;
        case os_dir_prefs:
            if (!plat::prefs_dir(p)) return;
            break;
        default:
            return;
    }
    // ':' and '\\' are ordinary characters of a Linux name: the folder is used as it is.
    out = p;
}

int FSRefToFilePath(FSRef* ref, std::string& out) {
    if (!ref || ref->path.empty() || ref->path.size() > 2047) return -1;
    out = ref->path;
    return 0;
}

int FilePathToFSRefAndName(const char* path, FSRef* ref, std::string* leaf) {
    if (!path || !ref) return -50;
    std::string p = path;
    struct stat st;
    if (!leaf) {
        if (lstat(p.c_str(), &st) != 0) return errno;
        ref->path = p;
        return 0;
    }
    p = strip_one_slash(p);
    size_t s = p.rfind('/');
    std::string parent = s == std::string::npos ? "." : (s == 0 ? "/" : p.substr(0, s));
    std::string name = s == std::string::npos ? p : p.substr(s + 1);
    if (stat(parent.c_str(), &st) != 0) return errno;
    if (!S_ISDIR(st.st_mode)) return ENOTDIR;
    ref->path = parent;
    *leaf = name;
    return 0;
}

void ConvertPathToCFM(std::string& path) {
    bool folder = !path.empty() && path.back() == '/';
    std::string out;
    size_t i = path.empty() || path[0] != '/' ? 0 : 1;
    while (i < path.size()) {
        size_t j = path.find('/', i);
        if (j == std::string::npos) j = path.size();
        std::string comp = path.substr(i, j - i);
        std::replace(comp.begin(), comp.end(), ':', '/');
        if (!comp.empty()) out += (out.empty() ? "" : ":") + comp;
        i = j + 1;
    }
    if (folder) out += ':';
    path = out;
}

// --- tests on paths

bool file_exists(std::string path) {
    struct stat st;
    std::string full = io_case_fix(app_path + path);
    return stat(full.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

bool dir_exists(std::string path) {
    struct stat st;
    std::string full = io_case_fix(strip_one_slash(app_path + path));
    return stat(full.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

int64_t APL_file_size(const std::string& path) {
    struct stat st;
    std::string full = io_case_fix(app_path + path);
    if (stat(full.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) return -1;
    return static_cast<int64_t>(st.st_size);
}

bool is_sim_link(const char* path, std::string* target) {
    std::string full = app_path + (path ? path : "");
    struct stat st;
    if (lstat(full.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return false;
    if (target) {
        char buf[500];
        ssize_t n = readlink(full.c_str(), buf, sizeof buf - 1);
        if (n >= 0) target->assign(buf, static_cast<size_t>(n));
    }
    return true;
}

// --- copy

// The file that opening path for writing would write: path itself, or the end of its chain of
// links (which need not exist yet). 0 or errno (ELOOP for a chain that never ends).
int final_target(std::string path, std::string* out) {
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st;
        if (lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) {
            *out = path;
            return 0;
        }
        std::string text;
        if (int err = read_link_text(path, &text)) return err;
        path = text.front() == '/' ? text : plat::parent_of(path) + "/" + text;
    }
    return ELOOP;
}

int copy_file(const std::string& src, const std::string& dst_given) {
    // The source is opened first, and the copy goes to a temporary name that replaces the
    // destination only once complete: a failed copy never costs the old destination.
    plat::fd_closer in{open(src.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK)};
    if (in.fd < 0) return 2;
    struct stat st;
    if (fstat(in.fd, &st) != 0) return errno;
    if (S_ISDIR(st.st_mode)) return EISDIR;
    if (!S_ISREG(st.st_mode)) return 2;
    // Onto a link: its target gets the copy and the link stays, as writing through it would do.
    std::string dst;
    if (int err = final_target(dst_given, &dst)) return ERR_MARK(), err;

    // A short hidden name beside the destination, whatever the length of its own name, of the
    // reserved form: what a killed copy leaves is swept like the extractors' leftovers.
    std::string tmp;
    plat::fd_closer out{create_temp_beside(dst, &tmp)};
    if (out.fd < 0) return 2;

    // The source's mode before its bytes: a private file is never readable by others here.
    int err = fchmod(out.fd, st.st_mode & 0777) != 0 ? errno : plat::copy_all(in.fd, out.fd);
    // close reports what the last writes could not: a full disc or a failed device.
    if (close(out.release()) != 0 && !err) err = errno;
    if (!err && rename(tmp.c_str(), dst.c_str()) != 0) err = errno;
    if (err) {
        unlink(tmp.c_str());
        ERR_MARK();
    }
    return err;
}

int copy_file_recursive(const std::string& src, const std::string& dst) {
    if (!dir_exists(src)) return copy_file(src, dst);
    int err = make_folder(dst + "/");
    if (err == EEXIST && dir_exists(dst)) err = 0;  // copying over an earlier copy
    std::vector<dir_entry> entries;
    // A folder that cannot be read would otherwise pass for an empty one: the copy is not whole.
    if (!err) err = list_entries(app_path + src, entries);
    if (err) return ERR_MARK(), err;
    std::sort(entries.begin(), entries.end(),
              [](const dir_entry& a, const dir_entry& b) { return lower(a.name) < lower(b.name); });
    for (const dir_entry& e : entries) {
        std::string s = src + "/" + e.name, d = dst + "/" + e.name;
        if ((err = e.is_link ? copy_link(app_path + s, d) : copy_file_recursive(s, d)) != 0) return err;
    }
    return 0;
}

// --- delete and create

int delete_file(std::string path) {
    std::string full = app_path + path;
    if (full.empty()) return 2;
    int r = full.back() == '/' ? rmdir(strip_one_slash(full).c_str()) : unlink(full.c_str());
    if (r == 0) return 0;
    ERR_MARK();
    return errno;
}

namespace {

// The components of path made absolute (against the working folder), "." and ".." applied.
std::vector<std::string> absolute_components(const std::string& path) {
    std::string p = path;
    if (p.empty() || p[0] != '/') {
        char cwd[PATH_MAX];
        p = std::string(getcwd(cwd, sizeof cwd) ? cwd : "") + "/" + p;
    }
    std::vector<std::string> out;
    for (size_t i = 0; i < p.size();) {
        size_t j = std::min(p.find('/', i), p.size());
        std::string c = p.substr(i, j - i);
        if (c == "..") {
            if (!out.empty()) out.pop_back();
        } else if (!c.empty() && c != ".") {
            out.push_back(c);
        }
        i = j + 1;
    }
    return out;
}

// True when removing the folder at these components would take the root, a top-level folder,
// or a home folder (or a folder holding one) with it.
bool too_precious(const std::vector<std::string>& folder,
                  const std::vector<std::vector<std::string>>& homes) {
    if (folder.size() < 2) return true;
    for (const auto& home : homes)
        if (home.size() >= folder.size() && std::equal(folder.begin(), folder.end(), home.begin()))
            return true;
    return false;
}

int delete_tree(const std::string& dir, const std::string& spare) {
    // A link standing for the folder goes as a link; its target is not ours to empty.
    if (is_sim_link(strip_one_slash(dir).c_str(), nullptr)) return delete_file(strip_one_slash(dir));
    std::vector<dir_entry> entries;
    int err = list_entries(app_path + dir, entries);
    if (err) return ERR_MARK(), err;
    for (const dir_entry& e : entries) {
        if (!e.is_dir && dir + e.name == spare) continue;
        if ((err = e.is_dir ? delete_tree(dir + e.name + "/", spare) : delete_file(dir + e.name)) != 0) return err;
    }
    if (!spare.empty() && spare.compare(0, dir.size(), dir) == 0) return 0;
    return delete_file(dir);
}

}  // namespace

int recursive_delete_folder(std::string dir, const std::string& spare) {
    // A caller's empty or half-built path must never become the root or the user's home: the
    // path must name a folder (trailing '/'), read as written and with its links resolved.
    std::string full = app_path + dir;
    bool refuse = full.empty() || full.back() != '/';
    if (!refuse) {
        std::vector<std::vector<std::string>> homes;
        for (const std::string& h : {plat::home_dir(), plat::real_path(plat::home_dir())})
            if (!h.empty()) homes.push_back(absolute_components(h));
        const std::string bare = strip_one_slash(full), real_parent = plat::real_path(plat::parent_of(bare));
        refuse =
            too_precious(absolute_components(full), homes) ||
            (!real_parent.empty() &&
             too_precious(absolute_components(real_parent + "/" + bare.substr(bare.rfind('/') + 1)), homes));
    }
    if (refuse) {
        xer << "Refused to delete the folder \"" << full << "\" with everything in it.\n";
        return ERR_MARK(), EINVAL;
    }
    return delete_tree(dir, spare);
}

int rename_file(const std::string& dir, const std::string& old_name, const std::string& new_name) {
    if (rename((dir + old_name).c_str(), (dir + new_name).c_str()) == 0) return 0;
    ERR_MARK();
    return errno;
}

int make_folder(const std::string& path) {
    if (mkdir(strip_one_slash(path).c_str(), 0755) == 0) return 0;
    ERR_MARK();
    return errno;
}

int make_file_executable(const char* path) {
    std::string full = app_path + (path ? path : "");
    return chmod(full.c_str(), 0755) == 0 ? 0 : errno;
}

int show_del_err(int) { return 0; }

int show_make_dir_err(int err) { return err == 0 || err == -48 || err == EEXIST ? 0 : 1; }

// --- volumes

int get_free_space(const std::string& path, unsigned long long* total, unsigned long long* free,
                   unsigned long long* block) {
    FSRef ref;
    std::string leaf;
    int err = FilePathToFSRefAndName(path.c_str(), &ref, &leaf);
    if (err) return err;
    uint64_t t = 0, f = 0, b = 0;
    if ((err = plat::free_space(ref.path, &t, &f, &b)) != 0) return err;
    if (total) *total = t;
    if (free) *free = f;
    if (block) *block = b;
    return 0;
}

int eject_dvd(std::string path) {
    FSRef ref;
    int err = FilePathToFSRefAndName(path.c_str(), &ref, nullptr);
    if (err) return err;
    std::string mount_point, source, fstype;
    if ((err = plat::mount_point_of(ref.path, mount_point, &source, &fstype)) != 0) return err;
    return plat::eject(mount_point, source, fstype);
}

// --- listing

int opensave_takeit(const std::string& dir, const std::string& name, int mode, int& type) {
    static const struct {
        const char* ext;
        int type;
    } kExt[] = {{".AFL", 4},  {".WPN", 5},  {".ACF", 3},  {".OBJ", 7},  {".SIT", 9},  {".SMO", 10},
                {".TXT", 19}, {".FMS", 11}, {".TRA", 13}, {".CAR", 14}, {".SPA", 15}, {".REG", 16},
                {".WAV", 6},  {".BMP", 2},  {".PNG", 2},  {".FDR", 8},  {".DSF", 17}, {".HGT", 18}};
    std::string full = dir + name;
    if (name.size() >= 4) {
        std::string ext = upper(name.substr(name.size() - 4));
        for (const auto& e : kExt)
            if (ext == e.ext) type = e.type;
    }
    if (mode == 12) {
        static const std::string panels = std::string("Resources/bitmaps/cockpit/-panels-/").substr(0, 32);
        if (full.size() >= panels.size() && lower(full.substr(0, panels.size())) == lower(panels)) return 0;
        if (name.size() >= 6) {
            std::string tail = name.substr(name.size() - 6, 3);
            if (tail == "-1." || tail == "-2." || tail == "-3." || tail == "-4.") return 0;
        }
    }
    if (name.empty() || name[0] == '.') return 0;
    return type == 1 || mode == 0 || mode == type || (mode == 12 && type == 2);
}

int opensave_getitems(const std::string& dir, int mode, std::vector<std::string>& names,
                      std::vector<int>& types) {
    names.clear();
    types.clear();
    if (mode == 20) return 0;
    if (mode == 21) {
        get_cmds_in_path(dir, names);
        for (std::string& n : names) {
            bool folder = !n.empty() && n.back() == '/';
            if (folder) n.pop_back();
            types.push_back(folder ? 1 : 21);
        }
        return static_cast<int>(names.size());
    }
    std::string full = app_path + dir;
    if (full.size() > 1 && full.back() != '/')
        __MACIBM_alert(0, "Working path does not appear to be a directory!",
                       "This is not consistent with my labelling practices!",
                       "I need to end all paths with the directory indicator!", full, t_exit, __FILE__,
                       __LINE__);
    std::vector<dir_entry> entries;
    // An empty path is the working folder.
    if (list_entries(full.empty() ? "./" : full, entries) != 0) return 0;
    std::vector<std::pair<std::string, int>> items;
    for (const dir_entry& e : entries) {
        int type = e.is_dir ? 1 : 0;
        if (opensave_takeit(dir, e.name, mode, type)) items.emplace_back(e.name, type);
    }
    // Names equal but for case ("alps", "Alps") go in byte order, not in the folder's order.
    std::sort(items.begin(), items.end(), [](const auto& a, const auto& b) {
        std::string la = lower(a.first), lb = lower(b.first);
        return la != lb ? la < lb : a.first < b.first;
    });
    for (auto& it : items) {
        names.push_back(it.first);
        types.push_back(it.second);
    }
    return static_cast<int>(names.size());
}

// --- code bundles

int load_bundle_by_filename(const char* name, int report, CFBundleRef* bundle) {
    auto fail = [&](int code, const char* text) {
        if (report) __MACIBM_alert(0, text, "", "", name ? name : "", t_exit, __FILE__, __LINE__);
        return code;
    };
    if (!name) return fail(-50, "Could not make strsing.");
    std::string library = plat::framework_library(name);
    if (library.empty()) return fail(-43, "Could not find bundle in frameworks folder");
    std::string why;
    void* h = plat::framework_load(library, &why);
    if (!h) {
        xer << "Could not load " << library << " for " << name << ": " << why << "\n";
        return fail(-37, "Could not load code for framework");
    }
    if (bundle)
        *bundle = h;
    else
        plat::framework_release(h);
    return 0;
}

void* CFBundleGetFunctionPointerForName(CFBundleRef bundle, const char* name) {
    return plat::framework_symbol(bundle, name);
}

// --- handing over

int launch_app(const std::string& app, const std::string& path_arg) {
    std::string exe = plat::bundle_executable(strip_one_slash(app_path + app));
    xer << "Launching: " << exe << " with " << path_arg << "\n";
    xer.flush();
    std::vector<std::string> argv{exe};
    if (!path_arg.empty()) {
        argv.push_back("-path");
        argv.push_back(path_arg);
    }
    pid_t child;
    int err = plat::spawn(exe, argv, &child);
    if (err) {
        xer << "Launch failed: " << error_str(err) << " (" << err << ")\n";
        return err;
    }
    MACIBM_finishup(1);
    // Skips static destructors: worker threads may still hold what they would destroy.
    _exit(1);
}

void make_file_large_address_aware(std::string) {
    __MACIBM_alert(0, "The set large address code has not been ported to big-endian macs",
                   "This routine should only be used by an installer MAKER", "", "", t_exit, __FILE__,
                   __LINE__);
}
