#include "engine_helpers.h"

#include <archive.h>
#include <archive_entry.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>

#include "core/globals.h"
#include "files/archives.h"
#include "files/md5.h"
#include "install/builder.h"
#include "install/checksum.h"
#include "install/disc_pipeline.h"

namespace fs = std::filesystem;

const char* const md5_abc = "900150983cd24fb0d6963f7d28e17f72";

std::string md5_of(const std::string& data) {
    temp_folder t;
    std::string hex;
    EXPECT_EQ(calc_file_md5(t.write("f", data), hex), 0);
    return hex;
}

std::string manifest_text(const std::string& body) { return "A\n900 version\nINSTALLER\n\n" + body; }

void reset_engine_state() {
    sim_info.clear();
    note_named_locations();
    deleted_files.clear();
    std::memset(&stg, 0, sizeof(stg));
    stg.platform = 3;
    set_install_filter(1, 1);
    dest_dir_path.clear();
    reset_recorders();
}

file_version_struct& add_history(const std::string& path, std::initializer_list<std::string> sigs,
                                 int platform, float size_b) {
    sim_info.emplace_back();
    for (const std::string& sig : sigs) {
        file_version_struct v;
        v.platform = platform;
        v.sig_want = sig;
        v.path = path;
        v.size_a = size_b / 2;
        v.size_b = size_b;
        v.is_global = is_global_scenery_f(path.c_str()) && find_sector(&v.lon_idx, &v.lat_idx, path);
        sim_info.back().versions.push_back(v);
    }
    return sim_info.back().versions.back();
}

file_version_struct& cur(size_t h) { return sim_info[h].versions.back(); }

void put_zip(const std::string& zip, const std::string& file_name, const std::string& data) {
    temp_folder t;
    fs::create_directories(fs::path(zip).parent_path());
    ASSERT_EQ(file_to_zip(t.write(file_name, data), zip), 0);
}

void put_7z(const std::string& path, const std::vector<std::pair<std::string, std::string>>& entries) {
    fs::create_directories(fs::path(path).parent_path());
    archive* a = archive_write_new();
    archive_write_set_format_7zip(a);
    ASSERT_EQ(archive_write_open_filename(a, path.c_str()), ARCHIVE_OK);
    for (const auto& [name, data] : entries) {
        archive_entry* e = archive_entry_new();
        archive_entry_set_pathname(e, name.c_str());
        archive_entry_set_filetype(e, AE_IFREG);
        archive_entry_set_perm(e, 0644);
        archive_entry_set_size(e, static_cast<la_int64_t>(data.size()));
        ASSERT_EQ(archive_write_header(a, e), ARCHIVE_OK);
        if (!data.empty()) archive_write_data(a, data.data(), data.size());
        archive_entry_free(e);
    }
    archive_write_close(a);
    archive_write_free(a);
}

std::vector<std::string> list_tree(const std::string& root) {
    std::vector<std::string> out;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(root, ec); it != fs::recursive_directory_iterator(); ++it)
        if (!it->is_directory() || it->is_symlink()) out.push_back(it->path().string().substr(root.size()));
    std::sort(out.begin(), out.end());
    return out;
}

int step_until_answer(int& cursor, int disk) {
    for (int i = 0; i < 1000000; ++i) {
        if (int r = install_files(cursor, disk)) return r;
        usleep(100);
    }
    ADD_FAILURE() << "install_files kept answering 0";
    return 0;
}

int checksum_until_done(int& cursor, float& progress, const std::function<void()>& between) {
    int steps = 1;
    for (; !checksum_directory(cursor, progress); ++steps) {
        if (cursor == static_cast<int>(sim_info.size()) && checksum_workers &&
            checksum_workers->count_total_tasks() == 0) {
            ADD_FAILURE() << "the checksum pass goes on with nothing left to do";
            break;
        }
        between();
    }
    return steps;
}

void minimal_master(const std::string& root) {
    for (const char* f : {"All/Aircraft/", "All/Airfoils/", "All/Instructions/", "All/Output/",
                          "All/Weapons/", "All/Custom Scenery/", "All/Global Scenery/",
                          "All/Resources/plugins/", "All/Resources/default scenery/900 red terrain/",
                          "All/Resources/bitmaps/Earth Orbit Textures/", "Macintosh/", "Windows/", "Linux/"})
        fs::create_directories(root + f);
    write_file(root + "All/Resources/menus/English/Volatra.txt", "menus\n");
    write_file(root + "All/Resources/text/English/Volatra.txt", "text\n");
}

void builder_settings(const std::string& src, const std::string& dst, int kind) {
    src_fold = src;
    dst_fold_base = dst;
    fs::create_directories(dst);
    build_type = kind;
    disc_limit_kb = kDiscLimitKb;
    sim_name = build_name[0];
    old_dir_path = "/directory.txt";
    builder_make_paths();
}

std::string built_manifest(const std::string& dst) {
    temp_folder out;
    EXPECT_EQ(zip_to_file(dst + "disk_0/" + sim_name + "/directory.txt.zip", out.path()), 0);
    return out.read("directory.txt");
}

int run(const std::string& command) {
    int st = std::system(command.c_str());
    return WIFEXITED(st) ? WEXITSTATUS(st) : -1;
}
