// The rest of the Windows system: the user's data folder (%APPDATA%), the GPU probe (DXGI),
// DLLs, and fatal errors (standard error, or a message box when there is none to see).
#include "platform/system/system.h"

#include <dxgi.h>
#include <fcntl.h>
#include <io.h>
#include <shlobj.h>
#include <windows.h>

#include <cstdio>
#include <cwchar>

#include "platform/system/windows/text.h"

namespace {

// A path from a drive's root (C:\ or C:/), the current drive's (\ or /) or a share's: never one
// that depends on the folder the game was started in.
bool is_rooted(const wchar_t* path) {
    const auto separator = [](wchar_t c) { return c == L'\\' || c == L'/'; };
    return separator(path[0]) || (path[0] && path[1] == L':' && separator(path[2]));
}

// The roaming application-data folder: %APPDATA% as the player's environment has it (a relative
// one does not count), else where the shell keeps it.
std::wstring roaming_app_data() {
    if (const wchar_t* app_data = _wgetenv(L"APPDATA"); app_data && is_rooted(app_data))
        return app_data;
    std::wstring folder;
    wchar_t* known = nullptr;
    if (SHGetKnownFolderPath(FOLDERID_RoamingAppData, 0, nullptr, &known) == S_OK) folder = known;
    CoTaskMemFree(known);
    return folder;
}

// Whether this process's standard error goes anywhere: a console, a file or a pipe.
bool has_standard_error() {
    const HANDLE error = GetStdHandle(STD_ERROR_HANDLE);
    return error != nullptr && error != INVALID_HANDLE_VALUE &&
           GetFileType(error) != FILE_TYPE_UNKNOWN;
}

}  // namespace

bool system_user_data_dir(std::string* dir, std::string* error) {
    const std::wstring app_data = roaming_app_data();
    if (app_data.empty()) {
        *error = "Windows names no application data folder (APPDATA)";
        return false;
    }
    *dir = utf8_of(app_data) + "\\Gnatrix";
    return true;
}

// Windows keeps an application's settings in its roaming folder too.
bool system_user_settings_dir(std::string* dir, std::string* error) {
    return system_user_data_dir(dir, error);
}

// Beside gnatrix.exe, wherever the player unpacked it and whichever folder started it.
std::string system_default_data_dir() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, path.data(), DWORD(path.size()));
        if (length == 0) return "";
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        path.resize(path.size() * 2);
    }
    return utf8_of(path.substr(0, path.find_last_of(L"\\/")));
}

// Icon 1 of gnatrix.rc: every size Windows asks for, in the title bar, task bar and Alt+Tab.
const char* system_icon_resource() {
    return "1";
}

const char* system_video_drivers() {
    return nullptr;
}

// A GUI program gets no console; a command prompt that started it has one to lend. Streams
// already redirected (a file, a pipe) stay as they are. Lines end as on Linux, so that the
// output (the demo's summary, --help) is the same bytes.
void system_standard_streams() {
    if (GetFileType(GetStdHandle(STD_OUTPUT_HANDLE)) == FILE_TYPE_UNKNOWN &&
        AttachConsole(ATTACH_PARENT_PROCESS) &&
        (!freopen("CONOUT$", "w", stdout) || !freopen("CONOUT$", "w", stderr)))
        FreeConsole();
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
}

// A hardware adapter, not the Basic Render Driver that rasterises in software.
bool system_has_gpu() {
    IDXGIFactory1* factory = nullptr;
    if (FAILED(CreateDXGIFactory1(IID_IDXGIFactory1, reinterpret_cast<void**>(&factory))))
        return false;
    bool found = false;
    IDXGIAdapter1* adapter = nullptr;
    for (UINT i = 0; !found && factory->EnumAdapters1(i, &adapter) == S_OK; i++) {
        DXGI_ADAPTER_DESC1 desc{};
        constexpr UINT MICROSOFT = 0x1414;
        if (SUCCEEDED(adapter->GetDesc1(&desc)))
            found = !(desc.Flags & DXGI_ADAPTER_FLAG_SOFTWARE) && desc.VendorId != MICROSOFT;
        adapter->Release();
    }
    factory->Release();
    return found;
}

// SDL's libraries are NAME.dll, beside the executable.
void* system_library_load(const char* name) {
    const std::wstring file = wide_of(name) + L".dll";
    return reinterpret_cast<void*>(LoadLibraryW(file.c_str()));
}

void* system_library_function(void* library, const char* function) {
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), function));
}

void system_library_unload(void* library) {
    if (library) FreeLibrary(static_cast<HMODULE>(library));
}

// Windows' sound drivers say nothing of their own when no device opens.
void system_quiet_sound_library() {}

// Started from Explorer the game has no standard error: the message gets a box of its own.
void system_report_fatal(const char* message) {
    if (has_standard_error()) {
        fprintf(stderr, "gnatrix: %s\n", message);
        fflush(stderr);
        return;
    }
    MessageBoxW(nullptr, wide_of(message).c_str(), L"Gnatrix", MB_OK | MB_ICONERROR);
}
