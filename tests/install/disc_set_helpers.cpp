#include "install/disc_set_helpers.h"

#include <archive.h>
#include <archive_entry.h>
#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "core/wx.h"
#include "files/io_utils.h"
#include "files/md5.h"
#include "files/zip_utils.h"
#include "install/builder.h"
#include "install/disc_pipeline.h"

namespace ds {

void mkdirs(const std::string& folder) {
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
}

void put(const std::string& path, const std::string& data, mode_t mode) {
    write_file(path, data);
    ASSERT_EQ(read_file(path).size(), data.size()) << path;
    chmod(path.c_str(), mode);
}

namespace {
void walk(const std::string& root, const std::string& rel, std::vector<std::string>& out) {
    DIR* d = opendir((root + rel).c_str());
    if (!d) return;
    while (dirent* e = readdir(d)) {
        std::string n = e->d_name;
        if (n == "." || n == "..") continue;
        struct stat st;
        if (lstat((root + rel + n).c_str(), &st) != 0) continue;
        if (S_ISDIR(st.st_mode)) {
            walk(root, rel + n + "/", out);
        } else {
            out.push_back(rel + n);
        }
    }
    closedir(d);
}
}  // namespace

std::vector<std::string> list_tree(const std::string& root) {
    std::vector<std::string> out;
    walk(root, "", out);
    std::sort(out.begin(), out.end());
    return out;
}

void put_7z(const std::string& archive_path, const std::string& entry_name, const std::string& data) {
    mkdirs(archive_path.substr(0, archive_path.rfind('/')));
    archive* a = archive_write_new();
    ASSERT_EQ(archive_write_set_format_7zip(a), ARCHIVE_OK);
    ASSERT_EQ(archive_write_open_filename(a, archive_path.c_str()), ARCHIVE_OK);
    archive_entry* e = archive_entry_new();
    archive_entry_set_pathname(e, entry_name.c_str());
    archive_entry_set_filetype(e, AE_IFREG);
    archive_entry_set_perm(e, 0644);
    archive_entry_set_size(e, static_cast<la_int64_t>(data.size()));
    ASSERT_EQ(archive_write_header(a, e), ARCHIVE_OK);
    if (!data.empty()) {
        ASSERT_EQ(archive_write_data(a, data.data(), data.size()), static_cast<la_ssize_t>(data.size()));
    }
    ASSERT_EQ(archive_write_close(a), ARCHIVE_OK);
    archive_entry_free(e);
    archive_write_free(a);
}

std::string md5_of(const std::string& data) {
    temp_folder s;
    put(s.path() + "f", data);
    std::string hex;
    EXPECT_EQ(calc_file_md5(s.path() + "f", hex), 0);
    return hex;
}

int step_until_answer(int& cursor, int disk) {
    const auto give_up = std::chrono::steady_clock::now() + std::chrono::minutes(2);
    for (;;) {
        int r = install_files(cursor, disk);
        if (r != 0) return r;
        if (std::chrono::steady_clock::now() > give_up) {
            ADD_FAILURE() << "install_files kept answering 0";
            return 0;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

void minimal_master(const std::string& root) {
    for (const char* f : {"All/Aircraft/", "All/Airfoils/", "All/Instructions/", "All/Output/",
                          "All/Weapons/", "All/Custom Scenery/", "All/Global Scenery/",
                          "All/Resources/plugins/", "All/Resources/default scenery/900 red terrain/",
                          "All/Resources/bitmaps/Earth Orbit Textures/", "Macintosh/", "Windows/", "Linux/"})
        mkdirs(root + f);
    put(root + "All/Resources/menus/English/Volatra.txt", "menus\n");
    put(root + "All/Resources/text/English/Volatra.txt", "text\n");
}

void builder_settings(const std::string& src, const std::string& dst, int kind) {
    src_fold = src;
    dst_fold_base = dst;
    mkdirs(dst);
    build_type = kind;
    disc_limit_kb = kDiscLimitKb;
    sim_name = build_name[0];
    reg = 0;
    old_dir_path = "/directory.txt";
    builder_make_paths();
}

std::string built_manifest(const std::string& dst, const std::string& scratch_folder) {
    const std::string out = scratch_folder + "manifest_out/";
    mkdirs(out);
    EXPECT_EQ(zip_to_file(dst + "disk_0/" + sim_name + "/directory.txt.zip", out), 0);
    return read_file(out + "directory.txt");
}

int run(const std::string& command) {
    int st = std::system(command.c_str());
    return WIFEXITED(st) ? WEXITSTATUS(st) : -1;
}

}  // namespace ds
