// s19cut: cuts a binary image into 32 KiB blocks, each written as an S19 file
// with the SAVE text that stores it on the target.
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#ifndef _WIN32
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#endif

#include "s19cut.h"

// Set by a stop signal; the run stops at the next check, before it writes another block.
static volatile std::sig_atomic_t Interrupted;

#ifndef _WIN32
// The input's descriptor and standard output's where it is a pipe, or -1, with their flags: a stop makes
// them non-blocking, so that a read or write that starts after the signal returns at once instead of waiting.
static volatile std::sig_atomic_t Waits[2] = {-1, -1};
static volatile std::sig_atomic_t WaitFlags[2];
#endif

static void Interrupt(int)
{
	Interrupted = 1;
#ifndef _WIN32
	int saved = errno;
	for (int i = 0; i < 2; i++)
		if (Waits[i] >= 0)
			fcntl(Waits[i], F_SETFL, WaitFlags[i] | O_NONBLOCK);
	errno = saved;
#endif
}

// Lets a stop end any wait on stream: slot 0 the input, 1 standard output.
static void Unblock_On_Stop(int slot, FILE *stream)
{
#ifndef _WIN32
	int fd = fileno(stream), flags = fcntl(fd, F_GETFL);
	if (flags >= 0) {
		WaitFlags[slot] = flags;
		Waits[slot] = fd;
	}
#else
	(void)slot;
	(void)stream;
#endif
}

// Gives the descriptors their flags back: /dev/stdin may share the caller's.
static void Restore_Blocking(void)
{
#ifndef _WIN32
	for (int i = 0; i < 2; i++) {
		int fd = Waits[i];
		Waits[i] = -1;
		if (fd >= 0)
			fcntl(fd, F_SETFL, WaitFlags[i]);
	}
#endif
}

// Catches sig unless the caller ignores it (nohup, a script's background job): that stays ignored.
static void Catch_Stop(int sig)
{
#ifdef _WIN32
	// The runtime puts back the default action before it calls Interrupt: a second Ctrl+C ends the tool.
	if (std::signal(sig, Interrupt) == SIG_IGN)
		std::signal(sig, SIG_IGN);
#else
	// Read first, so that an ignored signal is never caught even for a moment; no SA_RESTART, so that a
	// read, write or open that waits returns at once, and the handler stays for every further signal.
	struct sigaction old, stop = {};
	if (sigaction(sig, nullptr, &old) != 0 || old.sa_handler == SIG_IGN)
		return;
	stop.sa_handler = Interrupt;
	sigemptyset(&stop.sa_mask);
	sigaction(sig, &stop, nullptr);
#endif
}

static void Catch_Signals(void)
{
	// A closed pipe or a file-size limit then fails the write, which is reported like a full disk.
#ifdef SIGPIPE
	std::signal(SIGPIPE, SIG_IGN);
#endif
#ifdef SIGXFSZ
	std::signal(SIGXFSZ, SIG_IGN);
#endif
#ifndef _WIN32
	// A pipe nobody reads must not hold up a stop; a terminal or file shared with the shell is left as it is.
	struct stat out;
	if (fstat(fileno(stdout), &out) == 0 && (S_ISFIFO(out.st_mode) || S_ISSOCK(out.st_mode)))
		Unblock_On_Stop(1, stdout);
#endif
	Catch_Stop(SIGINT);
	Catch_Stop(SIGTERM);
#ifdef SIGHUP
	Catch_Stop(SIGHUP);
#endif
#ifdef SIGBREAK
	Catch_Stop(SIGBREAK);
#endif
}

// Reports a stop signal's arrival; then the run ends with -1. Console lines that a pipe can't take any
// more are dropped by the flush before the message.
static bool Stopped(void)
{
	if (!Interrupted)
		return false;
	Report("- interrupted: the block files written so far are complete.\n");
	Restore_Blocking();
	return true;
}

static void Swap_Words(void)
{
	for (std::uint32_t i = 0; i < numRead; i += 2) {
		unsigned char low = buffer[i];
		buffer[i] = buffer[i + 1];
		buffer[i + 1] = low;
	}
	// An odd last byte pairs with the cleared byte behind it; both are kept.
	numRead += numRead & 1;
}

int main(int argc, char *argv[])
{
	Catch_Signals();
	SectorNumber = 0;
	Swap = 0;
	InputFile = nullptr;
	Get_Arguments(argc, argv);
	if (InputFile == nullptr) {
		Report("- no input file specified.\n");
		return -1;
	}
	if (std::strlen(InputFile) + 8 > OutputFileSize) {
		Report("- input file name too long: %s.\n", InputFile);
		return -1;
	}
	Set_S19_Extension();
	std::printf(Swap != 0 ? "  -> input file  = %s  Intel->Motorola\n" : "  -> input file  = %s\n", InputFile);

	// Opening a FIFO waits for its writer: a stop signal then ends the wait.
	FILE *in = std::fopen(InputFile, "rb");
	if (in == nullptr) {
		if (Stopped())
			return -1;
		Report("- failed to open input file: %s.\n", InputFile);
		return -1;
	}
	Unblock_On_Stop(0, in);
	bool more = true;
	while (more) {
		if (Stopped())
			return -1;
		numRead = static_cast<std::uint32_t>(std::fread(buffer, 1, sizeof buffer, in));
		// A read that waits on a pipe returns early on a stop signal: checked before its error.
		if (Stopped())
			return -1;
		if (std::ferror(in)) {
			Report("- error occurred reading input file.\n");
			return -1;
		}
		// A short block is followed by zeros: the swap pads an odd count with the first of them.
		std::memset(buffer + numRead, 0, sizeof buffer - numRead);
		// A full read never ends the loop: an exact multiple of 32768 ends with an empty block.
		more = numRead == BlockSize;
		if (Swap == 1)
			Swap_Words();
		if (Write_S19_File() != 0) {
			Stopped(); // a write cut short by a stop signal was reported as failed: say why
			return -1;
		}
		if (more && Get_Next_S19_Extension() != 0) {
			Report("- ran out of extension sequence specifiers!\n");
			return -1;
		}
	}
	std::fclose(in);

	// The SAVE texts are what the user types on the target: losing them is a failure.
	bool lost = std::fflush(stdout) != 0 || std::ferror(stdout);
	if (Stopped())
		return -1;
	if (lost) {
		Report("- failed to write standard output.\n");
		return -1;
	}
	return 0;
}
