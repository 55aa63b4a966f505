// s19cut: cuts a binary image into 32 KiB blocks, each written as an S19 file
// with the SAVE text that stores it on the target.
#include <cstdio>
#include <cstring>

#include "s19cut.h"

// Reports a stop signal's arrival; then the run ends with -1. Console lines that can't be written any
// more are dropped by the flush before the message.
static bool Stopped(void)
{
	if (!Stop_Requested())
		return false;
	Report("- interrupted: the block files written so far are complete.\n");
	return true;
}

// The image as this run converted it: its bytes' digest and their count.
static std::uint64_t Converted;
static std::uint64_t ConvertedLength;

// True where the image, read again from its start, holds exactly the bytes that were converted: a new build
// copied over it in place, or written into it, is told by its bytes, whatever its size and times say. A pipe
// can't be read again.
static bool Image_Unchanged(FILE *in)
{
	if (!Input_Is_File())
		return true;
	if (std::fseek(in, 0, SEEK_SET) != 0) {
		Report("- error occurred reading input file.\n");
		return false;
	}
	std::uint64_t length = 0;
	std::size_t n;
	Start_Digest();
	while ((n = std::fread(buffer, 1, sizeof buffer, in)) > 0 && length <= ConvertedLength) {
		Add_To_Digest(buffer, n);
		length += n;
	}
	if (Stopped())
		return false;
	if (std::ferror(in)) {
		Report("- error occurred reading input file.\n");
		return false;
	}
	if (length == ConvertedLength && End_Digest() == Converted)
		return true;
	Report("- input file changed during the run: %s; the block files listed above are not all of one image.\n",
	       InputFile);
	return false;
}

static void Swap_Words(void)
{
	for (std::uint32_t i = 0; i < numRead; i += 2) {
		unsigned char low = buffer[i];
		buffer[i] = buffer[i + 1];
		buffer[i + 1] = low;
	}
	// An odd last byte pairs with the cleared byte behind it; both are kept.
	numRead += numRead & 1;
}

int main(int argc, char *argv[])
{
	Catch_Signals();
	Start_Console();
	// An older Windows gives main a look-alike for a letter outside its code page, which names another file.
	if (!Arguments_As_Typed())
		return -1;
	SectorNumber = 0;
	Swap = 0;
	InputFile = nullptr;
	Get_Arguments(argc, argv);
	if (InputFile == nullptr) {
		Report("- no input file specified.\n");
		return -1;
	}
	if (std::strlen(InputFile) + 8 > OutputFileSize) {
		Report("- input file name too long: %s.\n", InputFile);
		return -1;
	}
	Set_S19_Extension();
	Console(Swap != 0 ? "  -> input file  = %s  Intel->Motorola\n" : "  -> input file  = %s\n", InputFile);

	// Opening a FIFO waits for its writer: a stop before the open or during it ends the run.
	if (Stopped())
		return -1;
	FILE *in = std::fopen(InputFile, "rb");
	if (in == nullptr) {
		if (!Stopped())
			Report("- failed to open input file: %s.\n", InputFile);
		return -1;
	}
	// A second run on the image, with other options perhaps, would rename its block files over this one's.
	if (!Hold_Input(in)) {
		Report("- input file in use by another run or program: %s.\n", InputFile);
		return -1;
	}
	bool more = true;
	Start_Digest();
	while (more) {
		if (Stopped())
			return -1;
		numRead = static_cast<std::uint32_t>(std::fread(buffer, 1, sizeof buffer, in));
		// A read that waits on a pipe returns early on a stop signal: checked before its error.
		if (Stopped())
			return -1;
		if (std::ferror(in)) {
			Report("- error occurred reading input file.\n");
			return -1;
		}
		Add_To_Digest(buffer, numRead);
		ConvertedLength += numRead;
		// A short block is followed by zeros: the swap pads an odd count with the first of them.
		std::memset(buffer + numRead, 0, sizeof buffer - numRead);
		// A full read never ends the loop: an exact multiple of 32768 ends with an empty block.
		more = numRead == BlockSize;
		if (Swap == 1)
			Swap_Words();
		if (Write_S19_File() != 0) {
			Stopped(); // a write cut short by a stop signal was reported as failed: say why
			return -1;
		}
		if (more && Get_Next_S19_Extension() != 0) {
			Report("- ran out of extension sequence specifiers!\n");
			return -1;
		}
	}
	Converted = End_Digest();

	// The SAVE texts are what the user types on the target: losing them is a failure.
	bool lost = std::fflush(stdout) != 0 || std::ferror(stdout);
	if (Stopped())
		return -1;
	if (lost) {
		Report("- failed to write standard output.\n");
		return -1;
	}
	// A console line that waited for its reader may list a block that a run on a new image wrote since, or
	// blocks of an image that changed in place meanwhile. Checked while the image is still open, so that its
	// identity is this run's file's and no other's.
	if (Input_Replaced() || !Image_Unchanged(in))
		return -1;
	std::fclose(in);
	return 0;
}
