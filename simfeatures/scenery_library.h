// Simulator-side features layer (simfeatures/).
// The scenery library: the scenery packages in priority order and what their "library.txt"
// files export under virtual paths, optionally limited to regions of the globe; and the two
// reporters of faulty scenery files. Paths are relative to the program folder.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

class xmap_class;

inline constexpr char cus_path[] = "Custom Scenery/";
inline constexpr char glb_path[] = "Global Scenery/";
inline constexpr char def_path[] = "Resources/default scenery/";
inline constexpr char obj_path[] = "Resources/objects/";
inline constexpr char def_ovr_str[] = "-global overlays-";
inline constexpr char def_ter_str[] = "-global terrain-";

// Bits of lib_entry::flags above the 24-bit weight.
enum : uint32_t {
    lib_weight_mask = 0x00FFFFFF,
    lib_exclusive = 0x01000000,        // the walk ends after this entry
    lib_package_bounded = 0x02000000,  // ... and after this one when the next is another package's
    lib_backup = 0x04000000,           // stands behind every other entry of its chain
};

// A named set of one-degree tiles: mask[(lon + 180) * 180 + (lat + 90)] is 1 inside.
struct lib_region {
    std::string name;
    unsigned char mask[360 * 180];
};

// One export of one package.
struct lib_entry {
    lib_entry* next;     // next entry of the same virtual path
    lib_region* region;  // null: everywhere
    int package;
    uint32_t flags;
    std::string real_path;  // relative to the package folder
};

// Package folders (each ending in '/') by package number, with per-package flags.
extern std::vector<std::string> scenery_packages;
extern std::vector<int> package_problems;  // 1 once an error in the package was reported
extern std::vector<int> package_is_custom;
// Virtual path -> first entry of its chain. Every non-backup entry comes before every backup one.
extern std::map<std::string, lib_entry*> dsf_library;
// The regions defined so far in the library file being read.
extern std::map<std::string, lib_region*> dsf_regions;

// The library as the program starts: no packages, entries or regions (those of a scan are
// released).
void DSF_ClearLibrary();
// Rebuilds the package lists and the library from the folders on disk. The entries and regions
// of the previous scan are released.
void DSF_ScanSceneryFolder();
// Reads one package's library file, already mapped, into the library.
void DSF_ReadLibraryFile(int package, xmap_class& file);
// Links a new entry (allocated with new) into the chain of virtual_path, in front of the first
// backup entry; the library takes it over.
void DSF_RegisterEntry(const std::string& virtual_path, lib_entry* entry);

// Log a faulty scenery file and alert once per package; messages past 4,095 bytes are cut.
void __DSF_NonFatalError(const char* source_file, int source_line, const char* scenery_file,
                         const char* format, ...) __attribute__((format(printf, 4, 5)));
[[noreturn]] void __DSF_FatalError(const char* source_file, int source_line, const char* scenery_file,
                                   const char* format, ...) __attribute__((format(printf, 4, 5)));
