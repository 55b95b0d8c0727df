// Double of the start-up's program path and case flag until the shell's start-up lands.
#include <string>

#include "platform/plat_fs.h"

int g_case_sensitive = 0;

void MACIBM_set_app_path(std::string* out, int keep_bundle) {
    std::string p = plat_bundle_of_exe(plat_exe_path());
    if (!keep_bundle) {
        if (p.size() > 2 && p.back() == '/') p.pop_back();
        p.erase(p.rfind('/') + 1);
    }
    *out = p;
}
