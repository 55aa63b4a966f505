// S19 block files: one block of up to 32768 bytes per file, addressed from 0x2300.
#include <cstdio>
#include <cstring>

#include "s19cut.h"

unsigned char buffer[BlockSize];
std::uint32_t numRead;
char MajorExtension;
char MinorExtension;
char Extension[16];
char OutputFile[OutputFileSize];
// Where a block file is written before it takes its name: the block name with ".tmp" for ".S19", so that it
// is never taken for a block file and fits wherever the block name does.
static char TempFile[OutputFileSize];

static const std::uint32_t LoadAddress = 0x2300;
static const std::uint32_t RecordBytes = 32;
// Two hex digits for every byte value: one copy per byte instead of two look-ups.
static const char HexPairs[] =
	"000102030405060708090A0B0C0D0E0F"
	"101112131415161718191A1B1C1D1E1F"
	"202122232425262728292A2B2C2D2E2F"
	"303132333435363738393A3B3C3D3E3F"
	"404142434445464748494A4B4C4D4E4F"
	"505152535455565758595A5B5C5D5E5F"
	"606162636465666768696A6B6C6D6E6F"
	"707172737475767778797A7B7C7D7E7F"
	"808182838485868788898A8B8C8D8E8F"
	"909192939495969798999A9B9C9D9E9F"
	"A0A1A2A3A4A5A6A7A8A9AAABACADAEAF"
	"B0B1B2B3B4B5B6B7B8B9BABBBCBDBEBF"
	"C0C1C2C3C4C5C6C7C8C9CACBCCCDCECF"
	"D0D1D2D3D4D5D6D7D8D9DADBDCDDDEDF"
	"E0E1E2E3E4E5E6E7E8E9EAEBECEDEEEF"
	"F0F1F2F3F4F5F6F7F8F9FAFBFCFDFEFF";
static const char EndRecord[] = "S9030000FC\r\n";

// Longest record line: "S1", count, address, 32 data bytes and checksum in hex, CR LF.
static const std::size_t RecordLine = 2 + 2 * (1 + 2 + RecordBytes + 1) + 2;
// A whole block file, assembled here and written with one call.
static char FileText[(BlockSize / RecordBytes) * RecordLine + sizeof EndRecord - 1];
// What a block name holds, read back whole to be compared with FileText.
static char ReadBack[sizeof FileText];

static void Build_Output_File(void)
{
	std::size_t n = std::strlen(InputFile);

	Extension[0] = '.';
	Extension[1] = MajorExtension;
	Extension[2] = MinorExtension;
	Extension[3] = '\0';
	// The driver refuses paths that leave no room for the 7-character suffix.
	std::memcpy(OutputFile, InputFile, n);
	std::memcpy(OutputFile + n, Extension, 3);
	std::memcpy(OutputFile + n + 3, ".S19", 5);
	std::memcpy(TempFile, OutputFile, n + 3);
	std::memcpy(TempFile + n + 3, ".tmp", 5);
}

void Set_S19_Extension(void)
{
	MinorExtension = '0';
	MajorExtension = 'A';
	Build_Output_File();
}

int Get_Next_S19_Extension(void)
{
	if (++MinorExtension > '9') {
		MinorExtension = '0';
		if (++MajorExtension > 'Z')
			return -1;
	}
	Build_Output_File();
	SectorNumber += 64;
	return 0;
}

// The low 8 bits of value as two hex digits.
static char *Put_Hex(char *p, std::uint32_t value)
{
	std::memcpy(p, HexPairs + 2 * (value & 0xFF), 2);
	return p + 2;
}

// Puts the digits of eight bytes at p and returns their sum. They are read before any digit is written,
// since the digits' stores could alias them, and summed four pairs at once: the loop's own cost, and the
// sum's, were as much as the digits'.
static inline std::uint32_t Put_Eight(char *p, const unsigned char *data)
{
	std::uint64_t word;
	std::memcpy(&word, data, 8);
	std::uint64_t pairs = (word & 0x00FF00FF00FF00FFu) + ((word >> 8) & 0x00FF00FF00FF00FFu);
	std::size_t b0 = data[0], b1 = data[1], b2 = data[2], b3 = data[3];
	std::size_t b4 = data[4], b5 = data[5], b6 = data[6], b7 = data[7];
	std::memcpy(p, HexPairs + 2 * b0, 2);
	std::memcpy(p + 2, HexPairs + 2 * b1, 2);
	std::memcpy(p + 4, HexPairs + 2 * b2, 2);
	std::memcpy(p + 6, HexPairs + 2 * b3, 2);
	std::memcpy(p + 8, HexPairs + 2 * b4, 2);
	std::memcpy(p + 10, HexPairs + 2 * b5, 2);
	std::memcpy(p + 12, HexPairs + 2 * b6, 2);
	std::memcpy(p + 14, HexPairs + 2 * b7, 2);
	return static_cast<std::uint32_t>((pairs * 0x0001000100010001u) >> 48);
}

// Puts one S1 record of count bytes from buffer[offset] at p; returns the end of its line. Inline, so that a
// full record's count is a constant and its loop is laid out straight.
static inline char *Put_Record(char *p, std::uint32_t offset, std::uint32_t count)
{
	std::uint32_t address = LoadAddress + offset;
	std::uint32_t sum = (count + 3) + (address >> 8) + (address & 0xFF);

	*p++ = 'S';
	*p++ = '1';
	p = Put_Hex(p, count + 3);
	p = Put_Hex(p, address >> 8);
	p = Put_Hex(p, address);
	const unsigned char *data = buffer + offset;
	std::uint32_t k = 0;
	for (; k + 8 <= count; k += 8, p += 16)
		sum += Put_Eight(p, data + k);
	for (; k < count; k++) {
		sum += data[k];
		p = Put_Hex(p, data[k]);
	}
	p = Put_Hex(p, ~sum);
	*p++ = '\r';
	*p++ = '\n';
	return p;
}

// A temporary file that couldn't be removed stays on disk, so the user is told its name.
static bool Removed(bool gone)
{
	if (!gone)
		Report("- failed to remove incomplete output file: %s.\n", TempFile);
	return gone;
}

// A name that couldn't be made or take its block file, reported by the cause that the platform tells.
static void Report_Open_Failure(const char *name)
{
	switch (Failure()) {
	case FailedTooLong:
		Report("- output file name too long for this system: %s.\n", name);
		break;
	case FailedInUse:
		Report("- output file in use by another program: %s.\n", name);
		break;
	case FailedShared:
		Report("- output file read-only and shared with another name, left as it is: %s.\n", name);
		break;
	default:
		Report("- failed to open output file: %s.\n", name);
		break;
	}
}

// Refuses a name that leads to the image, through any link.
static bool Is_Input(const char *name)
{
	if (!Leads_To_Input(name))
		return false;
	Report("- output file is the input file: %s.\n", name);
	return true;
}

// A killed run's leftover: empty, or the start of a block file and no longer than a whole one.
static bool Is_Leftover(FILE *old)
{
	std::size_t n = std::fread(FileText, 1, sizeof FileText, old);
	return !std::ferror(old) && std::fgetc(old) == EOF && std::memcmp(FileText, "S1", n < 2 ? n : 2) == 0;
}

// A new file at the temporary name. What stands there is removed only where it is a leftover of a killed
// run that no running conversion holds; anything else is the user's, or another run's, and is left alone.
static bool Create_Temp_File(void)
{
	for (int tries = 0; tries < 3; tries++) {
		FILE *old = nullptr;
		if (Create_New_File(TempFile))
			return true;
		if (Is_Input(TempFile))
			return false;
		int state = Open_Old_File(TempFile, &old);
		if (state == OldOpened) {
			if (!Is_Leftover(old)) {
				std::fclose(old);
				state = OldForeign;
			} else if (!Removed(Remove_Old_File(TempFile, old))) {
				return false;
			}
		}
		if (state == OldHeld) {
			Report("- temporary file in use by another run or program: %s.\n", TempFile);
			return false;
		}
		if (state == OldForeign) {
			Report("- temporary file name taken, left as it is: %s.\n", TempFile);
			return false;
		}
		if (state == OldFailed)
			break;
		// Removed, or gone meanwhile: the name is tried again.
	}
	Report_Open_Failure(TempFile);
	return false;
}

bool Input_Replaced(void)
{
	if (Is_Held_Input(InputFile))
		return false;
	Report("- input file replaced or removed during the run: %s.\n", InputFile);
	return true;
}

// True while name leads to the run's new file and that holds the text of length bytes that this run wrote: a
// FUSE view that numbers files by their names gives another file at the name the same number.
static bool Holds_Text(const char *name, std::size_t length)
{
	return Read_New_File(name, ReadBack, length) && std::memcmp(ReadBack, FileText, length) == 0;
}

int Write_S19_File(void)
{
	// Replacing a block name that the image leads to (ln -s img.A1.S19 img) would take the image's data.
	if (Is_Input(OutputFile))
		return -1;
	// A file of its own, never one that a link leads to: a hard-linked or symbolically linked block name
	// is replaced, and what it shared its data with keeps every byte.
	if (!Create_Temp_File())
		return -1;
	char *p = FileText;
	std::uint32_t offset = 0;
	// Full records first, then the rest: 1 to 32 bytes, or none for an empty block.
	for (; offset + RecordBytes < numRead; offset += RecordBytes)
		p = Put_Record(p, offset, RecordBytes);
	p = Put_Record(p, offset, numRead - offset);
	std::memcpy(p, EndRecord, sizeof EndRecord - 1);
	p += sizeof EndRecord - 1;

	std::size_t length = static_cast<std::size_t>(p - FileText);
	if (!Write_New_File(FileText, length)) {
		Report("- failed to write output file: %s.\n", OutputFile);
		Removed(Discard_New_File(TempFile));
		return -1;
	}
	// A block file written in place kept its permissions: a private one stays private.
	if (!Keep_Mode(OutputFile)) {
		Report("- failed to keep the permissions of output file: %s.\n", OutputFile);
		Removed(Discard_New_File(TempFile));
		return -1;
	}
	// A new build renamed to the image's name is another file, which a second run may be converting: its
	// blocks and this run's must not mix under one set of names. Checked while the new file is held, so that
	// such a run meets it here, or this run meets the image replaced.
	if (Input_Replaced()) {
		Removed(Discard_New_File(TempFile));
		return -1;
	}
	// A run that can't see this one's hold (another view of the folder, another kind of lock) may have
	// taken the file for a leftover, or a program written into it: what stands at the temporary name now is
	// not this run's to move.
	if (!Is_New_File(TempFile, length)) {
		Release_New_File();
		Report("- temporary file taken by another program: %s.\n", TempFile);
		return -1;
	}
	// Only a whole file takes the block name: the name holds the new file or, until now, the old one.
	if (!Replace_File(TempFile, OutputFile)) {
		Report_Open_Failure(OutputFile);
		Removed(Discard_New_File(TempFile));
		return -1;
	}
	// Listed only while the name leads to this run's file, and not one that another program put there since.
	bool own = Holds_Text(OutputFile, length);
	bool kept = End_Mode();
	Release_New_File();
	if (!own) {
		Report("- output file replaced by another program: %s.\n", OutputFile);
		return -1;
	}
	if (!kept) {
		Report("- failed to keep the permissions of output file: %s.\n", OutputFile);
		return -1;
	}
	// The console line comes only once the file is complete.
	Console("  -> output file = %s   SAVE 2300 %.4X %.8X\n", OutputFile,
	        static_cast<unsigned>(LoadAddress + numRead - 1), static_cast<unsigned>(SectorNumber));
	return 0;
}
