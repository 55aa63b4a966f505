// Windows only: the runtime's wildcard expansion, a UTF-8 console while names are UTF-8, the test of two
// names for one file, and the new file that replaces a block file.
#include <cstdio>
#include <cstdlib>

#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include "s19cut.h"

#ifdef __MINGW32__
// The runtime expands * and ? in the arguments before main, as on every Windows command line.
extern "C" int _dowildcard;
int _dowildcard = -1;
#endif

static UINT SavedOutputCP;

static void Restore_Console(void)
{
	std::fflush(stdout);
	std::fflush(stderr);
	SetConsoleOutputCP(SavedOutputCP);
}

static BOOL WINAPI Restore_On_Break(DWORD)
{
	SetConsoleOutputCP(SavedOutputCP);
	return FALSE; // the default handler then ends the process
}

static bool Is_Console(DWORD stream)
{
	DWORD mode;
	return GetConsoleMode(GetStdHandle(stream), &mode) != 0;
}

// Where the manifest makes the process code page UTF-8, names reach main and the streams as UTF-8:
// the console must show them so, and give the user back their own code page when the run ends.
static bool Use_UTF8_Console(void)
{
	if (GetACP() != CP_UTF8 || !(Is_Console(STD_OUTPUT_HANDLE) || Is_Console(STD_ERROR_HANDLE)))
		return false;
	SavedOutputCP = GetConsoleOutputCP();
	if (SavedOutputCP == CP_UTF8 || !SetConsoleOutputCP(CP_UTF8))
		return false;
	std::atexit(Restore_Console);
	SetConsoleCtrlHandler(Restore_On_Break, TRUE);
	return true;
}

static const bool UTF8Console = Use_UTF8_Console();

// Windows' stat has no inode numbers: a file is told by its volume and index, which links and junctions
// share. The names are read in the ANSI code page, as fopen reads them.
bool Same_File(const char *a, const char *b)
{
	BY_HANDLE_FILE_INFORMATION info[2];
	const char *names[2] = {a, b};
	for (int i = 0; i < 2; i++) {
		HANDLE file = CreateFileA(names[i], 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
		                          OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
		if (file == INVALID_HANDLE_VALUE)
			return false;
		BOOL known = GetFileInformationByHandle(file, &info[i]);
		CloseHandle(file);
		if (!known)
			return false;
	}
	return info[0].dwVolumeSerialNumber == info[1].dwVolumeSerialNumber &&
	       info[0].nFileIndexHigh == info[1].nFileIndexHigh && info[0].nFileIndexLow == info[1].nFileIndexLow;
}

// msvcrt.dll, which mingw-w64 links, knows no "x" in fopen's mode: the file is created new by _open.
FILE *Create_New_File(const char *name)
{
	int fd = _open(name, _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, _S_IREAD | _S_IWRITE);
	if (fd < 0)
		return nullptr;
	FILE *file = _fdopen(fd, "wb");
	if (file == nullptr)
		_close(fd);
	return file;
}

// rename fails on Windows where the name exists. A read-only old block file is replaced as Unix's rename
// replaces it, and keeps its attribute when that fails.
bool Replace_File(const char *from, const char *to)
{
	if (MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING))
		return true;
	DWORD attributes = GetFileAttributesA(to);
	if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) ||
	    !(attributes & FILE_ATTRIBUTE_READONLY) || !SetFileAttributesA(to, attributes & ~FILE_ATTRIBUTE_READONLY))
		return false;
	if (MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING))
		return true;
	SetFileAttributesA(to, attributes);
	return false;
}
