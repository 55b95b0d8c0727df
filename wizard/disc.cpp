#include "wizard/disc.h"

#include <vector>

#include "core/alert.h"
#include "core/globals.h"
#include "core/localisation.h"
#include "files/archives.h"
#include "files/errors.h"
#include "files/file_operations.h"
#include "files/versioned_file.h"
#include "install/disc_pipeline.h"
#include "install/install_state.h"
#include "install/manifest.h"
#include "install/net_fetch.h"
#include "platform/plat_volumes.h"
#include "wizard/dvd_install.h"
#include "wizard/wizard_frame.h"

bool release_name_is_safe(const std::string& name) {
    if (name.empty() || name == "." || name == "..") return false;
    for (unsigned char c : name)
        if (c == '/' || c < 0x20 || c == 0x7f) return false;
    return true;
}

void locate_install_disc(const std::string& want) {
    const bool known = install_name != no_install_name && release_name_is_safe(install_name);
    std::string first;
    for (const std::string& mount : plat::volume_roots()) {
        const std::string root = mount == "/" ? mount : mount + "/";
        // Only the first disc holds the identity file; the others are known by the release folder.
        if (!file_exists(root + "dvd_version.txt") && !(known && dir_exists(root + install_name + "/"))) continue;
        if (!want.empty() && file_exists(root + want)) {
            dvd_path = root;
            return;
        }
        if (first.empty()) first = root;
    }
    dvd_path = first;
}

std::string read_dvd_version(const std::string& path) {
    xmap_class f(path);
    if (!f.base) return std::string();
    static const int versions[] = {900, 0};
    if (f.check_file(xmap_type_text, versions, "DVD", nullptr) != 900) return std::string();
    std::string name, word;
    while (f.cur < f.end) {
        const uint8_t* before = f.cur;
        f.TXT_str_scan_space(&word);
        if (word == "VERSION")
            f.TXT_str_scan_eoln(&name);  // the last one wins; trailing blanks belong to the name
        else
            f.TXT_str_scan_eoln(nullptr);
        if (f.cur == before) break;
    }
    return release_name_is_safe(name) ? name : std::string();
}

void UTIL_scan_dvd() {
    if (stg.dir_state != 0) return;
    // While the disc is not identified, look again every frame: the user may swap a wrong disc.
    if (dvd_path.empty() || install_name == no_install_name) locate_install_disc();
    if (!dvd_path.empty() && install_name == no_install_name) {
        std::string name = read_dvd_version(dvd_path + "dvd_version.txt");
        if (!name.empty()) {
            stg.server_count = 0;
            install_name = name;
        }
    }
    if (install_name != no_install_name && stg.dir_state == 0) {
        const std::string zip = dvd_path + install_name + "/directory.txt.zip";
        // Only the manifest leaves the archive, under its own name and within its cap, as in the
        // web flow: nothing else a disc's archive names may reach the temporary folder.
        std::string name = "directory.txt";
        if (int err = zip_to_file(zip, temp_path, &name, 1, "", manifest_max_bytes)) {
            __MACIBM_alert(0, UTL_translate_string("DVD scan: The installer cannot extract a file."),
                           UTL_translate_string("Error: ") + error_str(err),
                           UTL_translate_string("Compressed File/") + zip,
                           UTL_translate_string("Destination Path/") + temp_path, t_exit, __FILE__, __LINE__);
            return;
        }
        stg.dir_state = read_directory(temp_path + "directory.txt", std::string());
        xer << "Disc read: " << dvd_path << " holds " << install_name << ", manifest state " << stg.dir_state << ", "
            << sim_info.size() << " files\n";
    }
}

namespace {
// The current version of history h, null when there is none.
const file_version_struct* current_version(int h) {
    if (h < 0 || h >= static_cast<int>(sim_info.size()) || sim_info[h].versions.empty()) return nullptr;
    return &sim_info[h].versions.back();
}
}  // namespace

bool UTIL_verify_disk() {
    const file_version_struct* v = current_version(want_file_disk);
    if (!v) return false;
    const std::string archive = install_name + "/" + v->path + suffix_for_file(want_file_disk);
    locate_install_disc(archive);
    // A disc the run could not read lists its files still: it comes out and back first.
    if (install_files_disc_unreadable()) return false;
    if (dvd_path.empty() || !file_exists(dvd_path + archive)) return false;
    current_disk = v->disk;
    return true;
}

int UTIL_switch_disk(int eject) {
    if (eject && !dvd_path.empty()) {
        xer << "Ejecting " << dvd_path << "\n";
        int err = eject_dvd(dvd_path);
        if (err) xer << "Eject of " << dvd_path << " failed: " << error_str(err) << "\n";
        dvd_path.clear();
    }
    const file_version_struct* v = current_version(want_file_disk);
    return v ? v->disk : 0;
}

int disc_change_screen(int entered, wizard_screen& screen, const disc_change_flow& flow) {
    const int disk = UTIL_switch_disk(entered);
    screen.title = UTL_translate_string(flow.change_title);
    screen.text = fill_format(UTL_translate_string("Please insert DVD number %d and click continue."),
                              {std::to_string(disk + 1)});
    screen.back = flow.back;
    screen.next = flow.verify;
    return 0;
}

int disc_verify_screen(wizard_screen& screen, const disc_change_flow& flow) {
    screen.title = UTL_translate_string(flow.verify_title);
    screen.next = UTIL_verify_disk() ? flow.run : flow.change;
    return 1;
}

namespace {
const disc_change_flow install_flow = {"Installing Volatra - Please Change DVDs",
                                       "Installing Volatra - Checking DVD...",
                                       dvd_scenery_install,
                                       dvd_run_install,
                                       dvd_switch_disk_install,
                                       dvd_verify_disk_install};
}  // namespace

int dvd_switch_disk_install(int entered, wizard_screen& screen) {
    return disc_change_screen(entered, screen, install_flow);
}
int dvd_verify_disk_install(int, wizard_screen& screen) { return disc_verify_screen(screen, install_flow); }

static wizard_screen_names disc_names({{dvd_switch_disk_install, "dvd_switch_disk_install"},
                                       {dvd_verify_disk_install, "dvd_verify_disk_install"}});
