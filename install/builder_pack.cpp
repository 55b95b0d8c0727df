// The builder's run: the previous manifest, the disc folders, packing with the disc split, the
// histories written into the manifest, the disc identity and the zipped manifest.

#include <archive.h>
#include <archive_entry.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <map>
#include <memory>
#include <vector>

#include "core/alert.h"
#include "core/globals.h"
#include "core/locks_and_queues.h"
#include "core/worker_pool.h"
#include "files/archives.h"
#include "files/errors.h"
#include "files/file_operations.h"
#include "files/md5.h"
#include "files/versioned_file.h"
#include "install/builder.h"
#include "install/builder_alert.h"
#include "install/manifest.h"

int dvd_now = 0;
double zip_size_dvd = 0.0;
std::string prev_dir = "---";
std::string sig;
std::map<std::string, int, no_case_compare_string> sim_info_index;

namespace {
const char kSameFolderLine[] = "THIS MAY SIMPLY BE BECAUSE THE FOLDER ALREADY EXISTS THOUGH!";

void write_file_line(const std::string& name, bool old_list, int platform, int vcode, int size_a, int size_b,
                     const std::string& signature) {
    if (name.empty())
        builder_fatal("0-size filename!", "Now how am I supposed to deal with this?",
                      old_list ? "This is in the OLD file list." : "This is in the NEW file loop", name);
    ouf << "FILE 0 " << platform << " " << vcode << " " << size_a << " " << size_b << " " << signature << " "
        << name << "\n";
}

// A size field of the manifest: kilobytes truncated to an int, held at the int's range rather than
// wrapping (the conversion of an out-of-range value is undefined).
int kb_field(double kb) {
    if (kb >= 2147483647.0) return INT_MAX;
    if (kb <= -2147483648.0) return INT_MIN;
    return static_cast<int>(kb);
}

void write_version_line(const file_version_struct& v, const std::string& name) {
    write_file_line(name, true, v.platform, v.vcode, kb_field(v.size_a), kb_field(v.size_b), v.sig_want);
}

void write_dir_line(const std::string& dir) {
    if (dir == prev_dir) return;
    prev_dir = dir;
    ouf << "\nDIR " << dir << "\n";
}

// The folders of a new disc, laid out as those of disc 0 (comp_paths holds disc 0's).
void make_disc_folders(int n) {
    const std::string first = builder_disc_folder(0);
    const std::string first_bare = first.substr(0, first.size() - 1);
    const std::string target = builder_disc_folder(n);
    for (const std::string& p : comp_paths) {
        if (p == first_bare) {
            make_folder(target);
        } else if (p.compare(0, first.size(), first) == 0) {
            make_folder(target + p.substr(first.size()));
        }
    }
}

// Old histories by install location: a file that moved to another platform folder, or whose
// plug-in code changed, takes the versions of the history that filled its place before.
std::multimap<std::string, int> old_by_location;

std::string location_of(const std::string& path) { return path.substr(path.find('/') + 1); }

bool is_signature(const std::string& sig) {
    if (sig == "GONE") return true;
    return sig.size() == 32 && sig.find_first_not_of("0123456789abcdef") == std::string::npos;
}

// An old line is copied back out only when it passes the checks a new file passes: otherwise
// the manifest written would name another file, or stop every install.
void check_old_version(const file_version_struct& v) {
    const std::string line = "FILE 0 " + std::to_string(v.platform) + " " + std::to_string(v.vcode) + " " +
                             std::to_string(kb_field(v.size_a)) + " " + std::to_string(kb_field(v.size_b)) +
                             " " + v.sig_want + " " + v.path;
    const char* fault = is_signature(v.sig_want) ? nullptr : "Its signature is neither an MD5 nor GONE.";
    for (size_t start = 0; !fault && start <= v.path.size();) {
        const size_t slash = std::min(v.path.find('/', start), v.path.size());
        if (const builder_name_fault* f = builder_check_name(v.path.substr(start, slash - start)))
            fault = f->what;
        start = slash + 1;
    }
    if (fault) builder_fatal("I can not copy this line of the old directory!", fault, line, old_dir_path);
}

void index_old_manifest() {
    old_by_location.clear();
    for (size_t h = 0; h < sim_info.size(); ++h) {
        for (const file_version_struct& v : sim_info[h].versions) check_old_version(v);
        file_version_struct& first = sim_info[h].versions.front();
        old_by_location.emplace(location_of(first.path), static_cast<int>(h));
        std::string key = first.path;
        chop_platform(key, first.platform);
        if (sim_info_index.count(key))
            builder_fatal("WARNING: you appear to have a file TWICE in an old directory file.", "", "",
                          first.path);
        sim_info_index[key] = static_cast<int>(h);
        first.need_install = 1;
        for (const file_version_struct& v : sim_info[h].versions) {
            if (v.vcode == kBuildVcode) {
                char text[64];
                std::snprintf(text, sizeof text, "version_number %f", static_cast<double>(kBuildVcode));
                builder_fatal("You idiot! I already have a version:", text, "in file ", first.path);
            }
        }
    }
}

}  // namespace

// Packing and digests run ahead of the manifest on a pool, one thread per processor; comp_file
// then takes each file's result in the walk's order, so the manifest, the disc split and every
// archive's bytes are those of a build packed one file after another.
class pack_task : public UTL_work_task {
public:
    pack_task(std::string path, std::string staged, bool ready)
        : path(std::move(path)), staged(std::move(staged)), ready(ready) {}
    void do_it() override {
        // Nothing may escape onto the pool thread: the task would never come back.
        try {
            if (ready)
                md5_err = calc_file_md5(path, sig);
            else
                zip_err = file_to_zip(path, staged, &sig);
        } catch (...) {
            zip_err = md5_err = EIO;
        }
    }
    int check_error(std::string& msg) override {
        msg.clear();
        return 0;
    }

    const std::string path, staged;
    const bool ready;
    int zip_err = 0, md5_err = 0;
    std::string sig;
    bool back = false;  // taken back from the pool (main thread only)
};

namespace {

class pack_ahead {
public:
    explicit pack_ahead(const std::vector<std::string>& files) : files_(files), tasks_(files.size()) {
        const int processors = UTL_count_processors();
        window_ = 32 * static_cast<size_t>(processors);
        char name[48];
        std::snprintf(name, sizeof name, ".packing-%d/", static_cast<int>(getpid()));
        staging_ = dst_fold_base + name;
        if (make_folder(staging_) != 0) return;  // packed one by one, then
        pool_ = new UTL_worker_threads(processors, static_cast<int>(window_));
    }
    ~pack_ahead() { abandon(); }

    // The result for files[i], or null when comp_file is to do the work itself.
    const pack_task* take(size_t i) {
        if (!pool_) return nullptr;
        while (queued_ < files_.size() && queued_ < i + window_) queue(queued_++);
        pack_task* t = tasks_[i].get();
        while (t && !t->back) static_cast<pack_task*>(pool_->wait_retired_tasks())->back = true;
        return t;
    }
    // Waits for what is queued, then removes every archive not taken and the staging folder.
    void abandon() {
        if (!pool_) return;
        while (UTL_work_task* t = pool_->wait_retired_tasks()) static_cast<pack_task*>(t)->back = true;
        delete pool_;
        pool_ = nullptr;
        recursive_delete_folder(staging_);
    }

private:
    void queue(size_t i) {
        const std::string& path = files_[i];
        // A Windows program is changed in the master before packing: comp_file does it in order.
        if (path.find(str_win_fold) != std::string::npos && path.find(".exe") != std::string::npos) return;
        tasks_[i].reset(
            new pack_task(path, staging_ + std::to_string(i) + ".zip", file_exists(path + ".7z")));
        pool_->enqueue_task(tasks_[i].get());
    }

    const std::vector<std::string>& files_;
    std::vector<std::unique_ptr<pack_task>> tasks_;
    size_t window_ = 0, queued_ = 0;
    std::string staging_;
    UTL_worker_threads* pool_ = nullptr;
};

// The packing of the running build, for a fatal alert to end.
pack_ahead* running_packer = nullptr;

void write_vanished_files() {
    for (file_history_struct& h : sim_info) {
        const file_version_struct& first = h.versions.front();
        if (first.need_install != 1) continue;
        if (!is_good_file(src_fold + first.path, 0, 0)) continue;
        const size_t cut = first.path.rfind('/');
        const std::string name = cut == std::string::npos ? first.path : first.path.substr(cut + 1);
        const std::string dir = cut == std::string::npos ? "" : first.path.substr(0, cut + 1);
        write_dir_line(dir);
        for (const file_version_struct& v : h.versions) write_version_line(v, name);
        const file_version_struct& last = h.versions.back();
        if (last.sig_want != "GONE") write_file_line(name, false, last.platform, kBuildVcode, 0, 0, "GONE");
    }
}
}  // namespace

std::string builder_disc_folder(int n) {
    char disc[32];
    std::snprintf(disc, sizeof disc, "disk_%d/", n);
    return dst_fold_base + disc;
}

int builder_kb(int64_t bytes) { return kb_field(static_cast<double>(bytes) * 0.001); }

void builder_open_output(const std::string& path) {
    if (!ouf_open(path, 10001, 900, "no-copyright-string"))
        builder_fatal("I could not write a file of the disc set!", path, "", "");
}

void builder_close_output(const std::string& path) {
    ouf.flush();
    const bool failed = ouf.fail();
    ouf.close();
    if (failed || ouf.fail()) builder_fatal("I could not write a file of the disc set!", path, "", "");
}

void builder_digest(const std::string& path, std::string& out) {
    if (calc_file_md5(path, out) != 0) builder_fatal("Could not MD5 file!", path, "", "");
}

int builder_plugin_platform(const std::string& path, int code) {
    if (code != 0 || path.find("All/Resources/plugins/") == std::string::npos) return code;
    static const struct {
        const char* part;
        int code;
    } kPlugins[] = {
        {"All/Resources/plugins/QORV.shlb", 1},
        {"All/Resources/plugins/TarnWidgets.shlb", 1},
        {"All/Resources/plugins/QORV.framework/QORV", 1},
        {"All/Resources/plugins/TarnWidgets.framework/TarnWidgets", 1},
        {"All/Resources/plugins/QORV.dll", 2},
        {"All/Resources/plugins/TarnWidgets.dll", 2},
        {"All/Resources/plugins/QORV.so", 6},
        {"All/Resources/plugins/TarnWidgets.so", 6},
        {"All/Resources/plugins/PluginAdminMac.qzl", 1},
        {"All/Resources/plugins/PluginAdminWin.qzl", 2},
        {"All/Resources/plugins/PluginAdminLin.qzl", 6},
    };
    for (const auto& p : kPlugins)
        if (path.find(p.part) != std::string::npos) code = p.code;
    return code;
}

bool ready_archive_matches(const std::string& archive, const std::string& name, int64_t size) {
    struct archive* a = archive_read_new();
    if (!a) return false;
    archive_read_support_format_7zip(a);
    bool ok = false;
    if (archive_read_open_filename(a, (app_path + archive).c_str(), 65536) == ARCHIVE_OK) {
        archive_entry* e = nullptr;
        if (archive_read_next_header(a, &e) == ARCHIVE_OK) {
            const char* entry_name = archive_entry_pathname(e);
            ok = entry_name && name == entry_name && archive_entry_filetype(e) == AE_IFREG &&
                 archive_entry_size_is_set(e) && archive_entry_size(e) == size &&
                 archive_read_next_header(a, &e) == ARCHIVE_EOF;
        }
    }
    archive_read_free(a);
    return ok;
}

void set_dest_dvd(int n) { dst_folder = builder_disc_folder(n); }

void builder_abandon_packing() {
    if (running_packer) running_packer->abandon();
}

void comp_file(std::string path, const pack_task* packed) {
    // The disc split: the file after the one that filled a disc starts the next disc, so a disc
    // is begun (its DISK line, its folders) only for a file that goes onto it.
    if (zip_size_dvd > disc_limit_kb) {
        zip_size_dvd = 0;
        ++dvd_now;
        ouf << "DISK " << dvd_now << "\n";
        set_dest_dvd(dvd_now);
        make_disc_folders(dvd_now);
    }

    const std::string rel = path.substr(src_fold.size());
    const std::string name = rel.substr(rel.rfind('/') + 1);
    const std::string dir = rel.substr(0, rel.size() - name.size());

    // The installer fetches .7z exactly for paths that contain "Global Scenery"; a disc set packed
    // by any other rule could not be installed.
    const bool ready = file_exists(path + ".7z");
    const bool global = rel.find("Global Scenery") != std::string::npos;
    if (ready != global)
        builder_fatal(ready ? "This file has a ready .7z archive but is not global scenery!"
                            : "This global scenery file has no ready .7z archive beside it!",
                      "The installer takes .7z exactly for paths that contain Global Scenery.", path, "");

    if (path.find(str_win_fold) != std::string::npos && path.find(".exe") != std::string::npos) {
        // Not available here: the file layer stops the build.
        make_file_large_address_aware(path);
    }

    // A link is packed as its text: its size is the text's, also for a link to a folder.
    std::string link_text;
    const bool is_link = is_sim_link(path.c_str(), &link_text);
    const int64_t src_bytes = is_link ? static_cast<int64_t>(link_text.size()) : APL_file_size(path);
    if (src_bytes < 0) builder_fatal("ERROR: could not get src file size!", "", "", "");

    std::string archive = dst_folder + sim_name + "/" + rel + ".zip";
    if (packed && packed->ready != ready) packed = nullptr;  // the master changed meanwhile
    if (!ready) {
        int r = packed ? packed->zip_err : file_to_zip(path, archive, &sig);
        if (r) builder_fatal("I could not zip a file!", error_str(r), path, archive);
        if (packed && rename((app_path + packed->staged).c_str(), (app_path + archive).c_str()) != 0)
            builder_fatal("I could not zip a file!", error_str(errno), path, archive);
    } else {
        archive = dst_folder + sim_name + "/" + rel + ".7z";
        // A stale archive would install content other than the digest recorded for it.
        if (!ready_archive_matches(path + ".7z", name, src_bytes))
            builder_fatal("The ready .7z archive does not match its file!",
                          "It must hold one entry named after the file, of the file's size.", path + ".7z",
                          "");
        if (link((app_path + path + ".7z").c_str(), (app_path + archive).c_str()) != 0)
            builder_fatal("ERROR: could not make hard link!", "", "", "");
    }

    const int64_t archive_bytes = APL_file_size(archive);
    if (archive_bytes < 0) builder_fatal("ERROR: could not get file size!", "", "", "");
    const int size_a = builder_kb(archive_bytes);
    const int size_b = builder_kb(src_bytes);
    zip_size_dvd += size_a;

    // A zip's digest was taken in the read that packed it; a ready archive's file is read for it.
    if (ready && !packed)
        builder_digest(path, sig);
    else if (ready && packed->md5_err)
        builder_fatal("Could not MD5 file!", path, "", "");
    else if (packed)
        sig = packed->sig;

    write_dir_line(dir);

    const std::string first = dir.substr(0, dir.find('/'));
    int code;
    if (first == ALL_str) {
        code = 0;
    } else if (first == APL_str) {
        code = 1;
    } else if (first == WIN_str) {
        code = 2;
    } else if (first == LIN_str) {
        code = 3;
    } else {
        builder_fatal("WHAT THE FUCK? I CAN'T TELL WHAT TYPE OF FILE THIS IS!", dir, first, "");
    }
    code = builder_plugin_platform(path, code);

    // Earlier versions: the history of the same key, then those that filled the same place under
    // another key. Each is used once; a version equal to the new file, and a removal, are dropped.
    std::string key = rel;
    chop_platform(key, code);
    std::vector<int> earlier;
    auto found = sim_info_index.find(key);
    if (found != sim_info_index.end()) earlier.push_back(found->second);
    auto same_place = old_by_location.equal_range(location_of(rel));
    for (auto it = same_place.first; it != same_place.second; ++it)
        if (sim_info[it->second].versions.front().need_install == 1 &&
            (earlier.empty() || it->second != earlier[0]))
            earlier.push_back(it->second);
    for (int h : earlier) {
        for (const file_version_struct& v : sim_info[h].versions)
            if (v.sig_want != sig && v.sig_want != "GONE") write_version_line(v, name);
        sim_info[h].versions.front().need_install = 0;
    }
    write_file_line(name, false, code, kBuildVcode, size_a, size_b, sig);

    ++num_files_com;
    if (num_files_com % 20 == 0)
        builder_progress("reg: " + std::to_string(reg) +
                             ": total files to compress: " + std::to_string(num_files_use) +
                             ". now doing: " + std::to_string(num_files_com) + ".",
                         archive);
}

void sub_install() {
    set_dest_dvd(0);
    const std::string release = dst_folder + sim_name + "/";
    const std::string manifest = release + "directory.txt";
    const std::string manifest_zip = release + "directory.txt.zip";
    const std::string identity = dst_folder + "dvd_version.txt";

    builder_make_paths();
    zip_size_dvd = 0;
    dvd_now = 0;
    prev_dir = "---";
    builder_reset_walk();
    sim_info.clear();
    sim_info_index.clear();

    if (build_type == 0) {
        if (read_directory(old_dir_path, "Scanning old directory text file to get change log!") != 3)
            builder_fatal(
                "I could not read the old directory!",
                "This means that this installer will not delete old files (needed even for the Volatra / "
                "USA scenery install).",
                "It also means I will forget to fix this, and release without an old directory, and think "
                "that older versions of stuff is all user-modified cause I don't recognize it!",
                "So fix this.");
    } else {
        old_dir_path.clear();
    }
    index_old_manifest();

    if (make_folder(dst_folder) != 0)
        builder_fatal("Could not make the dst_folder!", dst_folder, kSameFolderLine, "");
    if (make_folder(release) != 0)
        builder_fatal("Could not make the target_folder!", release, kSameFolderLine, "");

    builder_open_output(manifest);
    ouf << "INSTALLER\n\n";

    pref_level(src_fold);
    builder_check_required();

    set_dest_dvd(dvd_now);
    for (const std::string& p : comp_paths) make_folder(p);
    {
        pack_ahead packer(comp_files);
        running_packer = &packer;
        for (size_t i = 0; i < comp_files.size(); ++i) comp_file(comp_files[i], packer.take(i));
        running_packer = nullptr;
    }
    write_vanished_files();
    builder_close_output(manifest);

    builder_open_output(identity);
    ouf << "DVD\n\n"
        << "VERSION " << sim_name << "\n";
    builder_close_output(identity);

    if (file_to_zip(manifest, manifest_zip) != 0) builder_fatal("zip!=0", "", manifest, manifest_zip);
    if (delete_file(manifest) != 0) builder_fatal("del!=0", "", "", manifest);
}

void build_install() {
    switch (build_type) {
        case 2:
            reg = 1;
            sim_name = build_name[1];
            break;
        case 3:
            reg = 2;
            sim_name = build_name[2];
            break;
        default:
            reg = 0;
            sim_name = build_name[0];
            break;
    }
    sub_install();
    __MACIBM_alert(0, "OK compression is done. Checklist if doing net:",
                   "Put the release's version string and number into serverlist.txt of the internet folder, "
                   "and publish that file.",
                   "Upload the -NET uploads- folder stuff.",
                   "Extract directory.txt.zip to the next previous directory file for use next time.",
                   t_alert, __FILE__, __LINE__);
}
