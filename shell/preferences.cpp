// Preference files (application shell layer).
#include "shell/preferences.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/command_line.h"
#include "core/globals.h"
#include "core/window_state.h"
#include "files/file_operations.h"
#include "files/versioned_file.h"
#include "install/install_state.h"
#include "net/http_client.h"

pref_class pref;
int (*pref_sync)(int fd) = fsync;

namespace {
constexpr int kPrefVersion = 9002;
// Longer lines are not something this program wrote: junk, skipped.
constexpr size_t kMaxLine = 1024;

bool is_blank(uint8_t c) { return c == ' ' || c == '\t'; }
bool is_line_end(uint8_t c) { return c == 0 || c == '\r' || c == '\n'; }

// A line this program could have written: text without control bytes.
bool sound(const std::string& s) {
    for (unsigned char c : s)
        if ((c < 0x20 && c != '\t') || c == 0x7F) return false;
    return true;
}

// atoi's reading (blanks, sign, digits; 0 for none) without its undefined overflow.
int to_int(const std::string& text) {
    long v = std::strtol(text.c_str(), nullptr, 10);
    if (v > INT_MAX) return INT_MAX;
    if (v < INT_MIN) return INT_MIN;
    return static_cast<int>(v);
}

void parse(const uint8_t* p, const uint8_t* end, std::map<std::string, std::string>& values) {
    while (p < end) {
        while (p < end && is_blank(*p)) ++p;
        const uint8_t* k = p;
        while (p < end && !is_blank(*p) && !is_line_end(*p)) ++p;
        std::string key(k, p);
        while (p < end && is_blank(*p)) ++p;
        const uint8_t* v = p;
        while (p < end && !is_line_end(*p)) ++p;
        std::string value(v, p);
        while (p < end && (is_blank(*p) || is_line_end(*p))) ++p;
        if (key.size() + value.size() >= kMaxLine || !sound(key) || !sound(value)) continue;
        values[key] = value;
    }
}
}  // namespace

scan_class::scan_class(const std::string& path, int m) : mode(m) {
    if (mode == 1) {
        path_ = app_path + path;
        temp_ = path + ".new";
        ouf_open(temp_, xmap_type_text, kPrefVersion, "no-copyright-string");
        temp_ = app_path + temp_;
    } else if (mode == 0) {
        xmap_class map(path);
        const int versions[] = {kPrefVersion, 0};
        if (map.base && map.check_file(xmap_type_text, versions, nullptr, nullptr))
            parse(map.cur, map.end, values);
    }
}

namespace {
// Puts what was written to path on the disc itself. 0 or errno.
int sync_path(const std::string& path, int flags) {
    const int fd = open(path.c_str(), flags | O_CLOEXEC);
    if (fd < 0) return errno;
    const int err = pref_sync(fd) == 0 ? 0 : errno;
    close(fd);
    return err;
}
}  // namespace

scan_class::~scan_class() {
    if (mode != 1) return;
    ouf.close();
    int err = ouf.fail() ? EIO : 0;
    // The new file is on the disc before it replaces the old one: a crash or a power cut after
    // the rename must not leave an empty or partial preference file in its place.
    if (!err) err = sync_path(temp_, O_RDONLY);
    if (!err && std::rename(temp_.c_str(), path_.c_str()) == 0) {
        // The rename itself lasts once its folder is on the disc too.
        const size_t slash = path_.rfind('/');
        sync_path(slash == std::string::npos ? "." : path_.substr(0, slash + 1), O_RDONLY | O_DIRECTORY);
        return;
    }
    if (!err) err = errno;
    xer << "Could not save the preferences " << path_ << ": " << std::strerror(err) << "\n";
    std::remove(temp_.c_str());
}

bool scan_class::lookup(const std::string& key, std::string* text) const {
    std::string option = "--pref:" + key;
    if (cmdline.has_option(option.c_str())) {
        *text = cmdline.get_option(option.c_str());
        return true;
    }
    auto it = values.find(key);
    if (it == values.end()) return false;
    *text = it->second;
    return true;
}

bool scan_class::int_io(int* value, const std::string& key) {
    if (mode == 1) {
        ouf << key << ' ' << *value << '\n';
        return false;
    }
    std::string text;
    if (mode != 0 || !lookup(key, &text)) return false;
    *value = to_int(text);
    return true;
}

bool scan_class::str_io(std::string* value, const std::string& key) {
    if (mode == 1) {
        if (!value->empty()) ouf << key << ' ' << *value << '\n';
        return false;
    }
    std::string text;
    if (mode != 0 || !lookup(key, &text)) return false;
    *value = text;
    return true;
}

void pref_class::IO_set(int which, int write) {
    static int res_req[6];  // x and y of the PLN, WRL and ALL resolutions
    std::string path;
    if (which == 10) {
        path = "Resources/preferences/Res Ostrand.prf";
    } else if (which == 12) {
        path = "Resources/preferences/Cal Volatra.prf";
    } else if (which == 11) {
        get_OS_abs_path(os_dir_prefs, path);
        // Without the folder the name would be a stray relative file: keep nothing instead.
        if (path.empty()) {
            xer << "No preferences folder: the installer's preferences are not " << (write ? "saved" : "read")
                << ".\n";
            return;
        }
        path += installer_pref_name;
    } else {
        return;
    }

    scan_class s(path, write);
    if (which == 11) {
        s.int_io(&stg.stream_count, "_stream_count");
        s.int_io(&stg.log_actions, "_log_actions");
        s.str_io(&http.proxy_host, "_proxy_host");
        s.str_io(&http.proxy_port_text, "_proxy_port");
        int port = static_cast<int>(http.proxy_port);
        if (s.int_io(&port, "_proxy_port_int")) http.proxy_port = static_cast<uint32_t>(port);
        s.int_io(&stg.get_beta, "_get_beta");
        s.int_io(&mnw.lang, "_lang");
    } else if (which == 10) {
        if (write) {
            res_req[4] = mnw.x_res_req;
            res_req[5] = mnw.y_res_req;
            mnw.prefs_found = 1;
        }
        const char* res_keys[6] = {"_x_res_req_PLN", "_y_res_req_PLN", "_x_res_req_WRL",
                                   "_y_res_req_WRL", "_x_res_req_ALL", "_y_res_req_ALL"};
        for (int i = 0; i < 6; ++i) s.int_io(&res_req[i], res_keys[i]);
        if (!write) {
            mnw.x_res_req = res_req[4];
            mnw.y_res_req = res_req[5];
        }
        s.int_io(&mnw.col_res_req, "_col_res_req");
        s.int_io(&mnw.set_res, "_set_res");
        s.int_io(&mnw.lang, "_lang");
        s.int_io(&mnw.alias_req, "_alias_req");
        s.int_io(&mnw.keylist_up, "_keylist_up");
        s.int_io(&mnw.sec_mon_inuse, "_sec_mon_inuse");
        s.int_io(&mnw.prefs_found, "_prefs_found");
        if (mnw.x_res_req < 600 || mnw.x_res_req > 9999) mnw.x_res_req = 1024;
        if (mnw.y_res_req < 600 || mnw.y_res_req > 9999) mnw.y_res_req = 768;
    }
}
