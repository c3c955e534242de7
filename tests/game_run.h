// Runs the built game as a player would, in its own process, and reads what it wrote.
#pragma once
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

namespace {

struct GameOutput {
    int status;
    std::string out, err;
};

// Each test runs in its own process (ctest may run several at once): output files by pid.
std::string run_base() {
    return std::string(GNATRIX_BINARY_DIR) + "/e2e_run_" + std::to_string(getpid());
}

std::string slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// Runs the game with these arguments, after a command prefix (such as env) when given.
GameOutput run_game(const std::string& args, const std::string& prefix = "") {
    std::string base = run_base();
    std::string command = prefix + " " + GNATRIX_EXE + " " + args + " >" + base + ".out 2>" + base +
                          ".err </dev/null";
    int raw = std::system(command.c_str());
    GameOutput run{WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, slurp(base + ".out"),
                   slurp(base + ".err")};
    std::remove((base + ".out").c_str());
    std::remove((base + ".err").c_str());
    return run;
}

}  // namespace
