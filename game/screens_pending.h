// TEMPORARY: a stand-in for the control panel until it lands; the screens module replaces this
// file and keys.cpp includes its header instead.
#pragma once

void panel_open();
