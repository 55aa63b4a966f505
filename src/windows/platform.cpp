// Windows: the runtime's wildcard expansion, a UTF-8 console while names are UTF-8, Ctrl+C and Ctrl+Break,
// the test of two names for one file, the image held as one run's, and new files that no other run can open
// until they have their names.
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>

#include <fcntl.h>
#include <io.h>

#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#include <shellapi.h>

#include "s19cut.h"

#ifdef __MINGW32__
// The runtime expands * and ? in the arguments before main where the program asks for it, as this one does.
extern "C" int _dowildcard;
int _dowildcard = -1;
#endif

// Set by Ctrl+C or Ctrl+Break; the run stops at its next check.
static volatile std::sig_atomic_t Interrupted;
// The new file's handle, which keeps other runs from opening it; INVALID_HANDLE_VALUE when there is none.
static HANDLE NewFile = INVALID_HANDLE_VALUE;
// The new file's volume and index, read when it is made: wine forgets the volume of a handle once renamed.
static BY_HANDLE_FILE_INFORMATION NewId;
// The image's volume and index as it was opened, and whether they could be read (not for a pipe); whether it
// is a file on a disk, which can be read again.
static BY_HANDLE_FILE_INFORMATION InputId;
static bool InputKnown, InputIsFile;
// Room for any path that GetFinalPathNameByHandleW gives.
static const DWORD FinalPathSize = 32768;
// The console's code page before the run, given back at its end.
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

static void Interrupt(int)
{
	Interrupted = 1;
}

// Catches sig unless the caller ignores it: that stays ignored. The runtime puts back the default action
// before it calls Interrupt, so a second Ctrl+C ends the tool.
static void Catch_Stop(int sig)
{
	if (std::signal(sig, Interrupt) == SIG_IGN)
		std::signal(sig, SIG_IGN);
}

void Catch_Signals(void)
{
	Catch_Stop(SIGINT);
	Catch_Stop(SIGTERM);
	Catch_Stop(SIGBREAK);
}

// An argument in the ANSI code page, with a '?' for each letter the code page lacks; a command line's longest
// argument takes at most two bytes a letter.
static char Shown[2 * 32768];

// True where text is written exactly in the ANSI code page, which Shown then holds.
static bool In_Code_Page(const WCHAR *text)
{
	BOOL lacking = FALSE;
	return WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text, -1, Shown, sizeof Shown, "?", &lacking) > 0 &&
	       !lacking;
}

// True where every name that pattern matches, as the runtime's wildcard expansion puts them in its place, is
// written exactly in the ANSI code page.
static bool Matches_In_Code_Page(const WCHAR *pattern)
{
	WIN32_FIND_DATAW match;
	HANDLE search = FindFirstFileW(pattern, &match);
	if (search == INVALID_HANDLE_VALUE)
		return true;
	bool exact;
	while ((exact = In_Code_Page(match.cFileName)) && FindNextFileW(search, &match)) {
	}
	FindClose(search);
	return exact;
}

// Windows before 10 version 1903 ignores the manifest's UTF-8 code page. main then gets its arguments in the
// ANSI code page, the runtime writing each letter that this lacks as a look-alike ("best fit"): firmware-ł.bin
// as firmware-l.bin, another file perhaps. The command line as Windows keeps it, in UTF-16, tells.
bool Arguments_As_Typed(void)
{
	if (GetACP() == CP_UTF8)
		return true;
	int count = 0;
	WCHAR **args = CommandLineToArgvW(GetCommandLineW(), &count);
	bool exact = true, name = false;
	for (int i = 1; exact && args != nullptr && i < count; i++) {
		name = std::wcsncmp(args[i], L"-f", 2) == 0;
		exact = In_Code_Page(args[i]) && (std::wcspbrk(args[i], L"*?") == nullptr || Matches_In_Code_Page(args[i]));
	}
	LocalFree(args);
	// Only a name can be renamed: any other argument, -s with full-width digits say, is typed again.
	if (!exact && name)
		Report("- name not in this Windows' code page: %s; rename the file, or use Windows 10 version 1903 or "
		       "later.\n", Shown);
	else if (!exact)
		Report("- argument not in this Windows' code page: %s; type it in this code page's letters, or use "
		       "Windows 10 version 1903 or later.\n", Shown);
	return exact;
}

bool Stop_Requested(void)
{
	return Interrupted != 0;
}

// A byte far past the end of any image: locked, it keeps other runs out and no reader of the image feels it.
static const DWORD HoldOffsetHigh = 0x7FFFFFFF, HoldOffsetLow = 0xFFFFFFFE;

bool Hold_Input(FILE *in)
{
	OVERLAPPED at = {};
	at.Offset = HoldOffsetLow;
	at.OffsetHigh = HoldOffsetHigh;
	HANDLE image = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(in)));
	InputKnown = GetFileInformationByHandle(image, &InputId) != 0;
	InputIsFile = GetFileType(image) == FILE_TYPE_DISK;
	// A pipe, a device or a file system that takes no locks lets the run go on unheld.
	return LockFileEx(image, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at) ||
	       GetLastError() != ERROR_LOCK_VIOLATION;
}

static bool Same_Id(const BY_HANDLE_FILE_INFORMATION &one, const BY_HANDLE_FILE_INFORMATION &other)
{
	return one.dwVolumeSerialNumber == other.dwVolumeSerialNumber && one.nFileIndexHigh == other.nFileIndexHigh &&
	       one.nFileIndexLow == other.nFileIndexLow;
}

// The volume and index of what name leads to, opened with flags: through links, or the link itself.
static bool Id_Of(const char *name, DWORD flags, BY_HANDLE_FILE_INFORMATION &info)
{
	HANDLE file = CreateFileA(name, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
	                          OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | flags, nullptr);
	if (file == INVALID_HANDLE_VALUE)
		return false;
	bool known = GetFileInformationByHandle(file, &info);
	CloseHandle(file);
	return known;
}

bool Input_Is_File(void)
{
	return InputKnown && InputIsFile;
}

// Windows' stat has no inode numbers: a file is told by its volume and index, which links and junctions
// share. The names are read in the ANSI code page, as fopen reads them.
bool Leads_To_Input(const char *name)
{
	BY_HANDLE_FILE_INFORMATION named, image = InputId;
	return Id_Of(name, 0, named) && (InputKnown || Id_Of(InputFile, 0, image)) && Same_Id(named, image);
}

// What a new build copied over the image changes, its bytes, the driver tells at the end of the run.
bool Is_Held_Input(const char *name)
{
	BY_HANDLE_FILE_INFORMATION named;
	return !InputKnown || (Id_Of(name, 0, named) && Same_Id(InputId, named));
}

// A stream on handle, which it closes; nullptr, with the handle closed, where the runtime has none to give.
static FILE *Stream(HANDLE handle, int flags, const char *mode)
{
	int fd = _open_osfhandle(reinterpret_cast<std::intptr_t>(handle), flags);
	if (fd < 0) {
		CloseHandle(handle);
		return nullptr;
	}
	FILE *file = _fdopen(fd, mode);
	if (file == nullptr)
		_close(fd);
	return file;
}

// Removed through the handle that was judged or made, never by its name, which may lead elsewhere now.
static bool Remove_Through(HANDLE file)
{
	FILE_DISPOSITION_INFO gone = {TRUE};
	return SetFileInformationByHandle(file, FileDispositionInfo, &gone, sizeof gone);
}

bool Create_New_File(const char *name)
{
	// Shared for the rename and for reading back, but not for writing: Open_Old_File, which wants no other
	// writer, is refused while this run holds the file. DELETE: a new file that fails is removed through the
	// hold, never by a name that may be another's now.
	HANDLE file = CreateFileA(name, GENERIC_WRITE | DELETE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, CREATE_NEW,
	                          FILE_ATTRIBUTE_NORMAL, nullptr);
	if (file == INVALID_HANDLE_VALUE)
		return false;
	if (GetFileInformationByHandle(file, &NewId)) {
		NewFile = file;
		return true;
	}
	Remove_Through(file);
	CloseHandle(file);
	return false;
}

bool Write_New_File(const char *text, std::size_t length)
{
	while (length > 0) {
		DWORD part = length > 0x40000000 ? 0x40000000 : static_cast<DWORD>(length), written = 0;
		if (!WriteFile(NewFile, text, part, &written, nullptr) || written == 0)
			return false;
		text += written;
		length -= written;
	}
	return true;
}

void Release_New_File(void)
{
	CloseHandle(NewFile);
	NewFile = INVALID_HANDLE_VALUE;
}

// Permissions on Windows are the folder's, which the new file takes; the read-only attribute passes in
// Replace_File.
bool Keep_Mode(const char *)
{
	return true;
}

bool End_Mode(void)
{
	return true;
}

bool Is_New_File(const char *name, std::uint64_t size)
{
	BY_HANDLE_FILE_INFORMATION named;
	return Id_Of(name, FILE_FLAG_OPEN_REPARSE_POINT, named) && Same_Id(NewId, named) &&
	       (static_cast<std::uint64_t>(named.nFileSizeHigh) << 32 | named.nFileSizeLow) == size;
}

// Opened as the name itself, not a link's target, sharing everything with the run's own hold.
bool Read_New_File(const char *name, char *text, std::size_t length)
{
	HANDLE file = CreateFileA(name, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
	                          OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
	if (file == INVALID_HANDLE_VALUE)
		return false;
	BY_HANDLE_FILE_INFORMATION opened;
	DWORD got = 0;
	bool same = GetFileType(file) == FILE_TYPE_DISK && GetFileInformationByHandle(file, &opened) &&
	            (opened.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) == 0 &&
	            Same_Id(NewId, opened) &&
	            (static_cast<std::uint64_t>(opened.nFileSizeHigh) << 32 | opened.nFileSizeLow) == length &&
	            ReadFile(file, text, static_cast<DWORD>(length), &got, nullptr) && got == length;
	CloseHandle(file);
	return same;
}

// True where another program holds the file at name open without sharing its removal, as a replacement needs:
// an open for removal tells it.
static bool In_Use(const char *name)
{
	HANDLE file = CreateFileA(name, DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
	                          OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
	if (file == INVALID_HANDLE_VALUE)
		return GetLastError() == ERROR_SHARING_VIOLATION;
	CloseHandle(file);
	return false;
}

// The attributes of an old block file that its successor takes.
static const DWORD KeptAttributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN;

// Windows won't rename over a read-only file, as Unix's rename does: its attribute is cleared for the move
// and put back if the move fails. The attribute is the file's, not the name's: where the file has another
// name, that one would be left writable, so the block is refused. The new block file is then read-only, and
// hidden, like the old one.
bool Replace_File(const char *from, const char *to)
{
	DWORD old = GetFileAttributesA(to);
	DWORD kept = old == INVALID_FILE_ATTRIBUTES || (old & FILE_ATTRIBUTE_DIRECTORY) ? 0 : old & KeptAttributes;
	BY_HANDLE_FILE_INFORMATION shared;
	if ((kept & FILE_ATTRIBUTE_READONLY) && Id_Of(to, FILE_FLAG_OPEN_REPARSE_POINT, shared) &&
	    shared.nNumberOfLinks > 1) {
		SetLastError(ERROR_FILE_READ_ONLY);
		return false;
	}
	bool moved = MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING);
	if (!moved && (kept & FILE_ATTRIBUTE_READONLY) && SetFileAttributesA(to, old & ~FILE_ATTRIBUTE_READONLY)) {
		moved = MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING);
		if (!moved) {
			DWORD error = GetLastError();
			SetFileAttributesA(to, old);
			SetLastError(error);
		}
	}
	if (moved && kept)
		SetFileAttributesA(to, kept);
	else if (!moved) {
		DWORD error = GetLastError();
		SetLastError(In_Use(to) ? ERROR_SHARING_VIOLATION : error);
	}
	return moved;
}

int Failure(void)
{
	DWORD error = GetLastError();
	return error == ERROR_FILENAME_EXCED_RANGE ? FailedTooLong
	       : error == ERROR_SHARING_VIOLATION  ? FailedInUse
	       : error == ERROR_FILE_READ_ONLY     ? FailedShared
	                                           : FailedOther;
}

bool Discard_New_File(const char *)
{
	bool gone = Remove_Through(NewFile);
	Release_New_File();
	return gone;
}

// A path as the file system names it, through any link, junction or substituted drive.
static bool Final_Path(HANDLE file, WCHAR *path)
{
	DWORD length = GetFinalPathNameByHandleW(file, path, FinalPathSize, 0);
	return length > 0 && length < FinalPathSize;
}

// True when the open file is the one that name names itself. wine opens a symbolic link of the Unix file
// system as the file it leads to, which Windows doesn't tell from a plain file: the file's own path then
// ends in another name, or in another folder, if only in letter case. The name is compared as the folder
// stores it, so that a name typed in another case still names its own file.
static bool Is_Named(HANDLE file, const char *name)
{
	static char folder[OutputFileSize + 2];
	static WCHAR wide[OutputFileSize], expected[FinalPathSize], found[FinalPathSize];
	const char *last = name;
	for (const char *p = name; *p != '\0'; p++)
		if (*p == '\\' || *p == '/' || *p == ':')
			last = p + 1;
	std::size_t end = static_cast<std::size_t>(last - name);
	std::memcpy(folder, name, end);
	folder[end] = '\0';
	// A \\?\ path is taken as it stands, with no "." made out: its folder is named without the separator
	// behind it, but for a drive's root.
	if (std::strncmp(name, "\\\\?\\", 4) != 0)
		std::strcpy(folder + end, ".");
	else if (end > 1 && folder[end - 1] == '\\' && folder[end - 2] != ':')
		folder[end - 1] = '\0';
	HANDLE parent = CreateFileA(folder, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
	                            OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
	if (parent == INVALID_HANDLE_VALUE)
		return false;
	bool known = Final_Path(parent, expected);
	CloseHandle(parent);
	WIN32_FIND_DATAW entry;
	HANDLE search = known && MultiByteToWideChar(CP_ACP, 0, name, -1, wide, OutputFileSize) > 0
	                        ? FindFirstFileW(wide, &entry) : INVALID_HANDLE_VALUE;
	if (search == INVALID_HANDLE_VALUE)
		return false;
	FindClose(search);
	std::size_t length = std::wcslen(expected);
	if (length > 0 && expected[length - 1] != L'\\')
		expected[length++] = L'\\';
	std::size_t size = std::wcslen(entry.cFileName) + 1;
	if (length + size > FinalPathSize)
		return false;
	std::memcpy(expected + length, entry.cFileName, size * sizeof(WCHAR));
	return Final_Path(file, found) && CompareStringOrdinal(expected, -1, found, -1, FALSE) == CSTR_EQUAL;
}

int Open_Old_File(const char *name, FILE **old)
{
	DWORD attributes = GetFileAttributesA(name);
	if (attributes == INVALID_FILE_ATTRIBUTES && GetLastError() == ERROR_FILE_NOT_FOUND)
		return OldGone;
	if (attributes != INVALID_FILE_ATTRIBUTES &&
	    (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DEVICE)))
		return OldForeign;
	// Opened for removal, the link itself and not what it leads to, sharing neither writing nor removal: a
	// run that writes the file refuses it, and no other run opens it meanwhile.
	HANDLE file = CreateFileA(name, GENERIC_READ | DELETE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
	                          FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
	if (file == INVALID_HANDLE_VALUE) {
		DWORD error = GetLastError();
		return error == ERROR_SHARING_VIOLATION ? OldHeld : error == ERROR_FILE_NOT_FOUND ? OldGone : OldFailed;
	}
	BY_HANDLE_FILE_INFORMATION info;
	if (GetFileType(file) != FILE_TYPE_DISK || !GetFileInformationByHandle(file, &info) ||
	    (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) ||
	    info.nNumberOfLinks != 1 || !Is_Named(file, name)) {
		CloseHandle(file);
		return OldForeign;
	}
	*old = Stream(file, _O_RDONLY | _O_BINARY, "rb");
	return *old == nullptr ? OldFailed : OldOpened;
}

bool Remove_Old_File(const char *, FILE *old)
{
	bool removed = Remove_Through(reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(old))));
	std::fclose(old);
	return removed;
}
