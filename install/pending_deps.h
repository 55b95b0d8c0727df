// Temporary: declarations of the neighbours' interfaces until they land on main.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/wx.h"
#include "shell/alert.h"

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

// core: time, strings
class xtim_class {
public:
    static unsigned long long microsecs();
};
extern xtim_class xtim;
int str_to_int(const std::string& text);
std::string UTL_translate_string(const std::string& text);

// files
class xmap_class {
public:
    explicit xmap_class(const std::string& rel_path);
    ~xmap_class();
    int check_file(int type, const int* versions, const char* magic, std::string* header_text);
    void TXT_str_scan_eoln(std::string* out);
    const unsigned char* base = nullptr;
    const unsigned char* cur = nullptr;
    const unsigned char* end = nullptr;

private:
    std::string data_;
};
int calc_file_md5(const std::string& path, std::string& hex);
bool dir_exists(std::string path);
int make_folder(const std::string& path);
int delete_file(std::string path);
bool is_sim_link(const char* path, std::string* target);
int rename_file(const std::string& dir, const std::string& old_name, const std::string& new_name);
int opensave_getitems(const std::string& dir, int mode, std::vector<std::string>& names,
                      std::vector<int>& types);
int show_make_dir_err(int err);
std::string error_str(int code);

// wizard
struct stg_struct {
    int32_t dir_state;
    int32_t platform;
    int32_t log_actions;
    int32_t new_format_flag;
    int32_t download_failed;
    int32_t extract_error;
    int32_t server_count;
    int32_t server_index;
    int32_t tile_selected[36][18];
    int32_t tile_available[36][18];
    int32_t current_action;
    float file_fraction;
    int32_t stream_count;
    int32_t get_beta;
    float kb_to_download;
    float kb_to_install;
    int32_t num_to_add;
    int32_t num_to_remove;
    int32_t has_scenery;
    int32_t has_sim;
};
extern stg_struct stg;
extern std::string dest_dir_path;
