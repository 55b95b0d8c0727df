// Resource lookups through the scenery library (simulator-side features layer).
#include "simfeatures/library_lookup.h"

#include <algorithm>
#include <cstdint>

#include "core/globals.h"
#include "core/random_table.h"
#include "core/strings.h"
#include "files/file_operations.h"
#include "simfeatures/scenery_library.h"

namespace {

// The tile a lookup is for; anywhere puts every entry in the region.
struct tile {
    bool anywhere;
    int lon, lat;
};

bool in_region(const lib_entry* e, const tile& t) {
    if (t.anywhere || !e->region) return true;
    if (t.lon < -180 || t.lon > 179 || t.lat < -90 || t.lat > 89) return false;
    return e->region->mask[(t.lon + 180) * 180 + (t.lat + 90)] != 0;
}

// The entries a lookup chooses among: those in the region, up to an exclusive entry or a
// package-bounded one followed by another package's entry.
std::vector<const lib_entry*> counted_entries(const std::string& path, const tile& t) {
    std::vector<const lib_entry*> out;
    auto chain = dsf_library.find(path);
    if (chain == dsf_library.end()) return out;
    for (const lib_entry* e = chain->second; e; e = e->next) {
        if (!in_region(e, t)) continue;
        out.push_back(e);
        if (e->flags & lib_exclusive) break;
        if ((e->flags & lib_package_bounded) && e->next && e->next->package != e->package) break;
    }
    return out;
}

uint32_t weight(const lib_entry* e) { return e->flags & lib_weight_mask; }

weighted_paths lookup_all(const tile& t, const std::string& path) {
    weighted_paths out;
    for (const lib_entry* e : counted_entries(path, t))
        out.push_back(scenery_packages[e->package] + e->real_path, weight(e));
    return out;
}

int lookup_one(const tile& t, std::string& path, int seed) {
    const weighted_paths choices = lookup_all(t, path);
    const uint64_t total = choices.size();
    if (total == 0) return 0;
    float f = randrat[((seed % randrat_size) + randrat_size) % randrat_size];
    uint64_t r = static_cast<uint64_t>(static_cast<float>(total) * f);
    // A large total rounds in float; the pick must still fall on an entry.
    if (r >= total) r = total - 1;
    path = choices[r];
    return 1;
}

bool is_object(int kind) { return kind >= 3 && kind <= 7; }

// folder + name, or for images the name's three variants.
void add(std::vector<std::string>& candidates, int kind, const std::string& folder, const std::string& name) {
    if (kind != 1) {
        candidates.push_back(folder + name);
        return;
    }
    for (const char* ext : {".dds", ".png", ".bmp"})
        candidates.push_back(folder + (name.size() > 4 ? name.substr(0, name.size() - 4) + ext : name));
}

// The program's own resources, searched last.
void add_resources(std::vector<std::string>& candidates, int kind, const std::string& name) {
    if (kind == 0) add(candidates, kind, "Resources/", name);
    if (kind == 1 || kind == 2) add(candidates, kind, "Resources/bitmaps/terrain/", name);
    if (is_object(kind)) add(candidates, kind, obj_path, name);
    if (kind >= 1 && kind <= 7) add(candidates, kind, "Resources/", name);
}

// what names the resource in the log lines: the name, and for the secondary search its parent.
void first_existing(const std::vector<std::string>& candidates, bool warn, const std::string& what,
                    std::string& out) {
    for (const std::string& c : candidates) {
        if (file_exists(c)) {
            out = c;
            return;
        }
    }
    if (warn)
        for (const std::string& c : candidates)
            xer << "Failed to find resource '" << what << "' at '" << c << "'\n";
}

}  // namespace

void weighted_paths::clear() {
    entries_.clear();
    ends_.clear();
    total_ = 0;
}

void weighted_paths::push_back(std::string path, uint32_t weight) {
    if (weight == 0) return;
    total_ += weight;
    entries_.push_back({std::move(path), weight});
    ends_.push_back(total_);
}

const std::string& weighted_paths::operator[](uint64_t i) const {
    return entries_[static_cast<size_t>(std::upper_bound(ends_.begin(), ends_.end(), i) - ends_.begin())].path;
}

int DSF_LookupLibraryResource(int lon, int lat, std::string& path, int seed) {
    return lookup_one({false, lon, lat}, path, seed);
}

int DSF_LookupLibraryResourceAnywhere(std::string& path, int seed) {
    return lookup_one({true, 0, 0}, path, seed);
}

bool DSF_LookupLibraryResourceMultiple(int lon, int lat, const std::string& path, weighted_paths& out) {
    out = lookup_all({false, lon, lat}, path);
    return !out.empty();
}

bool DSF_LookupLibraryResourceAnywhereMultiple(const std::string& path, weighted_paths& out) {
    out = lookup_all({true, 0, 0}, path);
    return !out.empty();
}

void DSF_LocateResourceNoLib(int kind, const std::string& name, const std::string& folder, bool warn,
                             std::string& out) {
    out.clear();
    std::vector<std::string> candidates;
    add(candidates, kind, folder, name);
    if (kind == 1) {
        add(candidates, kind, folder + "custom terrain textures/", name);
        add(candidates, kind, folder + "custom object textures/", name);
    }
    if (kind == 2) add(candidates, kind, folder + "custom terrain textures/", name);
    if (is_object(kind)) add(candidates, kind, folder + "custom objects/", name);
    add_resources(candidates, kind, name);
    first_existing(candidates, warn, name, out);
}

void DSF_LocateResourceSecondary(int kind, int sub, const std::string& parent, const std::string& name,
                                 bool warn, std::string& out) {
    out.clear();
    std::vector<std::string> candidates;
    if (!parent.empty()) add(candidates, kind, parent, name);
    std::string package = extract_package(parent);
    if (!package.empty()) {
        if (kind == 1)
            add(candidates, kind,
                package + (sub == 2 ? "custom terrain textures/" : "custom object textures/"), name);
        if (kind == 2) add(candidates, kind, package + "custom terrain textures/", name);
        if (is_object(kind)) add(candidates, kind, package + "custom objects/", name);
    }
    add_resources(candidates, kind, name);
    first_existing(candidates, warn, name + "' (parent = '" + parent, out);
}

std::string extract_package(const std::string& path) {
    for (const char* prefix : {cus_path, glb_path, def_path}) {
        if (!starts_with(path, prefix)) continue;
        size_t sep = path.find_first_of("\\/:", std::string(prefix).size());
        if (sep != std::string::npos) return path.substr(0, sep + 1);
    }
    return std::string();
}

void DSF_LocateResourcePrimary(int lon, int lat, int kind, const std::string& name, const std::string& folder,
                               bool warn, std::string& out, int seed) {
    std::string found = name;
    if (DSF_LookupLibraryResource(lon, lat, found, seed))
        out = found;
    else
        DSF_LocateResourceNoLib(kind, name, folder, warn, out);
}

void DSF_LocateResourcePrimaryMultiple(int lon, int lat, int kind, const std::string& name,
                                       const std::string& folder, bool warn, weighted_paths& out) {
    DSF_LookupLibraryResourceMultiple(lon, lat, name, out);
    std::string found;
    DSF_LocateResourceNoLib(kind, name, folder, warn && out.empty(), found);
    if (!found.empty()) out.push_back(found);
}

void DSF_LocateResourceSecondaryMultipleWithLibrary(int lon, int lat, int kind, int sub,
                                                    const std::string& parent, const std::string& name,
                                                    bool warn, weighted_paths& out) {
    DSF_LookupLibraryResourceMultiple(lon, lat, name, out);
    std::string found;
    DSF_LocateResourceSecondary(kind, sub, parent, name, warn && out.empty(), found);
    if (!found.empty()) out.push_back(found);
}

void return_latlon_str_dsf(int lat, int lon, std::string* out) {
    // 64 bits: coordinates far off the globe must not overflow on the way to the name.
    const int64_t lat10 = ((int64_t(lat) + 90) / 10) * 10 - 90,
                  lon10 = ((int64_t(lon) + 180) / 10) * 10 - 180;
    out->clear();
    auto put = [out](int64_t value, int digits) {
        out->push_back(value < 0 ? '-' : '+');
        uint64_t a = static_cast<uint64_t>(value < 0 ? -value : value);
        uint64_t place = 1;
        for (int i = 1; i < digits; ++i) place *= 10;
        // The leading place shows '0' when the value does not fit.
        uint64_t lead = a / place;
        out->push_back(lead > 9 ? '0' : char('0' + lead));
        for (place /= 10; place; place /= 10) out->push_back(char('0' + (a / place) % 10));
    };
    put(lat10, 2);
    put(lon10, 3);
    out->push_back('/');
    put(lat, 2);
    put(lon, 3);
    out->append(".dsf");
}
