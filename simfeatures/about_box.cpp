// The about box and its online version check (simulator-side features layer).
#include "simfeatures/about_box.h"

#include <cstdio>

#include "core/alert.h"
#include "core/globals.h"
#include "core/strings.h"
#include "core/time_keeper.h"
#include "core/window_state.h"
#include "files/archives.h"
#include "files/errors.h"
#include "files/file_operations.h"
#include "files/safe_extract.h"
#include "files/versioned_file.h"
#include "graphics/background_and_screenshot.h"
#include "graphics/bitmap_text.h"
#include "graphics/primitives.h"
#include "install/install_state.h"
#include "install/net_fetch.h"
#include "net/http_client.h"
#include "platform/plat_paths.h"
#include "simfeatures/ui_hooks.h"

about_state about_box;

namespace {

constexpr char list_folder[] = "Resources/preferences/";
constexpr char list_name[] = "serverlist9.txt";
constexpr char installer_zip_name[] = "installer.zip";

const char* const credits[8] = {
    "Artwork: the Tessaly art team.",
    "Code subroutines: contributors to the Volatra libraries.",
    "Port to Linux: the Volatra installer team.",
    "Airport and navigation-aid data: the Volatra data contributors.",
    "Intro screen: the Tessaly art team.",
    "Icons: the Tessaly art team.",
    "Additional elevation data: the public elevation survey, www.elevation.example.",
    "Forest prototypes: the Volatra scenery team.",
};

bool blank(char c) { return c == ' ' || c == '\t'; }

// The first word of text and the word after it (spaces and tabs between).
void two_words(const std::string& text, std::string& first, std::string& second) {
    size_t a = 0;
    while (a < text.size() && blank(text[a])) ++a;
    size_t b = a;
    while (b < text.size() && !blank(text[b])) ++b;
    first = text.substr(a, b - a);
    while (b < text.size() && blank(text[b])) ++b;
    size_t c = b;
    while (c < text.size() && !blank(text[c])) ++c;
    second = text.substr(b, c - b);
}

// The HTTP client ends the program on a host with a '/' at its end or a path without one in
// front, and these words come from the network: anything but a plain host name and an absolute
// path counts as no installer location.
bool usable_location(const std::string& host, const std::string& path) {
    if (host.empty() || path.empty() || path[0] != '/') return false;
    for (char c : host)
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' || c == '-'))
            return false;
    return true;
}

void decide(about_state& st, const std::string& final_host, const std::string& final_path,
            const std::string& beta_host, const std::string& beta_path) {
    st.is_latest = 1;
    st.is_beta = 0;
    st.ins_state = 4;
    if (st.version_final == -1) {
        st.err_msg = "Can't connect to the net to find latest version.";
    } else if (st.version_final == kThisRelease) {
        st.err_msg = "Your version of Volatra is up to date.";
    } else if (st.version_final > kThisRelease) {
        st.is_latest = 0;
    } else if (st.version_beta > kThisRelease) {
        st.is_beta = 1;
        st.is_latest = 0;
    } else {
        st.err_msg = "You have the latest Volatra beta.";
    }
    if (st.is_latest) return;
    st.installer_server = st.is_beta ? beta_host : final_host;
    st.installer_path = st.is_beta ? beta_path : final_path;
    if (usable_location(st.installer_server, st.installer_path)) {
        st.ins_state = 1;
        return;
    }
    st.installer_server.clear();
    st.installer_path.clear();
    st.err_msg = std::string(st.is_beta ? "There is a newer beta of Volatra available! Visit "
                                        : "There is a new version of Volatra available! Visit ") +
                 kMakerWebAddress + " to download the update.";
}

// Where the box keeps its files, chosen at its first use. In a copy (app_path) they go where
// the copy keeps them and the installer into the copy's own folder. Otherwise (the installer's
// programs leave app_path empty) a fresh folder of the private temporary folder takes them all:
// nothing from the server may land in the folder the program was started from.
bool choose_files_folder(about_state& st) {
    if (st.in_copy >= 0) return true;
    if (!app_path.empty() && folder_holds_copy("")) {
        st.in_copy = 1;
        st.folder.clear();
        st.list_file = std::string(list_folder) + list_name;
        st.installer_zip = std::string(list_folder) + installer_zip_name;
        return true;
    }
    std::string temp;
    get_OS_abs_path(os_dir_temp, temp);
    std::string made = temp + "about-XXXXXX";
    if (temp.empty() || !mkdtemp(&made[0])) {
        xer << "The about box found no folder for its downloads in the temporary folder " << temp << "\n";
        return false;
    }
    st.in_copy = 0;
    st.folder = made + "/";
    st.list_file = st.folder + list_name;
    st.installer_zip = st.folder + installer_zip_name;
    return true;
}

// File functions put app_path in front of the paths they take; the box's folder outside a copy
// is absolute, so there app_path is set aside while they run.
template <class F>
auto with_box_paths(const about_state& st, F fn) {
    struct restore {
        std::string saved;
        ~restore() { app_path = saved; }
    } r{app_path};
    if (st.in_copy != 1) app_path.clear();
    return fn();
}

std::string with_error(const char* format, int err) {
    char buf[1024];
    std::snprintf(buf, sizeof buf, format, error_str(err).c_str(), err);
    return buf;
}

bool inside_of(const std::string& name, const std::string& top) {
    return name == top || name == top + "/" || (starts_with(name, top + "/") && archive_name_is_safe(name));
}

}  // namespace

std::string about_installer_entry(const std::vector<std::string>& names) {
    if (names.empty() || !archive_name_is_safe(names[0])) return "";
    std::string top = names[0];
    if (top.back() == '/') top.pop_back();
    if (top.empty() || top == "." || top.find('/') != std::string::npos || top == "__MACOSX") return "";
    for (const std::string& name : names) {
        // Resource forks of the program's own files come under "__MACOSX/".
        const bool fork = starts_with(name, "__MACOSX/");
        const std::string rest = fork ? name.substr(9) : name;
        if ((fork && (rest.empty() || rest == "._" + top)) || inside_of(rest, top)) continue;
        return "";
    }
    return top;
}

bool about_read_list(about_state& st, const std::string& rel_path) {
    xmap_class f(rel_path);
    static const int versions[] = {820, 0};
    if (!f.base || f.check_file(xmap_type_text, versions, "SERVERS", nullptr) != 820) return false;
    // The installer locations count only for the reading that gives them.
    std::string final_host, final_path, beta_host, beta_path;
    // The whole file: past "ENDOFLIST", and the lines of server records like any other.
    while (f.cur < f.end) {
        std::string word, value;
        f.TXT_str_scan_space(&word);
        f.TXT_str_scan_eoln(&value);
        if (word == "FINAL") {
            st.version_str_net = value;
            st.version_str_found = 1;
        } else if (word == "BETA") {
            st.version_str_net_beta = value;
        } else if (word == "FINAL_VERSION" || word == "BETA_VERSION") {
            std::string number, rest;
            two_words(value, number, rest);
            (word == "FINAL_VERSION" ? st.version_final : st.version_beta) = str_to_int(number);
        } else if (word == "FINAL_INSTALLER_MAC") {
            two_words(value, final_host, final_path);
        } else if (word == "BETA_INSTALLER_MAC") {
            two_words(value, beta_host, beta_path);
        }
    }
    // A download the user started is not called off by a later reading.
    if (st.ins_state != 2 && st.ins_state != 3) decide(st, final_host, final_path, beta_host, beta_path);
    return true;
}

std::string about_status_line(const about_state& st) {
    if (!st.version_str_found)
        return "I could not connect to the Volatra web site to find out the current version of Volatra.";
    return std::string("The current ") + (st.is_beta ? "beta version" : "version") + " of Volatra is now " +
           (st.is_beta ? st.version_str_net_beta : st.version_str_net) + ".";
}

std::string about_progress_text(int64_t received, int64_t length) {
    // An unknown length, or none at all, gives no percentage (and no division by zero).
    if (length <= 0) return "Downloading the installer...";
    char buf[96];
    std::snprintf(buf, sizeof buf, "Downloading the installer...%d%% complete",
                  static_cast<int>(static_cast<double>(received) * 100.0 / static_cast<double>(length)));
    return buf;
}

void about_pass(about_state& st) {
    const sim_ui_hooks& ui = sim_ui();

    // 1. The version check, until a list with a release name was read. The host-name lookup
    // blocks the frame, so after a failure the next try waits a few seconds.
    const uint64_t now = xtim_class::microsecs();
    if (!st.version_str_found && now >= st.next_fetch) {
        if (!choose_files_folder(st)) {
            st.next_fetch = now + kAboutRetryMicros;
        } else {
            with_box_paths(st, [&] {
                if (!http.slot(0) && st.in_copy == 1) plat::make_dirs(app_path + list_folder, 0755);
                const int r = http.net_check(0, kServerListHost, "/serverlist9.txt", st.list_file,
                                             server_list_max_bytes);
                const bool read = r == 1 && about_read_list(st, st.list_file);
                if (read) {
                    xer << "About box: server list read (final " << st.version_final << ", beta "
                        << st.version_beta << "): "
                        << (st.ins_state == 1 ? std::string("the new installer is offered.") : st.err_msg) << "\n";
                    xer.flush();
                }
                if (r == 2 || (r == 1 && (!read || !st.version_str_found))) st.next_fetch = now + kAboutRetryMicros;
            });
        }
    }

    // 2. The box.
    static float wx, wy;
    OGL_plot_back_col();
    ui.fillwin(1, 21);
    ui.subwin(0, 15, -1, 35, -1, -1, "", &wx, &wy);
    const float H = mnw.subwin_dy, wrap = mnw.subwin_dx - 40;
    // The panel's dark header band holds one line of white text; the box's three need it deeper.
    OGL_fillrect(34, 1, 2, H - 72, mnw.subwin_dx - 4, 20);
    auto line = [&](int colour, float y, const std::string& text) { OGL_string(colour, 20, y, text, wrap, 100, 0); };
    line(49, H - 45, build_name[0]);
    line(49, H - 55, "Volatra is created by Tessaly.");
    line(49, H - 65, kMakerWebAddress);
    line(47, H - 85, about_status_line(st));
    for (int i = 0; i < 8; ++i) line(47, H - 115 - 10 * i, credits[i]);
    const float Y = H - 185;

    if (ui.action(191, 17, 0, 0, 1, "Visit the Volatra web site for free updates!", "-")) go_to_URL(kMakerWebAddress);

    // 3. The installer. It comes over plain HTTP and is started as it is: that is how the
    // maker ships it; only where it lands is checked.
    switch (st.ins_state) {
    case 1:
        if (ui.action(492, 17, 0, 0, 1, st.is_beta ? " Get New Beta! " : "Update Volatra!", "-")) st.ins_state = 2;
        break;
    case 2: {
        // An archive past its cap fails like any other download.
        const int r = !choose_files_folder(st) ? 2 : with_box_paths(st, [&] {
            return http.net_check(1, st.installer_server, st.installer_path, st.installer_zip,
                                  kInstallerMaxBytes);
        });
        if (r == 0) {
            const down_class* d = http.slot(1);
            st.progress = d ? about_progress_text(d->received(), d->content_length()) : about_progress_text(0, 1);
            line(58, Y - 40, st.progress);
        } else if (r == 2) {
            st.ins_state = 4;
            st.err_msg = "I was unable to download the installer from the net.";
        } else {
            std::string name;
            const int err = with_box_paths(st, [&] {
                // Nothing is written before the whole archive proved to be the one program.
                std::vector<std::string> names;
                if (int e = zip_entry_names(st.installer_zip, &names)) return e;
                if (about_installer_entry(names).empty()) return static_cast<int>(err_zip_unsafe_path);
                return zip_to_file(st.installer_zip, st.folder, &name, 0, "", kInstallerMaxBytes);
            });
            if (err) {
                st.ins_state = 4;
                st.err_msg = with_error("There was an error unzipping the installer: %s (%d)", err);
            } else {
                if (name.back() == '/') name.pop_back();
                st.installer_app_name = name;
                st.ins_state = 3;
            }
        }
        break;
    }
    case 3: {
        // A copy's installer is told the copy with "-path"; one from the temporary folder has no
        // copy to name.
        const int err = with_box_paths(st, [&] {
            return launch_app(st.folder + st.installer_app_name, st.in_copy == 1 ? app_path : std::string());
        });
        st.ins_state = 4;
        st.err_msg = with_error("There was an error launching the installer: %s (%d)", err);
        break;
    }
    case 4: line(58, Y - 40, st.err_msg); break;
    default: break;
    }
}

void MACIBM_about() {
    const sim_ui_hooks& ui = sim_ui();
    ui.startwind(993, 0);
    xer << "About box opened.\n";
    xer.flush();
    // Until the box is closed, or the program is asked to end (the window's close).
    do {
        about_pass(about_box);
        ui.event_proc();
    } while (mnw.curwin == 993 && !app_done);
    xer << "About box closed.\n";
    xer.flush();
}
