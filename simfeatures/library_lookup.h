// Simulator-side features layer (simfeatures/).
// Resolving the resources that scenery files name: through the scenery library (by region,
// weight and seed), by a fixed list of candidate files, or both; and the names of scenery tiles.
// Paths are relative to the program folder.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The exports a lookup may pick, as the list in which each path stands as often as its weight,
// but held once per path: a weight of 16.7 million costs no more than a weight of one.
class weighted_paths {
public:
    struct entry {
        std::string path;
        uint32_t weight;
    };
    void clear();
    // Appends path `weight` times (0: not at all).
    void push_back(std::string path, uint32_t weight = 1);
    bool empty() const { return total_ == 0; }
    // The length of the list: the sum of the weights.
    uint64_t size() const { return total_; }
    // The path at position i (below size()) of the list.
    const std::string& operator[](uint64_t i) const;
    const std::vector<entry>& entries() const { return entries_; }

private:
    std::vector<entry> entries_;
    std::vector<uint64_t> ends_;  // per entry, the position just behind its last copy
    uint64_t total_ = 0;
};

// path holds a virtual path; on success it becomes one export's full path, picked by weight
// with the fraction randrat[seed mod 10000], and the result is 1. Otherwise 0, path unchanged.
// Tiles are whole degrees; a tile off the globe is in no region.
int DSF_LookupLibraryResource(int lon, int lat, std::string& path, int seed);
int DSF_LookupLibraryResourceAnywhere(std::string& path, int seed);
// Every export the lookup may pick, each as often as its weight: drawing a position of out
// uniformly picks with the lookup's odds.
bool DSF_LookupLibraryResourceMultiple(int lon, int lat, const std::string& path, weighted_paths& out);
bool DSF_LookupLibraryResourceAnywhereMultiple(const std::string& path, weighted_paths& out);

// The first existing file of the candidates for kind (0 anything under Resources/, 1 images as
// .dds, .png or .bmp, 2 terrain, 3 to 7 objects, others only the given folder), else "". With
// warn, a failed search logs every candidate.
void DSF_LocateResourceNoLib(int kind, const std::string& name, const std::string& folder, bool warn,
                             std::string& out);
// The same around the folder of the file that names the resource (parent, may be empty) and
// its package; sub 2 looks for images among terrain textures.
void DSF_LocateResourceSecondary(int kind, int sub, const std::string& parent, const std::string& name,
                                 bool warn, std::string& out);
// The package folder a path lies in ("Custom Scenery/Alps/" for "Custom Scenery/Alps/x.obj"), or "".
std::string extract_package(const std::string& path);

// The library first, then the search.
void DSF_LocateResourcePrimary(int lon, int lat, int kind, const std::string& name, const std::string& folder,
                               bool warn, std::string& out, int seed);
// The library's exports, then the search's file; failures are logged only when both find nothing.
void DSF_LocateResourcePrimaryMultiple(int lon, int lat, int kind, const std::string& name,
                                       const std::string& folder, bool warn, weighted_paths& out);
void DSF_LocateResourceSecondaryMultipleWithLibrary(int lon, int lat, int kind, int sub,
                                                    const std::string& parent, const std::string& name,
                                                    bool warn, weighted_paths& out);

// The tile's file name, always 19 characters: "+40-130/+47-122.dsf" for latitude 47, longitude -122.
void return_latlon_str_dsf(int lat, int lon, std::string* out);
