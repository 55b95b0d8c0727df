// Platform layer (platform/).
// Code bundles ("OpenGL.framework" and the like) mapped to shared libraries.
#pragma once

#include <string>

namespace plat {

// The shared library standing for a framework name; empty when none does.
std::string framework_library(const std::string& framework);
// A handle of the loaded library, or null with why set.
void* framework_load(const std::string& library, std::string* why);
void* framework_symbol(void* handle, const char* name);
void framework_release(void* handle);

}  // namespace plat
