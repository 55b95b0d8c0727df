#include "movie_helpers.h"

#include <cstdio>
#include <csetjmp>
#include <fstream>
#include <iterator>

#include <jpeglib.h>

namespace {

uint32_t be32(const uint8_t* p) {
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3];
}
uint64_t be64(const uint8_t* p) { return (uint64_t(be32(p)) << 32) | be32(p + 4); }

struct walker {
    const std::vector<uint8_t>& f;
    movie_info& m;
    int found = 0;

    // The atoms in [begin, end); containers are entered.
    bool walk(size_t begin, size_t end) {
        for (size_t at = begin; at < end;) {
            if (end - at < 8) return false;
            uint64_t size = be32(&f[at]);
            const std::string tag(reinterpret_cast<const char*>(&f[at + 4]), 4);
            size_t head = 8;
            if (size == 1) {
                if (end - at < 16) return false;
                size = be64(&f[at + 8]);
                head = 16;
            }
            if (size < head || size > end - at) return false;
            const uint8_t* p = &f[at + head];
            const size_t n = size - head;
            if (tag == "moov" || tag == "trak" || tag == "mdia" || tag == "minf" || tag == "stbl") {
                if (!walk(at + head, at + size)) return false;
            } else if (tag == "mvhd" && n >= 20) {
                m.time_scale = be32(p + 12);
                m.duration = be32(p + 16);
                ++found;
            } else if (tag == "stsd" && n >= 8 + 86 - 8) {
                m.codec.assign(reinterpret_cast<const char*>(p + 12), 4);
                m.width = (p[8 + 32] << 8) | p[8 + 33];
                m.height = (p[8 + 34] << 8) | p[8 + 35];
                ++found;
            } else if (tag == "stts" && n >= 8) {
                const uint32_t runs = be32(p + 4);
                if (n < 8 + size_t(runs) * 8) return false;
                for (uint32_t i = 0; i < runs; ++i)
                    m.durations.insert(m.durations.end(), be32(p + 8 + i * 8), be32(p + 12 + i * 8));
                ++found;
            } else if (tag == "stsz" && n >= 12) {
                const uint32_t count = be32(p + 8);
                if (n < 12 + size_t(count) * 4) return false;
                for (uint32_t i = 0; i < count; ++i) m.sizes.push_back(be32(p + 12 + i * 4));
                ++found;
            } else if ((tag == "stco" || tag == "co64") && n >= 8) {
                const uint32_t count = be32(p + 4);
                const size_t w = tag == "co64" ? 8 : 4;
                if (n < 8 + size_t(count) * w) return false;
                for (uint32_t i = 0; i < count; ++i)
                    m.offsets.push_back(w == 8 ? be64(p + 8 + i * 8) : be32(p + 8 + i * 4));
                ++found;
            }
            at += size;
        }
        return true;
    }
};

struct jpeg_failure {
    jpeg_error_mgr mgr;
    std::jmp_buf jump;
};
[[noreturn]] void failed(j_common_ptr c) { std::longjmp(reinterpret_cast<jpeg_failure*>(c->err)->jump, 1); }

}  // namespace

movie_info read_movie(const std::string& path) {
    movie_info m;
    std::ifstream in(path, std::ios::binary);
    const std::vector<uint8_t> f((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    walker w{f, m};
    if (!w.walk(0, f.size()) || w.found != 5) return m;
    if (m.sizes.size() != m.offsets.size() || m.sizes.size() != m.durations.size()) return m;
    for (size_t i = 0; i < m.sizes.size(); ++i) {
        if (m.offsets[i] > f.size() || m.sizes[i] > f.size() - m.offsets[i]) return m;
        m.samples.emplace_back(f.begin() + static_cast<long>(m.offsets[i]),
                               f.begin() + static_cast<long>(m.offsets[i] + m.sizes[i]));
    }
    m.ok = true;
    return m;
}

bool decode_jpeg(const std::vector<uint8_t>& data, rgb_picture& out) {
    jpeg_decompress_struct c;
    jpeg_failure failure;
    c.err = jpeg_std_error(&failure.mgr);
    failure.mgr.error_exit = failed;
    if (setjmp(failure.jump)) {
        jpeg_destroy_decompress(&c);
        return false;
    }
    jpeg_create_decompress(&c);
    jpeg_mem_src(&c, data.data(), static_cast<unsigned long>(data.size()));
    jpeg_read_header(&c, TRUE);
    c.out_color_space = JCS_RGB;
    jpeg_start_decompress(&c);
    out.width = static_cast<int>(c.output_width);
    out.height = static_cast<int>(c.output_height);
    out.rgb.assign(static_cast<size_t>(out.width) * out.height * 3, 0);
    while (c.output_scanline < c.output_height) {
        JSAMPROW row = out.rgb.data() + static_cast<size_t>(c.output_scanline) * out.width * 3;
        jpeg_read_scanlines(&c, &row, 1);
    }
    jpeg_finish_decompress(&c);
    jpeg_destroy_decompress(&c);
    return true;
}

std::vector<uint8_t> two_halves_bgra(int width, int height, uint32_t top, uint32_t bottom) {
    std::vector<uint8_t> p(static_cast<size_t>(width) * height * 4);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const uint32_t c = y < height / 2 ? top : bottom;
            uint8_t* q = &p[(static_cast<size_t>(y) * width + x) * 4];
            q[0] = c & 0xff;
            q[1] = (c >> 8) & 0xff;
            q[2] = (c >> 16) & 0xff;
            q[3] = 0xff;
        }
    return p;
}

std::string command_output(const std::string& command) {
    std::string out;
    FILE* p = popen(command.c_str(), "r");
    if (!p) return out;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    return pclose(p) == 0 ? out : std::string();
}

bool have_ffprobe() { return !command_output("command -v ffprobe").empty(); }
