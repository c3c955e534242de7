// The error output file: a diagnostic text file the graphics library can append messages to.
#pragma once
#include <cstdio>

extern FILE* log_file;

int log_open(const char* name);
int log_close();
int log_printf(const char* format, ...) __attribute__((format(printf, 1, 2)));
