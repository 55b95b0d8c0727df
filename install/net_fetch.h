// The network fetch of the web variants: up to four download streams over HTTP slots 2 to 5
// bring the copy at dest_dir_path up to the manifest in sim_info, one step per frame.
#pragma once

#include <cstdint>
#include <string>

// The most a download may bring, so that a server that never stops cannot fill the disk: fixed
// caps for the server list and the zipped manifest; for an archive, the size the manifest gives
// it (whole KB of 1000 bytes, cut down) and the part of a KB the cut dropped.
inline constexpr int64_t server_list_max_bytes = int64_t(1) << 20;
inline constexpr int64_t manifest_zip_max_bytes = int64_t(64) << 20;
int64_t archive_max_bytes(float size_a_kb);
// The most a download may write when unpacked, so that a small archive cannot fill the disk: the
// manifest, text of short lines, far below this fixed cap; the file of a manifest entry, its
// unpacked size as archive_max_bytes reads a size.
inline constexpr int64_t manifest_max_bytes = int64_t(256) << 20;
int64_t unpacked_max_bytes(float size_b_kb);
// The most the download of a manifest entry may bring: its archive's size, or what a zip of its
// unpacked file can take at worst when that is more. The web serves global scenery, a .7z on the
// discs (the size the manifest gives), as a .zip of the file.
int64_t download_max_bytes(float size_a_kb, float size_b_kb);

struct http_failure;
// What went wrong with a failed transfer, in words for the user.
std::string download_failure_text(const http_failure& f);

// One step: 1 when every stream is past the end of sim_info and every downloaded archive is
// unpacked (emptied folders then pruned), else the extract_error word of stg (0 while all is
// well). A file to delete is walked past: the preparation removed those in the way of the
// release's files (clear_and_make_dirs), and the rest go at the end of a fetch that brought every
// file, so a fetch that stops takes nothing from the copy. A file whose place holds the user's
// items (place_is_taken, install_run.h) is left out, shown once per item and counted in
// place_errors of stg: no server can mend it, so the fetch goes on and its removals still run.
// Downloaded archives are unpacked and checked on a worker pool while the streams go on.
// A failed transfer is tried again a second later from another server. A server that sent a file
// larger than download_max_bytes is not asked for it again; when every server of the list has,
// the fetch ends as a failed one (extract_error and download_failed set).
int grab_files();
// Abandons the unpacking of a fetch: waits for the archives already downloaded and queued
// (those that prove right are installed), reporting nothing.
void grab_files_kill();

// Expands archive into dest (install_from_archive: only that file, with the digest sig_want and
// at most max_bytes when not -1; the old file stays until the new one proved right) and deletes
// archive. Returns the expansion's error code; on an error, also the report (report_extraction).
int extract_and_delete_file(std::string archive, std::string dest, const std::string& sig_want,
                            int64_t max_bytes = -1);
// The first place of the run that held the user's items, for the finish screen; every one is logged.
extern std::string first_taken_place;
// A run starts with no files left out: place_errors, first_taken_place and the places shown.
// Its alerts say that the update, or the installation, goes on with the other files.
enum class fetch_run { update, installation };
void start_place_reports(fetch_run run);
// The web road's preparation, once its folders are made: each item in the way of the run's files
// (items_in_the_way) is one alert, and the files it keeps out are left out (neither downloaded nor
// unpacked), logged and counted in place_errors. Returns how many were left out.
int leave_out_what_is_in_the_way();

// Its two halves: the work, which any thread may do, and the report on the main thread: on an
// error a message and extract_error, or, where the place is taken, place_errors and a message
// naming the place (once per place); then the log lines. The report names the archive as the
// stream downloaded it, whatever name the work found it under.
int unpack_downloaded(const std::string& archive, const std::string& dest, const std::string& sig_want,
                      int64_t max_bytes = -1);
void report_extraction(int err, const std::string& archive, const std::string& dest);

// The servers hold a format newer than this installer reads: message, the download page in
// the browser, and the program ends after this frame.
void new_format(std::string text);

// The download file of stream 0..3 in the temporary folder: temp_path + stream + ".zip".
// A stream that is reset or fails removes this file, never anything inside the copy.
std::string grab_stream_file(int stream);
