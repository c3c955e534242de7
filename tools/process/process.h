// Running a program as a player would, and changing this process's environment: what the tools
// and tests that run the built game need of the system, with one implementation per system
// beside this header.
#pragma once
#include <string>
#include <vector>

// A program to run: its arguments (the program first), the folder it runs in (this process's
// own when empty), the files its standard output and error go to (discarded when empty; its
// standard input is empty),
// and changes to the environment it inherits: "NAME=VALUE" sets a variable, "NAME" removes it.
// A run still going after limit_seconds (0: no limit) is ended with PROCESS_HUNG_STATUS.
struct ProcessRun {
    std::vector<std::string> args;
    std::string dir;
    std::string out, err;
    std::vector<std::string> env;
    unsigned limit_seconds = 0;
};

// The exit status of a run ended at its time limit: 128 + SIGALRM, as on Linux.
constexpr int PROCESS_HUNG_STATUS = 128 + 14;

// Runs the program and waits for it: its exit status; 128 + the signal that killed it; -1 when
// it could not be started.
int process_run(const ProcessRun& run);

// This process's id, for names of files of its own.
int process_id();

// Files' owners, which only POSIX has: this process's effective user id (-1 on Windows), and
// giving a file to a user and group (false on Windows).
int process_user_id();
bool process_set_owner(const std::string& path, int user, int group);

// Sets a variable of this process's environment (keeping one already set when !replace).
void process_set_env(const char* name, const char* value, bool replace = true);
void process_unset_env(const char* name);

// The variables that name where the game keeps the player's settings and data, and the name of
// its own folder inside them (XDG_CONFIG_HOME, XDG_DATA_HOME and "gnatrix" here).
struct UserFolderVariables {
    const char* settings;
    const char* data;
    const char* folder;
};
UserFolderVariables process_user_folder_variables();

// Where the data folder is when its variable is unset: the environment changes for run_game that
// make it so (HOME's folder where the system uses HOME), and the folder the game then uses.
struct UserDataFallback {
    std::string env;
    std::string folder;
};
UserDataFallback process_user_data_fallback(const std::string& home);
