// The command-line programs: the builder with its options and terminal alerts, and the sample
// master generator.
#include <gtest/gtest.h>

#include "install/disc_set_helpers.h"

namespace {

const std::string kTools = std::string(VOLATRA_BINARY_DIR) + "/tools/";

std::string q(const std::string& s) { return "'" + s + "'"; }

TEST(MakeInstallerCli, OptionsAlertsAndExitStatus) {
    temp_folder s;
    const std::string builder = q(kTools + "volatra_make_installer");
    EXPECT_EQ(ds::run(builder + " --kind 9 2>/dev/null"), 2);
    EXPECT_EQ(ds::run(builder + " --disc-kb 2>/dev/null"), 2);
    EXPECT_EQ(ds::run(builder + " --src relative/ 2>/dev/null"), 2);

    const std::string master = s.path() + "master/", discs = s.path() + "discs/";
    ds::minimal_master(master);
    ds::put(master + "Linux/volatra", "x");
    ds::mkdirs(discs);
    const std::string cmd =
        builder + " --src " + q(master) + " --dst " + q(discs) + " --disc-kb 100 </dev/null";
    EXPECT_EQ(ds::run(cmd + " >" + q(s.path() + "out.txt") + " 2>&1"), 0);
    const std::string out = read_file(s.path() + "out.txt");
    EXPECT_NE(out.find("OK compression is done. Checklist if doing net:"), std::string::npos) << out;
    EXPECT_EQ(read_file(discs + "disk_0/dvd_version.txt"), "A\n900 version\nDVD\n\nVERSION Volatra 9.10r1\n");
    EXPECT_TRUE(path_exists(discs + "disk_0/Volatra 9.10r1/Linux/volatra.zip"));

    // A fatal alert prints its lines and ends with status 1.
    EXPECT_EQ(ds::run(cmd + " >/dev/null 2>" + q(s.path() + "err.txt")), 1);
    const std::string err = read_file(s.path() + "err.txt");
    EXPECT_NE(err.find("Could not make the dst_folder!\n" + discs + "disk_0/\n"), std::string::npos) << err;
}

TEST(SampleMaster, SameCommandSameBytes) {
    temp_folder s;
    const std::string gen = q(kTools + "volatra_sample_master");
    ASSERT_EQ(ds::run(gen + " " + q(s.path() + "a") + " >/dev/null"), 0);
    ASSERT_EQ(ds::run(gen + " " + q(s.path() + "b") + " >/dev/null"), 0);
    ASSERT_EQ(ds::run(gen + " " + q(s.path() + "c") + " --variant 1 >/dev/null"), 0);
    EXPECT_EQ(
        ds::run("diff -r --no-dereference " + q(s.path() + "a") + " " + q(s.path() + "b") + " >/dev/null"),
        0);
    EXPECT_NE(
        ds::run("diff -r --no-dereference " + q(s.path() + "a") + " " + q(s.path() + "c") + " >/dev/null"),
        0);
    EXPECT_EQ(ds::list_tree(s.path() + "a"), ds::list_tree(s.path() + "b"));
    // An existing folder is never written into.
    EXPECT_NE(ds::run(gen + " " + q(s.path() + "a") + " 2>/dev/null"), 0);
}

}  // namespace
