// The I/O floor of a conversion: `io_floor IMAGE` reads IMAGE in blocks of 32768 bytes and, like
// `s19cut -fIMAGE`, writes IMAGE.A0.S19, IMAGE.A1.S19, ... of the sizes s19cut's block files have, each with
// one write to a new file that is then renamed over the block name, and prints the same console lines: the
// input line and one line per file. It converts nothing: what s19cut costs beyond this program is the
// conversion. `io_floor --plain IMAGE` writes each block name in place instead, with no temporary file or
// rename: the least that writing the files can cost.
#include <cstdio>
#include <cstring>

static unsigned char Block[32768];
// A full block file's worth of text. It is filled before use: an untouched static buffer is the kernel's
// shared zero page, and writing from it costs less than writing real text.
static char Text[1024 * 76 + 12];

int main(int argc, char *argv[])
{
	bool plain = argc == 3 && std::strcmp(argv[1], "--plain") == 0;
	if (argc != 2 && !plain) {
		std::fputs("usage: io_floor [--plain] IMAGE\n", stderr);
		return 2;
	}
	argv += plain;
	std::memset(Text, 'S', sizeof Text);
	std::printf("  -> input file  = %s\n", argv[1]);
	FILE *in = std::fopen(argv[1], "rb");
	if (in == nullptr) {
		std::fprintf(stderr, "io_floor: can't open %s\n", argv[1]);
		return 1;
	}
	for (int block = 0; block < 260; block++) {
		std::size_t n = std::fread(Block, 1, sizeof Block, in);
		if (std::ferror(in)) {
			std::fprintf(stderr, "io_floor: can't read %s\n", argv[1]);
			return 1;
		}
		// Records of 32 bytes take 76 characters; the last holds the rest; then the 12 of the S9 line.
		std::size_t full = n == 0 ? 0 : (n - 1) / 32;
		std::size_t size = full * 76 + 12 + 2 * (n - 32 * full) + 12;
		char name[4096], temp[4096];
		std::snprintf(name, sizeof name, "%s.%c%c.S19", argv[1], 'A' + block / 10, '0' + block % 10);
		std::snprintf(temp, sizeof temp, "%s.%c%c.tmp", argv[1], 'A' + block / 10, '0' + block % 10);
		FILE *out = std::fopen(plain ? name : temp, plain ? "wb" : "wbx");
		if (out == nullptr) {
			std::fprintf(stderr, "io_floor: can't create %s\n", name);
			return 1;
		}
		std::setvbuf(out, nullptr, _IONBF, 0);
		bool ok = std::fwrite(Text, 1, size, out) == size && std::fflush(out) == 0;
		if (std::fclose(out) != 0 || !ok || (!plain && std::rename(temp, name) != 0)) {
			std::fprintf(stderr, "io_floor: can't write %s\n", name);
			return 1;
		}
		std::printf("  -> output file = %s   SAVE 2300 %.4X %.8X\n", name, static_cast<unsigned>(0x2300 + n - 1),
		            static_cast<unsigned>(block * 64));
		if (n < sizeof Block)
			break;
	}
	std::fclose(in);
	return 0;
}
