#include "archive_test_helpers.h"

#include <archive.h>
#include <archive_entry.h>
#include <dirent.h>
#include <gtest/gtest.h>
#include <locale.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zip.h>

#include <cstdlib>
#include <stdexcept>

namespace archive_test {

void make_zip(const std::string& path, const std::vector<zip_item>& items) {
    zipFile zf = zipOpen64(path.c_str(), APPEND_STATUS_CREATE);
    if (!zf) throw std::runtime_error("zipOpen64 " + path);
    for (const zip_item& it : items) {
        zip_fileinfo fi{};
        fi.tmz_date.tm_year = uInt(it.year);
        fi.tmz_date.tm_mon = uInt(it.month);
        fi.tmz_date.tm_mday = uInt(it.day);
        fi.tmz_date.tm_hour = uInt(it.hour);
        fi.tmz_date.tm_min = uInt(it.minute);
        fi.tmz_date.tm_sec = uInt(it.second);
        fi.external_fa = it.external_fa;
        const int method = it.claimed_size ? 0 : it.method;
        int err =
            zipOpenNewFileInZip4_64(zf, it.name.c_str(), &fi, nullptr, 0, nullptr, 0, nullptr, method,
                                    method ? Z_DEFAULT_COMPRESSION : 0, it.claimed_size ? 1 : 0, -MAX_WBITS,
                                    DEF_MEM_LEVEL, Z_DEFAULT_STRATEGY, nullptr, 0, it.made_by, 0, 0);
        if (!err && !it.data.empty()) err = zipWriteInFileInZip(zf, it.data.data(), unsigned(it.data.size()));
        if (!err)
            err = it.claimed_size ? zipCloseFileInZipRaw64(zf, it.claimed_size, 0) : zipCloseFileInZip(zf);
        if (err) throw std::runtime_error("zip entry " + it.name);
    }
    if (zipClose(zf, nullptr) != ZIP_OK) throw std::runtime_error("zipClose " + path);
}

void make_7z(const std::string& path, const std::vector<p7z_item>& items, const char* compression) {
    // Names are converted through the character type: UTF-8 for this thread only.
    static locale_t utf8 = newlocale(LC_CTYPE_MASK, "C.UTF-8", nullptr);
    locale_t old = uselocale(utf8);
    archive* a = archive_write_new();
    archive_write_set_format_7zip(a);
    archive_write_set_format_option(a, "7zip", "compression", compression);
    if (archive_write_open_filename(a, path.c_str()) != ARCHIVE_OK)
        throw std::runtime_error(archive_error_string(a));
    for (const p7z_item& it : items) {
        archive_entry* e = archive_entry_new();
        archive_entry_set_pathname_utf8(e, it.name.c_str());
        archive_entry_set_mtime(e, 1242296430, 0);
        if (it.kind == 'd') {
            archive_entry_set_filetype(e, AE_IFDIR);
            archive_entry_set_perm(e, 0755);
        } else if (it.kind == 'l') {
            archive_entry_set_filetype(e, AE_IFLNK);
            archive_entry_set_perm(e, 0777);
            archive_entry_set_symlink_utf8(e, it.data.c_str());
        } else {
            archive_entry_set_filetype(e, AE_IFREG);
            archive_entry_set_perm(e, 0644);
            archive_entry_set_size(e, la_int64_t(it.data.size()));
        }
        if (archive_write_header(a, e) != ARCHIVE_OK) throw std::runtime_error(archive_error_string(a));
        if (it.kind == 'f' && !it.data.empty() &&
            archive_write_data(a, it.data.data(), it.data.size()) != la_ssize_t(it.data.size()))
            throw std::runtime_error(archive_error_string(a));
        archive_entry_free(e);
    }
    if (archive_write_close(a) != ARCHIVE_OK) throw std::runtime_error(archive_error_string(a));
    archive_write_free(a);
    uselocale(old);
}

namespace {
void put_le(std::string& s, uint64_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) s += char(v >> (8 * i));
}
}  // namespace

std::string zip64_stored(const std::string& name, const std::string& data, uint64_t size, uint64_t packed,
                         int64_t local_at) {
    const uint32_t crc = uint32_t(crc32(0, reinterpret_cast<const Bytef*>(data.data()), uInt(data.size())));
    std::string extra;
    put_le(extra, 1, 2), put_le(extra, 16, 2), put_le(extra, size, 8), put_le(extra, packed, 8);
    std::string central_extra = extra;
    if (local_at >= 0) central_extra[2] = 24, put_le(central_extra, uint64_t(local_at), 8);
    // From the version needed on, local and central headers agree but for the extra field.
    auto common = [&](const std::string& x) {
        std::string h;
        put_le(h, 45, 2), put_le(h, 0, 2), put_le(h, 0, 2);             // version, flags, stored
        put_le(h, 0x5000, 2), put_le(h, 0x3AAE, 2), put_le(h, crc, 4);  // time, date, checksum
        put_le(h, 0xFFFFFFFFu, 4), put_le(h, 0xFFFFFFFFu, 4);           // both sizes: see Zip64
        put_le(h, name.size(), 2), put_le(h, x.size(), 2);
        return h;
    };
    std::string z;
    put_le(z, 0x04034b50, 4);
    z += common(extra) + name + extra + data;
    const size_t central_at = z.size();
    put_le(z, 0x02014b50, 4), put_le(z, 0x031E, 2);
    z += common(central_extra);
    put_le(z, 0, 2), put_le(z, 0, 2), put_le(z, 0, 2), put_le(z, 0x81A40000u, 4);
    put_le(z, local_at >= 0 ? 0xFFFFFFFFu : 0, 4);
    z += name + central_extra;
    const size_t central_size = z.size() - central_at;
    put_le(z, 0x06054b50, 4), put_le(z, 0, 4), put_le(z, 1, 2), put_le(z, 1, 2);
    put_le(z, central_size, 4), put_le(z, central_at, 4), put_le(z, 0, 2);
    return z;
}

std::string apple_double(const std::vector<uint32_t>& d, size_t total, int count) {
    std::string r(std::max<size_t>(total, 26 + 4 * d.size()), '\0');
    const unsigned char head[] = {0x00, 0x05, 0x16, 0x07, 0x00, 0x02, 0x00, 0x00};
    r.replace(0, sizeof head, reinterpret_cast<const char*>(head), sizeof head);
    int n = count >= 0 ? count : int(d.size() / 3);
    r[24] = char(n >> 8), r[25] = char(n);
    for (size_t i = 0; i < d.size(); ++i) {
        for (int b = 0; b < 4; ++b) r[26 + 4 * i + b] = char(d[i] >> (24 - 8 * b));
    }
    return r;
}

std::string fixture_payload(size_t size) {
    static const std::string text = "mov eax, [ebx+4]; push ebp; call subroutine; jmp label; ret; ";
    std::string out;
    out.reserve(size + 5);
    for (uint64_t i = 0; out.size() < size; ++i) {
        if (i % 9 == 0) {
            uint32_t rel = uint32_t((i * 2654435761ULL) & 0xFFFF);
            out += {char(0xE8), char(rel & 0xFF), char(rel >> 8), 0, 0};
        } else {
            out += text[i % text.size()];
        }
    }
    out.resize(size);
    return out;
}

namespace {
void walk(const std::string& base, const std::string& rel, const std::string& skip,
          std::map<std::string, std::string>& out) {
    std::string path = base + rel;
    struct stat st;
    if (lstat(path.c_str(), &st) != 0) return;
    if (S_ISLNK(st.st_mode)) {
        char buf[4096];
        ssize_t n = readlink(path.c_str(), buf, sizeof buf);
        out[rel] = "->" + std::string(buf, n > 0 ? size_t(n) : 0);
    } else if (S_ISDIR(st.st_mode)) {
        out[rel + "/"] = "/";
        if (DIR* d = opendir(path.c_str())) {
            while (dirent* e = readdir(d)) {
                std::string n = e->d_name;
                if (n == "." || n == ".." || rel + "/" + n == skip) continue;
                walk(base, rel + "/" + n, skip, out);
            }
            closedir(d);
        }
    } else {
        out[rel] = read_file(path);
    }
}
}  // namespace

sandbox::sandbox() {
    std::string tmpl = ::testing::TempDir() + "volatra_arch_XXXXXX";
    std::vector<char> buf(tmpl.begin(), tmpl.end());
    buf.push_back('\0');
    if (!mkdtemp(buf.data())) throw std::runtime_error("mkdtemp");
    dir = buf.data();
    dest = dir + "/dest/";
    outside = dir + "/outside/";
    mkdir(dest.c_str(), 0755);
    mkdir(outside.c_str(), 0755);
    write_file(outside + "canary.txt", "keep me");
}

sandbox::~sandbox() { remove_tree(dir); }

std::map<std::string, std::string> sandbox::outside_state() const {
    std::map<std::string, std::string> out;
    walk(dir, "", "/dest", out);
    return out;
}

}  // namespace archive_test
