// Writes the sample master tree that the builder turns into the sample disc set: every folder and
// required item the builder checks for, an application bundle whose executable is a shell script,
// global-scenery tiles with their ready .7z archives beside them, names with blanks, empty files,
// symbolic links and executables. The same arguments always give the same bytes.
//
//   volatra_sample_master OUT_DIR [--variant 0|1]
//
// Variant 1 is the next release of variant 0: some files changed, some added, some removed.

#include <archive.h>
#include <archive_entry.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

// Every file and link of the tree gets this time, so zips made from it are the same every run.
constexpr time_t kStamp = 1262347200;  // 2010-01-01 12:00 UTC

std::string g_root;

[[noreturn]] void die(const std::string& what) {
    std::fprintf(stderr, "volatra_sample_master: %s: %s\n", what.c_str(), std::strerror(errno));
    std::exit(1);
}

// splitmix64: a small generator whose output depends only on its seed.
struct rng {
    uint64_t s;
    explicit rng(uint64_t seed) : s(seed) {}
    uint64_t next() {
        uint64_t z = (s += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
};

uint64_t seed_of(const std::string& s) {
    uint64_t h = 1469598103934665603ull;
    for (unsigned char c : s) h = (h ^ c) * 1099511628211ull;
    return h;
}

// Incompressible bytes, so archive sizes (and the disc split) are predictable.
std::string noise(const std::string& seed, size_t n) {
    rng r(seed_of(seed));
    std::string out(n, '\0');
    for (size_t i = 0; i < n; i += 8) {
        uint64_t v = r.next();
        for (size_t k = 0; k < 8 && i + k < n; ++k) out[i + k] = static_cast<char>(v >> (8 * k));
    }
    return out;
}

// Text that deflate packs well, like the simulator's data files.
std::string text(const std::string& seed, size_t lines) {
    rng r(seed_of(seed));
    std::string out;
    for (size_t i = 0; i < lines; ++i) {
        out += "P " + std::to_string(i) + " " + std::to_string(r.next() % 100000) + " " +
               std::to_string(r.next() % 1000) + " " + seed + "\n";
    }
    return out;
}

void make_dirs_for(const std::string& rel) {
    std::string full = g_root + rel;
    for (size_t p = g_root.size(); (p = full.find('/', p)) != std::string::npos; ++p) {
        std::string d = full.substr(0, p);
        if (mkdir(d.c_str(), 0755) != 0 && errno != EEXIST) die("mkdir " + d);
    }
}

void stamp(const std::string& full) {
    timespec t[2] = {{kStamp, 0}, {kStamp, 0}};
    if (utimensat(AT_FDCWD, full.c_str(), t, AT_SYMLINK_NOFOLLOW) != 0) die("utimensat " + full);
}

void put(const std::string& rel, const std::string& data, mode_t mode = 0644) {
    make_dirs_for(rel);
    std::string full = g_root + rel;
    int fd = open(full.c_str(), O_WRONLY | O_CREAT | O_TRUNC, mode);
    if (fd < 0) die("open " + full);
    size_t done = 0;
    while (done < data.size()) {
        ssize_t w = write(fd, data.data() + done, data.size() - done);
        if (w <= 0) die("write " + full);
        done += static_cast<size_t>(w);
    }
    if (fchmod(fd, mode) != 0 || close(fd) != 0) die("close " + full);
    stamp(full);
}

void put_link(const std::string& rel, const std::string& target) {
    make_dirs_for(rel);
    std::string full = g_root + rel;
    if (symlink(target.c_str(), full.c_str()) != 0) die("symlink " + full);
    stamp(full);
}

// A global-scenery tile and its ready archive: one 7z entry named after the tile, same size.
void put_tile(const std::string& rel, const std::string& data) {
    put(rel, data);
    std::string full = g_root + rel + ".7z";
    archive* a = archive_write_new();
    if (!a || archive_write_set_format_7zip(a) != ARCHIVE_OK ||
        archive_write_set_format_option(a, "7zip", "compression", "lzma2") != ARCHIVE_OK ||
        archive_write_open_filename(a, full.c_str()) != ARCHIVE_OK) {
        std::fprintf(stderr, "volatra_sample_master: 7z %s: %s\n", full.c_str(),
                     a ? archive_error_string(a) : "");
        std::exit(1);
    }
    archive_entry* e = archive_entry_new();
    archive_entry_set_pathname(e, rel.substr(rel.rfind('/') + 1).c_str());
    archive_entry_set_filetype(e, AE_IFREG);
    archive_entry_set_perm(e, 0644);
    archive_entry_set_size(e, static_cast<la_int64_t>(data.size()));
    archive_entry_set_mtime(e, kStamp, 0);
    if (archive_write_header(a, e) != ARCHIVE_OK ||
        archive_write_data(a, data.data(), data.size()) != static_cast<la_ssize_t>(data.size()) ||
        archive_write_close(a) != ARCHIVE_OK) {
        std::fprintf(stderr, "volatra_sample_master: 7z %s: %s\n", full.c_str(), archive_error_string(a));
        std::exit(1);
    }
    archive_entry_free(e);
    archive_write_free(a);
    stamp(full);
}

void write_tree(int variant) {
    const std::string gs = "All/Global Scenery/";
    const std::string res = "All/Resources/";

    // Aircraft, airfoils, weapons, instructions, output.
    put("All/Aircraft/General Aviation/Cirrus SR22/SR22.acf", text("SR22 v" + std::to_string(variant), 900));
    put("All/Aircraft/General Aviation/Cirrus SR22/liveries/Blue Sky/paint.png", noise("paint", 70000));
    put("All/Aircraft/Heavy Metal/B747-400/B747-400.acf", text("B747", 1400));
    put("All/Aircraft/Heavy Metal/B747-400/cockpit/panel.png", noise("panel", 90000));
    put("All/Airfoils/NACA 0012 (symmetrical).afl", text("NACA0012", 300));
    put("All/Airfoils/empty.afl", "");
    put("All/Weapons/AIM-9 Sidewinder.wpn", text("AIM9", 120));
    put("All/Instructions/Read Me First.txt", "Welcome to the Volatra sample release.\n");
    put("All/Instructions/Manual/index.html", text("manual", 400));
    put("All/Output/FMS plans/KSEA-KPDX.txt", "KSEA\nSEA\nOLM\nKPDX\n");
    put("All/Output/situations/Sample Flight.sit", noise("situation", 2000));  // filtered: .sit

    // Custom scenery, with a Mars package that an Earth release leaves out.
    put("All/Custom Scenery/KSEA Demo Area/Earth nav data/apt.dat", text("apt", 800));
    put("All/Custom Scenery/DSF 900 Mars World-Wide/+00+000.dsf", noise("mars", 5000));

    // Global scenery: tiles with their ready archives.
    put_tile(gs + "-global terrain-/+40-130/+47-123.dsf", noise("t47-123", 150000));
    put_tile(gs + "-global terrain-/+40-130/+46-122.dsf", noise(variant ? "t46-122 v1" : "t46-122", 140000));
    put_tile(gs + "-global overlays-/+40-130/+47-123.dsf", noise("o47-123", 60000));
    put_tile(gs + "-global terrain-/-40+170/-37+174.dsf", noise("t-37+174", 130000));
    if (variant == 1) put_tile(gs + "-global terrain-/+30-120/+33-117.dsf", noise("t33-117", 110000));

    // Resources.
    put(res + "menus/English/Volatra.txt", text("menus", 50));
    put(res + "text/English/Volatra.txt", text("strings", 80));
    put(res + "default scenery/900 red terrain/terrain/red_rock.ter", text("redrock", 30));
    put(res + "default scenery/900 red terrain/textures/red_rock.png", noise("redrock", 40000));
    put(res + "bitmaps/Earth Orbit Textures/earth_day.png", noise("earth", 120000));
    put(res + "bitmaps/interface/empty marker.png", "");
    put(res + "sounds/engine idle.wav", noise("idle", 30000));
    put(res + "network.cfg", "port 49000\n");         // filtered: "work."
    put(res + "preferences/Volatra.prf", "prefs\n");  // filtered: .prf
    put(res + "plugins/QORV.so", noise(variant ? "qorv so v1" : "qorv so", 20000), 0755);
    put(res + "plugins/PluginAdminLin.qzl", noise("admin lin", 8000), 0755);
    put(res + "plugins/PluginAdminMac.qzl", noise("admin mac", 8000));
    put(res + "plugins/QORV.framework/Versions/A/QORV", noise("qorv fw", 9000), 0755);
    put_link(res + "plugins/QORV.framework/Versions/Current", "A");
    put_link(res + "plugins/QORV.framework/QORV", "Versions/Current/QORV");
    if (variant == 0) {
        // Removed in variant 1, emptying their folders.
        put(res + "old stuff/legacy/old table.dat", text("legacy", 40));
        put(res + "old stuff/legacy/old chart.dat", text("chart", 40));
        // In variant 1 the folder becomes a file and the file a folder.
        put(res + "swap/inner.dat", text("inner", 3));
        put(res + "turn", text("turn", 3));
    } else {
        put(res + "new stuff/fresh table.dat", text("fresh", 60));
        put(res + "swap", text("swap", 3));
        put(res + "turn/inside.dat", text("inside", 3));
    }

    // Linux build.
    put("Linux/volatra-linux", "#!/bin/sh\necho \"Volatra 9 (sample) started from $(dirname \"$0\")\"\n",
        0755);
    put("Linux/lib/libvolatra.so.1", noise("libvolatra", 25000), 0755);
    put_link("Linux/lib/libvolatra.so", "libvolatra.so.1");

    // Mac build: a bundle whose executable is a shell script, so starting a copy works here too.
    put("Macintosh/Volatra.app/Contents/Info.plist",
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>\n"
        "<key>CFBundleExecutable</key><string>Volatra</string>\n</dict></plist>\n");
    // Started, it leaves "Log.txt" in its copy, as the simulator does: what it was started with.
    put("Macintosh/Volatra.app/Contents/MacOS/Volatra",
        "#!/bin/sh\n"
        "copy=$(cd \"$(dirname \"$0\")/../../..\" && pwd)\n"
        "{ echo \"Volatra 9 (sample) started with $# arguments\"; for a in \"$@\"; do echo \"argument: $a\"; done; } "
        ">\"$copy/Log.txt\"\n"
        "echo \"Volatra 9 (sample) started from $copy\" \"$@\"\n",
        0755);
    put("Macintosh/Volatra.app/Contents/Resources/Volatra.icns", noise("icns", 12000));

    // Windows build: no .exe, which would need the large-address flag.
    put("Windows/Volatra.dll", noise(variant ? "dll v1" : "dll", 30000));
    put("Windows/Resources/read me windows.txt", "Windows notes.\n");
}

}  // namespace

int main(int argc, char** argv) {
    int variant = 0;
    std::string out;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--variant" && i + 1 < argc) {
            variant = std::atoi(argv[++i]);
        } else if (!a.empty() && a[0] != '-' && out.empty()) {
            out = a;
        } else {
            out.clear();
            break;
        }
    }
    if (out.empty() || (variant != 0 && variant != 1)) {
        std::fprintf(stderr, "usage: volatra_sample_master OUT_DIR [--variant 0|1]\n");
        return 2;
    }
    if (out.back() != '/') out += '/';
    struct stat st;
    if (lstat(out.c_str(), &st) == 0) {
        errno = EEXIST;
        die(out);
    }
    umask(022);
    for (size_t p = 1; (p = out.find('/', p)) != std::string::npos; ++p) {
        std::string d = out.substr(0, p);
        if (mkdir(d.c_str(), 0755) != 0 && errno != EEXIST) die("mkdir " + d);
    }
    g_root = out;
    write_tree(variant);
    std::printf("%s\n", out.c_str());
    return 0;
}
