// Arbitrary argument vectors: NUL-separated texts, long and non-ASCII ones included.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "s19cut.h"

static std::uint32_t Reference_Value(const char *text)
{
	std::uint64_t value = 0;
	for (int i = 0; i < 17 && text[i] != '\0'; i++) {
		int c = static_cast<signed char>(text[i]), digit;
		if (c >= '0' && c <= '?')
			digit = c - '0';
		else if (c >= 'A' && c <= 'F')
			digit = c - 'A' + 10;
		else if (c >= 'a' && c <= 'f')
			digit = c - 'a' + 10;
		else
			return 0xFFFFFFFF;
		value = (value * 16 + static_cast<std::uint64_t>(digit)) % 0x100000000;
	}
	return static_cast<std::uint32_t>(value);
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
	std::string text(reinterpret_cast<const char *>(data), size);
	std::vector<std::string> args{"s19cut"};
	for (std::size_t start = 0, end; start <= text.size(); start = end + 1) {
		end = std::min(text.find('\0', start), text.size());
		args.push_back(text.substr(start, end - start));
	}
	std::vector<char *> argv;
	for (auto &a : args) {
		argv.push_back(a.data());
		if (Get_Value(a.c_str()) != Reference_Value(a.c_str()))
			std::abort();
	}
	argv.push_back(nullptr);

	InputFile = nullptr;
	Swap = 0;
	Get_Arguments(static_cast<int>(args.size()), argv.data());
	bool inside = InputFile == nullptr;
	for (const auto &a : args)
		inside = inside || (InputFile >= a.data() + 2 && InputFile <= a.data() + a.size());
	if (!inside || (Swap != 0 && Swap != 1))
		std::abort();

	// The driver's refusal of long paths keeps every block-file name inside OutputFile.
	std::size_t n = InputFile == nullptr ? 0 : std::strlen(InputFile);
	if (InputFile != nullptr && n + 8 <= OutputFileSize) {
		Set_S19_Extension();
		int block = 0;
		for (;; block++) {
			const char suffix[] = {'.', static_cast<char>('A' + block / 10), static_cast<char>('0' + block % 10),
			                       '.', 'S', '1', '9', '\0'};
			if (std::strncmp(OutputFile, InputFile, n) != 0 || std::strcmp(OutputFile + n, suffix) != 0)
				std::abort();
			if (Get_Next_S19_Extension() != 0)
				break;
		}
		if (block != 259)
			std::abort();
	}
	return 0;
}
