#include "files/zip_utils.h"

#include <archive.h>
#include <archive_entry.h>
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

#include "core/strings.h"
#include "core/wx.h"
#include "files/errors.h"
#include "files/io_utils.h"
#include "files/mac_meta.h"
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
constexpr size_t kAppleDoubleFork = 82;

uint32_t get_be32(const uint8_t* p) {
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | uint32_t(p[3]);
}
void put_be32(uint8_t* p, uint32_t v) {
    p[0] = uint8_t(v >> 24), p[1] = uint8_t(v >> 16), p[2] = uint8_t(v >> 8), p[3] = uint8_t(v);
}

struct unz_closer {
    void operator()(void* h) const { unzClose(h); }
};
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

// Reads the current entry whole into out, which grows as data arrives: a header may claim any
// size. An entry claiming more than cap gives too_big unread; 20002 when it gives fewer bytes
// than it claims; else the library's result of the close (a checksum error, say).
int read_whole_entry(void* uf, const unz_file_info64& info, ZPOS64_T cap, int too_big,
                     std::vector<uint8_t>& out) {
    if (info.uncompressed_size > cap) return too_big;
    out.clear();
    int err = unzOpenCurrentFile(uf);
    if (err != UNZ_OK) return err;
    uint8_t block[16384];
    int n;
    while (out.size() < info.uncompressed_size && (n = unzReadCurrentFile(uf, block, sizeof block)) > 0)
        out.insert(out.end(), block, block + n);
    if (out.size() != info.uncompressed_size) {
        unzCloseCurrentFile(uf);
        return err_zip_read;
    }
    return unzCloseCurrentFile(uf);  // UNZ_CRCERROR when the data does not match
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

void log_refusal(const std::string& what, const std::string& name, const std::string& root) {
    xer << "Refused archive entry \"" << name << "\": " << what << " would lead outside " << root << ".\n";
}

// A plain file entry: streamed into a new file beside the target, renamed over it only once the
// entry was read whole and its checksum matched. digest, when given, takes the bytes as they are
// written; uncommitted, when given, receives the new file's name instead of the rename (the
// caller then commits or removes it).
int unzip_plain_file(void* uf, const std::string& target, const unz_file_info64& info,
                     MD5Context* digest = nullptr, std::string* uncommitted = nullptr) {
    std::string temp;
    int fd = create_temp_beside(target, &temp);
    if (fd < 0) return -fd;
    plat::fd_closer out{fd};
    temp_guard guard{temp};

    int err = unzOpenCurrentFile(uf);
    if (err != UNZ_OK) return err;
    std::unique_ptr<uint8_t[]> buf(new uint8_t[kCopyBlock]);
    ZPOS64_T total = 0;
    int write_err = 0;
    for (;;) {
        int n = unzReadCurrentFile(uf, buf.get(), unsigned(kCopyBlock));
        if (n <= 0) break;
        total += ZPOS64_T(n);
        if (digest) MD5UpdateWide(digest, buf.get(), size_t(n));
        if ((write_err = plat::write_all(fd, buf.get(), size_t(n)))) break;
    }
    if (write_err) {  // a full disk, say: reading on would not help
        unzCloseCurrentFile(uf);
        return write_err;
    }
    if (total != info.uncompressed_size) {
        unzCloseCurrentFile(uf);
        return err_zip_read;
    }
    err = unzCloseCurrentFile(uf);
    if (err != UNZ_OK) return err;

    // DOS-made zips carry no Unix mode: keep the default permissions then.
    uint32_t mode = uint32_t(info.external_fa >> 16);
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

// Applies the current AppleDouble entry to the file target.
int apply_resource_fork(void* zip_handle, const std::string& target, const unz_file_info64& info,
                        const std::string& root) {
    auto fail = [&](int err) {
        xer << "Unzip RF failed with error " << err << ". file = " << sErrFile << " line = " << sErrLine
            << ". inFile=" << target << ".\n";
        return err;
    };
    std::vector<uint8_t> rec;
    if (int err = read_whole_entry(zip_handle, info, kMaxAppleDouble, err_zip_bad_fork_header, rec))
        return ERR_MARK(), fail(err);
    if (rec.size() < kAppleDoubleHeader + 2 ||
        memcmp(rec.data(), kAppleDoubleTemplate, kAppleDoubleHeader) != 0)
        return ERR_MARK(), fail(err_zip_bad_fork_header);

    // Every descriptor and every entry it names must lie inside the record.
    int count = int16_t(uint16_t(rec[24] << 8 | rec[25]));
    if (count < 0) count = 0;
    if (26 + 12 * uint64_t(count) > rec.size()) return ERR_MARK(), fail(err_zip_bad_fork_header);
    const uint8_t* finder = nullptr;
    const uint8_t* fork = nullptr;
    size_t fork_len = 0;
    for (int i = 0; i < count; ++i) {
        const uint8_t* d = rec.data() + 26 + 12 * i;
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
    if (finder && (err = set_finder_info(target, finder))) return ERR_MARK(), fail(err);
    if (fork && fork_len > 0 && (err = write_fork(target, fork, fork_len))) return ERR_MARK(), fail(err);
    return 0;
}

}  // namespace

int unzip_resource_fork(void* zip_handle, std::string path, const unz_file_info64& info,
                        const std::string& root) {
    // The target is the path less the "._" that starts its last component.
    size_t slash = path.rfind('/');
    size_t leaf = slash == std::string::npos ? 0 : slash + 1;
    std::string target = path;
    if (path.compare(leaf, 2, "._") == 0) target.erase(leaf, 2);
    return apply_resource_fork(zip_handle, target, info, root);
}

int unzip_symlink(void* zip_handle, std::string path, const unz_file_info64& info, const std::string& root) {
    auto fail = [&](int err) {
        xer << "Zip to symlink failed with error " << err << ". file = " << sErrFile << " line = " << sErrLine
            << ". inFile=" << path << ".\n";
        return err;
    };
    std::vector<uint8_t> data;
    int err = read_whole_entry(zip_handle, info, kMaxLinkText, ENAMETOOLONG, data);
    if (err) return ERR_MARK(), fail(err);
    std::string text(data.begin(), data.end());
    if (!link_text_is_safe(path, text, root)) {
        log_refusal("the link text \"" + text + "\"", path, root);
        return ERR_MARK(), fail(err_zip_unsafe_path);
    }
    std::string temp;
    if (symlink_temp_beside(path, text, &temp) != 0 || commit_temp(temp, path) != 0)
        return ERR_MARK(), fail(-1);
    return 0;
}

int zip_to_file(std::string zip, std::string out_dir, std::string* name_io, int use_name, std::string root) {
    zip = app_path + zip;
    out_dir = app_path + out_dir;
    root = root.empty() ? out_dir : app_path + root;
    std::string forced_name = (use_name && name_io) ? *name_io : std::string();

    auto summary = [&](int err) {
        xer << "Zip to file failed with error err = " << err << ". file = " << sErrFile
            << " line = " << sErrLine << ". zip_file=" << zip << ", out_directory=" << out_dir << ".\n";
        return err;
    };

    std::unique_ptr<void, unz_closer> uf(unzOpen64(zip.c_str()));
    if (!uf) {
        ERR_MARK();
        xer << "OK I am about to report that I could not open a zip file for extraction!\n"
            << "That incoming file is " << zip << "\n"
            << "In c-form, it is " << zip.c_str() << "\n"
            << "The size is " << zip.size() << "\n";
        return summary(err_zip_open);
    }
    if (use_name) {
        unz_global_info64 gi;
        if (!name_io || unzGetGlobalInfo64(uf.get(), &gi) != UNZ_OK || gi.number_entry != 1) {
            ERR_MARK();
            xer << "zip_to_file: a given name needs an archive of exactly one entry.\n";
            return summary(EINVAL);
        }
    }

    bool first = true;
    int err = unzGoToFirstFile(uf.get());
    while (err == UNZ_OK) {
        unz_file_info64 info;
        char raw[kMaxEntryName + 1];
        err = unzGetCurrentFileInfo64(uf.get(), &info, raw, sizeof raw, nullptr, 0, nullptr, 0);
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
        if (starts_with(name, kMacMeta)) {
            // Metadata: only "__MACOSX/.../._name" entries mean something; the rest is skipped.
            size_t slash = name.rfind('/');
            bool apple_double = starts_with(name, "__MACOSX/") && slash != std::string::npos &&
                                name.compare(slash + 1, 2, "._") == 0 && name.size() > slash + 3;
            if (apple_double) {
                if (!archive_name_is_safe(name)) {
                    ERR_MARK();
                    log_refusal("its name", name, root);
                    r = err_zip_unsafe_path;
                } else {
                    r = unzip_resource_fork(uf.get(), out_dir + name.substr(9), info, root);
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
            } else if (!name.empty() && name.back() == '/') {
                r = make_folder(target);
                if (!show_make_dir_err(r)) r = 0;  // made, or there already
            } else if (((info.external_fa >> 16) & 0xA000) == 0xA000) {
                r = unzip_symlink(uf.get(), target, info, root);
            } else {
                r = unzip_plain_file(uf.get(), target, info);
                if (r) ERR_MARK(), unzip_entry_failed(r, target);
            }
        }
        if (r) {
            xer << "UNZIP zip_to_file failed with err=" << r << "\n";
            return summary(r);
        }
        err = unzGoToNextFile(uf.get());
    }
    if (err == UNZ_END_OF_LIST_OF_FILE) return 0;
    ERR_MARK();
    return summary(err);
}

int zip_entry_names(std::string zip, std::vector<std::string>* names) {
    names->clear();
    std::unique_ptr<void, unz_closer> uf(unzOpen64((app_path + zip).c_str()));
    if (!uf) return err_zip_open;
    int err = unzGoToFirstFile(uf.get());
    for (; err == UNZ_OK; err = unzGoToNextFile(uf.get())) {
        unz_file_info64 info;
        char raw[kMaxEntryName + 1];
        if (unzGetCurrentFileInfo64(uf.get(), &info, raw, sizeof raw, nullptr, 0, nullptr, 0) != UNZ_OK)
            return err_zip_read;
        if (info.size_filename > kMaxEntryName) return ENAMETOOLONG;
        names->emplace_back(raw, info.size_filename);
    }
    return err == UNZ_END_OF_LIST_OF_FILE ? 0 : err_zip_read;
}

int zip_install_file(std::string zip, std::string target, const std::string& md5_want, std::string root) {
    zip = app_path + zip;
    target = app_path + target;
    root = app_path + root;
    const std::string leaf = target.substr(target.rfind('/') + 1);
    const std::string fork_name = std::string(kMacMeta) + "/._" + leaf;
    std::unique_ptr<void, unz_closer> uf(unzOpen64(zip.c_str()));
    if (!uf) return ERR_MARK(), err_zip_open;

    // The entries first: the file and at most its AppleDouble record, nothing else.
    int files = 0, others = 0;
    unz64_file_pos file_at{}, fork_at{};
    bool have_fork = false;
    int err = unzGoToFirstFile(uf.get());
    for (; err == UNZ_OK; err = unzGoToNextFile(uf.get())) {
        unz_file_info64 info;
        char raw[kMaxEntryName + 1];
        if ((err = unzGetCurrentFileInfo64(uf.get(), &info, raw, sizeof raw, nullptr, 0, nullptr, 0)) !=
            UNZ_OK)
            break;
        const std::string name(raw, std::min<size_t>(info.size_filename, kMaxEntryName));
        if (info.size_filename <= kMaxEntryName && name == leaf && files++ == 0) {
            unzGetFilePos64(uf.get(), &file_at);
        } else if (info.size_filename <= kMaxEntryName && name == fork_name && !have_fork) {
            unzGetFilePos64(uf.get(), &fork_at);
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
    if ((err = unzGoToFilePos64(uf.get(), &file_at)) != UNZ_OK ||
        (err = unzGetCurrentFileInfo64(uf.get(), &info, nullptr, 0, nullptr, 0, nullptr, 0)) != UNZ_OK)
        return ERR_MARK(), err_zip_read;
    MD5Context digest;
    MD5Init(&digest);
    temp_guard guard;
    if (((info.external_fa >> 16) & 0xA000) == 0xA000) {
        std::vector<uint8_t> text;
        if ((err = read_whole_entry(uf.get(), info, kMaxLinkText, ENAMETOOLONG, text)))
            return ERR_MARK(), err;
        const std::string link(text.begin(), text.end());
        if (!link_text_is_safe(target, link, root)) {
            log_refusal("the link text \"" + link + "\"", target, root);
            return ERR_MARK(), err_zip_unsafe_path;
        }
        MD5UpdateWide(&digest, text.data(), text.size());
        if ((err = symlink_temp_beside(target, link, &guard.path))) return ERR_MARK(), err;
    } else if ((err = unzip_plain_file(uf.get(), target, info, &digest, &guard.path))) {
        return ERR_MARK(), unzip_entry_failed(err, target);
    }
    MD5Final(&digest);
    if (MD5Hex(digest) != md5_want) return ERR_MARK(), err_zip_not_manifest;
    if (have_fork) {
        if ((err = unzGoToFilePos64(uf.get(), &fork_at)) != UNZ_OK ||
            (err = unzGetCurrentFileInfo64(uf.get(), &info, nullptr, 0, nullptr, 0, nullptr, 0)) != UNZ_OK)
            return ERR_MARK(), err_zip_read;
        if ((err = apply_resource_fork(uf.get(), guard.path, info, root))) return err;
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
    if (in.fd < 0 || fstat(in.fd, &st) != 0 || !S_ISREG(st.st_mode)) return ERR_MARK(), err_file_read_open;

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

// Streams the current item into a new file beside target; renamed over it only when whole.
// digest, when given, takes the item's bytes (holes as zeros) as they are written.
int p7z_write_item(archive* a, const std::string& target, archive_entry* e, MD5Context* digest) {
    std::string temp;
    int fd = create_temp_beside(target, &temp);
    if (fd < 0) return -fd;
    plat::fd_closer out{fd};
    temp_guard guard{temp};

    // Write failures keep their errno: a full disc must say so.
    if (archive_entry_filetype(e) == AE_IFLNK) {
        // The 7z reader this replaces wrote a link's text as an ordinary file.
        const char* text = archive_entry_symlink_utf8(e);
        if (!text) text = archive_entry_symlink(e);
        if (text) {
            if (digest) MD5UpdateWide(digest, reinterpret_cast<const uint8_t*>(text), strlen(text));
            if (int err = plat::write_all(fd, reinterpret_cast<const uint8_t*>(text), strlen(text)))
                return err;
        }
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
    int err = commit_temp(temp, target);
    guard.path.clear();
    return err;
}

}  // namespace

int p7z_to_file(std::string archive_path, std::string out_dir, std::string* name_io, int use_name,
                std::string root, std::string* md5_hex) {
    if (root.empty()) root = out_dir;
    locale_scope utf8;
    std::unique_ptr<archive, archive_closer> a(archive_read_new());
    if (!a) return ERR_MARK(), p7z_fail(ENOMEM, "archive=" + archive_path, nullptr);
    archive_read_support_format_7zip(a.get());
    if (archive_read_open_filename(a.get(), archive_path.c_str(), 1 << 16) != ARCHIVE_OK) {
        // An OS error (a missing archive) is reported as such; libarchive says "not a 7z" with
        // EILSEQ and misuse with EINVAL: both are a bad archive.
        int e = archive_errno(a.get());
        int err = (e > 0 && e != EILSEQ && e != EINVAL) ? e : err_zip_open;
        return ERR_MARK(), p7z_fail(err, "archive=" + archive_path, a.get());
    }

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
        if (!err) err = p7z_write_item(a.get(), target, e, md5_hex ? &digest : nullptr);
        if (!err && md5_hex) {
            MD5Final(&digest);
            *md5_hex = MD5Hex(digest);
        }
        if (err)
            return ERR_MARK(), p7z_fail(err, "target=" + target, err == err_zip_read ? a.get() : nullptr);
        if (name_io) *name_io = target;
    }
    return 0;
}
