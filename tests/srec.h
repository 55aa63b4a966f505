// An independent reader for block files: checks the form of every record and returns the data.
#ifndef S19CUT_TEST_SREC_H
#define S19CUT_TEST_SREC_H

#include <string>

// Returns an empty text when file is a well-formed block file; data receives its bytes.
inline std::string Decode_Block_File(const std::string &file, std::string &data)
{
	static const std::string digits = "0123456789ABCDEF";
	std::size_t pos = 0;
	unsigned next = 0x2300;
	bool short_seen = false;

	data.clear();
	for (;;) {
		std::size_t eol = file.find("\r\n", pos);
		if (eol == std::string::npos)
			return "line without CR LF at offset " + std::to_string(pos);
		std::string line = file.substr(pos, eol - pos);
		pos = eol + 2;
		if (line == "S9030000FC")
			return pos == file.size() ? "" : "text after the S9 record";
		if (short_seen)
			return "record after a short one: " + line;
		if (line.size() < 10 || line.size() % 2 != 0 || line.compare(0, 2, "S1") != 0)
			return "not an S1 record: " + line;
		std::string bytes;
		unsigned sum = 0;
		for (std::size_t i = 2; i < line.size(); i += 2) {
			std::size_t hi = digits.find(line[i]), lo = digits.find(line[i + 1]);
			if (hi == std::string::npos || lo == std::string::npos)
				return "not upper-case hex: " + line;
			bytes += static_cast<char>(hi * 16 + lo);
			sum += static_cast<unsigned>(hi * 16 + lo);
		}
		std::size_t n = bytes.size() - 4;
		unsigned address = static_cast<unsigned char>(bytes[1]) * 256u + static_cast<unsigned char>(bytes[2]);
		if (static_cast<unsigned char>(bytes[0]) != bytes.size() - 1)
			return "wrong count: " + line;
		if ((sum & 0xFF) != 0xFF)
			return "wrong checksum: " + line;
		if (address != next || n > 32 || (n == 0 && address != 0x2300))
			return "record out of place: " + line;
		data += bytes.substr(3, n);
		next += static_cast<unsigned>(n);
		short_seen = n < 32;
	}
}

#endif
