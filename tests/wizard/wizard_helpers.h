// Shared set-up of the wizard tests: the engine's and the wizard's state reset, the user's
// folders inside a temporary home, and fake discs in a test-volume folder.
#pragma once

#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "common/test_helpers.h"
#include "core/window_state.h"
#include "platform/plat_window_null.h"

// A fresh home (HOME, XDG_CONFIG_HOME and TMPDIR inside it) and test volumes, with the wizard's
// and the engine's globals as main leaves them. The folder's name is the same for every test
// of a process: the screens keep folders in statics for the program's life, as a user's
// desktop stays where it is.
class wizard_world {
public:
    wizard_world();
    ~wizard_world();
    struct fixed_folder {
        fixed_folder();
        ~fixed_folder();
        std::string path_;
        const std::string& path() const { return path_; }
        std::string operator/(const std::string& rel) const { return path_ + rel; }
        std::string write(const std::string& name, const std::string& content) const;
    } root;
    std::string home() const { return root / "home/"; }
    std::string prefs() const { return root / "home/.config/"; }
    std::string volumes() const { return root / "volumes/"; }
    std::string temp() const { return root / "tmp/"; }

    // A disc mounted as volumes/<name>/ holding "dvd_version.txt" (when version_file is set)
    // naming release and release/directory.txt.zip of the manifest body; returns its root.
    std::string disc(const std::string& name, const std::string& release, const std::string& manifest_body,
                     bool version_file = true);
    // The archive of a manifest path on a disc (empty content is enough to be found).
    void archive(const std::string& disc_root, const std::string& release, const std::string& rel_path);

private:
    std::unique_ptr<scoped_env> env_[5];
};

// Watches the deletions in a copy (a folder ending in '/') while it lives: those inside it, its
// lock file aside, and those made while no program held the copy's lock (copy_lock.h).
class deletion_watch {
public:
    explicit deletion_watch(const std::string& copy);
    ~deletion_watch();
    deletion_watch(const deletion_watch&) = delete;
    deletion_watch& operator=(const deletion_watch&) = delete;
    int in_copy() const;
    int unlocked() const;
};

// "A\n900 version\nDVD\n\n" + body: the disc identity file.
std::string dvd_version_text(const std::string& body, int version = 900, const std::string& type = "DVD");

#include "widget_helpers.h"

// The first text drawn that holds text, null when none.
const painted* drawn_text(const paint_recorder& paint, const std::string& text);

// The first text drawn where text is shown: whole, or from there over the next lines, where a
// line too wide for its place shows "..." in place of its middle (a path's length depends on
// where the tests run). The dots stand only for a middle of their own line: the match goes on in
// that line after them. Null when none.
const painted* shown_text(const paint_recorder& paint, const std::string& text);

// Every text among the calls drawn (a text in scissors cut to them; repeats by later frames
// count once) lies inside a window w x h and clear of the others.
void expect_texts_apart_and_inside(const std::vector<painted>& calls, float w, float h);

// One frame of the wizard on the main screen with the mouse at (x, y), pressed on this frame
// when down is set.
void wizard_frame(float x = -100, float y = -100, bool down = false);

// Modal sub-windows run through the real frame loop on a window backend without a display: the
// test GL context, the 800 x 600 main screen entered, input queued for the loop's frames and what
// the frames drew.
class frame_loop_test : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    // A press at a point of the 800 x 600 window (y up), made once the next frame has put its
    // window on screen: that frame ends its events first, and the frame after it takes the press.
    void click_at(int x, int y);
    // Return pressed.
    void key_return();
    // Ends one frame's events: those queued after it come in the frame after.
    void frame_gap();

    mnw_struct saved{};
    plat::scoped_null_backend backend;
    paint_recorder paint;
};
