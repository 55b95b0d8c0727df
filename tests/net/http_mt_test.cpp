// Slots are meant for the main thread, but the receive area must not be shared between threads:
// two threads pumping their own slots each get their own files intact.
#include <gtest/gtest.h>

#include <random>
#include <thread>

#include "common/test_helpers.h"
#include "core/time_keeper.h"
#include "net/http_client.h"
#include "net/test_http_server.h"

TEST(HttpThreads, TwoThreadsOnTheirOwnSlotsGetIntactFiles) {
    test_http_server server;
    temp_folder work;
    std::string bodies[4];
    std::mt19937 gen(5);
    for (int i = 0; i < 4; ++i) {
        bodies[i].resize(400000 + 1000 * i);
        for (char& c : bodies[i]) c = static_cast<char>(gen());
        server.put_file("mt.example.invalid", "/f" + std::to_string(i), bodies[i]);
    }
    http.proxy_host = "127.0.0.1";
    http.proxy_port = server.port();
    xtim.real_time = 0;
    int result[4] = {};
    auto worker = [&](int first) {
        for (int i = first; i < first + 2; ++i)
            result[i] =
                pump_slot(2 + i, "mt.example.invalid", "/f" + std::to_string(i), work / std::to_string(i));
    };
    std::thread a(worker, 0), b(worker, 2);
    a.join();
    b.join();
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(result[i], 1) << i;
        EXPECT_TRUE(read_file(work / std::to_string(i)) == bodies[i]) << i;
    }
}
