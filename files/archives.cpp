// Zip and 7z extraction and zip packing (files layer).
#include "files/archives.h"

#include <archive.h>
#include <archive_entry.h>
#include <arpa/inet.h>
#include <fcntl.h>
#include <locale.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zip.h>

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <ctime>
#include <deque>
#include <memory>
#include <mutex>
#include <new>
#include <thread>
#include <vector>

#include "core/globals.h"
#include "core/strings.h"
#include "files/errors.h"
#include "files/file_operations.h"
#include "files/finder_info_and_forks.h"
#include "files/md5.h"
#include "platform/plat_paths.h"

namespace {

constexpr size_t kCopyBlock = 1 << 20;
// Names are read into a buffer of this many bytes; a longer name is an error, never cut short.
constexpr unsigned kMaxEntryName = 256;
// Whole-entry reads (link texts, AppleDouble records) larger than this are not believable: a
// resource fork holds at most 16 MiB, and the record adds a header and a few entries to it.
constexpr ZPOS64_T kMaxLinkText = 4095;
constexpr ZPOS64_T kMaxAppleDouble = (ZPOS64_T(16) << 20) + 4096;

constexpr char kMacMeta[] = "__MACOSX";

// The first 46 bytes of every AppleDouble record we write: header, two entry descriptors, and
// the Finder information entry up to the fork entry's length.
constexpr uint8_t kAppleDoubleTemplate[46] = {
    0x00, 0x05, 0x16, 0x07, 0x00, 0x02, 0x00, 0x00, 0,    0,    0,    0,    0,
    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0x00, 0x02,  // two entries
    0x00, 0x00, 0x00, 0x09, 0x00, 0x00, 0x00, 0x32, 0x00, 0x00, 0x00, 0x20,        // Finder info @50, 32
    0x00, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00, 0x52};                               // fork @82, length follows
constexpr size_t kAppleDoubleHeader = 24;
constexpr size_t kAppleDoubleTable = 26;  // after the header and the entry count
constexpr size_t kAppleDoubleFork = 82;

uint32_t get_be32(const uint8_t* p) {
    uint32_t v;
    memcpy(&v, p, sizeof v);
    return ntohl(v);
}
void put_be32(uint8_t* p, uint32_t v) {
    v = htonl(v);
    memcpy(p, &v, sizeof v);
}

struct zip_closer {
    void operator()(void* h) const { zipClose(h, nullptr); }
};
// Removes an uncommitted temporary file on every early return.
struct temp_guard {
    std::string path;
    ~temp_guard() {
        if (!path.empty()) unlink(path.c_str());
    }
};

uint16_t get_le16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }
uint32_t get_le32(const uint8_t* p) { return uint32_t(get_le16(p)) | uint32_t(get_le16(p + 2)) << 16; }
uint64_t get_le64(const uint8_t* p) { return uint64_t(get_le32(p)) | uint64_t(get_le32(p + 4)) << 32; }

// Reads n bytes at offset at, whatever the kernel hands out per call. False when fewer came.
bool pread_full(int fd, uint8_t* p, size_t n, ZPOS64_T at) {
    while (n > 0) {
        ssize_t got = pread(fd, p, n, off_t(at));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return false;
        p += got, n -= size_t(got), at += ZPOS64_T(got);
    }
    return true;
}

constexpr uint32_t kZip64Max = 0xFFFFFFFFu;
constexpr size_t kInBlock = 256 << 10;

}  // namespace

// An open zip: minizip walks its central directory, and the entries' data is read here through
// a descriptor of our own. minizip 1.1 built for a 64-bit system never takes the values of an
// entry's Zip64 extra field (it compares the 32-bit fields with (unsigned long)-1, which is
// 2^64 - 1 there): it reports 4294967295 for such a size, and reading on its own it would stop
// at 4 GiB - 1 or run on past the entry. The handle the entry functions take is one of these.
struct zip_archive {
    unzFile uf = nullptr;
    int fd = -1;
    ZPOS64_T size = 0;  // of the archive file: no entry's data reaches past it
    // The current entry's central extra field, and the local header offset its Zip64 field
    // gives (that field holds one only when the 32-bit offset could not).
    std::vector<uint8_t> extra = std::vector<uint8_t>(65535);
    bool have_zip64_offset = false;
    ZPOS64_T zip64_offset = 0;
    // Where the central directory ends, as unzGetOffset64 counts, when the end record's count is
    // 65,535 (next_entry); 0 otherwise.
    ZPOS64_T capped_directory_end = 0;
    ~zip_archive() {
        if (uf) unzClose(uf);
        if (fd >= 0) close(fd);
    }
};

namespace {

// The offset of the last sig among the archive's final 65,535 bytes, where minizip looks for
// the end records; -1 when there is none.
int64_t last_signature(const std::vector<uint8_t>& tail, ZPOS64_T tail_at, uint32_t sig) {
    for (size_t i = tail.size() < 4 ? 0 : tail.size() - 3; i-- > 0;)
        if (get_le32(&tail[i]) == sig) return int64_t(tail_at + i);
    return -1;
}

// The end of the central directory that minizip opened, from the end record it read (the Zip64
// one where its locator leads to one), in unzGetOffset64's terms; 0 when it cannot be told. The
// directory's start that the record gives must be where minizip's walk began.
ZPOS64_T central_directory_end(const zip_archive& z, ZPOS64_T start) {
    const ZPOS64_T back = std::min<ZPOS64_T>(z.size, 0xFFFF);
    std::vector<uint8_t> tail(back);
    if (!pread_full(z.fd, tail.data(), tail.size(), z.size - back)) return 0;
    ZPOS64_T size = 0, offset = 0;
    // The Zip64 locator: one disk, and the Zip64 end record where it says.
    uint8_t locator[20], zip64_end[56];
    const int64_t locator_at = last_signature(tail, z.size - back, 0x07064b50);
    if (locator_at >= 0 && pread_full(z.fd, locator, sizeof locator, ZPOS64_T(locator_at)) &&
        get_le32(locator + 4) == 0 && get_le32(locator + 16) == 1 &&
        pread_full(z.fd, zip64_end, sizeof zip64_end, get_le64(locator + 8)) &&
        get_le32(zip64_end) == 0x06064b50) {
        size = get_le64(zip64_end + 40);
        offset = get_le64(zip64_end + 48);
    } else {
        const int64_t end = last_signature(tail, z.size - back, 0x06054b50);
        if (end < 0 || ZPOS64_T(end) + 22 > z.size) return 0;
        const uint8_t* record = &tail[size_t(ZPOS64_T(end) - (z.size - back))];
        size = get_le32(record + 12);
        offset = get_le32(record + 16);
    }
    return offset == start && start > 0 ? offset + size : 0;
}

// The archive at path, ready for entry_info and read_entry; null when it cannot be opened or
// is no zip.
std::unique_ptr<zip_archive> open_zip(const std::string& path) {
    auto z = std::make_unique<zip_archive>();
    z->uf = unzOpen64(path.c_str());
    if (!z->uf) return nullptr;
    z->fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat st;
    if (fstat(z->fd, &st) != 0) return nullptr;  // also when the open failed
    z->size = ZPOS64_T(st.st_size);
    unz_global_info64 gi;
    if (unzGetGlobalInfo64(z->uf, &gi) == UNZ_OK && gi.number_entry == 0xFFFF)
        z->capped_directory_end = central_directory_end(*z, unzGetOffset64(z->uf));
    return z;
}

// unzGoToNextFile. An end record counting 65,535 entries (writers without Zip64 put that for any
// larger count) is to minizip an unknown count: it reads on past the central directory and fails
// there. Such a walk ends where the directory ends, as other readers end it; a directory that
// breaks off before its end still fails.
int next_entry(zip_archive& z) {
    unz_file_info64 info;
    if (z.capped_directory_end &&
        unzGetCurrentFileInfo64(z.uf, &info, nullptr, 0, nullptr, 0, nullptr, 0) == UNZ_OK &&
        unzGetOffset64(z.uf) + 46 + info.size_filename + info.size_file_extra + info.size_file_comment ==
            z.capped_directory_end)
        return UNZ_END_OF_LIST_OF_FILE;
    return unzGoToNextFile(z.uf);
}

// The current entry's information and name (as unzGetCurrentFileInfo64 gives them), with the
// sizes that its Zip64 extra field holds put in place of the 32-bit fields that point there.
int entry_info(zip_archive& z, unz_file_info64* info, char* name, uLong name_cap) {
    int err = unzGetCurrentFileInfo64(z.uf, info, name, name_cap, z.extra.data(), uLong(z.extra.size()),
                                      nullptr, 0);
    if (err != UNZ_OK) return err;
    z.have_zip64_offset = false;
    const uint8_t* p = z.extra.data();
    size_t left = std::min<size_t>(info->size_file_extra, z.extra.size());
    while (left >= 4) {
        const size_t id = get_le16(p), len = get_le16(p + 2);
        p += 4, left -= 4;
        if (len > left) break;
        if (id == 0x0001) {
            // In this order, each only when its 32-bit field is all ones: the uncompressed size,
            // the compressed size, the local header's offset.
            const uint8_t* f = p;
            size_t in_field = len;
            auto take = [&](ZPOS64_T* v) {
                if (in_field < 8) return false;
                *v = get_le64(f);
                f += 8, in_field -= 8;
                return true;
            };
            if (info->uncompressed_size == kZip64Max) take(&info->uncompressed_size);
            if (info->compressed_size == kZip64Max) take(&info->compressed_size);
            z.have_zip64_offset = take(&z.zip64_offset);
            break;
        }
        p += len, left -= len;
    }
    return UNZ_OK;
}

// Where the current entry's data begins. minizip finds the local header from the 32-bit offset
// (checking it against the central record); an offset past 4 GiB sits in the Zip64 field only.
int entry_data_at(zip_archive& z, ZPOS64_T* at) {
    int err = unzOpenCurrentFile2(z.uf, nullptr, nullptr, 1);  // raw: only the header is read
    if (err == UNZ_OK) {
        *at = unzGetCurrentFileZStreamPos64(z.uf);
        unzCloseCurrentFile(z.uf);
        return 0;
    }
    if (!z.have_zip64_offset) return err;
    uint8_t head[30];
    if (!pread_full(z.fd, head, sizeof head, z.zip64_offset) || get_le32(head) != 0x04034b50)
        return UNZ_BADZIPFILE;
    *at = z.zip64_offset + sizeof head + get_le16(head + 26) + get_le16(head + 28);
    return 0;
}

// Streams the current entry's data (info as entry_info gives it) through take(bytes, count),
// which returns 0 to go on or an error that ends the read. 0 once the whole entry came through
// with its size and checksum; 20002 when it gives fewer or more bytes than its size, when its
// data cannot fit in the archive, or when it is encrypted; UNZ_CRCERROR when its checksum
// differs; UNZ_BADZIPFILE for a method other than stored or deflated; else the first error of
// take.
template <class Take>
int read_entry(zip_archive& z, const unz_file_info64& info, Take take) {
    if (info.flag & 1) return err_zip_read;  // encrypted: never taken for its plain text
    if (info.compression_method != 0 && info.compression_method != Z_DEFLATED) return UNZ_BADZIPFILE;
    if (info.compression_method == 0 && info.compressed_size != info.uncompressed_size) return err_zip_read;
    ZPOS64_T at = 0;
    if (int err = entry_data_at(z, &at)) return err;
    // Sizes from a header are refused before anything is read when the archive cannot hold them.
    if (at > z.size || info.compressed_size > z.size - at) return err_zip_read;

    // One byte more than a small entry claims, to see it overflow; any claim, all ones too.
    const size_t out_cap = size_t(std::min<ZPOS64_T>(kCopyBlock - 1, info.uncompressed_size) + 1);
    const size_t in_cap = size_t(std::min<ZPOS64_T>(kInBlock, info.compressed_size + 1));
    std::unique_ptr<uint8_t[]> out(new uint8_t[out_cap]);
    std::unique_ptr<uint8_t[]> in(info.compression_method ? new uint8_t[in_cap] : nullptr);
    ZPOS64_T in_left = info.compressed_size, written = 0;
    uLong crc = crc32(0, nullptr, 0);
    auto deliver = [&](const uint8_t* p, size_t n) {
        if (n > info.uncompressed_size - written) return int(err_zip_read);  // more than it claims
        written += n;
        crc = crc32(crc, p, uInt(n));
        return take(p, n);
    };

    if (info.compression_method == 0) {
        while (in_left > 0) {
            const size_t n = size_t(std::min<ZPOS64_T>(in_left, out_cap));
            if (!pread_full(z.fd, out.get(), n, at)) return err_zip_read;
            at += n, in_left -= n;
            if (int err = deliver(out.get(), n)) return err;
        }
    } else {
        z_stream s{};
        if (inflateInit2(&s, -MAX_WBITS) != Z_OK) return ENOMEM;
        std::unique_ptr<z_stream, int (*)(z_stream*)> end(&s, inflateEnd);
        for (;;) {
            if (s.avail_in == 0 && in_left > 0) {
                const size_t n = size_t(std::min<ZPOS64_T>(in_left, in_cap));
                if (!pread_full(z.fd, in.get(), n, at)) return err_zip_read;
                at += n, in_left -= n;
                s.next_in = in.get();
                s.avail_in = uInt(n);
            }
            s.next_out = out.get();
            s.avail_out = uInt(out_cap);
            const int r = inflate(&s, Z_NO_FLUSH);
            if (r != Z_OK && r != Z_STREAM_END) return err_zip_read;  // damaged, or cut short
            if (int err = deliver(out.get(), out_cap - s.avail_out)) return err;
            if (r == Z_STREAM_END) break;
        }
    }
    if (written != info.uncompressed_size) return err_zip_read;
    return crc == info.crc ? 0 : UNZ_CRCERROR;
}

// Reads the current entry whole into out, which grows as data arrives: a header may claim any
// size. An entry claiming more than cap gives too_big unread; else read_entry's result.
int read_whole_entry(zip_archive& z, const unz_file_info64& info, ZPOS64_T cap, int too_big,
                     std::vector<uint8_t>& out) {
    if (info.uncompressed_size > cap) return too_big;
    out.clear();
    return read_entry(z, info, [&](const uint8_t* p, size_t n) {
        out.insert(out.end(), p, p + n);
        return 0;
    });
}

// glibc guards its time-zone state with a lock the thread sanitizer cannot see; one lock of our
// own around the local-time conversions keeps the unpack threads visibly apart.
std::mutex& tz_mutex() {
    static std::mutex m;
    return m;
}

// Local time of a zip entry (month 0-11, full year) as a calendar time, daylight saving left to
// the system.
time_t entry_time(const tm_unz& d) {
    std::tm t{};
    t.tm_sec = int(d.tm_sec);
    t.tm_min = int(d.tm_min);
    t.tm_hour = int(d.tm_hour);
    t.tm_mday = int(d.tm_mday);
    t.tm_mon = int(d.tm_mon);
    t.tm_year = int(d.tm_year) - 1900;
    t.tm_isdst = -1;
    std::lock_guard<std::mutex> lock(tz_mutex());
    return mktime(&t);
}

// What an entry of this name becomes: Mac metadata, a folder, a symbolic link or a file.
enum class entry_kind { meta, folder, link, file };
entry_kind kind_of(const std::string& name, const unz_file_info64& info) {
    if (starts_with(name, kMacMeta)) return entry_kind::meta;
    if (!name.empty() && name.back() == '/') return entry_kind::folder;
    if (((info.external_fa >> 16) & 0xA000) == 0xA000) return entry_kind::link;
    return entry_kind::file;
}

void log_refusal(const std::string& what, const std::string& name, const std::string& root) {
    xer << "Refused archive entry \"" << name << "\": " << what << " would lead outside " << root << ".\n";
}

// A plain file entry: streamed into a new file beside the target, renamed over it only once the
// entry was read whole and its checksum matched. digest, when given, takes the bytes as they are
// written; uncommitted, when given, receives the new file's name instead of the rename (the
// caller then commits or removes it). An entry of more than max_bytes is EFBIG: refused before
// anything is written when its header says so, else stopped as soon as it passes them, and
// what it wrote is deleted. A mode, when not 0, is the file's instead of the entry's.
int unzip_plain_file(zip_archive& z, const std::string& target, const unz_file_info64& info,
                     MD5Context* digest = nullptr, std::string* uncommitted = nullptr,
                     ZPOS64_T max_bytes = ~ZPOS64_T(0), mode_t mode_wanted = 0) {
    if (info.uncompressed_size > max_bytes) return EFBIG;
    std::string temp;
    int fd = create_temp_beside(target, &temp);
    if (fd < 0) return -fd;
    plat::fd_closer out{fd};
    temp_guard guard{temp};

    ZPOS64_T total = 0;
    int err = read_entry(z, info, [&](const uint8_t* p, size_t n) {
        total += n;
        if (total > max_bytes) return int(EFBIG);
        if (digest) MD5UpdateWide(digest, p, n);
        return plat::write_all(fd, p, n);  // a full disk, say: reading on would not help
    });
    if (err) return err;

    // DOS-made zips carry no Unix mode: keep the default permissions then.
    const uint32_t mode = mode_wanted ? mode_wanted : uint32_t(info.external_fa >> 16);
    if (mode != 0 && fchmod(fd, mode & 0777) != 0) return errno;
    if (info.external_fa != 0) {
        time_t when = entry_time(info.tmu_date);
        struct timespec times[2] = {{when, 0}, {when, 0}};
        if (when == time_t(-1) || futimens(fd, times) != 0) return -1;
    }
    if (close(out.release()) != 0) return errno;
    guard.path.clear();
    if (uncommitted) {
        *uncommitted = temp;
        return 0;
    }
    return commit_temp(temp, target);
}

int unzip_entry_failed(int err, const std::string& target) {
    xer << "Zip to file failed with error " << err << ". file = " << sErrFile << " line = " << sErrLine
        << ". inFile=" << target << ".\n";
    return err;
}

// Applies the current AppleDouble entry to the file target; through journal, when given, so that
// a failed extraction puts the file's metadata back.
int apply_resource_fork(zip_archive& z, const std::string& target, const unz_file_info64& info,
                        const std::string& root, extraction_journal* journal) {
    auto fail = [&](int err) {
        xer << "Unzip RF failed with error " << err << ". file = " << sErrFile << " line = " << sErrLine
            << ". inFile=" << target << ".\n";
        return err;
    };
    std::vector<uint8_t> rec;
    if (int err = read_whole_entry(z, info, kMaxAppleDouble, err_zip_bad_fork_header, rec))
        return ERR_MARK(), fail(err);
    if (rec.size() < kAppleDoubleTable || memcmp(rec.data(), kAppleDoubleTemplate, kAppleDoubleHeader) != 0)
        return ERR_MARK(), fail(err_zip_bad_fork_header);

    // Every descriptor and every entry it names must lie inside the record.
    int count = int16_t(uint16_t(rec[24] << 8 | rec[25]));
    if (count < 0) count = 0;
    if (kAppleDoubleTable + 12 * uint64_t(count) > rec.size())
        return ERR_MARK(), fail(err_zip_bad_fork_header);
    const uint8_t* finder = nullptr;
    const uint8_t* fork = nullptr;
    size_t fork_len = 0;
    for (int i = 0; i < count; ++i) {
        const uint8_t* d = rec.data() + kAppleDoubleTable + 12 * i;
        uint32_t id = get_be32(d), off = get_be32(d + 4), len = get_be32(d + 8);
        if (uint64_t(off) + len > rec.size()) return ERR_MARK(), fail(err_zip_bad_fork_header);
        if (id == 9 && len == 32) finder = rec.data() + off;
        if (id == 2) fork = rec.data() + off, fork_len = len;
    }

    int err = check_target_parent(target, root);
    if (err == err_zip_unsafe_path) {
        log_refusal("its resource fork target", target, root);
        return ERR_MARK(), fail(err);
    }
    struct stat st;
    if (err != 0 || lstat(target.c_str(), &st) != 0) return 0;  // no such file in the archive: skipped
    if (!S_ISREG(st.st_mode)) {
        xer << "Resource fork skipped: " << target << " is not a plain file.\n";
        return 0;
    }
    if (!finder && fork_len == 0) return 0;
    auto not_stored = [&](const std::string& why) {
        if (finder) log_metadata_not_stored(target, kFinderInfoAttr, 32, why);
        if (fork_len > 0) log_metadata_not_stored(target, kResourceForkAttr, fork_len, why);
        return 0;
    };
    // A file this call wrote has one name; other names may lie outside the root, and would change too.
    if (st.st_nlink > 1) return not_stored("it has other names");
    // What cannot be saved for the undo is not changed.
    if (journal && (err = journal->metadata_changing(target, st)))
        return metadata_refused(err) ? not_stored(std::strerror(err)) : (ERR_MARK(), fail(err));
    if (finder && (err = set_finder_info(target, finder))) return ERR_MARK(), fail(err);
    if (fork && fork_len > 0 && (err = write_fork(target, fork, fork_len))) return ERR_MARK(), fail(err);
    return 0;
}

// The file an AppleDouble record at path is for: the path less the "._" of its last component.
std::string fork_target(std::string path) {
    const size_t slash = path.rfind('/');
    const size_t leaf = slash == std::string::npos ? 0 : slash + 1;
    if (path.compare(leaf, 2, "._") == 0) path.erase(leaf, 2);
    return path;
}

}  // namespace

int unzip_resource_fork(zip_archive& zip, std::string path, const unz_file_info64& info,
                        const std::string& root, extraction_journal& journal) {
    return apply_resource_fork(zip, fork_target(path), info, root, &journal);
}

int unzip_symlink(zip_archive& zip, std::string path, const unz_file_info64& info, const std::string& root,
                  extraction_journal& journal) {
    auto fail = [&](int err) {
        xer << "Zip to symlink failed with error " << err << ". file = " << sErrFile << " line = " << sErrLine
            << ". inFile=" << path << ".\n";
        return err;
    };
    std::vector<uint8_t> data;
    int err = read_whole_entry(zip, info, kMaxLinkText, ENAMETOOLONG, data);
    if (err) return ERR_MARK(), fail(err);
    std::string text(data.begin(), data.end());
    if (!link_text_is_safe(path, text, root)) {
        log_refusal("the link text \"" + text + "\"", path, root);
        return ERR_MARK(), fail(err_zip_unsafe_path);
    }
    std::string temp;
    if (symlink_temp_beside(path, text, &temp) != 0 || journal.commit(temp, path) != 0)
        return ERR_MARK(), fail(-1);
    return 0;
}

int zip_to_file(std::string zip, std::string out_dir, std::string* name_io, int use_name, std::string root,
                int64_t max_bytes) {
    zip = app_path + zip;
    out_dir = app_path + out_dir;
    root = root.empty() ? out_dir : app_path + root;
    std::string forced_name = (use_name && name_io) ? *name_io : std::string();

    auto summary = [&](int err) {
        xer << "Zip to file failed with error err = " << err << ". file = " << sErrFile
            << " line = " << sErrLine << ". zip_file=" << zip << ", out_directory=" << out_dir << ".\n";
        return err;
    };

    std::unique_ptr<zip_archive> archive = open_zip(zip);
    if (!archive) {
        ERR_MARK();
        xer << "OK I am about to report that I could not open a zip file for extraction!\n"
            << "That incoming file is " << zip << "\n"
            << "In c-form, it is " << zip.c_str() << "\n"
            << "The size is " << zip.size() << "\n";
        return summary(err_zip_open);
    }
    if (use_name) {
        unz_global_info64 gi;
        if (!name_io || unzGetGlobalInfo64(archive->uf, &gi) != UNZ_OK || gi.number_entry != 1) {
            ERR_MARK();
            xer << "zip_to_file: a given name needs an archive of exactly one entry.\n";
            return summary(EINVAL);
        }
    }

    zip_archive& z = *archive;
    // No entry's read goes past the size its header gives, so the headers alone tell whether the
    // entries fit in the bound: checked before anything is written or replaced. Every entry
    // counts, a link's text and a resource fork as a file's data.
    if (max_bytes >= 0) {
        ZPOS64_T left = ZPOS64_T(max_bytes);
        bool first_entry = true;
        for (int e = unzGoToFirstFile(z.uf); e == UNZ_OK; e = next_entry(z)) {
            unz_file_info64 info;
            char raw[kMaxEntryName + 1];
            if (entry_info(z, &info, raw, sizeof raw) != UNZ_OK) break;  // the extraction reports it
            const std::string name(raw, std::min<size_t>(info.size_filename, kMaxEntryName));
            const std::string out_name = first_entry && use_name ? forced_name : name;
            first_entry = false;
            if (info.uncompressed_size > left) {
                ERR_MARK();
                xer << "Zip to file: " << out_dir + out_name << " would take the archive past its "
                    << max_bytes << " bytes; nothing is written.\n";
                return summary(EFBIG);
            }
            left -= info.uncompressed_size;
        }
    }

    extraction_journal journal;  // a failed extraction is undone whole
    bool first = true;
    int err = unzGoToFirstFile(z.uf);
    while (err == UNZ_OK) {
        unz_file_info64 info;
        char raw[kMaxEntryName + 1];
        err = entry_info(z, &info, raw, sizeof raw);
        if (err != UNZ_OK) {
            ERR_MARK();
            xer << "unzGetCurrentFileInfo err != UNZ_OK! err=" << err << "\n";
            break;
        }
        if (info.size_filename > kMaxEntryName) {
            ERR_MARK();
            xer << "Zip entry name of " << info.size_filename << " bytes is longer than " << kMaxEntryName
                << ".\n";
            err = ENAMETOOLONG;
            break;
        }
        std::string name(raw, info.size_filename);
        std::string out_name = (first && use_name) ? forced_name : name;
        if (first && name_io) *name_io = name;
        first = false;

        int r = 0;
        const entry_kind kind = kind_of(name, info);
        if (kind == entry_kind::meta) {
            // Metadata: only "__MACOSX/.../._name" entries mean something; the rest is skipped.
            size_t slash = name.rfind('/');
            bool apple_double = starts_with(name, "__MACOSX/") && slash != std::string::npos &&
                                name.compare(slash + 1, 2, "._") == 0 && name.size() > slash + 3;
            if (apple_double) {
                // The file it names may not be a reserved name either.
                if (!archive_name_is_safe(name) || !archive_name_is_safe(fork_target(name.substr(9)))) {
                    ERR_MARK();
                    log_refusal("its name", name, root);
                    r = err_zip_unsafe_path;
                } else {
                    r = unzip_resource_fork(z, out_dir + name.substr(9), info, root, journal);
                }
            }
        } else if (!archive_name_is_safe(out_name) || strlen(out_name.c_str()) != out_name.size()) {
            ERR_MARK();
            log_refusal("its name", out_name, root);
            r = err_zip_unsafe_path;
        } else {
            std::string target = out_dir + out_name;
            r = check_target_parent(target, root);
            if (r == err_zip_unsafe_path) log_refusal("its folder", out_name, root);
            if (r) {
                ERR_MARK();
                if (r != err_zip_unsafe_path) unzip_entry_failed(r, target);
            } else if (kind == entry_kind::folder) {
                r = make_folder(target);
                if (r == 0) journal.made_folder(target);
                if (!show_make_dir_err(r)) r = 0;  // made, or there already
            } else if (kind == entry_kind::link) {
                r = unzip_symlink(z, target, info, root, journal);
            } else {
                std::string temp;
                r = unzip_plain_file(z, target, info, nullptr, &temp);
                if (!r) r = journal.commit(temp, target);
                if (r) ERR_MARK(), unzip_entry_failed(r, target);
            }
        }
        if (r) {
            xer << "UNZIP zip_to_file failed with err=" << r << "\n";
            return summary(r);
        }
        err = next_entry(z);
    }
    if (err == UNZ_END_OF_LIST_OF_FILE) {
        journal.succeeded();
        return 0;
    }
    ERR_MARK();
    return summary(err);
}

int zip_entry_names(std::string zip, std::vector<std::string>* names) {
    names->clear();
    std::unique_ptr<zip_archive> archive = open_zip(app_path + zip);
    if (!archive) return err_zip_open;
    zip_archive& z = *archive;
    int err = unzGoToFirstFile(z.uf);
    for (; err == UNZ_OK; err = next_entry(z)) {
        unz_file_info64 info;
        char raw[kMaxEntryName + 1];
        if (entry_info(z, &info, raw, sizeof raw) != UNZ_OK) return err_zip_read;
        if (info.size_filename > kMaxEntryName) return ENAMETOOLONG;
        names->emplace_back(raw, info.size_filename);
    }
    return err == UNZ_END_OF_LIST_OF_FILE ? 0 : err_zip_read;
}

int zip_install_file(std::string zip, std::string target, const std::string& md5_want, std::string root,
                     int64_t max_bytes, size_t max_climb, mode_t mode) {
    zip = app_path + zip;
    target = app_path + target;
    root = app_path + root;
    const std::string leaf = target.substr(target.rfind('/') + 1);
    const std::string fork_name = std::string(kMacMeta) + "/._" + leaf;
    std::unique_ptr<zip_archive> archive = open_zip(zip);
    if (!archive) return ERR_MARK(), err_zip_open;
    zip_archive& z = *archive;
    void* uf = z.uf;

    // The entries first: the file and at most its AppleDouble record, nothing else.
    int files = 0, others = 0;
    unz64_file_pos file_at{}, fork_at{};
    bool have_fork = false;
    int err = unzGoToFirstFile(uf);
    for (; err == UNZ_OK; err = next_entry(z)) {
        unz_file_info64 info;
        char raw[kMaxEntryName + 1];
        if ((err = entry_info(z, &info, raw, sizeof raw)) != UNZ_OK) break;
        const std::string name(raw, std::min<size_t>(info.size_filename, kMaxEntryName));
        if (info.size_filename <= kMaxEntryName && name == leaf && files++ == 0) {
            unzGetFilePos64(uf, &file_at);
        } else if (info.size_filename <= kMaxEntryName && name == fork_name && !have_fork) {
            unzGetFilePos64(uf, &fork_at);
            have_fork = true;
        } else {
            ++others;
        }
    }
    if (err != UNZ_END_OF_LIST_OF_FILE) return ERR_MARK(), err_zip_read;
    if (files != 1 || others != 0) return ERR_MARK(), err_zip_not_manifest;
    err = check_target_parent(target, root);
    if (err == err_zip_unsafe_path) log_refusal("its folder", leaf, root);
    if (err) return ERR_MARK(), err;

    // The new file is written beside the old one and digested as it is written; the old one
    // stays in place until the new one proved right.
    unz_file_info64 info;
    if ((err = unzGoToFilePos64(uf, &file_at)) != UNZ_OK ||
        (err = entry_info(z, &info, nullptr, 0)) != UNZ_OK)
        return ERR_MARK(), err_zip_read;
    MD5Context digest;
    MD5Init(&digest);
    temp_guard guard;
    if (((info.external_fa >> 16) & 0xA000) == 0xA000) {
        std::vector<uint8_t> text;
        if ((err = read_whole_entry(z, info, kMaxLinkText, ENAMETOOLONG, text))) return ERR_MARK(), err;
        const std::string link(text.begin(), text.end());
        if ((err = link_text_check(target, link, root, max_climb))) {
            log_refusal("the link text \"" + link + "\"", target, root);
            return ERR_MARK(), err;
        }
        MD5UpdateWide(&digest, text.data(), text.size());
        if ((err = symlink_temp_beside(target, link, &guard.path))) return ERR_MARK(), err;
    } else if ((err = unzip_plain_file(z, target, info, &digest, &guard.path,
                                       max_bytes < 0 ? ~ZPOS64_T(0) : ZPOS64_T(max_bytes), mode))) {
        return ERR_MARK(), unzip_entry_failed(err, target);
    }
    MD5Final(&digest);
    if (MD5Hex(digest) != md5_want) return ERR_MARK(), err_zip_not_manifest;
    if (have_fork) {
        if ((err = unzGoToFilePos64(uf, &fork_at)) != UNZ_OK ||
            (err = entry_info(z, &info, nullptr, 0)) != UNZ_OK)
            return ERR_MARK(), err_zip_read;
        if ((err = apply_resource_fork(z, guard.path, info, root, nullptr))) return err;
    }
    err = commit_temp(guard.path, target);
    guard.path.clear();
    return err;
}

// ---------------------------------------------------------------------------------------------
// Packing

namespace {

int add_entry(void* zf, const std::string& name, const zip_fileinfo& fi, int method, bool zip64) {
    // Made by Unix, so other tools honour the mode and link bits too.
    return zipOpenNewFileInZip4_64(zf, name.c_str(), &fi, nullptr, 0, nullptr, 0, nullptr, method,
                                   method ? Z_DEFAULT_COMPRESSION : 0, 0, -MAX_WBITS, DEF_MEM_LEVEL,
                                   Z_DEFAULT_STRATEGY, nullptr, 0, 0x031E, 0, zip64 ? 1 : 0);
}

int write_in_zip(void* zf, const uint8_t* p, size_t n) {
    while (n > 0) {
        unsigned chunk = unsigned(std::min(n, kCopyBlock));
        if (int err = zipWriteInFileInZip(zf, p, chunk)) return err;
        p += chunk;
        n -= chunk;
    }
    return 0;
}

int pack_fork(void* zf, const std::string& src, const std::string& entry) {
    std::vector<uint8_t> fork;
    if (read_fork(src, fork) != 0 || fork.empty()) return 0;  // no readable fork: none
    if (fork.size() >= (size_t(1) << 31)) return ERR_MARK(), err_zip_fork_too_big;
    uint8_t finder[32];
    get_finder_info(src, finder);

    std::vector<uint8_t> rec(kAppleDoubleFork + fork.size());
    memcpy(rec.data(), kAppleDoubleTemplate, sizeof kAppleDoubleTemplate);
    put_be32(rec.data() + 46, uint32_t(fork.size()));
    memcpy(rec.data() + 50, finder, 16);  // extended Finder info (66..81) stays zero
    memcpy(rec.data() + kAppleDoubleFork, fork.data(), fork.size());

    zip_fileinfo fi{};
    int err = add_entry(zf, std::string(kMacMeta) + "/._" + entry, fi, Z_DEFLATED, false);
    if (!err) err = write_in_zip(zf, rec.data(), rec.size());
    if (!err) err = zipCloseFileInZip(zf);
    if (err) ERR_MARK();
    return err;
}

int pack_file(void* zf, const std::string& src, const std::string& entry, MD5Context* digest) {
    plat::fd_closer in{open(src.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK)};  // a FIFO must not hang us
    struct stat st;
    // fstat fails on a descriptor that did not open too.
    if (fstat(in.fd, &st) != 0 || !S_ISREG(st.st_mode)) return ERR_MARK(), err_file_read_open;

    zip_fileinfo fi{};
    std::tm t{};
    std::unique_lock<std::mutex> lock(tz_mutex());
    bool have_time = localtime_r(&st.st_mtime, &t) != nullptr;
    lock.unlock();
    if (have_time) {
        fi.tmz_date.tm_sec = uInt(t.tm_sec);
        fi.tmz_date.tm_min = uInt(t.tm_min);
        fi.tmz_date.tm_hour = uInt(t.tm_hour);
        fi.tmz_date.tm_mday = uInt(t.tm_mday);
        fi.tmz_date.tm_mon = uInt(t.tm_mon);
        fi.tmz_date.tm_year = uInt(t.tm_year + 1900);
    }
    fi.external_fa = uLong(st.st_mode) << 16;
    int err = add_entry(zf, entry, fi, Z_DEFLATED, st.st_size >= 0xffffffffLL);
    if (err) return ERR_MARK(), err;
    std::unique_ptr<uint8_t[]> buf(new uint8_t[kCopyBlock]);
    for (;;) {
        ssize_t n = read(in.fd, buf.get(), kCopyBlock);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return ERR_MARK(), errno;
        if (n == 0) break;
        if (digest) MD5UpdateWide(digest, buf.get(), size_t(n));
        if ((err = zipWriteInFileInZip(zf, buf.get(), unsigned(n)))) return ERR_MARK(), err;
    }
    if ((err = zipCloseFileInZip(zf))) return ERR_MARK(), err;
    return 0;
}

int pack_link(void* zf, const std::string& text, const std::string& entry) {
    zip_fileinfo fi{};
    fi.external_fa = 0xA1ED0000;  // a link, 0755
    int err = add_entry(zf, entry, fi, 0, false);
    if (!err) err = write_in_zip(zf, reinterpret_cast<const uint8_t*>(text.data()), text.size());
    if (!err) err = zipCloseFileInZip(zf);
    if (err) ERR_MARK();
    return err;
}

}  // namespace

int file_to_zip(std::string src, std::string zip, std::string* md5_hex) {
    std::string link_text;
    bool is_link = is_sim_link(src.c_str(), &link_text);  // puts app_path in front itself
    src = app_path + src;
    zip = app_path + zip;
    std::string entry = src.substr(src.rfind('/') == std::string::npos ? 0 : src.rfind('/') + 1);
    auto fail = [&](int err) {
        xer << "file_to_zip failed with error " << err << ".\nfile = " << sErrFile << " line = " << sErrLine
            << "\n";
        return err;
    };

    // A link text that fills the reader's buffer may have been cut: never pack a different link.
    if (is_link && link_text.size() >= 499) return ERR_MARK(), fail(ENAMETOOLONG);
    struct stat st;
    if (!is_link && stat(src.c_str(), &st) != 0) return ERR_MARK(), fail(errno);
    if (!is_link && access(src.c_str(), R_OK) != 0) return ERR_MARK(), fail(err_file_read_open);

    std::unique_ptr<void, zip_closer> zf(zipOpen64(zip.c_str(), APPEND_STATUS_CREATE));
    if (!zf) return ERR_MARK(), fail(err_zip_create);
    MD5Context digest;
    MD5Init(&digest);
    int err = is_link ? pack_link(zf.get(), link_text, entry) : pack_file(zf.get(), src, entry, &digest);
    if (!err && !is_link) err = pack_fork(zf.get(), src, entry);
    if (err) return fail(err);
    // Closing writes the central directory: a failure there is a failed archive.
    if ((err = zipClose(zf.release(), nullptr)) != ZIP_OK) return ERR_MARK(), fail(err);
    if (md5_hex) {
        if (is_link)
            MD5UpdateWide(&digest, reinterpret_cast<const uint8_t*>(link_text.data()), link_text.size());
        MD5Final(&digest);
        *md5_hex = MD5Hex(digest);
    }
    return 0;
}

// ---------------------------------------------------------------------------------------------
// 7z, read through libarchive.

namespace {

// 7z names are UTF-16 inside; converting them needs a UTF-8 character type. Set per call on this
// thread only, so nothing depends on the program's start-up having done it.
locale_t utf8_locale() {
    static locale_t loc = newlocale(LC_CTYPE_MASK, "C.UTF-8", nullptr);
    return loc;
}

struct locale_scope {
    locale_t old = nullptr;
    locale_scope() {
        if (locale_t l = utf8_locale()) old = uselocale(l);
    }
    ~locale_scope() {
        if (old) uselocale(old);
    }
};

struct archive_closer {
    void operator()(archive* a) const { archive_read_free(a); }
};

int p7z_fail(int err, const std::string& what, archive* a) {
    const char* msg = a ? archive_error_string(a) : nullptr;
    xer << "7z to file failed with error " << err << ". file = " << sErrFile << " line = " << sErrLine << ". "
        << what << (msg ? std::string(" (") + msg + ")" : std::string()) << ".\n";
    return err;
}

// Writes a large item on a second thread while this one decodes: the decoder and the kernel's
// copy into the page cache each take a good share of the time, and then overlap.
class chunk_writer {
public:
    explicit chunk_writer(int fd) : fd_(fd), thread_([this] { run(); }) {}
    ~chunk_writer() { finish(); }

    // Queues a copy of [p, p + n) for the file offset off. False once a write has failed.
    bool put(const uint8_t* p, size_t n, int64_t off) {
        if (!cur_.data.empty() && cur_.off + int64_t(cur_.data.size()) != off) flush();
        if (cur_.data.empty()) cur_.off = off;
        cur_.data.insert(cur_.data.end(), p, p + n);
        if (cur_.data.size() >= kChunk) flush();
        std::lock_guard<std::mutex> lock(mu_);
        return err_ == 0;
    }
    // Writes what is left and waits for the writer. 0 or errno.
    int finish() {
        if (thread_.joinable()) {
            flush();
            {
                std::lock_guard<std::mutex> lock(mu_);
                done_ = true;
            }
            cv_.notify_all();
            thread_.join();
        }
        return err_;
    }

private:
    static constexpr size_t kChunk = 4 << 20;
    struct chunk {
        std::vector<uint8_t> data;
        int64_t off = 0;
    };

    void flush() {
        if (cur_.data.empty()) return;
        std::unique_lock<std::mutex> lock(mu_);
        cv_.wait(lock, [this] { return queue_.size() < 2; });  // bounded: two chunks in flight
        queue_.push_back(std::move(cur_));
        cur_ = chunk();
        if (!spare_.empty()) cur_.data.swap(spare_), cur_.data.clear();
        cur_.data.reserve(kChunk);
        cv_.notify_all();
    }

    void run() {
        std::unique_lock<std::mutex> lock(mu_);
        for (;;) {
            cv_.wait(lock, [this] { return !queue_.empty() || done_; });
            if (queue_.empty()) return;
            chunk c = std::move(queue_.front());
            queue_.pop_front();
            cv_.notify_all();
            lock.unlock();
            int err = 0;
            if (lseek(fd_, c.off, SEEK_SET) < 0)
                err = errno;
            else
                err = plat::write_all(fd_, c.data.data(), c.data.size());
            lock.lock();
            if (err && !err_) err_ = err;
            spare_.swap(c.data);
        }
    }

    int fd_;
    chunk cur_;
    std::vector<uint8_t> spare_;
    std::deque<chunk> queue_;
    std::mutex mu_;
    std::condition_variable cv_;
    bool done_ = false;
    int err_ = 0;
    std::thread thread_;  // last: starts once everything above exists
};

// Items from this size on are written by a chunk_writer.
constexpr la_int64_t kPipelinedItem = la_int64_t(16) << 20;

// The text of a link item, which the reader hands over with its header (the item's size says 0):
// what is written in its place. ENAMETOOLONG past the length a zip's link may have.
int p7z_link_text(archive_entry* e, std::string* text) {
    // The length is judged before the text is converted: a huge one is not copied again.
    const char* raw = archive_entry_symlink(e);
    if (raw && strlen(raw) > kMaxLinkText) return ENAMETOOLONG;
    const char* utf8 = archive_entry_symlink_utf8(e);
    if (!utf8) utf8 = raw ? raw : "";
    if (strlen(utf8) > kMaxLinkText) return ENAMETOOLONG;
    text->assign(utf8);
    return 0;
}

// Streams the current item into a new file beside target; put in place through journal only when
// whole. digest, when given, takes the item's bytes (holes as zeros) as they are written.
int p7z_write_item(archive* a, const std::string& target, archive_entry* e, MD5Context* digest,
                   extraction_journal& journal) {
    std::string link;
    if (archive_entry_filetype(e) == AE_IFLNK)
        if (int err = p7z_link_text(e, &link)) return err;
    std::string temp;
    int fd = create_temp_beside(target, &temp);
    if (fd < 0) return -fd;
    plat::fd_closer out{fd};
    temp_guard guard{temp};

    // Write failures keep their errno: a full disc must say so.
    if (archive_entry_filetype(e) == AE_IFLNK) {
        // The 7z reader this replaces wrote a link's text as an ordinary file.
        const uint8_t* p = reinterpret_cast<const uint8_t*>(link.data());
        if (digest) MD5UpdateWide(digest, p, link.size());
        if (int err = plat::write_all(fd, p, link.size())) return err;
    } else {
        std::unique_ptr<chunk_writer> writer;
        if (archive_entry_size(e) >= kPipelinedItem) writer.reset(new chunk_writer(fd));
        // Blocks straight from the decoder's buffer, written where they belong.
        la_int64_t written = 0;
        for (;;) {
            const void* block = nullptr;
            size_t n = 0;
            la_int64_t offset = 0;
            int r = archive_read_data_block(a, &block, &n, &offset);
            if (r == ARCHIVE_EOF) break;
            // A checksum mismatch comes back as a warning: every result but OK is a failure.
            if (r != ARCHIVE_OK) return err_zip_read;
            const uint8_t* p = static_cast<const uint8_t*>(block);
            if (digest) {
                // Blocks come in order; a hole reads as zeros.
                if (offset < written) return err_zip_read;
                static const uint8_t zeros[4096] = {};
                for (la_int64_t gap = offset - written; gap > 0; gap -= la_int64_t(sizeof zeros))
                    MD5UpdateWide(digest, zeros, size_t(std::min<la_int64_t>(gap, la_int64_t(sizeof zeros))));
                MD5UpdateWide(digest, p, n);
            }
            if (writer) {
                if (!writer->put(p, n, offset)) return writer->finish();
            } else {
                if (offset != written && lseek(fd, offset, SEEK_SET) < 0) return errno;
                if (int err = plat::write_all(fd, p, n)) return err;
            }
            written = offset + la_int64_t(n);
        }
        if (writer)
            if (int err = writer->finish()) return err;
    }
    if (close(out.release()) != 0) return errno;
    guard.path.clear();
    return journal.commit(temp, target);
}

// A reader on the 7z archive_path; null, the failure reported in *err, when it cannot be opened.
std::unique_ptr<archive, archive_closer> open_7z(const std::string& archive_path, int* err) {
    std::unique_ptr<archive, archive_closer> a(archive_read_new());
    if (!a) {
        *err = (ERR_MARK(), p7z_fail(ENOMEM, "archive=" + archive_path, nullptr));
        return nullptr;
    }
    archive_read_support_format_7zip(a.get());
    if (archive_read_open_filename(a.get(), archive_path.c_str(), 1 << 16) != ARCHIVE_OK) {
        // An OS error (a missing archive) is reported as such; libarchive says "not a 7z" with
        // EILSEQ and misuse with EINVAL: both are a bad archive.
        int e = archive_errno(a.get());
        *err = (ERR_MARK(), p7z_fail((e > 0 && e != EILSEQ && e != EINVAL) ? e : err_zip_open,
                                     "archive=" + archive_path, a.get()));
        return nullptr;
    }
    return a;
}

// EFBIG when the entries of the 7z say they hold more than max_bytes together, a link's text
// counting as its size; ENAMETOOLONG for a link text too long to be one. The reader gives no more
// of an entry than that says, so the headers alone tell. Headers it cannot read are left to the
// extraction to report.
int p7z_within(const std::string& archive_path, int64_t max_bytes) {
    int err = 0;
    std::unique_ptr<archive, archive_closer> a = open_7z(archive_path, &err);
    if (!a) return err;
    int64_t left = max_bytes;
    archive_entry* e = nullptr;
    while (archive_read_next_header(a.get(), &e) == ARCHIVE_OK) {
        int64_t size = archive_entry_size(e);
        if (archive_entry_filetype(e) == AE_IFLNK) {
            std::string text;
            if ((err = p7z_link_text(e, &text))) {
                const char* name = archive_entry_pathname_utf8(e);
                xer << "7z to file: the link " << (name ? name : "") << " in " << archive_path
                    << " is longer than " << kMaxLinkText << " bytes; nothing is written.\n";
                return ERR_MARK(), p7z_fail(err, "archive=" + archive_path, nullptr);
            }
            size = int64_t(text.size());
        }
        if (size < 0 || size > left) {
            xer << "7z to file: " << archive_path << " would unpack past its " << max_bytes
                << " bytes; nothing is written.\n";
            return ERR_MARK(), p7z_fail(EFBIG, "archive=" + archive_path, nullptr);
        }
        left -= size;
    }
    return 0;
}

}  // namespace

int p7z_to_file(std::string archive_path, std::string out_dir, std::string* name_io, int use_name,
                std::string root, std::string* md5_hex, int64_t max_bytes) {
    if (root.empty()) root = out_dir;
    locale_scope utf8;
    if (max_bytes >= 0)
        if (int err = p7z_within(archive_path, max_bytes)) return err;
    int open_err = 0;
    std::unique_ptr<archive, archive_closer> a = open_7z(archive_path, &open_err);
    if (!a) return open_err;

    extraction_journal journal;  // a failed extraction is undone whole
    bool first = true;
    for (;;) {
        archive_entry* e = nullptr;
        int r = archive_read_next_header(a.get(), &e);
        if (r == ARCHIVE_EOF) break;
        if (r != ARCHIVE_OK) {
            int err = first ? err_zip_open : err_zip_read;
            return ERR_MARK(), p7z_fail(err, "archive=" + archive_path, a.get());
        }
        first = false;
        if (archive_entry_filetype(e) == AE_IFDIR) continue;
        const char* utf8 = archive_entry_pathname_utf8(e);
        std::string name = utf8 ? utf8 : "";
        if (use_name && name_io) name = *name_io;
        if (!archive_name_is_safe(name) || name.back() == '/') {
            log_refusal("its name", name, root);
            return ERR_MARK(), p7z_fail(err_zip_unsafe_path, "archive=" + archive_path, nullptr);
        }
        std::string target = out_dir + name;
        int err = check_target_parent(target, root);
        if (err == err_zip_unsafe_path) log_refusal("its folder", name, root);
        MD5Context digest;
        MD5Init(&digest);
        if (!err) err = p7z_write_item(a.get(), target, e, md5_hex ? &digest : nullptr, journal);
        if (!err && md5_hex) {
            MD5Final(&digest);
            *md5_hex = MD5Hex(digest);
        }
        if (err)
            return ERR_MARK(), p7z_fail(err, "target=" + target, err == err_zip_read ? a.get() : nullptr);
        if (name_io) *name_io = target;
    }
    journal.succeeded();
    return 0;
}
