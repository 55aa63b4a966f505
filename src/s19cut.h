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

// command line
void Get_Arguments(int argc, char *argv[]);
std::uint32_t Get_Value(const char *text);
std::int32_t Hex_2_Int(char c);

// S19 block files
void Set_S19_Extension(void);
int Write_S19_File(void);
int Get_Next_S19_Extension(void);
// true when both names lead to one file, through any link (on Windows: windows/runtime.cpp)
bool Same_File(const char *a, const char *b);
// opens name for writing if no file or link of that name exists, else nullptr (on Windows: windows/runtime.cpp)
FILE *Create_New_File(const char *name);
// gives the file at from the name to, in one step, in place of any file or link of that name
bool Replace_File(const char *from, const char *to);

// messages: "- " and a line end, on standard error after the console lines printed so far
void Report(const char *format, ...);

#endif
