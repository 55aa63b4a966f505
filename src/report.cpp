// Messages on standard error and console lines on standard output, each in the order the run made them.
#include <cstdarg>
#include <cstdio>

#include "s19cut.h"

// Room for the longest console line: its text, a block name of any length the driver takes, the SAVE text.
static char ConsoleBuffer[OutputFileSize + 64];

void Report(const char *format, ...)
{
	// A log of both streams must show the message after the console lines that came first.
	std::fflush(stdout);
	std::va_list args;
	va_start(args, format);
	std::vfprintf(stderr, format, args);
	va_end(args);
}

void Start_Console(void)
{
	std::setvbuf(stdout, ConsoleBuffer, _IOFBF, sizeof ConsoleBuffer);
}

void Console(const char *format, ...)
{
	std::va_list args;
	va_start(args, format);
	std::vprintf(format, args);
	va_end(args);
	// Line buffering is not to be had everywhere (Windows' runtime buffers such a stream fully): flushed here.
	std::fflush(stdout);
}
