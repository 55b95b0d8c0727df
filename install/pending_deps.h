// Temporary: declarations of the neighbours' interfaces until they land on main.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/strings.h"
#include "core/translate.h"
#include "core/wx.h"
#include "core/xtim.h"
#include "files/errors.h"
#include "files/io_utils.h"
#include "files/xmap.h"
#include "shell/alert.h"
#include "wizard/wizard_globals.h"

// core: threads and worker pool
class UTL_work_task {
public:
    virtual ~UTL_work_task() {}
    virtual void do_it() = 0;
    virtual int check_error(std::string& msg) = 0;
};
class UTL_worker_threads {
public:
    UTL_worker_threads(int thread_count, int max_outstanding);
    ~UTL_worker_threads();
    void enqueue_task(UTL_work_task* task);
    bool has_free_slot();
    int count_total_tasks();
    UTL_work_task* check_retired_tasks();
    UTL_work_task* wait_retired_tasks();

private:
    void* impl_;
};
int UTL_count_processors();


// files
int calc_file_md5(const std::string& path, std::string& hex);
