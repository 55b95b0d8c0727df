// Core runtime layer (core/).
// The error record that carries an error, with its source location, across threads.
#pragma once

#include <string>

class exce_class {
public:
    // Four empty lines, file "no exception", line 0, fatal.
    exce_class();
    exce_class(std::string line1, std::string line2, std::string line3, std::string line4, const char* file,
               int line, int severity);
    exce_class(const exce_class&) = default;
    exce_class& operator=(const exce_class&) = default;
    virtual ~exce_class();

    // On the main thread (or without the thread layer) shows the record as an alert of its
    // severity; on any other thread hands it to the main thread.
    void Report();
    void MakeFatal();
    // Writes the record to the log and returns.
    void LogAndContinue();

    std::string line1;
    std::string line2;
    std::string line3;
    std::string line4;
    const char* file;  // a string literal, not owned
    int line;
    int severity;  // 1 warning, 2 fatal
};
