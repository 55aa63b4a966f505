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

static const std::uint32_t LoadAddress = 0x2300;
static const std::uint32_t RecordBytes = 32;
static const char HexDigits[] = "0123456789ABCDEF";
static const char EndRecord[] = "S9030000FC\r\n";

// Holds a whole block file (1024 full records and the end record), so it leaves in one write.
static char FileBuffer[(BlockSize / RecordBytes) * (2 + 2 * (1 + 2 + RecordBytes + 1) + 2) + sizeof EndRecord - 1];

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

static char *Put_Hex(char *p, std::uint32_t byte)
{
	p[0] = HexDigits[(byte >> 4) & 0xF];
	p[1] = HexDigits[byte & 0xF];
	return p + 2;
}

// One S1 record of count bytes from buffer[offset], assembled and written as one line.
static bool Write_Record(FILE *out, std::uint32_t offset, std::uint32_t count)
{
	char line[2 + 2 * (1 + 2 + RecordBytes + 1) + 2];
	std::uint32_t address = LoadAddress + offset;
	std::uint32_t sum = (count + 3) + (address >> 8) + (address & 0xFF);
	char *p = line;

	*p++ = 'S';
	*p++ = '1';
	p = Put_Hex(p, count + 3);
	p = Put_Hex(p, address >> 8);
	p = Put_Hex(p, address & 0xFF);
	for (std::uint32_t k = 0; k < count; k++) {
		std::uint32_t byte = buffer[offset + k];
		sum += byte;
		p = Put_Hex(p, byte);
	}
	p = Put_Hex(p, ~sum & 0xFF);
	*p++ = '\r';
	*p++ = '\n';
	std::size_t length = static_cast<std::size_t>(p - line);
	return std::fwrite(line, 1, length, out) == length;
}

int Write_S19_File(void)
{
	// Binary mode with explicit CR LF: the file has the same bytes on every platform.
	FILE *out = std::fopen(OutputFile, "wb");
	if (out == nullptr) {
		std::fprintf(stderr, "- failed to open output file: %s.\n", OutputFile);
		return -1;
	}
	std::setvbuf(out, FileBuffer, _IOFBF, sizeof FileBuffer);
	bool ok = true;

	std::uint32_t offset = 0;
	do {
		std::uint32_t count = numRead - offset < RecordBytes ? numRead - offset : RecordBytes;
		ok = ok && Write_Record(out, offset, count);
		offset += count;
	} while (offset < numRead);
	ok = ok && std::fputs(EndRecord, out) != EOF;
	// Flushed apart from fclose: some C runtimes drop a failed flush's error on close.
	ok = ok && std::fflush(out) == 0;
	if (std::fclose(out) != 0 || !ok) {
		std::fprintf(stderr, "- failed to write output file: %s.\n", OutputFile);
		std::remove(OutputFile);
		return -1;
	}

	// The console line comes only once the file is complete.
	std::printf("  -> output file = %s   SAVE 2300 %.4X %.8X\n", OutputFile,
	            static_cast<unsigned>(LoadAddress + numRead - 1), static_cast<unsigned>(SectorNumber));
	return 0;
}
