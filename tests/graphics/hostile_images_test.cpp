// The generated corpus of hostile image files: every one is refused, as a picture loaded by name
// and as a texture file, with its alert and without touching memory it does not own; a texture
// chain whose sides are not powers of two loads only with room for all its upload reads.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <fstream>
#include <sstream>

#include "common/recorders.h"
#include "common/test_helpers.h"
#include "core/alert.h"
#include "core/window_state.h"
#include "graphics/image_loader.h"
#include "graphics/scratch_buffers.h"
#include "graphics/texture_manager.h"

namespace {
struct hostile_file {
    std::string name, by_name, as_texture;
};

std::string unescape(std::string s) {
    for (size_t at; (at = s.find("\\n")) != std::string::npos;) s.replace(at, 2, "\n");
    return s;
}

std::vector<hostile_file> make_corpus(const std::string& dir) {
    const std::string cmd = "python3 " VOLATRA_SOURCE_DIR "/tools/make_hostile_images.py " + dir;
    EXPECT_EQ(std::system(cmd.c_str()), 0);
    std::vector<hostile_file> out;
    std::ifstream in(dir + "manifest.txt");
    for (std::string line; std::getline(in, line);) {
        std::istringstream fields(line);
        hostile_file f;
        std::getline(fields, f.name, '\t');
        std::getline(fields, f.by_name, '\t');
        std::getline(fields, f.as_texture, '\t');
        out.push_back({f.name, unescape(f.by_name), unescape(f.as_texture)});
    }
    return out;
}

// Prints the alert; a fatal one ends the process with its own status, so that a sanitizer's
// report (status 1) cannot pass for it.
constexpr int fatal_status = 77;
void print_alert(int, const std::string& l1, const std::string& l2, const std::string& l3, const std::string& l4,
                 int type, const char* file, int line) {
    std::fprintf(stderr, "ALERT type %d: %s | %s | %s | %s (%s line %d)\n", type, l1.c_str(), l2.c_str(),
                 l3.c_str(), l4.c_str(), file, line);
    if (type == t_exit) {
        std::fflush(stderr);
        _exit(fatal_status);
    }
}

// Runs load in a child: "refused" wants 0 and no alert, "loaded" 1 and no alert, "fatal:RE" an
// ending alert after text matching RE.
void expect_outcome(const std::string& outcome, const std::function<int()>& load) {
    if (outcome == "refused" || outcome == "loaded") {
        const int wanted = outcome == "loaded";
        EXPECT_EXIT(
            {
                reset_recorders();
                const int r = load();
                std::exit(r == wanted && recorded_alerts().empty() ? 0 : 3);
            },
            testing::ExitedWithCode(0), "");
        return;
    }
    ASSERT_EQ(outcome.compare(0, 6, "fatal:"), 0) << outcome;
    EXPECT_EXIT(
        {
            set_alert_hook(print_alert);
            load();
        },
        testing::ExitedWithCode(fatal_status), outcome.substr(6));
}
}  // namespace

TEST(HostileImages, EveryFileIsRefusedWithItsAlert) {
    temp_folder dir;
    const std::vector<hostile_file> corpus = make_corpus(dir.path());
    ASSERT_GT(corpus.size(), 30u);
    mnw.tex_level = 5;
    for (const hostile_file& f : corpus) {
        SCOPED_TRACE(f.name);
        const std::string path = dir / f.name;
        expect_outcome(f.by_name, [&] {
            unsigned char* data = scratch_array_temp;
            TEX_image_desc desc{};
            return TEX_load_any(path, data, GL_RGBA, 2048, 0, desc, scratch_bytes);
        });
        // As an RGBA texture whose caller asks for the fatal alerts: 1 only when the file stage
        // filled exactly the bytes the upload reads (a count above what it wrote would blind the
        // upload's check).
        expect_outcome(f.as_texture, [&] {
            tman_class t;
            tex_load_vars v;
            v.ref = 1;
            v.flags = 2;
            v.fail_mode = tex_fail_fatal;
            v.name = path;
            if (t.load_texture_io(&v) == 0) return 0;
            return tex_upload_bytes(v) == v.data_bytes ? 1 : 2;
        });
    }
}
