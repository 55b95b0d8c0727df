// The scenery package scan and library (simulator-side features layer).
#include "simfeatures/scenery_library.h"

#include <GL/gl.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "core/alert.h"
#include "core/globals.h"
#include "core/strings.h"
#include "files/file_operations.h"
#include "files/versioned_file.h"
#include "graphics/image_loader.h"

std::vector<std::string> scenery_packages;
std::vector<int> package_problems;
std::vector<int> package_is_custom;
std::map<std::string, lib_entry*> dsf_library;
std::map<std::string, lib_region*> dsf_regions;

namespace {

// What the library points to; released when the next scan starts.
std::vector<std::unique_ptr<lib_entry>> owned_entries;
std::vector<std::unique_ptr<lib_region>> owned_regions;

// A region bitmap is 360 x 180 bytes; the loader is not asked to hold pictures past this size.
constexpr size_t kMaxBitmapBytes = size_t(1) << 26;

bool is_blank_byte(uint8_t c) { return c == ' ' || c == '\t'; }
bool is_line_end(uint8_t c) { return c == 0 || c == '\r' || c == '\n'; }

void slashes(std::string& path) {
    std::replace_if(
        path.begin(), path.end(), [](char c) { return c == '\\' || c == ':'; }, '/');
}

// The file layer ends the program on a path it cannot take; a folder or bitmap name from a
// scenery package must not do that.
bool mappable(const std::string& rel_path, size_t grows_by = 0) {
    if (rel_path.find_first_of("\\:") != std::string::npos) return false;
    if (!app_path.empty() && rel_path.find(app_path) != std::string::npos) return false;
    return app_path.size() + rel_path.size() + grows_by <= 499;
}

void add_package(const std::string& path) {
    scenery_packages.push_back(path);
    package_problems.push_back(0);
    package_is_custom.push_back(starts_with(path, cus_path) ? 1 : 0);
}

// The first package whose folder holds the file, or -1.
int package_of(const char* scenery_file) {
    for (size_t i = 0; i < scenery_packages.size(); ++i)
        if (starts_with(scenery_file, scenery_packages[i])) return static_cast<int>(i);
    return -1;
}

int log_and_find_package(const char* source_file, int source_line, const char* scenery_file,
                         const char* format, va_list args) {
    char message[4096];
    std::vsnprintf(message, sizeof message, format, args);
    xer << "***Error with scenery file \"" << scenery_file << "\" (" << source_file << ": " << source_line
        << ".)\n  " << message << "\n";
    return package_of(scenery_file);
}

// The library file's text at its cursor, read in place and never past its end.
struct library_reader {
    xmap_class& f;
    int package;
    lib_region* current = nullptr;   // stored in each export
    lib_region* defining = nullptr;  // what REGION_RECT and REGION_BITMAP change
    std::string file_name;

    const char* name() const { return file_name.c_str(); }
    bool at_end() const { return f.cur >= f.end; }
    void skip_blanks() {
        while (!at_end() && is_blank_byte(*f.cur)) ++f.cur;
    }
    void skip_line() { f.TXT_str_scan_eoln(nullptr); }
    std::string word() {
        std::string w;
        f.TXT_str_scan_space(&w);
        return w;
    }

    // An optional '-' then '+', then every byte up to white space as a digit; it wraps as the
    // unsigned 32-bit number it is read as.
    uint32_t number() {
        skip_blanks();
        bool negative = false;
        if (!at_end() && *f.cur == '-') negative = true, ++f.cur;
        if (!at_end() && *f.cur == '+') negative = false, ++f.cur;
        uint32_t n = 0;
        while (!at_end() && !is_blank_byte(*f.cur) && !is_line_end(*f.cur))
            n = n * 10u + uint32_t(*f.cur++ - '0');
        return negative ? 0u - n : n;
    }

    void run() {
        static const struct {
            const char* word;
            void (library_reader::*run)(uint32_t);
            uint32_t flags;
        } commands[] = {
            {"EXPORT", &library_reader::do_export, lib_package_bounded | 1},
            {"EXPORT_EXTEND", &library_reader::do_export, 1},
            {"EXPORT_EXCLUDE", &library_reader::do_export, lib_exclusive | 1},
            {"EXPORT_BACKUP", &library_reader::do_export, lib_backup | 1},
            {"EXPORT_RATIO", &library_reader::do_export_ratio, lib_package_bounded},
            {"REGION", &library_reader::do_region, 0},
            {"REGION_DEFINE", &library_reader::do_region_define, 0},
            {"REGION_RECT", &library_reader::do_region_rect, 0},
            {"REGION_BITMAP", &library_reader::do_region_bitmap, 0},
        };
        while (true) {
            skip_blanks();
            if (at_end()) return;
            const uint8_t* w = f.cur;
            const uint8_t* e = w;
            while (e < f.end && !is_blank_byte(*e) && !is_line_end(*e)) ++e;
            bool done = false;
            if (e < f.end && is_blank_byte(*e)) {
                for (const auto& c : commands) {
                    if (std::strlen(c.word) == size_t(e - w) && !std::memcmp(c.word, w, e - w)) {
                        f.cur = e;
                        (this->*c.run)(c.flags);
                        done = true;
                        break;
                    }
                }
            }
            if (!done) skip_line();
        }
    }

    void do_export(uint32_t flags) { export_entry(flags, 0, false); }
    void do_export_ratio(uint32_t flags) { export_entry(flags, number(), true); }

    void export_entry(uint32_t flags, uint32_t ratio, bool has_ratio) {
        std::string virtual_path = word(), real_path;
        f.TXT_str_scan_eoln(&real_path);
        slashes(virtual_path);
        slashes(real_path);
        if (has_ratio) {
            if (ratio > lib_weight_mask)
                __DSF_NonFatalError(
                    __FILE__, __LINE__, name(),
                    "Library error: you cannot have a ratio of more than 2^24 lib items for %s -> %s.",
                    real_path.c_str(), virtual_path.c_str());
            flags += ratio & lib_weight_mask;
        }
        DSF_RegisterEntry(virtual_path, new lib_entry{nullptr, current, package, flags, real_path});
    }

    void do_region_define(uint32_t) {
        std::string region_name = word();
        if (dsf_regions.count(region_name)) {
            __DSF_NonFatalError(__FILE__, __LINE__, name(),
                                "REGION_DEFINE %s - region already defined.  Ignoring.", region_name.c_str());
            defining = nullptr;
            return;
        }
        owned_regions.push_back(std::make_unique<lib_region>());
        defining = owned_regions.back().get();
        defining->name = region_name;
        std::memset(defining->mask, 0, sizeof defining->mask);
        dsf_regions[region_name] = defining;
    }

    void do_region(uint32_t) {
        std::string region_name = word();
        auto it = dsf_regions.find(region_name);
        if (it == dsf_regions.end())
            __DSF_NonFatalError(__FILE__, __LINE__, name(), "REGION %s - region unknown.  Ingoring",
                                region_name.c_str());
        else
            current = it->second;
    }

    void do_region_rect(uint32_t) {
        if (!defining) {
            __DSF_NonFatalError(__FILE__, __LINE__, name(),
                                "REGION_RECT command used but no region has been defined.");
            return;
        }
        int64_t bounds[4];
        for (int64_t& b : bounds) b = static_cast<int32_t>(number());
        int64_t W = bounds[0] + 180, S = bounds[1] + 90, E = bounds[2] + 180, N = bounds[3] + 90;
        if (W < 0 || S < 0 || E > 359 || N > 179 || N < S || E < W) {
            __DSF_NonFatalError(__FILE__, __LINE__, name(),
                                "The boundaries to a REGION_RECT command are out of range: %d,%d->%d,%d",
                                int(W), int(S), int(E), int(N));
            return;
        }
        for (int64_t x = W; x <= E; ++x) std::memset(defining->mask + x * 180 + S, 1, size_t(N - S + 1));
    }

    void do_region_bitmap(uint32_t) {
        std::string file = word();
        slashes(file);
        if (!defining) {
            __DSF_NonFatalError(__FILE__, __LINE__, name(),
                                "REGION_BITMAP used with no region defined.  REGION_BITMAP will be ignored.");
            return;
        }
        std::string path = scenery_packages[package] + file;
        unsigned char* pixels = nullptr;
        TEX_image_desc desc{};
        // The loader may add an extension of four characters.
        if (!mappable(path, 4) || !TEX_load_any_ext(path, pixels, GL_ALPHA, 0, 0, desc, kMaxBitmapBytes)) {
            __DSF_NonFatalError(__FILE__, __LINE__, name(),
                                "Unable to load bitmap file '%s' for REGION_BITMAP command - will skip.",
                                file.c_str());
            return;
        }
        if (desc.width == 360 && desc.height == 180) {
            const size_t row = size_t(desc.width) + size_t(desc.pad);
            for (int x = 0; x < 360; ++x)
                for (int y = 0; y < 180; ++y) defining->mask[x * 180 + y] = pixels[y * row + x] ? 1 : 0;
        } else {
            __DSF_NonFatalError(
                __FILE__, __LINE__, name(),
                "REGION_BITMAP with bitmap %s has a size of %d, %d but need sa size of 360x180.",
                file.c_str(), int(desc.width), int(desc.height));
        }
        std::free(pixels);
    }
};

}  // namespace

void DSF_RegisterEntry(const std::string& virtual_path, lib_entry* entry) {
    owned_entries.emplace_back(entry);
    lib_entry*& first = dsf_library[virtual_path];
    lib_entry** slot = &first;
    while (*slot && !((*slot)->flags & lib_backup)) slot = &(*slot)->next;
    entry->next = *slot;
    *slot = entry;
}

void DSF_ReadLibraryFile(int package, xmap_class& file) {
    std::string lib_path = scenery_packages[package] + "library.txt";
    static const int versions[] = {800, 0};
    if (!file.check_file(xmap_type_text, versions, "LIBRARY", nullptr)) {
        __DSF_NonFatalError(__FILE__, __LINE__, lib_path.c_str(),
                            "Incorrect version for scenery library file.  Will skip.");
        return;
    }
    dsf_regions.clear();
    library_reader{file, package, nullptr, nullptr, lib_path}.run();
}

void DSF_ClearLibrary() {
    dsf_library.clear();
    dsf_regions.clear();
    owned_entries.clear();
    owned_regions.clear();
    scenery_packages.clear();
    package_problems.clear();
    package_is_custom.clear();
}

void DSF_ScanSceneryFolder() {
    DSF_ClearLibrary();

    std::vector<std::string> names;
    std::vector<int> types;
    bool overlays = false, terrain = false;
    opensave_getitems(cus_path, 1, names, types);
    for (const std::string& n : names) {
        if (n == def_ovr_str)
            overlays = true;
        else if (n == def_ter_str)
            terrain = true;
        else
            add_package(cus_path + n + "/");
    }
    opensave_getitems(glb_path, 1, names, types);
    for (const std::string& n : names) add_package(glb_path + n + "/");
    if (overlays) add_package(std::string(cus_path) + def_ovr_str + "/");
    if (terrain) add_package(std::string(cus_path) + def_ter_str + "/");
    opensave_getitems(def_path, 1, names, types);
    for (const std::string& n : names) add_package(def_path + n + "/");

    xer << "I found the following scenery packages (prioritized in this order):\n";
    for (size_t i = 0; i < scenery_packages.size(); ++i) {
        char number[16];
        std::snprintf(number, sizeof number, "%3d", int(i));
        xer << number << " " << scenery_packages[i] << "\n";
    }
    xer << "\n";
    xer.flush();

    for (size_t i = 0; i < scenery_packages.size(); ++i) {
        std::string lib_path = scenery_packages[i] + "library.txt";
        if (!mappable(lib_path)) continue;
        xmap_class file(lib_path);
        if (file.base) DSF_ReadLibraryFile(int(i), file);
    }
}

void __DSF_NonFatalError(const char* source_file, int source_line, const char* scenery_file,
                         const char* format, ...) {
    va_list args;
    va_start(args, format);
    int package = log_and_find_package(source_file, source_line, scenery_file, format, args);
    va_end(args);
    if (package < 0 || !package_problems[package]) {
        if (package >= 0) package_problems[package] = 1;
        __MACIBM_alert(
            0, "Error loading the scenery package:", package < 0 ? scenery_file : scenery_packages[package],
            "The scenery may not look correct.",
            "Please see the log.txt file for detailed error information.", t_alert, source_file, source_line);
    }
    xer.flush();
}

void __DSF_FatalError(const char* source_file, int source_line, const char* scenery_file, const char* format,
                      ...) {
    va_list args;
    va_start(args, format);
    int package = log_and_find_package(source_file, source_line, scenery_file, format, args);
    va_end(args);
    xer.flush();
    if (package < 0) {
        __MACIBM_alert(0, "Error loading the scenery package:", scenery_file,
                       "Volatra cannot run with this corrupt file.",
                       "Please see the log.txt file for detailed error information.", t_exit, source_file,
                       source_line);
    } else {
        package_problems[package] = 1;
        __MACIBM_alert(
            0, "Error loading the scenery package:", scenery_packages[package],
            package_is_custom[package]
                ? "Volatra cannot run with this package installed - you may need to remove the custom  "
                  "scenery package."
                : "Volatra cannot run with this package installed - You may need to reinstall Volatra.",
            "Please see the log.txt file for detailed error information.", t_exit, source_file, source_line);
    }
    // A fatal alert does not come back; should a hook return all the same, end here.
    std::_Exit(1);
}
