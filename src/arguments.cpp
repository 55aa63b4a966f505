// Command line: -f<path>, -i, -s<hex sector>.
#include <cstdio>
#include <cstring>

#include "s19cut.h"

const char *InputFile;
std::int32_t Swap;
std::uint32_t SectorNumber;

void Get_Arguments(int argc, char *argv[])
{
	int i = 1;
	for (; i < argc && argv[i][0] == '-'; i++) {
		const char *arg = argv[i];
		switch (arg[1]) {
		case 'f':
			InputFile = arg + 2;
			break;
		case 'i':
			Swap = 1;
			// -is100 is not -i -s100: the user must learn that s100 was not read.
			if (arg[2] != '\0')
				Report("- option not recognized, ignored.\n");
			break;
		case 's':
			SectorNumber = Get_Value(arg + 2);
			// The value stays as read, but a typo such as 1O0 must not pass unseen.
			if (arg[2 + std::strspn(arg + 2, "0123456789ABCDEFabcdef")] != '\0')
				Report("- sector number is not hexadecimal: %s.\n", arg + 2);
			break;
		default:
			Report("- option not recognized, ignored.\n");
			break;
		}
	}
	// Options end at the first other argument: -s 100 must not quietly mean sector 0.
	if (i < argc) {
		Report("- arguments not read, ignored:");
		for (; i < argc; i++)
			std::fprintf(stderr, " %s", argv[i]);
		std::fputs(".\n", stderr);
	}
}

std::uint32_t Get_Value(const char *text)
{
	std::uint32_t value = 0;

	// Only 17 characters are read; 32-bit arithmetic keeps the last eight digits.
	for (int i = 0; i < 17 && text[i] != '\0'; i++) {
		std::int32_t digit = Hex_2_Int(text[i]);
		if (digit < 0)
			return 0xFFFFFFFFu;
		value = (value << 4) + static_cast<std::uint32_t>(digit);
	}
	return value;
}

std::int32_t Hex_2_Int(char c)
{
	// Signed on every platform, so bytes from 0x80 up are refused alike.
	int ch = static_cast<signed char>(c);
	int value;

	if (ch >= 'A' && ch <= 'F')
		value = ch - 'A' + 10;
	else if (ch >= 'a' && ch <= 'f')
		value = ch - 'a' + 10;
	else
		value = ch - '0';
	return value >= 0 && value <= 15 ? value : -1;
}
