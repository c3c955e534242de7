// Runs the built game as a player would, in its own process, and reads what it wrote.
#pragma once
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "tests/scratch_dir.h"
#include "tools/process/process.h"

struct GameOutput {
    int status;
    std::string out, err;
};

// A file's whole contents; "" when it cannot be read.
inline std::string slurp(const std::filesystem::path& path) {
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

// The words of a text.
inline std::vector<std::string> words(const std::string& text) {
    std::istringstream in(text);
    std::vector<std::string> list;
    for (std::string word; in >> word;) list.push_back(word);
    return list;
}

// Runs the game with these arguments (words, no quoting) in `dir` (this process's own folder
// when empty), which it keeps its score table in; `env` is as for env(1): assignments, or
// -u NAME to unset one.
inline GameOutput run_game(const std::string& args, const std::string& env = "",
                           const std::string& dir = "") {
    const std::string folder = dir.empty() ? process_scratch().str() : dir;
    const std::string out = folder + "/run.out", err = folder + "/run.err";
    ProcessRun run_spec{{GNATRIX_EXE, "--data-dir", folder}, folder, out, err, {}};
    for (const std::string& arg : words(args)) run_spec.args.push_back(arg);
    for (const std::string& change : words(env))
        if (change != "-u") run_spec.env.push_back(change);
    GameOutput run{process_run(run_spec), slurp(out), slurp(err)};
    std::remove(out.c_str());
    std::remove(err.c_str());
    return run;
}
