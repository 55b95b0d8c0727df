#include "shell/preferences.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "common/test_helpers.h"
#include "core/command_line.h"
#include "core/window_state.h"
#include "install/install_state.h"
#include "net/http_client.h"

namespace {

class Prefs : public ::testing::Test {
protected:
    void SetUp() override {
        cmdline = UTL_cmdline();
        set_targets(0, 0, "", "", 0, 0, 0);
        ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
    }
    void TearDown() override {
        cmdline = UTL_cmdline();
        ASSERT_EQ(chdir(cwd), 0);
    }

    static void set_targets(int streams, int log_actions, const std::string& host,
                            const std::string& port_text, uint32_t port, int beta, int lang) {
        stg.stream_count = streams;
        stg.log_actions = log_actions;
        http.proxy_host = host;
        http.proxy_port_text = port_text;
        http.proxy_port = port;
        stg.get_beta = beta;
        mnw.lang = lang;
    }
    std::string file() const { return dir / installer_pref_name; }
    void write_prefs(const std::string& body) const { write_file(file(), "A\n9002 version\n" + body); }
    void options(std::vector<const char*> args) {
        args.insert(args.begin(), "volatra");
        cmdline.init_unix(static_cast<int>(args.size()), args.data());
    }

    char cwd[4096];
    temp_folder dir;
    scoped_env config{"XDG_CONFIG_HOME", dir.path()};
};

TEST_F(Prefs, InstallerSetWritesEveryKeyInOrderAndReadsBackTheSame) {
    set_targets(3, 1, "proxy.example  lan", "8080", 8080, 1, 2);
    log_capture log;
    pref.IO_set(11, 1);
    EXPECT_EQ(log.text(), "");
    EXPECT_EQ(read_file(file()),
              "A\n9002 version\n_stream_count 3\n_log_actions 1\n_proxy_host proxy.example  lan\n"
              "_proxy_port 8080\n_proxy_port_int 8080\n_get_beta 1\n_lang 2\n");
    EXPECT_FALSE(path_exists(file() + ".new"));

    set_targets(0, 0, "", "", 0, 0, 0);
    pref.IO_set(11, 0);
    EXPECT_EQ(stg.stream_count, 3);
    EXPECT_EQ(stg.log_actions, 1);
    EXPECT_EQ(http.proxy_host, "proxy.example  lan");
    EXPECT_EQ(http.proxy_port_text, "8080");
    EXPECT_EQ(http.proxy_port, 8080u);
    EXPECT_EQ(stg.get_beta, 1);
    EXPECT_EQ(mnw.lang, 2);
}

TEST_F(Prefs, EmptyTextsAreNotWrittenSoTheNextRunKeepsItsDefault) {
    pref.IO_set(11, 1);
    std::string text = read_file(file());
    EXPECT_EQ(text.find("_proxy_host"), std::string::npos);
    EXPECT_EQ(text.find("_proxy_port "), std::string::npos);
    EXPECT_NE(text.find("_proxy_port_int 0\n"), std::string::npos);
}

TEST_F(Prefs, LinesReadByTheRulesAndTheCommandLineOverridesTheFile) {
    write_prefs(
        "  _lang 2\n_lang 3\r\n_get_beta\n_proxy_host  \tgate way \n_stream_count 99999999999\n"
        "_log_actions -7x\n_unknown 5\n");
    stg.get_beta = 9;
    options({"--pref:_stream_count=2", "--pref:_proxy_port"});
    http.proxy_port_text = "was set";
    pref.IO_set(11, 0);
    EXPECT_EQ(mnw.lang, 3) << "a key given twice: the last wins";
    EXPECT_EQ(stg.get_beta, 0) << "a key at the line end reads as 0";
    EXPECT_EQ(http.proxy_host, "gate way ") << "inner and trailing blanks kept";
    EXPECT_EQ(stg.stream_count, 2) << "the command line beats the file";
    EXPECT_EQ(http.proxy_port_text, "") << "an override without '=' empties the text";
    EXPECT_EQ(stg.log_actions, -7);
}

TEST_F(Prefs, OutOfRangeNumbersAreHeldAtTheIntRange) {
    write_prefs("_stream_count 99999999999\n_lang -99999999999\n");
    pref.IO_set(11, 0);
    EXPECT_EQ(stg.stream_count, 2147483647);
    EXPECT_EQ(mnw.lang, -2147483647 - 1);
}

TEST_F(Prefs, AWrongHeaderReadsNothingButOverridesStillApply) {
    for (const char* header : {"A\n9001 version\n", "B\n9002 version\n", ""}) {
        write_file(file(), std::string(header) + "_lang 4\n_get_beta 1\n");
        cmdline = UTL_cmdline();
        options({"--pref:_get_beta=1"});
        set_targets(0, 0, "", "", 0, 0, 0);
        pref.IO_set(11, 0);
        EXPECT_EQ(mnw.lang, 0) << header;
        EXPECT_EQ(stg.get_beta, 1) << header;
    }
}

TEST_F(Prefs, JunkLinesAreSkippedAndTheSoundOnesReadUpToTheEndOfTheFile) {
    std::string junk =
        "_proxy_host ab\x01"
        "cd\n";
    junk += "_get_beta 1\n";
    junk += "_proxy_port_int " + std::string(5000, '7') + "\n";
    junk += std::string("\xff\xfe\x00\x00", 4) + "_log_actions 1\n";
    junk += "_lang 5";  // a hand-edited last line without its line end
    write_prefs(junk);
    pref.IO_set(11, 0);
    EXPECT_EQ(http.proxy_host, "") << "control bytes: not text this program wrote";
    EXPECT_EQ(stg.get_beta, 1);
    EXPECT_EQ(http.proxy_port, 0u) << "a line longer than any written";
    EXPECT_EQ(stg.log_actions, 1) << "a line after binary junk";
    EXPECT_EQ(mnw.lang, 5) << "the value runs to the end of the file";
}

TEST_F(Prefs, AFailedSaveKeepsTheOldFile) {
    write_prefs("_lang 1\n");
    // A folder where the new file would go makes the write fail.
    ASSERT_EQ(mkdir((file() + ".new").c_str(), 0700), 0);
    mnw.lang = 6;
    log_capture log;
    pref.IO_set(11, 1);
    EXPECT_EQ(read_file(file()), "A\n9002 version\n_lang 1\n");
    EXPECT_NE(log.text().find("Could not save the preferences"), std::string::npos);
}

// What each sync of a save saw: the item synced, and what the preference file held then.
std::vector<std::pair<std::string, std::string>> g_syncs;
std::string g_synced_file;
int recording_sync(int fd) {
    char link[64], target[4096];
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    const ssize_t n = readlink(link, target, sizeof target - 1);
    target[n > 0 ? n : 0] = 0;
    g_syncs.emplace_back(target, path_exists(g_synced_file) ? read_file(g_synced_file) : "none");
    return fsync(fd);
}
int failing_sync(int) {
    errno = EIO;
    return -1;
}

// The new file is synced before it replaces the old one, and its folder after; a sync that fails
// keeps the old file.
TEST_F(Prefs, TheNewFileIsSyncedBeforeItReplacesTheOldOne) {
    write_prefs("_lang 1\n");
    g_synced_file = file();
    g_syncs.clear();
    pref_sync = recording_sync;
    mnw.lang = 6;
    pref.IO_set(11, 1);
    pref_sync = fsync;
    ASSERT_EQ(g_syncs.size(), 2u);
    EXPECT_EQ(g_syncs[0], std::make_pair(file() + ".new", std::string("A\n9002 version\n_lang 1\n")));
    EXPECT_EQ(g_syncs[1].first + "/", dir.path());
    EXPECT_NE(g_syncs[1].second.find("_lang 6\n"), std::string::npos);

    pref_sync = failing_sync;
    mnw.lang = 2;
    log_capture log;
    pref.IO_set(11, 1);
    pref_sync = fsync;
    EXPECT_NE(read_file(file()).find("_lang 6\n"), std::string::npos);
    EXPECT_FALSE(path_exists(file() + ".new"));
    EXPECT_NE(log.text().find("Could not save the preferences"), std::string::npos);
}

TEST_F(Prefs, NoPreferencesFolderMeansNoFileAnywhere) {
    // A configuration folder that cannot be made: a plain file stands in its way.
    std::string blocker = dir.write("blocker", "");
    scoped_env no_config("XDG_CONFIG_HOME", blocker + "/config");
    temp_folder work;
    std::string here = work.path();
    ASSERT_EQ(chdir(here.c_str()), 0);
    mnw.lang = 2;
    pref.IO_set(11, 1);
    pref.IO_set(11, 0);
    EXPECT_EQ(mnw.lang, 2);
    EXPECT_FALSE(path_exists(here + "Resources"));
    EXPECT_FALSE(path_exists(here + installer_pref_name));
}

TEST_F(Prefs, ResolutionSetHoldsTheRequestedSizeWithinItsRange) {
    temp_folder work;
    ASSERT_EQ(chdir(work.path().c_str()), 0);
    struct row {
        int x, y, want_x, want_y;
    };
    for (row r : {row{320, 200, 1024, 768}, row{600, 600, 600, 600}, row{9999, 10000, 9999, 768}}) {
        work.write("Resources/preferences/Res Ostrand.prf", "A\n9002 version\n_x_res_req_ALL " +
                                                                std::to_string(r.x) + "\n_y_res_req_ALL " +
                                                                std::to_string(r.y) + "\n_alias_req 2\n");
        pref.IO_set(10, 0);
        EXPECT_EQ(mnw.x_res_req, r.want_x) << r.x;
        EXPECT_EQ(mnw.y_res_req, r.want_y) << r.y;
        EXPECT_EQ(mnw.alias_req, 2);
    }
    mnw.prefs_found = 0;
    mnw.x_res_req = 1280;
    pref.IO_set(10, 1);
    EXPECT_EQ(mnw.prefs_found, 1);
    std::string saved = work.read("Resources/preferences/Res Ostrand.prf");
    EXPECT_NE(saved.find("_x_res_req_ALL 1280\n"), std::string::npos);
    EXPECT_NE(saved.find("_prefs_found 1\n"), std::string::npos);
}

}  // namespace
