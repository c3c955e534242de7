// Text between the game's UTF-8 and the wide strings of Windows' own functions.
#pragma once
#include <string>

std::wstring wide_of(const std::string& text);
std::string utf8_of(const std::wstring& text);
