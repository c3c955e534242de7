// Crash-safe file replacement: the system replaces the file; here its failures become one
// message, and tests make a step of their choice fail.
#include "platform/file.h"

#include <cstring>

namespace {

FileFault fault{FileStep::NONE, 0};

const char* step_text(FileStep step) {
    switch (step) {
        case FileStep::OPEN:
            return "cannot create";
        case FileStep::WRITE:
            return "cannot write";
        case FileStep::FLUSH:
            return "cannot flush";
        case FileStep::SYNC:
            return "cannot sync";
        case FileStep::RENAME:
            return "cannot rename over";
        case FileStep::NONE:
            break;
    }
    return "cannot replace";
}

}  // namespace

bool file_replace(const char* path, const void* data, size_t size, std::string* error) {
    FileFailure failure{FileStep::NONE, path, 0, false};
    if (system_replace_file(path, data, size, fault, &failure)) return true;
    if (error && failure.write_protected) {
        *error = failure.path + " is write-protected";
    } else if (error) {
        *error = std::string(step_text(failure.step)) + " " + failure.path + ": " +
                 strerror(failure.error_number);
    }
    return false;
}

void file_inject_fault(FileStep step, int error_number) {
    fault = FileFault{step, error_number};
}
