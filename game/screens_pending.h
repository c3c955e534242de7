// TEMPORARY: stand-ins for the help viewer and the control panel until they land; the screens
// module replaces this file and keys.cpp includes its headers instead.
#pragma once

void help_open();
void help_scroll();
void help_close();
void panel_open();
