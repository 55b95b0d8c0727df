#include "wizard/server_list.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

#include "core/alert.h"
#include "core/globals.h"
#include "core/localisation.h"
#include "core/time_keeper.h"
#include "files/archives.h"
#include "files/errors.h"
#include "files/file_operations.h"
#include "files/versioned_file.h"
#include "install/install_state.h"
#include "install/manifest.h"
#include "install/net_fetch.h"
#include "net/http_client.h"
#include "wizard/disc.h"
#include "wizard/wizard_frame.h"

namespace {

constexpr int list_slot = 0;
constexpr int manifest_slot = 1;

// When the last failed fetch may be tried again. A failed lookup blocks the frame it runs in,
// so a dead network must not be asked every frame.
float retry_at = 0;

bool pausing() {
    const float left = retry_at - xtim.real_time;
    // A clock that went back (a new run of the time keeper) ends the pause.
    return left > 0 && left <= server_retry_pause;
}

// The fetches since the last one that succeeded: when the first of them began (-1: none since),
// where and why the latest failed (empty: none failed), and whether the log said it is out of reach.
struct fetch_trouble {
    float since = -1;
    std::string host, reason;
    bool logged = false;
} trouble;

// A fetch of the list or the manifest is under way.
void fetching() {
    if (trouble.since < 0 || trouble.since > xtim.real_time) trouble.since = xtim.real_time;
}

void fetched() { trouble = fetch_trouble(); }

void failed(int slot, const std::string& host, const std::string& what) {
    retry_at = xtim.real_time + server_retry_pause;
    const http_failure& f = http.last_failure(slot);
    xer << "Could not fetch " << what << ": status " << f.status << " " << f.reason << ", error " << f.os_err
        << (f.stalled ? ", nothing came for 30 seconds" : "") << "\n";
    trouble.host = host;
    trouble.reason = download_failure_text(f);
    std::string h, why;
    if (!trouble.logged && server_unreachable(&h, &why)) {
        xer << "The server " << h << " cannot be reached (" << why << "); the installer keeps trying.\n";
        trouble.logged = true;
    }
}

bool is_white_or_end(const uint8_t* p, const uint8_t* end) {
    return p >= end || *p == ' ' || *p == '\t' || *p == '\r' || *p == '\n' || *p == 0;
}

// At m.cur (after blanks): the keyword as a whole word? Then the cursor stands behind it.
bool take_keyword(xmap_class& m, const char* word) {
    const size_t n = std::strlen(word);
    if (static_cast<size_t>(m.end - m.cur) < n || std::memcmp(m.cur, word, n) != 0) return false;
    if (!is_white_or_end(m.cur + n, m.end)) return false;
    m.cur += n;
    return true;
}

// Why the HTTP client could not use a record, or null when it can.
const char* unusable_record(const std::string& host, const std::string& path) {
    if (host.empty()) return "no host";
    if (host.back() == '/') return "a host ending in '/'";
    if (path.empty() || path[0] != '/') return "a path not starting with '/'";
    return nullptr;
}

}  // namespace

void new_server_search() {
    // A transfer under way may go through a proxy the user has changed since.
    http.cancel(list_slot);
    http.cancel(manifest_slot);
    retry_at = 0;
    fetched();
}

bool server_unreachable(std::string* host, std::string* reason) {
    if (trouble.reason.empty() || trouble.since < 0) return false;
    // A try that is being answered has reached its server; an error answer (a proxy's own, such
    // as 502 or 407) has not.
    const down_class* d = http.slot(stg.server_count == -1 ? list_slot : manifest_slot);
    if (d && d->status_code() >= 100 && d->status_code() <= 299) return false;
    const float failing = xtim.real_time - trouble.since;
    if (!(failing >= server_unreachable_after)) return false;
    *host = trouble.host;
    *reason = trouble.reason;
    return true;
}

int biased_server_index(int r, int count) {
    const float u = static_cast<float>(r) * 4.656612873077393e-10f;  // 2^-31
    const float f = u > 0 ? std::pow(u, 1.5f) : 0.0f;
    const int index = static_cast<int>(f * static_cast<float>(count));
    return index < 0 ? 0 : (index > count - 1 ? count - 1 : index);
}

int uniform_server_index(int r, int count) { return count <= 1 ? 0 : r % count; }

int read_server_list(const std::string& path) {
    xmap_class m(path);
    static const int versions[] = {820, 0};
    if (!m.base || m.check_file(10001, versions, "SERVERS", nullptr) != 820) return -1;
    int count = 0;
    while (m.cur < m.end) {
        while (m.cur < m.end && (*m.cur == ' ' || *m.cur == '\t')) ++m.cur;
        std::string value;
        const bool final_line = take_keyword(m, "FINAL");
        if (final_line || take_keyword(m, "BETA")) {
            const bool beta = !final_line;
            m.TXT_str_scan_eoln(&value);
            if (beta != (stg.get_beta != 0)) continue;
            // The name becomes a folder of every server path and the demo's folder name.
            if (release_name_is_safe(value))
                install_name = value;
            else
                xer << "Server list: the release name \"" << value << "\" is not usable; ignored.\n";
        } else if (take_keyword(m, "SERVER")) {
            std::string host, folder, desc;
            m.TXT_str_scan_eoln(&host);
            m.TXT_str_scan_eoln(&folder);
            m.TXT_str_scan_eoln(&desc);
            if (const char* why = unusable_record(host, folder)) {
                xer << "Server list: dropped the server \"" << host << "\" \"" << folder << "\" with " << why << ".\n";
            } else if (count < max_servers) {
                server_name[count] = host;
                server_path[count] = folder + install_name + "/";
                server_desc[count] = desc;
                ++count;
            } else {
                xer << "Server list: more than " << max_servers << " servers; \"" << host << "\" left out.\n";
            }
        } else if (take_keyword(m, "ENDOFLIST")) {
            break;
        } else {
            m.TXT_str_scan_eoln(nullptr);
        }
    }
    return count;
}

void UTL_download_directory() {
    if (stg.server_count == -1) {
        if (!http.slot(list_slot) && pausing()) return;
        const std::string file = temp_path + "serverlist9.txt";
        fetching();
        const int r =
            http.net_check(list_slot, server_list_host, "/serverlist9.txt", file, server_list_max_bytes);
        if (r == 2) failed(list_slot, server_list_host, std::string("the server list from ") + server_list_host);
        if (r != 1) return;
        fetched();
        const int count = read_server_list(file);
        if (count < 0) {
            new_format(file);
            return;
        }
        stg.server_count = count;
        if (count == 0) {
            // No server to ask: the search screen says the servers could not be read.
            xer << "The server list names no usable server.\n";
            stg.dir_state = 2;
            return;
        }
        stg.server_index = biased_server_index(rand(), count);
        return;
    }
    if (stg.dir_state == 0) {
        if (stg.server_count < 1) {
            stg.dir_state = 2;
            return;
        }
        if (stg.server_index < 0 || stg.server_index >= stg.server_count) stg.server_index = 0;
        if (!http.slot(manifest_slot) && pausing()) return;
        const std::string zip = temp_path + "directory.txt.zip";
        const int i = stg.server_index;
        fetching();
        const int r = http.net_check(manifest_slot, server_name[i], server_path[i] + "directory.txt.zip", zip,
                                     manifest_zip_max_bytes);
        if (r == 2) {
            failed(manifest_slot, server_name[i], "the manifest from " + server_name[i]);
            stg.server_index = uniform_server_index(rand(), stg.server_count);
        }
        if (r != 1) return;
        fetched();
        // Only the manifest comes out of the archive, whatever else it names: nothing from the
        // network may replace the other files of the temporary folder.
        std::string name = "directory.txt";
        const int err = zip_to_file(zip, temp_path, &name, 1, "", manifest_max_bytes);
        if (err == 0) {
            stg.dir_state = 1;
        } else {
            __MACIBM_alert(0, UTL_translate_string("The installer cannot extract a file."),
                           UTL_translate_string("Error: ") + error_str(err),
                           UTL_translate_string("Compressed File/") + zip,
                           UTL_translate_string("Destination Path/") + temp_path, t_alert, __FILE__, __LINE__);
            // This server's archive is bad: the next try may take another.
            stg.server_index = uniform_server_index(rand(), stg.server_count);
        }
        delete_file(zip);
        return;
    }
    if (stg.dir_state == 1) stg.dir_state = read_directory(temp_path + "directory.txt", "");
}
