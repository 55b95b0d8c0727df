// The web variants' manifest: the server list from the maker's host, the pick of an update
// server, and the release's zipped manifest from that server, one step per frame.
#pragma once

#include <string>

#include "simfeatures/about_box.h"

// The host that serves "/serverlist9.txt" (the about box asks it too).
inline constexpr const char* server_list_host = kServerListHost;
// A failed fetch of the list or the manifest is tried again after this many seconds.
inline constexpr float server_retry_pause = 1.0f;
// Fetches that have failed for this many seconds without one success make the search screens
// say that the server cannot be reached; the fetch goes on trying.
inline constexpr float server_unreachable_after = 10.0f;

// One step of the fetch, every frame of a search screen: the list while server_count is -1,
// then the manifest while dir_state is 0, then read_directory while it is 1.
void UTL_download_directory();

// A search screen was entered: a fetch under way ends, the pause after a failed one and what
// earlier fetches met are forgotten, so the search starts afresh.
void new_server_search();

// The server a fetch could not reach and what went wrong, once fetches of the list or the
// manifest have failed for server_unreachable_after seconds without one success. False while
// nothing failed for that long.
bool server_unreachable(std::string* host, std::string* reason);

// Reads a server list file into the server tables and install_name (the FINAL or, with
// get_beta, the BETA release): the number of servers kept (0 to 10), or -1 when the file is
// missing or its header is not version 820 of type "SERVERS". Records the HTTP client could not
// use (an empty host, a host ending in '/', a path not starting with '/') are dropped and logged.
int read_server_list(const std::string& path);

// The first pick, biased to the top of the list: r (a rand() value) scaled to u in 0..1 in
// single precision, index u^1.5 * count, within 0 .. count - 1.
int biased_server_index(int r, int count);
// The pick after a failed manifest download: any server, the failed one included.
int uniform_server_index(int r, int count);
