#include "support/lazy_mempool.h"

UTL_stat g_memory_used(&UTL_lazy_mempool::global_total, "memory/lazy_pools", stat_memory);
