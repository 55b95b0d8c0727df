// Simulator-side features layer (simfeatures/).
// The movie recorder's file: a QuickTime movie of one video track of JPEG pictures, which video
// players open. The file type and the media data are written as the pictures come; the movie's
// index goes at the end when the recording finishes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class qt_movie_file {
public:
    static constexpr int time_scale = 600;  // units of a second in durations

    qt_movie_file() = default;
    // A movie never finished is closed as it stands (a player cannot open it).
    ~qt_movie_file();
    qt_movie_file(const qt_movie_file&) = delete;
    qt_movie_file& operator=(const qt_movie_file&) = delete;

    // Creates or truncates path for pictures of width x height. 0 or a negative errno.
    int create(const std::string& path, int width, int height);
    // Appends one JPEG picture shown for duration units. 0 or a negative errno.
    int add_sample(const void* data, size_t bytes, uint32_t duration);
    // Writes the index and closes the file: 0, or a negative errno (the file is closed anyway).
    int finish();
    bool is_open() const { return fd_ >= 0; }
    size_t samples() const { return sizes_.size(); }

private:
    void close_file();

    int fd_ = -1;
    int width_ = 0, height_ = 0;
    uint64_t mdat_start_ = 0;  // where the media data's header begins
    uint64_t end_ = 0;         // the file's length so far
    std::vector<uint64_t> offsets_;
    std::vector<uint32_t> sizes_;
    std::vector<uint32_t> durations_;
};

// JPEG pictures from 32-bit pixels in B, G, R, A byte order (what GL gives for BGRA with
// UNSIGNED_INT_8_8_8_8_REV on a little-endian machine), rows from the picture's top.
// 0, or -EIO when the library refused the picture.
int jpeg_encode_bgra(const unsigned char* pixels, int width, int height, int quality,
                     std::vector<unsigned char>& out);
