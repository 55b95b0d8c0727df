#include "simfeatures/scenery_library.h"

#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "common/recorders.h"
#include "common/test_helpers.h"
#include "core/globals.h"
#include "files/versioned_file.h"
#include "graphics/png_codec.h"

namespace {

const char kHeader[] = "A\n800 version\nLIBRARY\n\n";

// A program folder of its own, with the log captured and the alerts forgotten.
struct scenery_tree : ::testing::Test {
    temp_folder t;
    log_capture log;
    std::string saved_app_path = app_path;

    void SetUp() override {
        app_path = t.path();
        reset_recorders();
    }
    void TearDown() override {
        DSF_ScanSceneryFolder();  // releases what the test registered
        app_path = saved_app_path;
    }
    void folder(const std::string& rel) { write_file(t / rel + "/.keep", ""); }
    void library(const std::string& package, const std::string& body, const char* header = kHeader) {
        write_file(t / package + "library.txt", header + body);
    }
    size_t count_in_log(const std::string& what) {
        std::string text = log.text();
        size_t n = 0;
        for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
        return n;
    }
};

std::vector<const lib_entry*> chain(const std::string& virtual_path) {
    std::vector<const lib_entry*> out;
    auto it = dsf_library.find(virtual_path);
    for (const lib_entry* e = it == dsf_library.end() ? nullptr : it->second; e; e = e->next)
        out.push_back(e);
    return out;
}

std::vector<std::string> real_paths(const std::string& virtual_path) {
    std::vector<std::string> out;
    for (const lib_entry* e : chain(virtual_path)) out.push_back(e->real_path);
    return out;
}

int mask_count(const lib_region* r) {
    int n = 0;
    for (unsigned char b : r->mask) n += b;
    return n;
}

// A grey picture, bottom row first, white at the given (x, y).
void save_png(const std::string& rel_path, int w, int h, std::vector<std::pair<int, int>> white) {
    std::vector<unsigned char> px(size_t(w) * h);
    for (auto [x, y] : white) px[size_t(y) * w + x] = 255;
    ASSERT_TRUE(TEX_save_png(rel_path, TEX_image_desc{GL_ALPHA, w, h, 0, 0}, px.data()));
}

}  // namespace

TEST_F(scenery_tree, ScanOrderFlagsAndLog) {
    for (const char* f : {"Custom Scenery/B", "Custom Scenery/-global terrain-", "Custom Scenery/a",
                          "Custom Scenery/A", "Custom Scenery/-global overlays-", "Global Scenery/G",
                          "Global Scenery/-global overlays-", "Resources/default scenery/D"})
        folder(f);
    write_file(t / "Custom Scenery/readme.txt", "not a package");
    ASSERT_EQ(symlink((t / "Custom Scenery/B").c_str(), (t / "Custom Scenery/link").c_str()), 0);
    DSF_ScanSceneryFolder();
    const std::vector<std::string> want = {"Custom Scenery/A/",
                                           "Custom Scenery/a/",
                                           "Custom Scenery/B/",
                                           "Global Scenery/-global overlays-/",
                                           "Global Scenery/G/",
                                           "Custom Scenery/-global overlays-/",
                                           "Custom Scenery/-global terrain-/",
                                           "Resources/default scenery/D/"};
    EXPECT_EQ(scenery_packages, want);
    EXPECT_EQ(package_is_custom, (std::vector<int>{1, 1, 1, 0, 0, 1, 1, 0}));
    EXPECT_EQ(package_problems, std::vector<int>(8, 0));
    std::string block = "I found the following scenery packages (prioritized in this order):\n";
    for (size_t i = 0; i < want.size(); ++i) block += "  " + std::to_string(i) + " " + want[i] + "\n";
    EXPECT_EQ(log.text(), block + "\n");
}

TEST_F(scenery_tree, ExportLinesAndRatios) {
    library("Custom Scenery/P/",
            "EXPORT lib/a.obj objects/a.obj\r\n"
            "\tEXPORT_EXTEND lib/b.obj  objects/with space.obj \r"
            "EXPORT_EXCLUDE lib\\c.obj objects:c.obj\n\n"
            "EXPORT_BACKUP lib/d.obj d.obj\n"
            "EXPORT_RATIO 5 lib/e.obj e.obj\n"
            "EXPORT_RATIO 16777215 lib/f.obj f.obj\n"
            "EXPORT_RATIO 16777216 lib/g.obj g.obj\n"
            "EXPORT_RATIO -+7 lib/h.obj h.obj\n"
            "EXPORT_RATIO -1 lib/i.obj i.obj\n"
            "EXPORT_RATIO 99999999999 lib/j.obj j.obj\n"
            "EXPORTX lib/x.obj x.obj\n"
            "# EXPORT lib/x.obj x.obj\n"
            "EXPORT\n"
            "EXPORT lib/last.obj last.obj");
    DSF_ScanSceneryFolder();
    struct {
        const char* virtual_path;
        const char* real_path;
        uint32_t flags;
    } want[] = {
        {"lib/a.obj", "objects/a.obj", 0x02000001},
        {"lib/b.obj", "objects/with space.obj ", 0x00000001},
        {"lib/c.obj", "objects/c.obj", 0x01000001},
        {"lib/d.obj", "d.obj", 0x04000001},
        {"lib/e.obj", "e.obj", 0x02000005},
        {"lib/f.obj", "f.obj", 0x02FFFFFF},
        {"lib/g.obj", "g.obj", 0x02000000},
        {"lib/h.obj", "h.obj", 0x02000007},
        {"lib/i.obj", "i.obj", 0x02FFFFFF},
        {"lib/j.obj", "j.obj", 0x02000000 + (uint32_t(99999999999ull) & 0xFFFFFF)},
        {"lib/last.obj", "last.obj", 0x02000001},
    };
    for (const auto& w : want) {
        std::vector<const lib_entry*> c = chain(w.virtual_path);
        ASSERT_EQ(c.size(), 1u) << w.virtual_path;
        EXPECT_EQ(c[0]->real_path, w.real_path);
        EXPECT_EQ(c[0]->flags, w.flags) << w.virtual_path;
        EXPECT_EQ(c[0]->package, 0);
        EXPECT_EQ(c[0]->region, nullptr);
    }
    EXPECT_EQ(dsf_library.size(), std::size(want));
    EXPECT_EQ(count_in_log("Library error: you cannot have a ratio of more than 2^24 lib items for "), 3u);
    EXPECT_EQ(count_in_log("for g.obj -> lib/g.obj.\n"), 1u);
    EXPECT_EQ(count_in_log("***Error with scenery file \"Custom Scenery/P/library.txt\" ("), 3u);
    // One alert for the package, however many errors it has.
    ASSERT_EQ(recorded_alerts().size(), 1u);
    EXPECT_EQ(recorded_alerts()[0].line2, "Custom Scenery/P/");
    EXPECT_EQ(package_problems, std::vector<int>{1});
}

TEST_F(scenery_tree, WrongHeaderSkipsTheFile) {
    library("Custom Scenery/P/", "EXPORT lib/a.obj a.obj\n", "A\n900 version\nLIBRARY\n");
    library("Custom Scenery/Q/", "EXPORT lib/a.obj a.obj\n", "A\n800 version\nLIBRARX\n");
    DSF_ScanSceneryFolder();
    EXPECT_TRUE(dsf_library.empty());
    EXPECT_EQ(count_in_log("  Incorrect version for scenery library file.  Will skip.\n"), 2u);
}

TEST_F(scenery_tree, RegionsHoldWithinOneFile) {
    folder("Custom Scenery/P");
    save_png("Custom Scenery/P/map.png", 360, 180, {{0, 179}, {359, 0}});
    save_png("Custom Scenery/P/small.png", 2, 2, {{0, 0}});
    library("Custom Scenery/P/",
            "EXPORT any/where.obj a.obj\n"
            "REGION_DEFINE one\n"
            "REGION_RECT -180 -90 -180 -90\n"
            "REGION_DEFINE all\n"
            "REGION_RECT -180 -90 179 89\n"
            "REGION_DEFINE bad\n"
            "REGION_RECT 10 10 5 20\n"
            "REGION_RECT -181 0 0 0\n"
            "REGION_DEFINE one\n"
            "REGION_RECT 0 0 0 0\n"
            "REGION_BITMAP map.png\n"
            "REGION nowhere\n"
            "REGION one\n"
            "EXPORT in/one.obj one.obj\n"
            "REGION_DEFINE bm REGION_BITMAP map.png REGION bm\n"
            "EXPORT in/bm.obj bm.obj\n"
            "REGION_DEFINE small REGION_BITMAP small.png\n"
            "REGION_BITMAP missing.png\n"
            "REGION_BITMAP " +
                std::string(600, 'x') + ".png\n");
    library("Custom Scenery/Q/", "REGION one\nEXPORT in/q.obj q.obj\n");
    DSF_ScanSceneryFolder();
    ASSERT_EQ(dsf_regions.size(), 0u);  // the second file defines none
    EXPECT_EQ(chain("any/where.obj").at(0)->region, nullptr);
    EXPECT_EQ(chain("in/q.obj").at(0)->region, nullptr);
    const lib_region* one = chain("in/one.obj").at(0)->region;
    ASSERT_NE(one, nullptr);
    EXPECT_EQ(one->name, "one");
    EXPECT_EQ(mask_count(one), 1);
    EXPECT_EQ(one->mask[0], 1);
    const lib_region* bm = chain("in/bm.obj").at(0)->region;
    ASSERT_NE(bm, nullptr);
    EXPECT_EQ(mask_count(bm), 2);
    EXPECT_EQ(bm->mask[0 * 180 + 179], 1);  // the picture's top-left: 180 W, 89 N
    EXPECT_EQ(bm->mask[359 * 180 + 0], 1);  // its bottom-right: 179 E, 90 S
    for (const char* message : {
             "The boundaries to a REGION_RECT command are out of range: 190,100->185,110\n",
             "The boundaries to a REGION_RECT command are out of range: -1,90->180,90\n",
             "REGION_DEFINE one - region already defined.  Ignoring.\n",
             "REGION_RECT command used but no region has been defined.\n",
             "REGION_BITMAP used with no region defined.  REGION_BITMAP will be ignored.\n",
             "REGION nowhere - region unknown.  Ingoring\n",
             "REGION one - region unknown.  Ingoring\n",
             "REGION_BITMAP with bitmap small.png has a size of 2, 2 but need sa size of 360x180.\n",
             "Unable to load bitmap file 'missing.png' for REGION_BITMAP command - will skip.\n",
         })
        EXPECT_EQ(count_in_log(message), 1u) << message;
    EXPECT_EQ(count_in_log("Unable to load bitmap file 'xxxx"), 1u);
    EXPECT_EQ(recorded_alerts().size(), 2u);  // one per package
}

TEST_F(scenery_tree, WholeGlobeRect) {
    library("Custom Scenery/P/", "REGION_DEFINE all\nREGION_RECT -180 -90 179 89\n");
    DSF_ScanSceneryFolder();
    ASSERT_EQ(dsf_regions.count("all"), 1u);
    EXPECT_EQ(mask_count(dsf_regions["all"]), 360 * 180);
}

TEST_F(scenery_tree, BackupsStandBehindEveryOtherEntry) {
    library("Custom Scenery/A/", "EXPORT_BACKUP v.obj backup_first.obj\nEXPORT v.obj a.obj\n");
    library("Custom Scenery/B/", "EXPORT v.obj b.obj\n");
    library("Custom Scenery/C/", "EXPORT_BACKUP v.obj c.obj\nEXPORT_EXTEND v.obj c_extend.obj\n");
    DSF_ScanSceneryFolder();
    EXPECT_EQ(real_paths("v.obj"),
              (std::vector<std::string>{"a.obj", "b.obj", "c_extend.obj", "c.obj", "backup_first.obj"}));
    // A rescan starts over.
    write_file(t / "Custom Scenery/B/library.txt", "");
    DSF_ScanSceneryFolder();
    EXPECT_EQ(real_paths("v.obj"),
              (std::vector<std::string>{"a.obj", "c_extend.obj", "c.obj", "backup_first.obj"}));
}

// Names the file layer would end the program on: a ':' and a path past its length limit. The
// copy's folder is some 380 bytes long, wherever the tests run.
TEST_F(scenery_tree, HostileFolderNamesAreSkipped) {
    while (app_path.size() < 380) app_path += std::string(std::min<size_t>(200, 380 - app_path.size()), 'd') + "/";
    auto package_library = [&](const std::string& package, const std::string& body) {
        write_file(app_path + package + "library.txt", kHeader + body);
    };
    package_library("Custom Scenery/K:SEA/", "EXPORT k.obj k.obj\n");
    package_library("Custom Scenery/" + std::string(120, 'n') + "/", "EXPORT n.obj n.obj\n");
    package_library("Custom Scenery/ok/", "EXPORT ok.obj ok.obj\n");
    DSF_ScanSceneryFolder();
    EXPECT_EQ(scenery_packages.size(), 3u);
    EXPECT_EQ(real_paths("ok.obj"), std::vector<std::string>{"ok.obj"});
    EXPECT_EQ(dsf_library.size(), 1u);
}

// The file ends at a page that cannot be read: no scan may step past the end.
TEST_F(scenery_tree, LastLineWithoutNewlineStopsAtTheMappingsEnd) {
    const size_t page = size_t(sysconf(_SC_PAGESIZE));
    scenery_packages = {"Custom Scenery/P/"};
    package_problems = {0};
    package_is_custom = {1};
    for (const char* tail : {"EXPORT lib/z.obj z.obj", "EXPORT lib/z.obj", "EXPORT", "EXPORT_RATIO 12",
                             "EXPORT_RATIO -", "REGION_DEFINE r", "REGION_DEFINE r\nREGION_RECT 1 2 3",
                             "REGION_DEFINE r\nREGION_BITMAP b", "REGION r", "# comment", "  \t"}) {
        char* mem = static_cast<char*>(
            mmap(nullptr, 2 * page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
        ASSERT_NE(mem, MAP_FAILED);
        ASSERT_EQ(mprotect(mem + page, page, PROT_NONE), 0);
        std::string text = std::string(kHeader) + tail;
        char* start = mem + page - text.size();
        std::memcpy(start, text.data(), text.size());
        {
            xmap_class file;
            file.base = file.cur = reinterpret_cast<const uint8_t*>(start);
            file.end = reinterpret_cast<const uint8_t*>(mem + page);
            DSF_ReadLibraryFile(0, file);
            file.base = file.cur = file.end = nullptr;
        }
        munmap(mem, 2 * page);
    }
    EXPECT_EQ(real_paths("lib/z.obj"), (std::vector<std::string>{"z.obj", ""}));
}

TEST_F(scenery_tree, ReportersAlertOncePerPackage) {
    library("Custom Scenery/x y/", "");
    folder("Global Scenery/G");
    DSF_ScanSceneryFolder();
    __DSF_NonFatalError("caller.cpp", 12, "Custom Scenery/x y/a.dsf", "first %d", 1);
    __DSF_NonFatalError("caller.cpp", 13, "Custom Scenery/x y/b.dsf", "second");
    // Outside every package: "Custom Scenery/x" is not in "Custom Scenery/x y/", nor is "".
    __DSF_NonFatalError("caller.cpp", 14, "Custom Scenery/x", "third");
    __DSF_NonFatalError("caller.cpp", 15, "", "fourth");
    __DSF_NonFatalError("caller.cpp", 16, "Custom Scenery/x", "%s", std::string(5000, 'm').c_str());
    std::vector<recorded_alert> alerts = recorded_alerts();
    ASSERT_EQ(alerts.size(), 4u);
    EXPECT_EQ(alerts[0].line1, "Error loading the scenery package:");
    EXPECT_EQ(alerts[0].line2, "Custom Scenery/x y/");
    EXPECT_EQ(alerts[0].line3, "The scenery may not look correct.");
    EXPECT_EQ(alerts[0].line4, "Please see the log.txt file for detailed error information.");
    EXPECT_EQ(alerts[0].type, 1);
    EXPECT_EQ(alerts[1].line2, "Custom Scenery/x");
    EXPECT_EQ(alerts[2].line2, "");
    EXPECT_EQ(package_problems, (std::vector<int>{1, 0}));
    std::string text = log.text();
    EXPECT_NE(
        text.find("***Error with scenery file \"Custom Scenery/x y/a.dsf\" (caller.cpp: 12.)\n  first 1\n"),
        std::string::npos);
    EXPECT_NE(text.find("(caller.cpp: 13.)\n  second\n"), std::string::npos);
    // A message is cut at the buffer, not written past it.
    EXPECT_NE(text.find("  " + std::string(4095, 'm') + "\n"), std::string::npos);

    EXPECT_EXIT(
        __DSF_FatalError("caller.cpp", 20, "Custom Scenery/x y/c.dsf", "bad"), ::testing::ExitedWithCode(1),
        "Custom Scenery/x y/ \\| Volatra cannot run with this package installed - you may need to remove the "
        "custom  scenery package. \\| Please see");
    EXPECT_EXIT(__DSF_FatalError("caller.cpp", 21, "Global Scenery/G/d.dsf", "bad"),
                ::testing::ExitedWithCode(1),
                "Volatra cannot run with this package installed - You may need to reinstall Volatra.");
    EXPECT_EXIT(__DSF_FatalError("caller.cpp", 22, "elsewhere.dsf", "bad"), ::testing::ExitedWithCode(1),
                "elsewhere.dsf \\| Volatra cannot run with this corrupt file.");
}
