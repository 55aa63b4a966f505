// Messages: the one way every part of the tool speaks to standard error.
#include <cstdarg>
#include <cstdio>

#include "s19cut.h"

void Report(const char *format, ...)
{
	// Standard output is fully buffered when redirected: without this, a log of both streams
	// would show the message before the console lines that came first.
	std::fflush(stdout);
	std::va_list args;
	va_start(args, format);
	std::vfprintf(stderr, format, args);
	va_end(args);
}
