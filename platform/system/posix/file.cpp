// Crash-safe file replacement: a temporary file in the same directory, flushed and synced,
// renamed over the old one (a rename within one file system is atomic).
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/system/system.h"

namespace {

FileFault fault{FileStep::NONE, 0};

bool injected(FileStep step) {
    if (fault.step != step) return false;
    errno = fault.error_number;
    return true;
}

bool report(FileStep step, const std::string& path, int error_number, FileFailure* failure) {
    *failure = FileFailure{step, path, error_number, false};
    return false;
}

// The file that is really replaced: a symbolic link stays a link, its target gets the data.
bool resolve_target(const char* path, std::string* target, struct stat* st, bool* exists) {
    *target = path;
    *exists = lstat(path, st) == 0;
    if (*exists && S_ISLNK(st->st_mode)) {
        char resolved[PATH_MAX];
        if (!realpath(path, resolved)) return false;
        *target = resolved;
        *exists = stat(resolved, st) == 0;
    }
    if (*exists && S_ISDIR(st->st_mode)) {
        errno = EISDIR;
        return false;
    }
    if (*exists && access(target->c_str(), W_OK) != 0) return false;
    return true;
}

// The new file takes the old one's place with its mode, and its owner and group as far as this
// process may give them: root may; others may give the group where they are in it. The owner
// goes first, as a change of owner clears the set-id bits of the mode.
void keep_owner_and_mode(int fd, const struct stat& st) {
    if (fchown(fd, st.st_uid, st.st_gid) != 0 && fchown(fd, uid_t(-1), st.st_gid) != 0) {
        // Not this process's to give: the file is its own, as any file it makes.
    }
    fchmod(fd, st.st_mode & 07777);
}

bool write_all(FILE* file, const void* data, size_t size) {
    if (injected(FileStep::WRITE)) {
        int saved = errno;
        fwrite(data, 1, size / 2, file);
        fflush(file);
        errno = saved;
        return false;
    }
    return fwrite(data, 1, size, file) == size;
}

// Writes, flushes and syncs the temporary file; on failure the step and errno are set.
bool fill_temporary(FILE* file, const void* data, size_t size, FileStep* failed) {
    *failed = FileStep::WRITE;
    if (!write_all(file, data, size)) return false;
    *failed = FileStep::FLUSH;
    if (injected(FileStep::FLUSH) || fflush(file) != 0) return false;
    *failed = FileStep::SYNC;
    return !injected(FileStep::SYNC) && fsync(fileno(file)) == 0;
}

// Makes the rename itself durable; a failure here loses nothing, so it is not reported.
void sync_directory(const std::string& target) {
    size_t slash = target.rfind('/');
    std::string directory = slash == std::string::npos ? "." : target.substr(0, slash + 1);
    int fd = open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    fsync(fd);
    close(fd);
}

}  // namespace

std::FILE* system_create_new_file(const char* path) {
    return fopen(path, "wbx");
}

bool system_replace_file(const char* path, const void* data, size_t size, FileFault injected_fault,
                         FileFailure* failure) {
    fault = injected_fault;
    std::string target;
    struct stat st;
    bool exists = false;
    if (!resolve_target(path, &target, &st, &exists)) {
        return report(FileStep::NONE, path, errno, failure);
    }
    // The owner took the write bit away to keep the file as it is; root must respect that too.
    if (exists && !(st.st_mode & S_IWUSR)) {
        *failure = FileFailure{FileStep::NONE, path, 0, true};
        return false;
    }
    std::string temporary = target + ".tmp" + std::to_string(getpid());
    int fd = -1;
    if (!injected(FileStep::OPEN)) {
        fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0666);
    }
    if (fd < 0) return report(FileStep::OPEN, temporary, errno, failure);
    if (exists) keep_owner_and_mode(fd, st);
    FILE* file = fdopen(fd, "wb");
    if (!file) {
        int saved = errno;
        close(fd);
        unlink(temporary.c_str());
        return report(FileStep::OPEN, temporary, saved, failure);
    }
    FileStep failed = FileStep::NONE;
    bool ok = fill_temporary(file, data, size, &failed);
    int saved = errno;
    if (fclose(file) != 0 && ok) {
        ok = false;
        failed = FileStep::FLUSH;
        saved = errno;
    }
    if (ok && (injected(FileStep::RENAME) || rename(temporary.c_str(), target.c_str()) != 0)) {
        ok = false;
        failed = FileStep::RENAME;
        saved = errno;
    }
    if (!ok) {
        unlink(temporary.c_str());
        return report(failed, failed == FileStep::RENAME ? target : temporary, saved, failure);
    }
    sync_directory(target);
    return true;
}
