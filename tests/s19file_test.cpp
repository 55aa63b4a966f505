#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "s19cut.h"

TEST(Block_Names, RunFromA0ToZ9AndStopThere)
{
	InputFile = "image.S19";
	SectorNumber = 0x100;
	Set_S19_Extension();
	EXPECT_STREQ(OutputFile, "image.S19.A0.S19");
	for (int block = 1; block < 260; block++) {
		ASSERT_EQ(Get_Next_S19_Extension(), 0) << block;
		if (block == 10) {
			EXPECT_STREQ(OutputFile, "image.S19.B0.S19");
		}
	}
	EXPECT_STREQ(OutputFile, "image.S19.Z9.S19");
	EXPECT_STREQ(Extension, ".Z9");
	EXPECT_EQ(SectorNumber, 0x100u + 259 * 64);
	EXPECT_EQ(Get_Next_S19_Extension(), -1);
	EXPECT_STREQ(OutputFile, "image.S19.Z9.S19");
	EXPECT_EQ(SectorNumber, 0x100u + 259 * 64);
}

TEST(Block_Names, SectorNumberWrapsAt32Bits)
{
	InputFile = "a";
	SectorNumber = 0xFFFFFFC0;
	Set_S19_Extension();
	ASSERT_EQ(Get_Next_S19_Extension(), 0);
	EXPECT_EQ(SectorNumber, 0u);
	EXPECT_STREQ(OutputFile, "a.A1.S19");
}

static std::uint64_t Digest_Of(const unsigned char *bytes, const std::vector<std::size_t> &pieces)
{
	Start_Digest();
	for (std::size_t piece : pieces) {
		Add_To_Digest(bytes, piece);
		bytes += piece;
	}
	return End_Digest();
}

// XXH64's results with the seed 0, as xxhsum -H64 gives them, for the inputs 00 01 … of lengths that take
// each of its paths (bytes, a word of four, of eight, stripes of 32); any cut of an input into the pieces a
// run reads gives the digest of the whole, and a flipped bit or one byte more gives another.
TEST(Digest, IsXxh64AndDoesNotDependOnHowTheBytesCome)
{
	unsigned char bytes[100];
	for (int i = 0; i < 100; i++)
		bytes[i] = static_cast<unsigned char>(i);
	const struct {
		std::size_t length;
		std::uint64_t digest;
	} known[] = {
		{0, 0xef46db3751d8e999u},  {1, 0xe934a84adb052768u},  {3, 0xe5c7bb4533bc65ddu},
		{4, 0xffced8604453cc1eu},  {8, 0x884a173614b81b8du},  {14, 0x5cda8b69bbfc1d45u},
		{31, 0xc346d2b59b4d8ee1u}, {32, 0xcbf59c5116ff32b4u}, {64, 0xf7c67301db6713f0u},
		{65, 0xc31eb63b2ae4465bu}, {100, 0x6ac1e58032166597u},
	};
	for (const auto &k : known)
		EXPECT_EQ(Digest_Of(bytes, {k.length}), k.digest) << k.length << " bytes";
	std::uint64_t whole = Digest_Of(bytes, {100});
	const std::vector<std::size_t> cuts[] = {{3, 5, 1, 91}, {7, 9, 48, 36}, {0, 100, 0}, {31, 1, 32, 36}, {1, 1, 1, 1, 1, 1, 1, 1, 92}};
	for (const auto &cut : cuts)
		EXPECT_EQ(Digest_Of(bytes, cut), whole);
	for (int bit = 0; bit < 100 * 8; bit += 7) {
		bytes[bit / 8] ^= static_cast<unsigned char>(1 << (bit % 8));
		EXPECT_NE(Digest_Of(bytes, {100}), whole) << "bit " << bit;
		bytes[bit / 8] ^= static_cast<unsigned char>(1 << (bit % 8));
	}
}
