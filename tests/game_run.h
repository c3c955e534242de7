// Runs the built game as a player would, in its own process, and reads what it wrote.
#pragma once
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "tests/scratch_dir.h"

struct GameOutput {
    int status;
    std::string out, err;
};

// A file's whole contents; "" when it cannot be read.
inline std::string slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// Lines in a text: the number of newlines.
inline int lines(const std::string& text) {
    int count = 0;
    for (char c : text) count += c == '\n';
    return count;
}

// Runs the game with these arguments in `dir` (this process's own folder when empty), where
// it writes its score table; `env` is for env(1): assignments, or -u NAME to unset one.
inline GameOutput run_game(const std::string& args, const std::string& env = "",
                           const std::string& dir = "") {
    const std::string folder = dir.empty() ? process_scratch().str() : dir;
    const std::string out = folder + "/run.out", err = folder + "/run.err";
    const std::string command = "cd \"" + folder + "\" && env " + env + " \"" + GNATRIX_EXE +
                                "\" " + args + " >\"" + out + "\" 2>\"" + err + "\" </dev/null";
    const int raw = std::system(command.c_str());
    GameOutput run{WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, slurp(out), slurp(err)};
    std::remove(out.c_str());
    std::remove(err.c_str());
    return run;
}
