// Running a program and changing the environment on POSIX: fork and exec, setenv.
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "tools/process/process.h"

extern char** environ;

namespace {

// This process's environment with the run's changes: built before the fork, since the child of
// a process with threads may only make async-signal-safe calls.
std::vector<std::string> environment_of(const ProcessRun& run) {
    std::vector<std::string> env;
    for (char** variable = environ; *variable; ++variable) env.push_back(*variable);
    for (const std::string& change : run.env) {
        const std::string name = change.substr(0, change.find('='));
        std::erase_if(env, [&](const std::string& v) { return v.starts_with(name + "="); });
        if (change.size() > name.size()) env.push_back(change);
    }
    return env;
}

std::vector<char*> pointers(const std::vector<std::string>& strings) {
    std::vector<char*> list;
    for (const std::string& s : strings) list.push_back(const_cast<char*>(s.c_str()));
    list.push_back(nullptr);
    return list;
}

// In the child: standard input empty, output and error to their files (discarded when none).
bool redirect(const char* path, int fd, int flags) {
    const int opened = open(*path ? path : "/dev/null", flags | O_CLOEXEC, 0666);
    return opened >= 0 && dup2(opened, fd) >= 0;
}

[[noreturn]] void become(const ProcessRun& run, char** argv, char** envp) {
    const int to_file = O_WRONLY | O_CREAT | O_TRUNC;
    if ((!run.dir.empty() && chdir(run.dir.c_str()) != 0) ||
        !redirect("", STDIN_FILENO, O_RDONLY) ||
        !redirect(run.out.c_str(), STDOUT_FILENO, to_file) ||
        !redirect(run.err.c_str(), STDERR_FILENO, to_file))
        _exit(126);
    // The alarm outlives the exec, so a hung program ends even if its parent is killed first.
    alarm(run.limit_seconds);
    execve(argv[0], argv, envp);
    _exit(127);
}

}  // namespace

int process_run(const ProcessRun& run) {
    if (run.args.empty()) return -1;
    const std::vector<std::string> env = environment_of(run);
    std::vector<char*> argv = pointers(run.args), envp = pointers(env);
    fflush(nullptr);
    const pid_t child = fork();
    if (child == 0) become(run, argv.data(), envp.data());
    int raw = 0;
    if (child < 0 || waitpid(child, &raw, 0) != child) return -1;
    return WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
}

int process_id() {
    return int(getpid());
}

int process_user_id() {
    return int(geteuid());
}

bool process_set_owner(const std::string& path, int user, int group) {
    return chown(path.c_str(), uid_t(user), gid_t(group)) == 0;
}

void process_set_env(const char* name, const char* value, bool replace) {
    setenv(name, value, replace);
}

void process_unset_env(const char* name) {
    unsetenv(name);
}

UserFolderVariables process_user_folder_variables() {
    return {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "gnatrix"};
}

UserDataFallback process_user_data_fallback(const std::string& home) {
    return {"-u XDG_DATA_HOME HOME=" + home, home + "/.local/share/gnatrix"};
}
