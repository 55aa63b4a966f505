// s19cut: cuts a binary image into 32 KiB blocks, each written as an S19 file.
#ifndef S19CUT_H
#define S19CUT_H

#include <cstddef>
#include <cstdint>
#include <cstdio>

constexpr std::uint32_t BlockSize = 32768;
constexpr std::size_t OutputFileSize = 4096;

extern const char *InputFile;          // input path inside argv; nullptr until -f names one
extern std::int32_t Swap;              // 1: exchange the two bytes of every 16-bit word
extern std::uint32_t SectorNumber;     // sector the current block is saved to
extern unsigned char buffer[BlockSize]; // the current block
extern std::uint32_t numRead;          // bytes of the current block held in buffer
extern char MajorExtension;            // suffix letter, 'A' to 'Z'
extern char MinorExtension;            // suffix digit, '0' to '9'
extern char Extension[16];             // current suffix, ".A0" to ".Z9"
extern char OutputFile[OutputFileSize]; // path of the current block file

// command line (arguments.cpp)
void Get_Arguments(int argc, char *argv[]);
std::uint32_t Get_Value(const char *text);
std::int32_t Hex_2_Int(char c);

// S19 block files (s19file.cpp)
void Set_S19_Extension(void);
int Write_S19_File(void);
int Get_Next_S19_Extension(void);
// True, with its message, once the image's name leads to another file than the run's (a new build of it).
bool Input_Replaced(void);

// the digest of an image's bytes (digest.cpp)
void Start_Digest(void);
void Add_To_Digest(const unsigned char *bytes, std::size_t count);
// The 64 bits of what was added since Start_Digest.
std::uint64_t End_Digest(void);

// messages and console lines (report.cpp)
// Message: "- " and a line end, on standard error after the console lines printed so far.
void Report(const char *format, ...);
// Gives standard output a buffer that holds any console line whole; called before anything is printed.
void Start_Console(void);
// Prints one console line in one write, so that a stop or a reader that quits never leaves half of one.
void Console(const char *format, ...);

// What each platform provides: posix/platform.cpp or windows/platform.cpp.
// True where every argument, and every name that wildcards gave, reached main exactly; else false, with a message.
bool Arguments_As_Typed(void);
// Catches the stop signals that the caller doesn't ignore; after one, a wait that can be cut short ends soon.
void Catch_Signals(void);
// True once a stop signal has come.
bool Stop_Requested(void);
// Holds the open image as this run's until the run ends; false where another run or program holds it.
bool Hold_Input(FILE *in);
// True where the image that Hold_Input holds is a file, which can be read again; false for a pipe or a device.
bool Input_Is_File(void);
// True while name leads to the image that Hold_Input holds, or where that can't be known.
bool Is_Held_Input(const char *name);
// True when name leads to the image that Hold_Input holds, through any link.
bool Leads_To_Input(const char *name);
// A new file at name, never through a link, held as this run's until released; else false.
bool Create_New_File(const char *name);
// Writes the whole of text to the new file; false where a write fails.
bool Write_New_File(const char *text, std::size_t length);
// Gives the new file the permissions of the block file at name, which Leads_To_Input looked at last; false
// where that one is more private and its permissions can't be given. The owner may read the new file until
// End_Mode, even where those permissions deny it.
bool Keep_Mode(const char *name);
// Ends the owner's reading that Keep_Mode left where the kept permissions deny it; false where that fails.
bool End_Mode(void);
// True while name leads to the new file, and that holds size bytes.
bool Is_New_File(const char *name, std::uint64_t size);
// True where name leads to the new file, opened without following a link or waiting, and that holds length
// bytes, which are read into text.
bool Read_New_File(const char *name, char *text, std::size_t length);
// Gives the new file the name to in one step; the hold stays.
bool Replace_File(const char *from, const char *to);
// Why the last of these calls that failed did: a name too long for this system, a file that another program
// holds open, a read-only file that another name shares (on Windows, where its attribute is the file's), or else.
enum { FailedOther, FailedTooLong, FailedInUse, FailedShared };
int Failure(void);
// Removes the new file where name still leads to it, and ends the hold; false where it stays on disk.
bool Discard_New_File(const char *name);
// Ends the hold on the new file.
void Release_New_File(void);
// What Open_Old_File finds: nothing, a file it opened, one that another run holds, something else, or an error.
enum { OldGone, OldOpened, OldHeld, OldForeign, OldFailed };
// Opens and holds what is at name where it is a plain file with one name that no other run holds.
int Open_Old_File(const char *name, FILE **old);
// Removes the file that Open_Old_File opened and closes it; false where it stays on disk.
bool Remove_Old_File(const char *name, FILE *old);

#endif
