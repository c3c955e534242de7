// Running a program and changing the environment on Windows: CreateProcess with a command line
// quoted as the C runtime reads it back, and both the C runtime's and Windows' own environment.
#include <shlobj.h>
#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <cwctype>

#include "platform/system/windows/text.h"
#include "tools/process/process.h"

namespace {

// One argument as the C runtime splits a command line: quoted, with its quotes and the
// backslashes before them escaped.
std::wstring quoted(const std::wstring& arg) {
    std::wstring out = L"\"";
    size_t backslashes = 0;
    for (wchar_t c : arg) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        out.append(c == L'"' ? 2 * backslashes + 1 : backslashes, L'\\');
        backslashes = 0;
        out += c;
    }
    out.append(2 * backslashes, L'\\');
    return out + L"\"";
}

bool same_name(const std::wstring& variable, const std::wstring& name) {
    if (variable.size() <= name.size() || variable[name.size()] != L'=') return false;
    for (size_t i = 0; i < name.size(); ++i)
        if (std::towupper(variable[i]) != std::towupper(name[i])) return false;
    return true;
}

// This process's environment with the run's changes, as CreateProcess takes it.
std::wstring environment_block(const ProcessRun& run) {
    std::vector<std::wstring> env;
    if (wchar_t* strings = GetEnvironmentStringsW()) {
        for (const wchar_t* v = strings; *v; v += wcslen(v) + 1) env.push_back(v);
        FreeEnvironmentStringsW(strings);
    }
    for (const std::string& change : run.env) {
        const std::wstring text = wide_of(change), name = text.substr(0, text.find(L'='));
        std::erase_if(env, [&](const std::wstring& v) { return same_name(v, name); });
        if (text.size() > name.size()) env.push_back(text);
    }
    std::wstring block;
    for (const std::wstring& v : env) block += v + L'\0';
    return block + L'\0';
}

// A handle the child inherits: the file written from its start, or NUL.
HANDLE inheritable(const std::string& path, bool write) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    const std::wstring name = path.empty() ? L"NUL" : wide_of(path);
    return CreateFileW(name.c_str(), write ? GENERIC_WRITE : GENERIC_READ,
                       FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                       write ? CREATE_ALWAYS : OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

}  // namespace

int process_run(const ProcessRun& run) {
    if (run.args.empty()) return -1;
    std::wstring command;
    for (const std::string& arg : run.args)
        command += (command.empty() ? L"" : L" ") + quoted(wide_of(arg));
    std::wstring env = environment_block(run);
    const std::wstring dir = wide_of(run.dir);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = inheritable("", false);
    startup.hStdOutput = inheritable(run.out, true);
    startup.hStdError = inheritable(run.err, true);
    PROCESS_INFORMATION child{};
    const bool started =
        CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, CREATE_UNICODE_ENVIRONMENT,
                       env.data(), dir.empty() ? nullptr : dir.c_str(), &startup, &child);
    for (HANDLE h : {startup.hStdInput, startup.hStdOutput, startup.hStdError})
        if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
    if (!started) return -1;
    DWORD status = DWORD(-1);
    const DWORD limit = run.limit_seconds ? DWORD(run.limit_seconds) * 1000 : INFINITE;
    if (WaitForSingleObject(child.hProcess, limit) == WAIT_TIMEOUT) {
        TerminateProcess(child.hProcess, PROCESS_HUNG_STATUS);
        WaitForSingleObject(child.hProcess, INFINITE);
    }
    GetExitCodeProcess(child.hProcess, &status);
    CloseHandle(child.hProcess);
    CloseHandle(child.hThread);
    return int(status);
}

int process_id() {
    return int(GetCurrentProcessId());
}

int process_user_id() {
    return -1;
}

bool process_set_owner(const std::string&, int, int) {
    return false;
}

// _putenv_s changes the C runtime's copy and Windows' own, which SDL and child processes read.
void process_set_env(const char* name, const char* value, bool replace) {
    if (!replace && getenv(name)) return;
    _putenv_s(name, value);
}

void process_unset_env(const char* name) {
    _putenv_s(name, "");
}

UserFolderVariables process_user_folder_variables() {
    return {"APPDATA", "APPDATA", "Gnatrix"};
}

// Without APPDATA the game asks the shell, which knows no HOME.
UserDataFallback process_user_data_fallback(const std::string&) {
    std::string folder;
    wchar_t* known = nullptr;
    if (SHGetKnownFolderPath(FOLDERID_RoamingAppData, 0, nullptr, &known) == S_OK) {
        const int length = WideCharToMultiByte(CP_UTF8, 0, known, -1, nullptr, 0, nullptr, nullptr);
        folder.resize(size_t(std::max(length, 1) - 1));
        WideCharToMultiByte(CP_UTF8, 0, known, -1, folder.data(), length, nullptr, nullptr);
    }
    CoTaskMemFree(known);
    return {"-u APPDATA", folder + "\\Gnatrix"};
}
