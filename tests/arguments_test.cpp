#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "s19cut.h"

TEST(Hex_2_Int, AcceptsHexDigitsAndTheSixCharactersAfterNine)
{
	for (int c = -128; c < 128; c++) {
		int expected = -1;
		if (c >= '0' && c <= '?')
			expected = c - '0';
		else if ((c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f'))
			expected = (c & ~0x20) - 'A' + 10;
		EXPECT_EQ(Hex_2_Int(static_cast<char>(c)), expected) << "character " << c;
	}
}

TEST(Get_Value, ReadsSeventeenCharactersInto32Bits)
{
	const struct { const char *text; std::uint32_t value; } cases[] = {
		{"", 0}, {"1a0", 0x1A0}, {"1A0", 0x1A0}, {":0", 0xA0}, {"FFFFFFC0", 0xFFFFFFC0},
		{"123456789", 0x23456789}, {"0123456789ABCDEF01", 0x9ABCDEF0},
		{"00000000000000001G", 1}, {"G", 0xFFFFFFFF}, {"0x100", 0xFFFFFFFF}, {"1 ", 0xFFFFFFFF},
		{"\xC1", 0xFFFFFFFF},
	};
	for (const auto &c : cases)
		EXPECT_EQ(Get_Value(c.text), c.value) << c.text;
}

TEST(Get_Arguments, ReadsOptionsUpToTheFirstNonOption)
{
	const std::string unknown = "- option not recognized, ignored.\n";
	const struct {
		std::vector<std::string> args;
		const char *input;
		std::int32_t swap;
		std::uint32_t sector;
		std::string err;
	} cases[] = {
		{{}, nullptr, 0, 0, ""},
		{{"-fimage.bin", "-i", "-s100"}, "image.bin", 1, 0x100, ""},
		{{"-fa.bin", "-fb.bin", "-s1", "-s2"}, "b.bin", 0, 2, ""},
		{{"-s1a0"}, nullptr, 0, 0x1A0, ""},
		{{"-f", "image.bin", "-i"}, "", 0, 0, "- arguments not read, ignored: image.bin -i.\n"},
		{{"-f x.bin"}, " x.bin", 0, 0, ""},
		{{"image.bin", "-fimage.bin"}, nullptr, 0, 0, "- arguments not read, ignored: image.bin -fimage.bin.\n"},
		{{"-s", "100", "-fimage.bin"}, nullptr, 0, 0, "- arguments not read, ignored: 100 -fimage.bin.\n"},
		{{"-ix", "-sG"}, nullptr, 1, 0xFFFFFFFF, unknown + "- sector number is not hexadecimal: G.\n"},
		{{"-s1:0", "-s00000000000000001G", "-s"}, nullptr, 0, 0,
		 "- sector number is not hexadecimal: 1:0.\n- sector number is not hexadecimal: 00000000000000001G.\n"},
		{{"-is100"}, nullptr, 1, 0, unknown},
		{{"-x", "-F", "-", "-fa", "-I"}, "a", 0, 0, unknown + unknown + unknown + unknown},
	};
	for (const auto &c : cases) {
		std::vector<std::string> args = c.args;
		std::vector<char *> argv{const_cast<char *>("s19cut")};
		for (auto &a : args)
			argv.push_back(a.data());
		argv.push_back(nullptr);
		InputFile = nullptr;
		Swap = 0;
		SectorNumber = 0;
		testing::internal::CaptureStderr();
		Get_Arguments(static_cast<int>(argv.size() - 1), argv.data());
		std::string err = testing::internal::GetCapturedStderr();

		std::string what = testing::PrintToString(c.args);
		EXPECT_STREQ(InputFile, c.input) << what;
		EXPECT_EQ(Swap, c.swap) << what;
		EXPECT_EQ(SectorNumber, c.sector) << what;
		EXPECT_EQ(err, c.err) << what;
	}
}
