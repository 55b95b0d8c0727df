// Reading back the recorder's movies in tests: our own walk of the atoms, the JPEG pictures
// decoded, and what ffprobe (Debian's ffmpeg) makes of a file.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct movie_info {
    bool ok = false;  // every atom the recorder writes was found, in a consistent file
    std::string codec;  // the sample description's format
    int width = 0, height = 0;
    uint32_t time_scale = 0;
    uint32_t duration = 0;  // of the movie header
    std::vector<uint32_t> durations;  // per sample, from the time-to-sample runs
    std::vector<uint32_t> sizes;
    std::vector<uint64_t> offsets;
    std::vector<std::vector<uint8_t>> samples;
};
movie_info read_movie(const std::string& path);

struct rgb_picture {
    int width = 0, height = 0;
    std::vector<uint8_t> rgb;  // rows from the top
    const uint8_t* at(int x, int y) const { return rgb.data() + (static_cast<size_t>(y) * width + x) * 3; }
};
// False when the bytes are no JPEG picture.
bool decode_jpeg(const std::vector<uint8_t>& data, rgb_picture& out);
// A picture of 32-bit pixels in B, G, R, A order whose top half is `top` and bottom half
// `bottom` (each 0xRRGGBB).
std::vector<uint8_t> two_halves_bgra(int width, int height, uint32_t top, uint32_t bottom);

// The output of a command run through the shell; empty when it failed.
std::string command_output(const std::string& command);
bool have_ffprobe();
