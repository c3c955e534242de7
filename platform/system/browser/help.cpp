// The browser's data folder as --help names it: the page's persistent file system.
#include "platform/system/system.h"

const char* system_user_data_description() {
    return "/gnatrix (kept by the browser)";
}
