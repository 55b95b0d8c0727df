#include <gtest/gtest.h>
#include <zip.h>

#include <filesystem>
#include <set>

#include "core/globals.h"
#include "engine_helpers.h"
#include "files/archives.h"
#include "files/errors.h"
#include "install/disc_pipeline.h"
#include "install/install_state.h"
#include "install/manifest.h"
#include "install/net_fetch.h"
#include "wizard/disc.h"
#include "wizard/dvd_install.h"
#include "wizard/wizard_frame.h"
#include "wizard_helpers.h"

namespace {

// Two files on disc 0, a scenery tile on disc 1 and one file on disc 2.
const char* const manifest_body =
    "DIR All/Resources/\n"
    "FILE 0 0 91001 1 3 900150983cd24fb0d6963f7d28e17f72 a.txt\n"
    "FILE 0 0 91001 1 3 900150983cd24fb0d6963f7d28e17f72 b.txt\n"
    "DISK 1\n"
    "DIR All/Global Scenery/-global terrain-/+40-120/\n"
    "FILE 0 0 91001 12 345 e2fc714c4727ee9395f324cd2e7f331f +40-120.dsf\n"
    "DISK 2\n"
    "DIR All/Instructions/\n"
    "FILE 0 0 91001 1 3 900150983cd24fb0d6963f7d28e17f72 c.txt\n";

class Disc : public ::testing::Test {
protected:
    wizard_world w;
    std::string version_file(const std::string& text) { return w.root.write("dvd_version.txt", text); }
};

TEST_F(Disc, IdentityFileGivesTheLastVersionLine) {
    EXPECT_EQ(read_dvd_version(version_file(dvd_version_text(" \tVERSION  \t Volatra 9 DVD  \r\n"))), "Volatra 9 DVD  ");
    EXPECT_EQ(read_dvd_version(version_file(dvd_version_text("VERSION A\nVERSIONX B\nNAME C\nVERSION D\n"))), "D");
    EXPECT_EQ(read_dvd_version(version_file(dvd_version_text("VERSION A\n", 840))), "");
    EXPECT_EQ(read_dvd_version(version_file(dvd_version_text("VERSION A\n", 900, "INSTALLER"))), "");
    EXPECT_EQ(read_dvd_version(version_file(dvd_version_text("VERSIONX A\n"))), "");
    // A name that would lead out of the disc leaves the disc unidentified.
    for (const char* bad : {"VERSION ../x\n", "VERSION a/b\n", "VERSION ..\n", "VERSION\n"})
        EXPECT_EQ(read_dvd_version(version_file(dvd_version_text(bad))), "") << bad;
    EXPECT_EQ(read_dvd_version(w.root / "missing.txt"), "");
}

TEST_F(Disc, ScanReadsTheDiscSetOnceAndKnowsLaterDiscsByTheirReleaseFolder) {
    UTIL_scan_dvd();
    EXPECT_TRUE(dvd_path.empty());

    const std::string d0 = w.disc("DVD", "Volatra 9", manifest_body);
    UTIL_scan_dvd();
    EXPECT_EQ(dvd_path, d0);
    EXPECT_EQ(install_name, "Volatra 9");
    EXPECT_EQ(stg.dir_state, 3);
    EXPECT_EQ(stg.server_count, 0);
    ASSERT_EQ(sim_info.size(), 4u);
    EXPECT_EQ(stg.tile_available[6][13], 1);

    // Another disc set afterwards changes nothing.
    remove_tree(d0);
    w.disc("DVD", "Other", "DIR All/\n");
    UTIL_scan_dvd();
    EXPECT_EQ(install_name, "Volatra 9");
    EXPECT_EQ(sim_info.size(), 4u);

    // Disc 2 has no identity file; with two drives the one holding the wanted archive wins.
    remove_tree(w.volumes() + "DVD");
    const std::string d1 = w.disc("A drive", "Volatra 9", manifest_body, false);
    const std::string d2 = w.disc("B drive", "Volatra 9", manifest_body, false);
    w.archive(d2, "Volatra 9", "All/Instructions/c.txt.zip");
    want_file_disk = 3;
    current_disk = 0;
    EXPECT_TRUE(UTIL_verify_disk());
    EXPECT_EQ(dvd_path, d2);
    EXPECT_EQ(current_disk, 2);

    want_file_disk = 2;  // the tile's .7z is on neither
    EXPECT_FALSE(UTIL_verify_disk());
    EXPECT_EQ(dvd_path, d1);
    EXPECT_EQ(current_disk, 2);

    want_file_disk = 0;  // the manifest's first file
    w.archive(d2, "Volatra 9", "All/Resources/a.txt.zip");
    EXPECT_TRUE(UTIL_verify_disk());
    EXPECT_EQ(dvd_path, d2);
    EXPECT_EQ(current_disk, 0);
}

// A zip of these entries, names as given.
void write_zip(const std::string& path, const std::vector<std::pair<std::string, std::string>>& entries) {
    zipFile zf = zipOpen64(path.c_str(), APPEND_STATUS_CREATE);
    ASSERT_NE(zf, nullptr);
    for (const auto& [name, data] : entries) {
        zip_fileinfo info{};
        ASSERT_EQ(zipOpenNewFileInZip64(zf, name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr, Z_DEFLATED,
                                        Z_DEFAULT_COMPRESSION, 0),
                  ZIP_OK);
        ASSERT_EQ(zipWriteInFileInZip(zf, data.data(), static_cast<unsigned>(data.size())), ZIP_OK);
        ASSERT_EQ(zipCloseFileInZip(zf), ZIP_OK);
    }
    ASSERT_EQ(zipClose(zf, nullptr), ZIP_OK);
}

// A disc's zipped manifest that names more than the manifest: nothing of it reaches the temporary
// folder but the manifest itself, as in the web flow; such a disc is refused.
TEST_F(Disc, OnlyTheManifestLeavesTheDiscsManifestArchive) {
    const std::string d0 = w.disc("DVD", "Volatra 9", manifest_body);
    const std::string manifest = "A\n900 version\nINSTALLER\n\n" + std::string(manifest_body);
    write_zip(d0 + "Volatra 9/directory.txt.zip", {{"directory.txt", manifest},
                                                   {"0.zip", "planted"},
                                                   {"volatra_installer", "planted"},
                                                   {"../outside.txt", "planted"}});
    EXPECT_EXIT(UTIL_scan_dvd(), ::testing::ExitedWithCode(1),
                "DVD scan: The installer cannot extract a file.");
    EXPECT_FALSE(path_exists(w.temp() + "0.zip"));
    EXPECT_FALSE(path_exists(w.temp() + "volatra_installer"));
    EXPECT_FALSE(path_exists(w.root / "outside.txt"));
    EXPECT_FALSE(path_exists(w.temp() + "directory.txt"));

    // A manifest archive of one entry gives the manifest under its own name, whatever the entry's.
    write_zip(d0 + "Volatra 9/directory.txt.zip", {{"../elsewhere/manifest.txt", manifest}});
    UTIL_scan_dvd();
    EXPECT_EQ(stg.dir_state, 3);
    EXPECT_EQ(sim_info.size(), 4u);
    EXPECT_EQ(read_file(w.temp() + "directory.txt"), manifest);
    EXPECT_FALSE(path_exists(w.root / "elsewhere"));
}

// Each archive of a disc unpacks to no more than the manifest's size of its file (whole KB cut
// down, so up to 999 bytes more), the zip's and the 7z's alike (a 7z's entries together), and the
// manifest to its fixed cap; past them the unpack fails as any other, with nothing written.
TEST_F(Disc, TheManifestAndEachArchiveUnpackNoFurtherThanTheirBounds) {
    const std::string fits(2000, 'f'), over(2001, 'o'), half(1500, 'h');
    const std::string d0 = w.disc("DVD", "Volatra 9",
                                  "DIR All/Resources/\n"
                                  "FILE 0 0 91001 1 0 " + md5_of("abc") + " small.txt\n"
                                  "FILE 0 0 91001 1 1 " + md5_of(fits) + " fits.txt\n"
                                  "FILE 0 0 91001 1 1 " + md5_of(over) + " over.txt\n"
                                  "DIR All/Global Scenery/-global terrain-/+40-120/\n"
                                  "FILE 0 0 91001 1 1 " + md5_of(fits) + " +40-120.dsf\n"
                                  "FILE 0 0 91001 1 1 " + md5_of(over) + " +40-121.dsf\n"
                                  "FILE 0 0 91001 1 0 " + md5_of("") + " +40-122.dsf\n"
                                  "FILE 0 0 91001 1 1 " + md5_of(half) + " +40-123.dsf\n");
    const std::string release = d0 + "Volatra 9/All/";
    put_zip(release + "Resources/small.txt.zip", "small.txt", "abc");
    put_zip(release + "Resources/fits.txt.zip", "fits.txt", fits);
    put_zip(release + "Resources/over.txt.zip", "over.txt", over);
    put_7z(release + "Global Scenery/-global terrain-/+40-120/+40-120.dsf.7z", {{"+40-120.dsf", fits}});
    put_7z(release + "Global Scenery/-global terrain-/+40-120/+40-121.dsf.7z", {{"+40-121.dsf", over}});
    put_7z(release + "Global Scenery/-global terrain-/+40-120/+40-122.dsf.7z", {{"+40-122.dsf", ""}});
    put_7z(release + "Global Scenery/-global terrain-/+40-120/+40-123.dsf.7z",
           {{"+40-123.dsf", half}, {"+40-124.dsf", half}});
    UTIL_scan_dvd();
    ASSERT_EQ(stg.dir_state, 3);
    dest_dir_path = w.root / "copy/";
    const std::string tiles = dest_dir_path + "Global Scenery/-global terrain-/+40-120/";
    std::filesystem::create_directories(dest_dir_path + "Resources/");
    std::filesystem::create_directories(tiles);
    for (auto& h : sim_info) h.versions.back().need_install = 1;

    std::multiset<std::string> failures;  // in the order the unpack threads end
    int cursor = 0, r;
    while ((r = step_until_answer(cursor, 0)) == 3) {
        std::string msg;
        failures.insert(std::to_string(install_files_get_error(msg)) + " " + msg);
    }
    EXPECT_EQ(r, 1);
    const std::string refused = std::to_string(EFBIG) + " I was unable to unzip the file " + w.temp();
    EXPECT_EQ(failures, (std::multiset<std::string>{
                            refused + md5_of(over) + "_2..zip to the folder " + dest_dir_path + "Resources/.",
                            refused + md5_of(over) + "_4..7z to the folder " + tiles + ".",
                            refused + md5_of(half) + "_6..7z to the folder " + tiles + "."}));
    EXPECT_EQ(list_tree(dest_dir_path),
              (std::vector<std::string>{"Global Scenery/-global terrain-/+40-120/+40-120.dsf",
                                        "Global Scenery/-global terrain-/+40-120/+40-122.dsf",
                                        "Resources/fits.txt", "Resources/small.txt"}));

    // A small manifest archive of a long run of zeros.
    make_sparse_file(w.root / "big/directory.txt", manifest_max_bytes + 1);
    ASSERT_EQ(file_to_zip(w.root / "big/directory.txt", d0 + "Volatra 9/directory.txt.zip"), 0);
    stg.dir_state = 0;
    EXPECT_EXIT(UTIL_scan_dvd(), ::testing::ExitedWithCode(1), "Error: " + error_str(EFBIG));
}

TEST_F(Disc, UnrecognisedDiscIsLookedForAgainEachFrame) {
    write_file(w.volumes() + "DVD/dvd_version.txt", dvd_version_text("VERSION ../../etc\n"));
    UTIL_scan_dvd();
    EXPECT_EQ(install_name, no_install_name);
    EXPECT_EQ(stg.dir_state, 0);
    remove_tree(w.volumes() + "DVD");
    const std::string d0 = w.disc("DVD2", "Volatra 9", manifest_body);
    UTIL_scan_dvd();
    EXPECT_EQ(dvd_path, d0);
    EXPECT_EQ(stg.dir_state, 3);
}

TEST_F(Disc, ChangeScreenEjectsOncePerEntryAndAsksForTheDiscCountedFromOne) {
    const std::string ejects = w.root / "ejects.txt";
    const std::string script = w.root.write("eject.sh", "#!/bin/sh\necho \"$1\" >> '" + ejects + "'\n");
    chmod(script.c_str(), 0755);
    scoped_env eject("VOLATRA_EJECT_COMMAND", script);
    const std::string d0 = w.disc("DVD", "Volatra 9", manifest_body);
    UTIL_scan_dvd();
    want_file_disk = 3;

    wizard_screen s1, s2, s3;
    dvd_switch_disk_install(1, s1);
    EXPECT_TRUE(dvd_path.empty());
    dvd_path = d0;  // found again by a verify
    dvd_switch_disk_install(0, s2);
    dvd_switch_disk_install(0, s3);
    EXPECT_EQ(read_lines(ejects), (std::vector<std::string>{d0.substr(0, d0.size() - 1)}));
    EXPECT_EQ(s3.text, "Please insert DVD number 3 and click continue.");
    EXPECT_EQ(s3.title, "Installing Volatra - Please Change DVDs");
    EXPECT_EQ(s3.back, dvd_scenery_install);
    EXPECT_EQ(s3.next, dvd_verify_disk_install);

    wizard_screen v;
    EXPECT_EQ(dvd_verify_disk_install(1, v), 1);
    EXPECT_EQ(v.next, dvd_switch_disk_install);
    w.archive(d0, "Volatra 9", "All/Instructions/c.txt.zip");
    EXPECT_EQ(dvd_verify_disk_install(1, v), 1);
    EXPECT_EQ(v.next, dvd_run_install);
}

}  // namespace
