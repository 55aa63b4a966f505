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

static void Rounds(int count)
{
	for (int i = 0; i < count; i++) {
		V[0] += V[1];
		V[1] = Rotate(V[1], 13) ^ V[0];
		V[0] = Rotate(V[0], 32);
		V[2] += V[3];
		V[3] = Rotate(V[3], 16) ^ V[2];
		V[0] += V[3];
		V[3] = Rotate(V[3], 21) ^ V[0];
		V[2] += V[1];
		V[1] = Rotate(V[1], 17) ^ V[2];
		V[2] = Rotate(V[2], 32);
	}
}

static void Word(std::uint64_t m)
{
	V[3] ^= m;
	Rounds(WordRounds);
	V[0] ^= m;
}

// Eight bytes as the little-endian number they make, on any processor.
static std::uint64_t Little(const unsigned char *p)
{
	std::uint64_t m = 0;
	for (int i = 7; i >= 0; i--)
		m = m << 8 | p[i];
	return m;
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
		Word(Little(Tail));
		Held = 0;
	}
	for (; count >= 8; bytes += 8, count -= 8)
		Word(Little(bytes));
	std::memcpy(Tail, bytes, count);
	Held += static_cast<unsigned>(count);
}

void End_Digest(std::uint64_t out[2])
{
	std::uint64_t last = static_cast<std::uint64_t>(Length) << 56;
	for (unsigned i = 0; i < Held; i++)
		last |= static_cast<std::uint64_t>(Tail[i]) << (8 * i);
	Word(last);
	V[2] ^= 0xEE;
	Rounds(EndRounds);
	out[0] = V[0] ^ V[1] ^ V[2] ^ V[3];
	V[1] ^= 0xDD;
	Rounds(EndRounds);
	out[1] = V[0] ^ V[1] ^ V[2] ^ V[3];
}

void Set_Digest_Rounds(int word, int end)
{
	WordRounds = word;
	EndRounds = end;
}
