// Code bundles mapped to shared libraries (platform layer).
#include "platform/plat_shared_libraries.h"

#include <dlfcn.h>

namespace plat {

std::string framework_library(const std::string& framework) {
    static const struct {
        const char* framework;
        const char* library;
    } kMap[] = {{"OpenGL.framework", "libGL.so.1"}};
    for (const auto& m : kMap)
        if (framework == m.framework) return m.library;
    return "";
}

void* framework_load(const std::string& library, std::string* why) {
    void* h = dlopen(library.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!h && why) {
        const char* e = dlerror();
        *why = e ? e : "";
    }
    return h;
}

void* framework_symbol(void* handle, const char* name) { return handle ? dlsym(handle, name) : nullptr; }

void framework_release(void* handle) {
    if (handle) dlclose(handle);
}

}  // namespace plat
