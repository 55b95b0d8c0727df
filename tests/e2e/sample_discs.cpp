#include "sample_discs.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "common/test_helpers.h"

const std::string sample_release = "Volatra 9.10r1";

const char* const to_the_run =
    "wait_log \"Disc read:\"\n"
    "click 720 23\n"
    "wait_log \"WIZARD entered dvd_pick_install\"\n"
    "click 720 23\n"
    "wait_log \"WIZARD entered dvd_eula_install\"\n"
    "click 230 103\n"
    "sleep 0.2\n"
    "click 720 23\n"
    "wait_log \"WIZARD entered dvd_scenery_install\"\n";

const std::string whole_install = std::string(to_the_run) +
                                  "click 720 23\n"
                                  "wait_log \"WIZARD entered dvd_switch_disk_install\" 120\n"
                                  "click 720 23\n"
                                  "wait_log \"WIZARD entered dvd_switch_disk_install\" 120\n"
                                  "click 720 23\n"
                                  "wait_log \"WIZARD entered dvd_done_install\" 120\n"
                                  "click 695 23\n";

namespace {
const std::string tools = VOLATRA_TOOLS_DIR;
const std::string changer = VOLATRA_SOURCE_DIR "/tools/disc_changer.sh";

bool is_link(const std::string& path) {
    struct stat st;
    return lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}
std::string link_text(const std::string& path) {
    char buf[4096];
    ssize_t n = readlink(path.c_str(), buf, sizeof buf);
    return n < 0 ? std::string() : std::string(buf, static_cast<size_t>(n));
}
}  // namespace

int run_tool(const std::vector<std::string>& argv) {
    pid_t pid = fork();
    if (pid == 0) {
        int null = open("/dev/null", O_WRONLY);
        dup2(null, 1);
        std::vector<char*> args;
        for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        execv(args[0], args.data());
        _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

sample_set make_sample(e2e_session& s, const std::vector<std::string>& order, const std::string& disc_kb,
                       const std::function<void(const std::string& master)>& more_files) {
    sample_set set{s.folder() + "sample/master", s.folder() + "sample/discs", s.folder() + "volumes"};
    write_file(set.discs + "/.keep", "");
    write_file(set.volumes + "/.keep", "");
    EXPECT_EQ(run_tool({tools + "/volatra_sample_master", set.master}), 0);
    if (more_files) more_files(set.master);
    EXPECT_EQ(run_tool({tools + "/volatra_make_installer", "--src", set.master, "--dst", set.discs, "--disc-kb",
                        disc_kb, "--terminal"}),
              0);
    load_changer(set, order);
    s.set_env("VOLATRA_TEST_VOLUMES", set.volumes);
    s.set_env("VOLATRA_EJECT_COMMAND", changer);
    return set;
}

void load_changer(const sample_set& set, const std::vector<std::string>& order) {
    std::vector<std::string> load = {changer, "load", set.volumes, set.discs};
    load.insert(load.end(), order.begin(), order.end());
    EXPECT_EQ(run_tool(load), 0);
}

std::vector<std::string> screens_entered(const std::string& log) {
    std::vector<std::string> out;
    std::istringstream in(log);
    const std::string mark = "WIZARD entered ";
    for (std::string line; std::getline(in, line);)
        if (line.compare(0, mark.size(), mark) == 0) out.push_back(line.substr(mark.size()));
    return out;
}

std::string unpacked_manifest(const e2e_session& s) {
    return s.folder() + "tmp/volatra-installer-" + std::to_string(getuid()) + "/directory.txt";
}

std::vector<std::pair<std::string, std::string>> manifest_files(const std::string& manifest) {
    std::vector<std::pair<std::string, std::string>> out;
    std::ifstream in(manifest);
    std::string folder;
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.compare(0, 4, "DIR ") == 0) folder = line.substr(4);
        if (line.compare(0, 5, "FILE ") != 0) continue;
        std::istringstream f(line.substr(5));
        std::string unused, platform, vcode, size_a, size_b, sig;
        f >> unused >> platform >> vcode >> size_a >> size_b >> sig;
        std::string name;
        std::getline(f, name);
        name = name.substr(1);
        if ((platform != "0" && platform != "1") || sig == "GONE") continue;
        const std::string rel = folder + name;
        out.emplace_back(rel.substr(rel.find('/') + 1), rel);
    }
    return out;
}

std::vector<std::string> leftovers(const std::string& folder, bool archives) {
    std::vector<std::string> out;
    std::error_code ec;
    for (auto it = std::filesystem::recursive_directory_iterator(folder, ec);
         it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
        const std::string name = it->path().filename().string();
        const std::string ext = it->path().extension().string();
        if (name.compare(0, 5, ".vtmp") == 0 || (archives && (ext == ".zip" || ext == ".7z")))
            out.push_back(it->path().string());
    }
    return out;
}

bool same_item(const std::string& installed, const std::string& master) {
    if (is_link(master)) return is_link(installed) && link_text(installed) == link_text(master);
    return !is_link(installed) && path_exists(installed) && md5sum_of(installed) == md5sum_of(master);
}
