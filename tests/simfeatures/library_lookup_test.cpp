#include "simfeatures/library_lookup.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "common/test_helpers.h"
#include "core/globals.h"
#include "core/random_table.h"
#include "simfeatures/scenery_library.h"

namespace {

using strings = std::vector<std::string>;

// The list as the lookups describe it: each path as often as its weight.
strings expanded(const weighted_paths& w) {
    strings out;
    for (uint64_t i = 0; i < w.size(); ++i) out.push_back(w[i]);
    return out;
}

// An empty program folder, an empty library and three packages P0/ to P2/ to export from.
struct library_lookup : ::testing::Test {
    temp_folder t;
    std::string saved_app_path = app_path;

    void SetUp() override {
        app_path = t.path();
        DSF_ScanSceneryFolder();
        scenery_packages = {"P0/", "P1/", "P2/"};
        package_problems = {0, 0, 0};
        package_is_custom = {0, 0, 0};
    }
    void TearDown() override {
        DSF_ScanSceneryFolder();
        app_path = saved_app_path;
    }
    // Registers in order, as the scan would.
    void add(const std::string& vpath, int package, uint32_t flags, const std::string& real,
             lib_region* region = nullptr) {
        DSF_RegisterEntry(vpath, new lib_entry{nullptr, region, package, flags, real});
    }
    strings all(const std::string& vpath) {
        weighted_paths out;
        DSF_LookupLibraryResourceAnywhereMultiple(vpath, out);
        return expanded(out);
    }
};

constexpr uint32_t EXPORT = lib_package_bounded | 1, EXTEND = 1, EXCLUDE = lib_exclusive | 1,
                   BACKUP = lib_backup | 1;
constexpr uint32_t ratio(uint32_t n) { return lib_package_bounded | n; }

}  // namespace

TEST_F(library_lookup, WalksStopAtPackagesExclusionsAndRegions) {
    add("a", 0, EXPORT, "a");
    add("a", 0, EXPORT, "b");
    add("a", 1, EXPORT, "c");
    EXPECT_EQ(all("a"), (strings{"P0/a", "P0/b"}));
    add("b", 0, EXTEND, "a");
    add("b", 1, EXPORT, "b");
    add("b", 2, EXPORT, "c");
    EXPECT_EQ(all("b"), (strings{"P0/a", "P1/b"}));
    add("c", 0, EXCLUDE, "a");
    add("c", 0, EXPORT, "b");
    EXPECT_EQ(all("c"), (strings{"P0/a"}));
    add("d", 0, EXTEND, "a");
    add("d", 1, BACKUP, "z");
    EXPECT_EQ(all("d"), (strings{"P0/a", "P1/z"}));
    add("e", 0, EXPORT, "a");
    add("e", 2, BACKUP, "z");
    EXPECT_EQ(all("e"), (strings{"P0/a"}));
    // Entries outside the region are passed over and never end the walk.
    lib_region nowhere{"nowhere", {}};
    add("f", 0, EXCLUDE, "x", &nowhere);
    add("f", 1, EXPORT, "y");
    weighted_paths out;
    EXPECT_TRUE(DSF_LookupLibraryResourceMultiple(10, 10, "f", out));
    EXPECT_EQ(expanded(out), (strings{"P1/y"}));
    EXPECT_EQ(all("f"), (strings{"P0/x"}));
    EXPECT_FALSE(DSF_LookupLibraryResourceAnywhereMultiple("none", out));
    EXPECT_TRUE(out.empty());
}

TEST_F(library_lookup, WeightedChoiceBySeed) {
    add("w", 0, ratio(3), "three");
    add("w", 0, ratio(1), "one");
    struct {
        float f;
        int seed;
        const char* want;
    } cases[] = {{0.0f, 4, "P0/three"},  {0.7499f, 5, "P0/three"}, {0.75f, 6, "P0/one"},
                 {0.9998f, 7, "P0/one"}, {0.75f, -9994, "P0/one"}, {0.75f, 10006, "P0/one"}};
    for (const auto& c : cases) {
        randrat[(c.seed % 10000 + 10000) % 10000] = c.f;
        std::string path = "w";
        EXPECT_EQ(DSF_LookupLibraryResourceAnywhere(path, c.seed), 1);
        EXPECT_EQ(path, c.want) << c.f << " seed " << c.seed;
    }
    // Weight 0 counts but is never chosen; a chain of only weight 0 fails.
    add("z", 0, ratio(0), "zero");
    add("z", 0, ratio(1), "one");
    add("zz", 0, ratio(0), "zero");
    randrat[1] = 0;
    std::string path = "z";
    EXPECT_EQ(DSF_LookupLibraryResourceAnywhere(path, 1), 1);
    EXPECT_EQ(path, "P0/one");
    path = "zz";
    EXPECT_EQ(DSF_LookupLibraryResourceAnywhere(path, 1), 0);
    EXPECT_EQ(path, "zz");
    EXPECT_EQ(all("z"), (strings{"P0/one"}));
    add("m", 0, ratio(2), "a");
    add("m", 0, ratio(1), "b");
    EXPECT_EQ(all("m"), (strings{"P0/a", "P0/a", "P0/b"}));
}

// Three hundred of the largest weights add up past 32 bits.
TEST_F(library_lookup, TotalsPast32Bits) {
    for (int i = 0; i < 300; ++i) add("big", 0, ratio(0xFFFFFF), std::to_string(i));
    randrat[2] = 0.9998f;
    std::string path = "big";
    EXPECT_EQ(DSF_LookupLibraryResourceAnywhere(path, 2), 1);
    EXPECT_EQ(path, "P0/299");
}

// One line of a library file may give the largest weight: the list holds the path once, and
// a pick by position or by seed falls where the repeated list would put it.
TEST_F(library_lookup, TheLargestWeightCostsOnePath) {
    write_file(t / "Custom Scenery/P/library.txt",
               "A\n800 version\nLIBRARY\nEXPORT_RATIO 16777215 lib/a.obj a.obj\n");
    DSF_ScanSceneryFolder();
    ASSERT_EQ(scenery_packages, strings{"Custom Scenery/P/"});
    weighted_paths out;
    ASSERT_TRUE(DSF_LookupLibraryResourceAnywhereMultiple("lib/a.obj", out));
    EXPECT_EQ(out.size(), 16777215u);
    ASSERT_EQ(out.entries().size(), 1u);
    EXPECT_EQ(out[16777214], "Custom Scenery/P/a.obj");
    DSF_LocateResourcePrimaryMultiple(0, 0, 3, "lib/a.obj", "F/", false, out);
    EXPECT_EQ(out.entries().size(), 1u);

    // Beside a weight of one: positions up to the big weight give the big one, then the small.
    add("two", 0, ratio(0xFFFFFF), "big");
    add("two", 0, ratio(1), "small");
    ASSERT_TRUE(DSF_LookupLibraryResourceAnywhereMultiple("two", out));
    EXPECT_EQ(out.size(), 0x1000000u);
    EXPECT_EQ(out[0], "Custom Scenery/P/big");
    EXPECT_EQ(out[0xFFFFFE], "Custom Scenery/P/big");
    EXPECT_EQ(out[0xFFFFFF], "Custom Scenery/P/small");
    randrat[8] = 0.9999f;  // r = 16777216 * 0.9999 = 16775538: still the big one
    std::string path = "two";
    EXPECT_EQ(DSF_LookupLibraryResourceAnywhere(path, 8), 1);
    EXPECT_EQ(path, "Custom Scenery/P/big");
}

// Every position of a small list, against the seeds' picks: the same odds either way.
TEST_F(library_lookup, PositionsAndSeedsPickAlike) {
    add("m", 0, ratio(2), "a");
    add("m", 0, ratio(0), "never");
    add("m", 0, ratio(3), "b");
    add("m", 0, EXPORT, "c");
    const strings want{"P0/a", "P0/a", "P0/b", "P0/b", "P0/b", "P0/c"};
    EXPECT_EQ(all("m"), want);
    for (size_t r = 0; r < want.size(); ++r) {
        randrat[9] = (static_cast<float>(r) + 0.5f) / 6.0f;
        std::string path = "m";
        EXPECT_EQ(DSF_LookupLibraryResourceAnywhere(path, 9), 1);
        EXPECT_EQ(path, want[r]) << r;
    }
    weighted_paths w;
    w.push_back("x", 0);
    EXPECT_TRUE(w.empty());
    w.push_back("x");
    w.push_back("y", 2);
    EXPECT_EQ(expanded(w), (strings{"x", "y", "y"}));
    w.clear();
    EXPECT_EQ(w.size(), 0u);
    EXPECT_TRUE(w.entries().empty());
}

TEST_F(library_lookup, RegionsByTile) {
    lib_region alps{"alps", {}};
    alps.mask[(10 + 180) * 180 + (47 + 90)] = 1;
    add("r", 0, EXPORT, "alps", &alps);
    randrat[0] = 0.5f;
    std::string path = "r";
    EXPECT_EQ(DSF_LookupLibraryResource(10, 47, path, 0), 1);
    EXPECT_EQ(path, "P0/alps");
    for (auto [lon, lat] : {std::pair{11, 47}, {10, 46}}) {
        path = "r";
        EXPECT_EQ(DSF_LookupLibraryResource(lon, lat, path, 0), 0) << lon << "," << lat;
        EXPECT_EQ(path, "r");
    }
    EXPECT_EQ(DSF_LookupLibraryResourceAnywhere(path, 0), 1);
    // A tile off the globe is in no region, not even one that covers the globe.
    lib_region globe{"globe", {}};
    std::fill(std::begin(globe.mask), std::end(globe.mask), 1);
    add("g", 0, EXPORT, "globe", &globe);
    for (auto [lon, lat] : {std::pair{-181, 0}, {180, 0}, {0, -91}, {0, 90}, {100000, -100000}}) {
        path = "g";
        EXPECT_EQ(DSF_LookupLibraryResource(lon, lat, path, 0), 0) << lon << "," << lat;
    }
    EXPECT_EQ(DSF_LookupLibraryResource(-180, -90, path, 0), 1);
}

strings logged_lines(const std::function<void()>& body) {
    log_capture log;
    body();
    strings lines;
    std::string text = log.text();
    for (size_t at = 0, nl; (nl = text.find('\n', at)) != std::string::npos; at = nl + 1)
        lines.push_back(text.substr(at, nl - at));
    return lines;
}

strings failed(const std::string& what, const strings& candidates) {
    strings out;
    for (const std::string& c : candidates)
        out.push_back("Failed to find resource '" + what + "' at '" + c + "'");
    return out;
}

TEST_F(library_lookup, CandidateOrderAndWarnLines) {
    std::string out = "stale";
    strings want;
    for (const char* folder :
         {"Custom Scenery/P/", "Custom Scenery/P/custom terrain textures/",
          "Custom Scenery/P/custom object textures/", "Resources/bitmaps/terrain/", "Resources/"})
        for (const char* ext : {".dds", ".png", ".bmp"}) want.push_back(folder + std::string("grass") + ext);
    EXPECT_EQ(logged_lines([&] { DSF_LocateResourceNoLib(1, "grass.png", "Custom Scenery/P/", true, out); }),
              failed("grass.png", want));
    EXPECT_EQ(out, "");
    // Four characters or fewer: the name itself, three times a place.
    strings lines = logged_lines([&] { DSF_LocateResourceNoLib(1, "x.pn", "F/", true, out); });
    lines.resize(3);
    EXPECT_EQ(lines, failed("x.pn", {"F/x.pn", "F/x.pn", "F/x.pn"}));
    EXPECT_EQ(logged_lines([&] { DSF_LocateResourceNoLib(9, "n", "F/", true, out); }), failed("n", {"F/n"}));
    EXPECT_EQ(logged_lines([&] { DSF_LocateResourceNoLib(0, "n", "F/", true, out); }),
              failed("n", {"F/n", "Resources/n"}));
    EXPECT_EQ(logged_lines([&] { DSF_LocateResourceNoLib(2, "t.ter", "F/", true, out); }),
              failed("t.ter", {"F/t.ter", "F/custom terrain textures/t.ter",
                               "Resources/bitmaps/terrain/t.ter", "Resources/t.ter"}));
    EXPECT_EQ(logged_lines([&] { DSF_LocateResourceNoLib(5, "o.obj", "F/", false, out); }), strings{});
    EXPECT_EQ(logged_lines([&] {
                  DSF_LocateResourceSecondary(3, 0, "Custom Scenery/P/objects/", "o.obj", true, out);
              }),
              failed("o.obj' (parent = 'Custom Scenery/P/objects/",
                     {"Custom Scenery/P/objects/o.obj", "Custom Scenery/P/custom objects/o.obj",
                      "Resources/objects/o.obj", "Resources/o.obj"}));
    EXPECT_EQ(logged_lines([&] { DSF_LocateResourceSecondary(9, 0, "", "n", true, out); }), strings{});
    lines = logged_lines([&] { DSF_LocateResourceSecondary(1, 2, "Custom Scenery/P/", "g.png", true, out); });
    ASSERT_EQ(lines.size(), 12u);
    EXPECT_EQ(lines[3], failed("g.png' (parent = 'Custom Scenery/P/",
                               {"Custom Scenery/P/custom terrain textures/g.dds"})[0]);
}

TEST_F(library_lookup, FirstExistingFileWins) {
    write_file(t / "Resources/bitmaps/terrain/grass.bmp", "x");
    write_file(t / "Custom Scenery/P/custom object textures/grass.png", "x");
    write_file(t / "Custom Scenery/P/grass.dds/inner", "a folder is no file");
    std::string out;
    DSF_LocateResourceNoLib(1, "grass.png", "Custom Scenery/P/", true, out);
    EXPECT_EQ(out, "Custom Scenery/P/custom object textures/grass.png");
    DSF_LocateResourceSecondary(1, 2, "Custom Scenery/P/", "grass.png", true, out);
    EXPECT_EQ(out, "Resources/bitmaps/terrain/grass.bmp");
    DSF_LocateResourceSecondary(1, 0, "Custom Scenery/P/", "grass.png", true, out);
    EXPECT_EQ(out, "Custom Scenery/P/custom object textures/grass.png");
}

TEST_F(library_lookup, LibraryFirstThenSearch) {
    write_file(t / "F/lib.obj", "x");
    add("lib.obj", 1, ratio(2), "from_library.obj");
    randrat[3] = 0.1f;
    std::string out;
    DSF_LocateResourcePrimary(0, 0, 3, "lib.obj", "F/", true, out, 3);
    EXPECT_EQ(out, "P1/from_library.obj");
    DSF_LocateResourcePrimary(0, 0, 3, "other.obj", "F/", false, out, 3);
    EXPECT_EQ(out, "");
    weighted_paths list;
    DSF_LocateResourcePrimaryMultiple(0, 0, 3, "lib.obj", "F/", true, list);
    EXPECT_EQ(expanded(list), (strings{"P1/from_library.obj", "P1/from_library.obj", "F/lib.obj"}));
    // The search logs its misses only when the library gave nothing either.
    EXPECT_EQ(logged_lines([&] { DSF_LocateResourcePrimaryMultiple(0, 0, 9, "lib.obj", "G/", true, list); }),
              strings{});
    EXPECT_EQ(expanded(list), (strings{"P1/from_library.obj", "P1/from_library.obj"}));
    EXPECT_EQ(logged_lines([&] { DSF_LocateResourcePrimaryMultiple(0, 0, 9, "no.obj", "G/", true, list); }),
              failed("no.obj", {"G/no.obj"}));
    EXPECT_TRUE(list.empty());
    EXPECT_EQ(logged_lines([&] {
                  DSF_LocateResourceSecondaryMultipleWithLibrary(0, 0, 9, 0, "F/", "none.obj", false, list);
              }),
              strings{});
    DSF_LocateResourceSecondaryMultipleWithLibrary(0, 0, 9, 0, "F/", "lib.obj", false, list);
    EXPECT_EQ(expanded(list), (strings{"P1/from_library.obj", "P1/from_library.obj", "F/lib.obj"}));
}

TEST(LibraryNames, ExtractPackage) {
    struct {
        const char* path;
        const char* want;
    } cases[] = {
        {"Custom Scenery/Alps/objects/hut.obj", "Custom Scenery/Alps/"},
        {"Custom Scenery/readme.txt", ""},
        {"Global Scenery/+40-130/+47-122.dsf", "Global Scenery/+40-130/"},
        {"Resources/default scenery/x:y", "Resources/default scenery/x:"},
        {"Custom Scenery/a\\b", "Custom Scenery/a\\"},
        {"Custom Scenery//", "Custom Scenery//"},
        {"Resources/objects/a/b", ""},
        {"", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(extract_package(c.path), c.want) << c.path;
}

TEST(LibraryNames, TileFileNames) {
    struct {
        int lat, lon;
        const char* want;
    } cases[] = {
        {47, -122, "+40-130/+47-122.dsf"}, {-5, 3, "-10+000/-05+003.dsf"},
        {0, 0, "+00+000/+00+000.dsf"},     {-90, -180, "-90-180/-90-180.dsf"},
        {89, 179, "+80+170/+89+179.dsf"},  {123, 4567, "+00+060/+03+067.dsf"},
    };
    std::string out;
    for (const auto& c : cases) {
        return_latlon_str_dsf(c.lat, c.lon, &out);
        EXPECT_EQ(out, c.want) << c.lat << "," << c.lon;
    }
    for (int v : {INT32_MIN, INT32_MAX, -100000, 1000}) {
        return_latlon_str_dsf(v, v, &out);
        EXPECT_EQ(out.size(), 19u) << v;
    }
}
