// The digest of a run's image: SipHash-1-3 with its 128-bit result, over the bytes as they were read.
#include <cstring>

#include "s19cut.h"

// A fixed key: the digest tells a changed image from the one converted, where only a deliberate attack, not
// chance, could make two images share one.
static const std::uint64_t Key0 = 0x0706050403020100u, Key1 = 0x0F0E0D0C0B0A0908u;
// Rounds a word and at the end: SipHash-1-3, the variant with half the rounds a word of SipHash-2-4.
static int WordRounds = 1, EndRounds = 3;

// The state of the digest under way, the count of bytes it has taken, and the last of them that make no word yet.
static std::uint64_t V[4];
static std::uint64_t Length;
static unsigned char Tail[8];
static unsigned Held;

static std::uint64_t Rotate(std::uint64_t x, int bits)
{
	return (x << bits) | (x >> (64 - bits));
}

static void Round(std::uint64_t &v0, std::uint64_t &v1, std::uint64_t &v2, std::uint64_t &v3)
{
	v0 += v1;
	v1 = Rotate(v1, 13) ^ v0;
	v0 = Rotate(v0, 32);
	v2 += v3;
	v3 = Rotate(v3, 16) ^ v2;
	v0 += v3;
	v3 = Rotate(v3, 21) ^ v0;
	v2 += v1;
	v1 = Rotate(v1, 17) ^ v2;
	v2 = Rotate(v2, 32);
}

// Eight bytes as the little-endian number they make, on any processor.
static std::uint64_t Little(const unsigned char *p)
{
	std::uint64_t m = 0;
	for (int i = 7; i >= 0; i--)
		m = m << 8 | p[i];
	return m;
}

// Takes count words from bytes; the state stays in registers meanwhile.
static void Words(const unsigned char *bytes, std::size_t count)
{
	std::uint64_t v0 = V[0], v1 = V[1], v2 = V[2], v3 = V[3];
	for (; count > 0; count--, bytes += 8) {
		std::uint64_t m = Little(bytes);
		v3 ^= m;
		Round(v0, v1, v2, v3);
		for (int i = 1; i < WordRounds; i++)
			Round(v0, v1, v2, v3);
		v0 ^= m;
	}
	V[0] = v0;
	V[1] = v1;
	V[2] = v2;
	V[3] = v3;
}

static std::uint64_t End_Rounds(void)
{
	for (int i = 0; i < EndRounds; i++)
		Round(V[0], V[1], V[2], V[3]);
	return V[0] ^ V[1] ^ V[2] ^ V[3];
}

void Start_Digest(void)
{
	V[0] = Key0 ^ 0x736F6D6570736575u;
	V[1] = Key1 ^ 0x646F72616E646F6Du ^ 0xEE;
	V[2] = Key0 ^ 0x6C7967656E657261u;
	V[3] = Key1 ^ 0x7465646279746573u;
	Length = 0;
	Held = 0;
}

void Add_To_Digest(const unsigned char *bytes, std::size_t count)
{
	Length += count;
	if (Held > 0) {
		std::size_t take = count < 8 - Held ? count : 8 - Held;
		std::memcpy(Tail + Held, bytes, take);
		Held += static_cast<unsigned>(take);
		bytes += take;
		count -= take;
		if (Held < 8)
			return;
		Words(Tail, 1);
		Held = 0;
	}
	Words(bytes, count / 8);
	bytes += count / 8 * 8;
	count %= 8;
	std::memcpy(Tail, bytes, count);
	Held = static_cast<unsigned>(count);
}

void End_Digest(std::uint64_t out[2])
{
	std::memset(Tail + Held, 0, 8 - Held);
	Tail[7] = static_cast<unsigned char>(Length);
	Words(Tail, 1);
	V[2] ^= 0xEE;
	out[0] = End_Rounds();
	V[1] ^= 0xDD;
	out[1] = End_Rounds();
}

void Set_Digest_Rounds(int word, int end)
{
	WordRounds = word;
	EndRounds = end;
}
