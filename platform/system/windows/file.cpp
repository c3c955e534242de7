// Crash-safe file replacement on Windows: a temporary file in the same folder, written and
// flushed to the disk, then moved over the old one with MoveFileEx, which replaces it whole.
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>

#include "platform/system/system.h"
#include "platform/system/windows/text.h"

namespace {

FileFault fault{FileStep::NONE, 0};

// The errno value that says the same as a Windows error, for the one message every system gives.
int errno_of(DWORD error) {
    switch (error) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_NAME:
            return ENOENT;
        case ERROR_ACCESS_DENIED:
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
        case ERROR_WRITE_PROTECT:
            return EACCES;
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL:
            return ENOSPC;
        case ERROR_FILENAME_EXCED_RANGE:
            return ENAMETOOLONG;
        default:
            return EIO;
    }
}

// Whether the step goes ahead: false, with the Windows error set, when a test made it fail.
bool proceed(FileStep step) {
    if (fault.step != step) return true;
    SetLastError(fault.error_number == ENOSPC ? ERROR_DISK_FULL : ERROR_ACCESS_DENIED);
    return false;
}

bool report(FileStep step, const std::string& path, int error_number, FileFailure* failure) {
    *failure = FileFailure{step, path, error_number, false};
    return false;
}

// A read-only file is the owner's write bit taken away: kept as it is.
bool report_protected(const std::string& path, FileFailure* failure) {
    *failure = FileFailure{FileStep::NONE, path, 0, true};
    return false;
}

// The failure of the step that just failed; the temporary file is removed.
bool fail(FileStep step, const std::string& path, const std::wstring& temporary,
          FileFailure* failure) {
    const int error_number = fault.step == step ? fault.error_number : errno_of(GetLastError());
    DeleteFileW(temporary.c_str());
    return report(step, path, error_number, failure);
}

// The file that is really replaced: a symbolic link stays a link, its target gets the data.
// A folder or a read-only file is not replaced.
bool resolve_target(const char* path, std::wstring* target, int* error_number) {
    namespace fs = std::filesystem;
    std::error_code error;
    fs::path file = fs::u8path(path);
    if (fs::is_symlink(file, error)) file = fs::weakly_canonical(file, error);
    *target = file.wstring();
    const DWORD attributes = GetFileAttributesW(target->c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return true;
    *error_number = attributes & FILE_ATTRIBUTE_DIRECTORY  ? EISDIR
                    : attributes & FILE_ATTRIBUTE_READONLY ? EACCES
                                                           : 0;
    return *error_number == 0;
}

// Writes the data (half of it when a test makes the write fail) and flushes it to the disk.
bool fill(HANDLE file, const void* data, size_t size, FileStep* failed) {
    const bool write_fails = !proceed(FileStep::WRITE);
    const DWORD length = DWORD(write_fails ? size / 2 : size);
    DWORD written = 0;
    *failed = FileStep::WRITE;
    if (!WriteFile(file, data, length, &written, nullptr) || write_fails) return false;
    if (written != length) {
        SetLastError(ERROR_DISK_FULL);
        return false;
    }
    *failed = FileStep::FLUSH;
    if (!proceed(FileStep::FLUSH)) return false;
    *failed = FileStep::SYNC;
    return proceed(FileStep::SYNC) && FlushFileBuffers(file);
}

}  // namespace

// The C runtime's fopen knows no "x": an exclusive create of its own.
std::FILE* system_create_new_file(const char* path) {
    const int fd = _wopen(wide_of(path).c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY,
                          _S_IREAD | _S_IWRITE);
    if (fd < 0) return nullptr;
    std::FILE* file = _fdopen(fd, "wb");
    if (!file) _close(fd);
    return file;
}

bool system_replace_file(const char* path, const void* data, size_t size, FileFault injected,
                         FileFailure* failure) {
    fault = injected;
    std::wstring target;
    int error_number = 0;
    if (!resolve_target(path, &target, &error_number))
        return error_number == EACCES ? report_protected(path, failure)
                                      : report(FileStep::NONE, path, error_number, failure);
    const std::wstring temporary = target + L".tmp" + std::to_wstring(GetCurrentProcessId());
    const std::string temporary_name = utf8_of(temporary);
    HANDLE file = proceed(FileStep::OPEN)
                      ? CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr)
                      : INVALID_HANDLE_VALUE;
    if (file == INVALID_HANDLE_VALUE)
        return report(FileStep::OPEN, temporary_name,
                      fault.step == FileStep::OPEN ? fault.error_number : errno_of(GetLastError()),
                      failure);
    FileStep failed = FileStep::NONE;
    const bool filled = fill(file, data, size, &failed);
    const DWORD fill_error = GetLastError();
    CloseHandle(file);
    if (!filled) {
        SetLastError(fill_error);
        return fail(failed, temporary_name, temporary, failure);
    }
    if (!proceed(FileStep::RENAME) ||
        !MoveFileExW(temporary.c_str(), target.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return fail(FileStep::RENAME, utf8_of(target), temporary, failure);
    return true;
}
