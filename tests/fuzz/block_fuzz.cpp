// Arbitrary blocks of 0 to 32768 bytes, written by Write_S19_File and read back. Some are first swapped in
// 16-bit words as the driver swaps them, by a copy of that swap here: the driver itself (main.cpp) is out of
// reach, and its swap is checked by the end-to-end tests.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "../srec.h"
#include "s19cut.h"

static std::string Path;

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
	Path = "/tmp/s19cut-fuzz-" + std::to_string(getpid()) + ".bin";
	InputFile = Path.c_str();
	return 0;
}

// Input: two bytes of length, one of flags (bit 0: swap), then the data, repeated to fill the block.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
	if (size < 3)
		return 0;
	std::uint32_t length = (data[0] + 256u * data[1]) % (BlockSize + 1);
	bool swap = (data[2] & 1) != 0;
	std::string block(length, '\0');
	for (std::uint32_t i = 0; size > 3 && i < length; i++)
		block[i] = static_cast<char>(data[3 + i % (size - 3)]);
	if (swap) { // as the driver does: pairs exchanged, an odd last byte padded with a zero
		block.resize(length + length % 2, '\0');
		for (std::size_t i = 0; i < block.size(); i += 2)
			std::swap(block[i], block[i + 1]);
	}
	std::memset(buffer, 0, sizeof buffer);
	std::memcpy(buffer, block.data(), block.size());
	numRead = static_cast<std::uint32_t>(block.size());

	Set_S19_Extension();
	if (Write_S19_File() != 0)
		std::abort();
	std::string file, decoded;
	FILE *in = std::fopen(OutputFile, "rb");
	for (int c; in != nullptr && (c = std::fgetc(in)) != EOF;)
		file += static_cast<char>(c);
	if (in == nullptr || std::fclose(in) != 0 || !Decode_Block_File(file, decoded).empty() || decoded != block)
		std::abort();
	std::remove(OutputFile);
	return 0;
}
