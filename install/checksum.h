// The checksum pass: MD5 of every wanted file of the copy in dest_dir_path, on a worker pool,
// handed out a few histories at a time by a step the wizard calls once per frame.
#pragma once

#include <string>

#include "core/worker_pool.h"

// A batch of consecutive histories [first, end) of sim_info.
class checksum_task : public UTL_work_task {
public:
    checksum_task(int first, int end) : first(first), end(end) {}
    void do_it() override;
    int check_error(std::string& msg) override;

    int first;
    int end;
};

// The digest the tasks take of each file (calc_file_md5); a seam for tests.
extern int (*checksum_file_md5)(const std::string& path, std::string& hex);

// The pass's pool; null while no pass runs.
extern UTL_worker_threads* checksum_workers;

// One step: 0 while work remains, 1 when the pass is complete. Start with cursor 0.
int checksum_directory(int& cursor, float& progress);
// Abandons a pass: waits for the tasks already queued and deletes them and the pool.
void checksum_directory_kill();
