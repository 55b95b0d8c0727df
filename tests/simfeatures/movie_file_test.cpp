#include "simfeatures/movie_file.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <sstream>

#include "common/test_helpers.h"
#include "movie_helpers.h"

namespace {

const std::vector<uint32_t> kDurations = {30, 30, 30, 60, 1, 30};

// A movie of red-over-blue pictures, one per duration.
std::string write_movie(const temp_folder& t, int width, int height) {
    const std::string path = t / "take.mov";
    std::vector<unsigned char> jpeg;
    const std::vector<uint8_t> pixels = two_halves_bgra(width, height, 0xff0000, 0x0000ff);
    EXPECT_EQ(jpeg_encode_bgra(pixels.data(), width, height, 75, jpeg), 0);
    qt_movie_file movie;
    EXPECT_EQ(movie.create(path, width, height), 0);
    for (uint32_t d : kDurations) EXPECT_EQ(movie.add_sample(jpeg.data(), jpeg.size(), d), 0);
    EXPECT_EQ(movie.finish(), 0);
    EXPECT_FALSE(movie.is_open());
    return path;
}

void expect_red_over_blue(const rgb_picture& p) {
    const uint8_t* top = p.at(p.width / 2, 2);
    const uint8_t* bottom = p.at(p.width / 2, p.height - 3);
    EXPECT_GE(top[0], 250);
    EXPECT_LE(top[2], 5);
    EXPECT_LE(bottom[0], 5);
    EXPECT_GE(bottom[2], 250);
}

TEST(MovieFile, AtomsIndexEveryPictureInOrder) {
    temp_folder t;
    const movie_info m = read_movie(write_movie(t, 320, 200));
    ASSERT_TRUE(m.ok);
    EXPECT_EQ(m.codec, "jpeg");
    EXPECT_EQ(m.width, 320);
    EXPECT_EQ(m.height, 200);
    EXPECT_EQ(m.time_scale, 600u);
    EXPECT_EQ(m.duration, 181u);
    EXPECT_EQ(m.durations, kDurations);
    ASSERT_EQ(m.samples.size(), kDurations.size());
    rgb_picture picture;
    ASSERT_TRUE(decode_jpeg(m.samples[5], picture));
    EXPECT_EQ(picture.width, 320);
    EXPECT_EQ(picture.height, 200);
    expect_red_over_blue(picture);
}

TEST(MovieFile, APlayerReadsCodecSizeTimingAndColours) {
    ASSERT_TRUE(have_ffprobe()) << "ffprobe comes with Debian's ffmpeg (tools/install-deps.sh)";
    temp_folder t;
    const std::string path = write_movie(t, 320, 240);
    const std::string quoted = "'" + path + "'";
    EXPECT_EQ(command_output("ffprobe -v error -select_streams v:0 -show_entries "
                             "stream=codec_name,codec_tag_string,width,height,time_base -of default=nw=1 " +
                             quoted),
              "codec_name=mjpeg\ncodec_tag_string=jpeg\nwidth=320\nheight=240\ntime_base=1/600\n");
    std::ostringstream want;
    for (uint32_t d : kDurations) want << d << "\n";
    EXPECT_EQ(command_output("ffprobe -v error -select_streams v:0 -show_entries packet=duration -of csv=p=0 " +
                             quoted),
              want.str());
    const std::string raw =
        command_output("ffmpeg -v error -i " + quoted + " -frames:v 1 -f rawvideo -pix_fmt rgb24 -");
    ASSERT_EQ(raw.size(), 320u * 240 * 3);
    rgb_picture p;
    p.width = 320;
    p.height = 240;
    p.rgb.assign(raw.begin(), raw.end());
    expect_red_over_blue(p);
}

TEST(MovieFile, FailedWritesAreReported) {
    temp_folder t;
    qt_movie_file movie;
    EXPECT_EQ(movie.create(t / "missing/take.mov", 32, 32), -ENOENT);
    EXPECT_FALSE(movie.is_open());
    EXPECT_EQ(movie.add_sample("x", 1, 1), -EBADF);
    EXPECT_EQ(movie.finish(), -EBADF);
    // A full disc: the picture that does not fit is refused, and so is the index.
    const int code = result_in_child([&] {
        limit_file_size(4096);
        qt_movie_file m;
        if (m.create(t / "full.mov", 32, 32) != 0) return 1;
        const std::vector<char> big(8192, 'j');
        if (m.add_sample(big.data(), big.size(), 30) != -EFBIG) return 2;
        if (m.add_sample(big.data(), 4000, 30) != 0) return 3;  // where the failed one began
        return m.finish() == -EFBIG ? 0 : 4;
    });
    EXPECT_EQ(code, 0);
    std::vector<unsigned char> jpeg;
    EXPECT_EQ(jpeg_encode_bgra(nullptr, 32, 32, 75, jpeg), -EINVAL);
}

}  // namespace
