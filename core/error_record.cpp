// The error record carried across threads (core runtime layer).
#include "core/error_record.h"

#include <utility>

#include "core/alert.h"
#include "core/globals.h"
#include "core/thread_layer.h"

exce_class::exce_class() : file("no exception"), line(0), severity(2) {}

exce_class::exce_class(std::string l1, std::string l2, std::string l3, std::string l4, const char* f, int ln,
                       int sev)
    : line1(std::move(l1)),
      line2(std::move(l2)),
      line3(std::move(l3)),
      line4(std::move(l4)),
      file(f),
      line(ln),
      severity(sev) {}

exce_class::~exce_class() {}

void exce_class::Report() {
    // Off the main thread the record goes to the main thread: shutting the program down from
    // here would join this very thread and tear the window down behind the main thread's back.
    if (THREAD_is_inited() && !THREAD_is_main_thread()) {
        xer << "EXCEPTION REPORTED FROM THREAD!!  File: " << file << ", line " << line << ".\n"
            << line1 << "\n"
            << line2 << "\n"
            << line3 << "\n"
            << line4 << "\n";
        xer.flush();
        THREAD_send_exception(*this);
        return;
    }
    __MACIBM_alert(0, line1, line2, line3, line4, severity, file, line);
}

void exce_class::MakeFatal() { severity = 2; }

void exce_class::LogAndContinue() {
    xer << "Logging " << (severity == 2 ? "fatal" : "non-fatal") << " Exception thrown from file: " << file
        << ", line " << line << ".\n"
        << line1 << "\n"
        << line2 << "\n"
        << line3 << "\n"
        << line4 << "\n";
    xer.flush();
}
