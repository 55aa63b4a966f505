#include <gtest/gtest.h>

#include <string>

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
