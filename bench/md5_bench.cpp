// calc_file_md5 against md5sum on the same file, page cache warm for both; prints the ratio
// of their speeds (above 1: ours is faster). Goal: at least 0.95.
//
//   md5_bench [file]         without a file, a 1 GiB file is made in $TMPDIR and removed after.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "files/md5.h"

namespace {

double seconds_since(std::chrono::steady_clock::time_point t0) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

bool make_file(const std::string& path, uint64_t size) {
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) return false;
    const size_t block = 1 << 20;
    std::unique_ptr<uint64_t[]> buf(new uint64_t[block / 8]);
    uint64_t x = 0x9e3779b97f4a7c15ull;
    for (uint64_t done = 0; done < size; done += block) {
        for (size_t i = 0; i < block / 8; ++i) {  // xorshift: cheap bytes that do not compress
            x ^= x << 13;
            x ^= x >> 7;
            x ^= x << 17;
            buf[i] = x;
        }
        if (write(fd, buf.get(), block) != ssize_t(block)) {
            close(fd);
            return false;
        }
    }
    return close(fd) == 0;
}

std::string shell_quote(const std::string& s) {
    std::string q = "'";
    for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

// One md5sum run; returns its digest.
std::string run_md5sum(const std::string& path) {
    FILE* p = popen(("md5sum " + shell_quote(path)).c_str(), "r");
    if (!p) return "";
    char buf[33] = {0};
    size_t n = fread(buf, 1, 32, p);
    pclose(p);
    return std::string(buf, n);
}

}  // namespace

int main(int argc, char** argv) {
    std::string path;
    bool made = false;
    if (argc > 1) {
        path = argv[1];
    } else {
        const char* tmp = std::getenv("TMPDIR");
        path = std::string(tmp && *tmp ? tmp : "/tmp") + "/volatra_md5_bench_" + std::to_string(getpid());
        std::printf("making a 1 GiB file %s\n", path.c_str());
        if (!make_file(path, uint64_t(1) << 30)) {
            std::fprintf(stderr, "cannot write %s\n", path.c_str());
            return 2;
        }
        made = true;
    }

    std::string ours, theirs;
    if (calc_file_md5(path, ours) != 0) {  // also warms the page cache
        std::fprintf(stderr, "cannot read %s\n", path.c_str());
        return 2;
    }
    // Best of five runs each, interleaved so that both see the same machine load.
    double best_ours = 1e30, best_theirs = 1e30;
    for (int round = 0; round < 5; ++round) {
        auto t0 = std::chrono::steady_clock::now();
        calc_file_md5(path, ours);
        best_ours = std::min(best_ours, seconds_since(t0));
        t0 = std::chrono::steady_clock::now();
        theirs = run_md5sum(path);
        best_theirs = std::min(best_theirs, seconds_since(t0));
    }
    if (made) unlink(path.c_str());

    std::printf("calc_file_md5 %s  %.3f s\n", ours.c_str(), best_ours);
    std::printf("md5sum        %s  %.3f s\n", theirs.c_str(), best_theirs);
    if (ours != theirs) {
        std::printf("DIGESTS DIFFER\n");
        return 1;
    }
    double ratio = best_theirs / best_ours;
    std::printf("speed ratio (ours / md5sum): %.3f  goal >= 0.95: %s\n", ratio,
                ratio >= 0.95 ? "met" : "NOT MET");
    return ratio >= 0.95 ? 0 : 3;
}
