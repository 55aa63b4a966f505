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

static std::string Digest_Of(const unsigned char *bytes, const std::vector<std::size_t> &pieces)
{
	std::uint64_t out[2];
	char text[33];
	Start_Digest();
	for (std::size_t piece : pieces) {
		Add_To_Digest(bytes, piece);
		bytes += piece;
	}
	End_Digest(out);
	for (int i = 0; i < 16; i++)
		std::snprintf(text + 2 * i, 3, "%02x", static_cast<unsigned>(out[i / 8] >> (8 * (i % 8))) & 0xFF);
	return text;
}

// With SipHash-2-4's rounds, its published 128-bit results for the key 00 01 … 0F and the inputs 00 01 …;
// with the run's own, any cut of an input into the pieces a run reads gives the digest of the whole, and a
// flipped bit or one byte more gives another.
TEST(Digest, IsSipHash128AndDoesNotDependOnHowTheBytesCome)
{
	unsigned char bytes[65];
	for (int i = 0; i < 65; i++)
		bytes[i] = static_cast<unsigned char>(i);
	Set_Digest_Rounds(2, 4);
	EXPECT_EQ(Digest_Of(bytes, {}), "a3817f04ba25a8e66df67214c7550293");
	EXPECT_EQ(Digest_Of(bytes, {1}), "da87c1d86b99af44347659119b22fc45");
	Set_Digest_Rounds(1, 3);
	std::string whole = Digest_Of(bytes, {64});
	const std::vector<std::size_t> cuts[] = {{3, 5, 1, 55}, {7, 9, 48}, {0, 64, 0}, {1, 1, 1, 1, 1, 1, 1, 1, 56}};
	for (const auto &cut : cuts)
		EXPECT_EQ(Digest_Of(bytes, cut), whole);
	EXPECT_NE(Digest_Of(bytes, {63}), whole);
	EXPECT_NE(Digest_Of(bytes, {65}), whole);
	for (int bit = 0; bit < 64 * 8; bit += 7) {
		bytes[bit / 8] ^= static_cast<unsigned char>(1 << (bit % 8));
		EXPECT_NE(Digest_Of(bytes, {64}), whole) << "bit " << bit;
		bytes[bit / 8] ^= static_cast<unsigned char>(1 << (bit % 8));
	}
}
