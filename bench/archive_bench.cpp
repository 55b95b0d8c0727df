// Unpacking speed against the reference tools: many small zips, a few large zips and a few large
// BCJ2 7z archives, each unpacked by zip_to_file / p7z_to_file and by `unzip -o` / `7zz x` (one
// process per archive, as a script would run them). Prints seconds and the speed ratio
// (reference time / our time; the goal is at least 0.9).
//
//   ./build/bench/archive_bench [small_count] [large_mb]
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "files/archives.h"

#include "bench_common.h"

namespace {

std::string g_dir;

void fail(const std::string& what) {
    std::fprintf(stderr, "archive_bench: %s\n", what.c_str());
    std::exit(2);
}

bool have(const char* tool) { return run_quiet({"sh", "-c", std::string("command -v ") + tool}) == 0; }

// Text-like content that compresses about as well as simulator data does.
std::string make_content(size_t size, uint32_t seed) {
    static const char* words[] = {"runway ", "taxiway ", "0.250 ", "-122.375 ", "37.619 ", "OBJECT ",
                                  "POLYGON ", "\n", "lib/airport/", "E8 ", "1013.25 ", "KSFO "};
    std::string s;
    s.reserve(size + 16);
    uint32_t x = seed * 2654435761u + 1;
    while (s.size() < size) {
        x = x * 1103515245u + 12345u;
        if ((x >> 28) == 0)
            s += char(x >> 16);  // a little noise
        else
            s += words[(x >> 16) % 12];
    }
    s.resize(size);
    return s;
}

// x86-like code for the BCJ2 archives.
std::string make_code(size_t size, uint32_t seed) {
    std::string s = make_content(size, seed);
    for (size_t i = 0; i + 5 < s.size(); i += 11) {
        uint32_t rel = uint32_t(i * 2654435761u) & 0xFFFFF;
        s[i] = char(0xE8), s[i + 1] = char(rel), s[i + 2] = char(rel >> 8), s[i + 3] = char(rel >> 16), s[i + 4] = 0;
    }
    return s;
}

void write(const std::string& path, const std::string& data) {
    std::ofstream(path, std::ios::binary) << data;
}

void fresh(const std::string& dir) {
    run_quiet({"rm", "-rf", dir});
    mkdir(dir.c_str(), 0755);
}

double seconds(const std::function<void()>& fn) {
    auto t0 = std::chrono::steady_clock::now();
    fn();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

// Best of three, each into an emptied output folder.
double best(const std::string& out, const std::function<void()>& fn) {
    double b = 1e30;
    for (int i = 0; i < 3; ++i) {
        fresh(out);
        sync();
        b = std::min(b, seconds(fn));
    }
    return b;
}

void report(const char* what, double ours, double theirs, const char* tool) {
    std::printf("%-28s ours %8.3f s   %-9s %8.3f s   speed ratio %.2f\n", what, ours, tool, theirs, theirs / ours);
}

}  // namespace

int main(int argc, char** argv) {
    int small_count = argc > 1 ? std::atoi(argv[1]) : 2000;
    size_t large_mb = argc > 2 ? size_t(std::atol(argv[2])) : 64;
    if (!have("unzip") || !have("7zz")) fail("needs unzip and 7zz (Debian packages unzip and 7zip)");

    char tmpl[] = "/tmp/volatra_archive_bench_XXXXXX";
    if (!mkdtemp(tmpl)) fail("mkdtemp");
    g_dir = tmpl;
    std::string src = g_dir + "/src/", arc = g_dir + "/arc/", out = g_dir + "/out/";
    mkdir(src.c_str(), 0755);
    mkdir(arc.c_str(), 0755);

    std::printf("making %d small zips, 3 large zips and 3 BCJ2 7z of %zu MB...\n", small_count, large_mb);
    std::vector<std::string> small, large, sevens;
    for (int i = 0; i < small_count; ++i) {
        std::string f = src + "s" + std::to_string(i) + ".txt";
        write(f, make_content(1000 + size_t(i * 7919) % 30000, uint32_t(i)));
        small.push_back(arc + "s" + std::to_string(i) + ".zip");
        if (file_to_zip(f, small.back())) fail("file_to_zip " + f);
    }
    for (int i = 0; i < 3; ++i) {
        std::string f = src + "L" + std::to_string(i) + ".dat";
        write(f, make_content(large_mb << 20, uint32_t(1000 + i)));
        large.push_back(arc + "L" + std::to_string(i) + ".zip");
        if (file_to_zip(f, large.back())) fail("file_to_zip " + f);
        std::string c = src + "C" + std::to_string(i) + ".dsf";
        write(c, make_code(large_mb << 20, uint32_t(2000 + i)));
        sevens.push_back(arc + "C" + std::to_string(i) + ".7z");
        if (run_quiet({"7zz", "a", "-bd", "-y", "-m0=BCJ2", "-m1=LZMA:d24", "-m2=LZMA:d20", "-m3=LZMA:d20", "-mb0:1",
                 "-mb0s1:2", "-mb0s2:3", sevens.back(), c}))
            fail("7zz a " + c);
    }

    auto ours_zip = [&](const std::vector<std::string>& set) {
        return best(out, [&] {
            for (const std::string& z : set)
                if (zip_to_file(z, out)) fail("zip_to_file " + z);
        });
    };
    auto unzip_zip = [&](const std::vector<std::string>& set) {
        return best(out, [&] {
            for (const std::string& z : set)
                if (run_quiet({"unzip", "-o", "-qq", z, "-d", out})) fail("unzip " + z);
        });
    };
    double s_ours = ours_zip(small), s_ref = unzip_zip(small);
    double l_ours = ours_zip(large), l_ref = unzip_zip(large);
    double p_ours = best(out, [&] {
        for (const std::string& a : sevens)
            if (p7z_to_file(a, out)) fail("p7z_to_file " + a);
    });
    double p_ref = best(out, [&] {
        for (const std::string& a : sevens)
            if (run_quiet({"7zz", "x", "-bd", "-y", "-o" + out, a})) fail("7zz x " + a);
    });

    report("small zips", s_ours, s_ref, "unzip -o");
    report("large zips", l_ours, l_ref, "unzip -o");
    report("large 7z (BCJ2)", p_ours, p_ref, "7zz x");
    double total_ours = s_ours + l_ours + p_ours, total_ref = s_ref + l_ref + p_ref;
    report("all", total_ours, total_ref, "both");
    run_quiet({"rm", "-rf", g_dir});
    return 0;
}
