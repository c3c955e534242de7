// The error output file. A message is formatted into a small fixed buffer; a longer one is cut
// at the buffer's end rather than written past it.
#include "gfx/log.h"

#include <cstdarg>

FILE* log_file = nullptr;

int log_open(const char* name) {
    if (!name) return 0;
    FILE* f = std::fopen(name, "w");
    if (!f) return 0;
    log_close();
    log_file = f;
    std::fprintf(log_file, "\nOpening Error Output File (%s):\n", name);
    return 1;
}

int log_close() {
    if (!log_file) return 0;
    std::fputs("\nClosing Error Output File.", log_file);
    std::fclose(log_file);
    log_file = nullptr;
    return 1;
}

int log_printf(const char* format, ...) {
    if (!format || !log_file) return 0;
    char buffer[80];
    va_list args;
    va_start(args, format);
    std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    // Written as text, so a percent sign in the formatted message stays as it is.
    std::fputs(buffer, log_file);
    return 1;
}
