// The movie recorder's file writer (simulator-side features layer).
#include "simfeatures/movie_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

// jpeglib.h needs FILE and size_t declared first.
#include <jpeglib.h>

#include "platform/plat_paths.h"

namespace {

// Big-endian atoms built in memory; begin() returns the atom's start, end() fills in its size.
struct atom_writer {
    std::vector<uint8_t> b;
    void u8(uint32_t v) { b.push_back(static_cast<uint8_t>(v)); }
    void u16(uint32_t v) {
        u8(v >> 8);
        u8(v);
    }
    void u32(uint32_t v) {
        u16(v >> 16);
        u16(v & 0xffff);
    }
    void u64(uint64_t v) {
        u32(static_cast<uint32_t>(v >> 32));
        u32(static_cast<uint32_t>(v));
    }
    void tag(const char* t) { b.insert(b.end(), t, t + 4); }
    void zeros(size_t n) { b.insert(b.end(), n, 0); }
    size_t begin(const char* t) {
        const size_t at = b.size();
        u32(0);
        tag(t);
        return at;
    }
    void end(size_t at) {
        const uint32_t n = static_cast<uint32_t>(b.size() - at);
        for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(n >> (24 - 8 * i));
    }
    void matrix() {
        const uint32_t m[9] = {0x10000, 0, 0, 0, 0x10000, 0, 0, 0, 0x40000000};
        for (uint32_t v : m) u32(v);
    }
    // A length byte, the text, zeros up to `field` bytes (0: no padding).
    void pascal(const char* text, size_t field) {
        const size_t n = std::strlen(text);
        u8(static_cast<uint32_t>(n));
        b.insert(b.end(), text, text + n);
        if (field > n + 1) zeros(field - n - 1);
    }
    // Version and flags 0, created and changed now, the time scale and the duration.
    void times(uint32_t now, uint32_t scale, uint32_t duration) {
        u32(0);
        u32(now);
        u32(now);
        u32(scale);
        u32(duration);
    }
    // A handler reference: its kind, subtype and name.
    void handler(const char* kind, const char* subtype, const char* name) {
        const size_t at = begin("hdlr");
        u32(0);
        tag(kind);
        tag(subtype);
        zeros(12);
        pascal(name, 0);
        end(at);
    }
};

constexpr uint64_t kMdatHeader = 16;  // 32-bit size 1, the tag, then the 64-bit size

int write_or_errno(int fd, const void* p, size_t n) {
    const int e = plat::write_all(fd, p, n);
    return e ? -e : 0;
}

}  // namespace

qt_movie_file::~qt_movie_file() { close_file(); }

void qt_movie_file::close_file() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

int qt_movie_file::create(const std::string& path, int width, int height) {
    close_file();
    offsets_.clear();
    sizes_.clear();
    durations_.clear();
    width_ = width;
    height_ = height;
    fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd_ < 0) return -errno;
    atom_writer a;
    const size_t ftyp = a.begin("ftyp");
    a.tag("qt  ");
    a.u32(0x200);
    a.tag("qt  ");
    a.end(ftyp);
    mdat_start_ = a.b.size();
    a.u32(1);
    a.tag("mdat");
    a.u64(kMdatHeader);  // patched by finish()
    end_ = a.b.size();
    const int err = write_or_errno(fd_, a.b.data(), a.b.size());
    if (err) close_file();
    return err;
}

int qt_movie_file::add_sample(const void* data, size_t bytes, uint32_t duration) {
    if (fd_ < 0) return -EBADF;
    if (bytes > UINT32_MAX) return -EFBIG;
    const int err = write_or_errno(fd_, data, bytes);
    if (err) {
        // What part of the picture went out is cut off again, so later offsets stay true.
        if (::ftruncate(fd_, static_cast<off_t>(end_)) != 0 || ::lseek(fd_, static_cast<off_t>(end_), SEEK_SET) < 0)
            close_file();
        return err;
    }
    offsets_.push_back(end_);
    sizes_.push_back(static_cast<uint32_t>(bytes));
    durations_.push_back(duration);
    end_ += bytes;
    return 0;
}

int qt_movie_file::finish() {
    if (fd_ < 0) return -EBADF;
    uint64_t total = 0;
    for (uint32_t d : durations_) total += d;
    const uint32_t duration = total > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(total);
    // Seconds since 1904, wrapping as the format's 32-bit field does.
    const uint32_t now = static_cast<uint32_t>(static_cast<uint64_t>(std::time(nullptr)) + 2082844800ull);
    bool wide = false;
    for (uint64_t o : offsets_) wide = wide || o > UINT32_MAX;

    atom_writer a;
    const size_t moov = a.begin("moov");
    const size_t mvhd = a.begin("mvhd");
    a.times(now, time_scale, duration);
    a.u32(0x10000);  // rate 1.0
    a.u16(0x100);    // volume 1.0
    a.zeros(10);
    a.matrix();
    a.zeros(6 * 4);  // preview, poster, selection and current times
    a.u32(2);        // next track id
    a.end(mvhd);

    const size_t trak = a.begin("trak");
    const size_t tkhd = a.begin("tkhd");
    a.u32(0x3);  // enabled, in the movie
    a.u32(now);
    a.u32(now);
    a.u32(1);  // track id
    a.u32(0);
    a.u32(duration);
    a.zeros(8);
    a.u16(0);  // layer
    a.u16(0);  // alternate group
    a.u16(0);  // volume: a picture track
    a.u16(0);
    a.matrix();
    a.u32(static_cast<uint32_t>(width_) << 16);
    a.u32(static_cast<uint32_t>(height_) << 16);
    a.end(tkhd);
    // The whole media from time 0 at rate 1.
    const size_t edts = a.begin("edts");
    const size_t elst = a.begin("elst");
    a.u32(0);
    a.u32(1);
    a.u32(duration);
    a.u32(0);
    a.u32(0x10000);
    a.end(elst);
    a.end(edts);

    const size_t mdia = a.begin("mdia");
    const size_t mdhd = a.begin("mdhd");
    a.times(now, time_scale, duration);
    a.u16(0);  // language
    a.u16(0);  // quality
    a.end(mdhd);
    a.handler("mhlr", "vide", "VideoHandler");

    const size_t minf = a.begin("minf");
    const size_t vmhd = a.begin("vmhd");
    a.u32(0x1);
    a.u16(0x40);  // copy, dithered
    a.zeros(6);
    a.end(vmhd);
    a.handler("dhlr", "alis", "DataHandler");
    const size_t dinf = a.begin("dinf");
    const size_t dref = a.begin("dref");
    a.u32(0);
    a.u32(1);
    const size_t alis = a.begin("alis");
    a.u32(0x1);  // the data lies in this file
    a.end(alis);
    a.end(dref);
    a.end(dinf);

    const size_t stbl = a.begin("stbl");
    const size_t stsd = a.begin("stsd");
    a.u32(0);
    a.u32(1);
    const size_t jpeg = a.begin("jpeg");
    a.zeros(6);
    a.u16(1);  // data reference
    a.u16(0);  // version
    a.u16(0);  // revision
    a.u32(0);  // vendor
    a.u32(0);  // temporal quality
    a.u32(0x200);  // spatial quality: normal
    a.u16(static_cast<uint32_t>(width_));
    a.u16(static_cast<uint32_t>(height_));
    a.u32(72 << 16);
    a.u32(72 << 16);
    a.u32(0);
    a.u16(1);  // pictures per sample
    a.pascal("Photo - JPEG", 32);
    a.u16(24);
    a.u16(0xffff);  // no colour table
    a.end(jpeg);
    a.end(stsd);

    const size_t stts = a.begin("stts");
    a.u32(0);
    std::vector<std::pair<uint32_t, uint32_t>> runs;  // (count, duration)
    for (uint32_t d : durations_) {
        if (!runs.empty() && runs.back().second == d)
            ++runs.back().first;
        else
            runs.emplace_back(1, d);
    }
    a.u32(static_cast<uint32_t>(runs.size()));
    for (const auto& r : runs) {
        a.u32(r.first);
        a.u32(r.second);
    }
    a.end(stts);
    const size_t stsc = a.begin("stsc");
    a.u32(0);
    a.u32(1);
    a.u32(1);  // from the first chunk on,
    a.u32(1);  // one sample a chunk,
    a.u32(1);  // of the first description
    a.end(stsc);
    const size_t stsz = a.begin("stsz");
    a.u32(0);
    a.u32(0);
    a.u32(static_cast<uint32_t>(sizes_.size()));
    for (uint32_t s : sizes_) a.u32(s);
    a.end(stsz);
    const size_t stco = a.begin(wide ? "co64" : "stco");
    a.u32(0);
    a.u32(static_cast<uint32_t>(offsets_.size()));
    for (uint64_t o : offsets_) {
        if (wide)
            a.u64(o);
        else
            a.u32(static_cast<uint32_t>(o));
    }
    a.end(stco);
    a.end(stbl);
    a.end(minf);
    a.end(mdia);
    a.end(trak);
    a.end(moov);

    int err = write_or_errno(fd_, a.b.data(), a.b.size());
    if (!err) {
        atom_writer size;
        size.u64(end_ - mdat_start_);
        const ssize_t w = ::pwrite(fd_, size.b.data(), 8, static_cast<off_t>(mdat_start_ + 8));
        if (w != 8) err = w < 0 ? -errno : -EIO;
    }
    if (::close(fd_) != 0 && !err) err = -errno;
    fd_ = -1;
    return err;
}

// ---- JPEG ----

namespace {
struct jpeg_failure {
    jpeg_error_mgr mgr;
    std::jmp_buf jump;
};

[[noreturn]] void jpeg_failed(j_common_ptr c) { std::longjmp(reinterpret_cast<jpeg_failure*>(c->err)->jump, 1); }

// Plain C objects only between setjmp and longjmp.
int encode(const unsigned char* pixels, int width, int height, int quality, unsigned char** buf,
           unsigned long* len) {
    jpeg_compress_struct c;
    jpeg_failure failure;
    c.err = jpeg_std_error(&failure.mgr);
    failure.mgr.error_exit = jpeg_failed;
    if (setjmp(failure.jump)) {
        jpeg_destroy_compress(&c);
        return -EIO;
    }
    jpeg_create_compress(&c);
    jpeg_mem_dest(&c, buf, len);
    c.image_width = static_cast<JDIMENSION>(width);
    c.image_height = static_cast<JDIMENSION>(height);
    c.input_components = 4;
    c.in_color_space = JCS_EXT_BGRA;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, quality, TRUE);
    jpeg_start_compress(&c, TRUE);
    const size_t stride = static_cast<size_t>(width) * 4;
    while (c.next_scanline < c.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(pixels + stride * c.next_scanline);
        jpeg_write_scanlines(&c, &row, 1);
    }
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    return 0;
}
}  // namespace

int jpeg_encode_bgra(const unsigned char* pixels, int width, int height, int quality,
                     std::vector<unsigned char>& out) {
    if (width < 1 || height < 1 || !pixels) return -EINVAL;
    unsigned char* buf = nullptr;
    unsigned long len = 0;
    const int err = encode(pixels, width, height, quality, &buf, &len);
    if (!err) out.assign(buf, buf + len);
    std::free(buf);
    return err;
}
