// The digest of a run's image: XXH64 with the seed 0, over the bytes as they were read.
#include <cstring>

#include "s19cut.h"

static const std::uint64_t Prime1 = 0x9E3779B185EBCA87u, Prime2 = 0xC2B2AE3D27D4EB4Fu,
                           Prime3 = 0x165667B19E3779F9u, Prime4 = 0x85EBCA77C2B2AE63u,
                           Prime5 = 0x27D4EB2F165667C5u;

// The four lanes of the digest under way, the count of bytes it has taken, and the last of them that make no
// stripe of 32 yet.
static std::uint64_t V[4];
static std::uint64_t Length;
static unsigned char Tail[32];
static unsigned Held;

static std::uint64_t Rotate(std::uint64_t x, int bits)
{
	return (x << bits) | (x >> (64 - bits));
}

// Eight bytes as the little-endian number they make, on any processor.
static std::uint64_t Little(const unsigned char *p)
{
	std::uint64_t m = 0;
	for (int i = 7; i >= 0; i--)
		m = m << 8 | p[i];
	return m;
}

static std::uint64_t Mix(std::uint64_t lane, std::uint64_t word)
{
	return Rotate(lane + word * Prime2, 31) * Prime1;
}

// Takes count stripes of 32 bytes; the lanes stay in registers meanwhile, each its own chain of work.
static void Stripes(const unsigned char *bytes, std::size_t count)
{
	std::uint64_t v0 = V[0], v1 = V[1], v2 = V[2], v3 = V[3];
	for (; count > 0; count--, bytes += 32) {
		v0 = Mix(v0, Little(bytes));
		v1 = Mix(v1, Little(bytes + 8));
		v2 = Mix(v2, Little(bytes + 16));
		v3 = Mix(v3, Little(bytes + 24));
	}
	V[0] = v0;
	V[1] = v1;
	V[2] = v2;
	V[3] = v3;
}

void Start_Digest(void)
{
	V[0] = Prime1 + Prime2;
	V[1] = Prime2;
	V[2] = 0;
	V[3] = 0 - Prime1;
	Length = 0;
	Held = 0;
}

void Add_To_Digest(const unsigned char *bytes, std::size_t count)
{
	Length += count;
	if (Held > 0) {
		std::size_t take = count < 32 - Held ? count : 32 - Held;
		std::memcpy(Tail + Held, bytes, take);
		Held += static_cast<unsigned>(take);
		bytes += take;
		count -= take;
		if (Held < 32)
			return;
		Stripes(Tail, 1);
		Held = 0;
	}
	Stripes(bytes, count / 32);
	bytes += count / 32 * 32;
	count %= 32;
	std::memcpy(Tail, bytes, count);
	Held = static_cast<unsigned>(count);
}

std::uint64_t End_Digest(void)
{
	std::uint64_t h = Prime5;
	if (Length >= 32) {
		h = Rotate(V[0], 1) + Rotate(V[1], 7) + Rotate(V[2], 12) + Rotate(V[3], 18);
		for (std::uint64_t lane : V)
			h = (h ^ Mix(0, lane)) * Prime1 + Prime4;
	}
	h += Length;
	const unsigned char *p = Tail;
	unsigned n = Held;
	for (; n >= 8; n -= 8, p += 8)
		h = Rotate(h ^ Mix(0, Little(p)), 27) * Prime1 + Prime4;
	if (n >= 4) {
		std::uint64_t word = std::uint64_t{p[0]} | std::uint64_t{p[1]} << 8 | std::uint64_t{p[2]} << 16 | std::uint64_t{p[3]} << 24;
		h = Rotate(h ^ word * Prime1, 23) * Prime2 + Prime3;
		n -= 4;
		p += 4;
	}
	for (; n > 0; n--, p++)
		h = Rotate(h ^ *p * Prime5, 11) * Prime1;
	h ^= h >> 33;
	h *= Prime2;
	h ^= h >> 29;
	h *= Prime3;
	return h ^ h >> 32;
}
