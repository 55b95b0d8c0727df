// Files and archives layer (files/).
// Zip and 7z archives: extraction of whole archives into a folder (folders, Unix modes, dates,
// symbolic links, resource forks in AppleDouble entries) and packing of one file into a zip.
//
// Extraction never writes outside `root` (the install folder; by default `out_dir`): unsafe entry
// names and link texts are refused with err_zip_unsafe_path, and a file is replaced only once
// its new content was read whole and checked.
#pragma once

#include <unzip.h>

#include <cstdint>
#include <string>
#include <vector>

#include "files/safe_extract.h"

// Extracts every entry of the zip app_path + zip into app_path + out_dir (ending in '/').
// name_io, when given, receives the first entry's name; use_name writes the only entry of the
// archive under the name name_io held on entry. max_bytes, when not -1, bounds the bytes of all
// its entries together (links' texts and resource forks too): an archive whose entries would pass
// it is EFBIG before anything is written. A call that fails leaves out_dir as it found it: the
// files it replaced are put back, what it made is removed. 0 or an error number.
// Entries whose sizes or offsets sit in a Zip64 extra field are read as any other.
int zip_to_file(std::string zip, std::string out_dir, std::string* name_io = nullptr, int use_name = 0,
                std::string root = "", int64_t max_bytes = -1);
// The names of every entry of the zip app_path + zip, in archive order, without extracting
// anything. 0 or an error number.
int zip_entry_names(std::string zip, std::vector<std::string>* names);
// Installs the one file of a zip: the archive must hold target's own name (and at most its
// AppleDouble record under "__MACOSX/._" + that name) and nothing else. The file is written
// beside target (below root, as zip_to_file checks), digested as it is written, and renamed over
// target only when its MD5 (of a link: of its text) is md5_want; otherwise nothing is left and
// target keeps what it held: err_zip_not_manifest for other entries or another digest. A file of
// more than max_bytes (when not -1) is EFBIG, and nothing of it is left. A link's text may climb
// at most max_climb folders (link_text_check gives the error). A plain file takes mode, when not 0,
// instead of the archive's, before it is renamed into place; a link keeps its own.
int zip_install_file(std::string zip, std::string target, const std::string& md5_want, std::string root,
                     int64_t max_bytes = -1, size_t max_climb = SIZE_MAX, mode_t mode = 0);
// A zip open for reading, as the two calls below take it from zip_to_file: the current entry is
// the one they read (its info with the sizes of a Zip64 extra field in place).
struct zip_archive;
// Applies the current AppleDouble entry to path less its last "._" prefix, through journal.
int unzip_resource_fork(zip_archive& zip, std::string path, const unz_file_info64& info,
                        const std::string& root, extraction_journal& journal);
// Makes path a symbolic link holding the current entry's data, put in place through journal.
int unzip_symlink(zip_archive& zip, std::string path, const unz_file_info64& info, const std::string& root,
                  extraction_journal& journal);

// Writes a new zip app_path + zip holding the file or link app_path + src under its last path
// component, with an AppleDouble entry when the file has a resource fork. 0 or an error number.
// md5_hex, when given, receives the digest of what was packed (as calc_file_md5 gives it: of the
// file's data, of a link's text), taken in the same read.
int file_to_zip(std::string src, std::string zip, std::string* md5_hex = nullptr);

// Extracts every file of the 7z archive into out_dir (no prefix; folders must exist). name_io,
// when given, receives each written file's path; use_name writes each file to out_dir + *name_io.
// md5_hex, when given, receives the digest of the last file written, taken as it was written.
// max_bytes, when not -1, bounds the bytes of all its files together, a link's text counting as
// its size: an archive whose entries say they hold more is EFBIG before anything is written. A link
// text longer than a zip's link may be is ENAMETOOLONG. A call that fails leaves out_dir as it
// found it, as zip_to_file does.
int p7z_to_file(std::string archive, std::string out_dir, std::string* name_io = nullptr, int use_name = 0,
                std::string root = "", std::string* md5_hex = nullptr, int64_t max_bytes = -1);
