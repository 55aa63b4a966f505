// POSIX: stop signals and the timer that ends any wait after one; the image and new files locked as one run's
// own, the new files from their creation until they have their block names; what stands at a name, judged
// without following it.
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

#include "s19cut.h"

// Set by a stop signal; the run stops at its next check.
static volatile std::sig_atomic_t Interrupted;
// The new file's descriptor, whose lock keeps other runs from taking the file; -1 when there is none.
static int NewFile = -1;
// The new file as it was made: its device, inode and permission bits (as the umask gave them).
static struct stat NewId;
// The new file's permission bits now, and those it ends with.
static mode_t NewMode, FinalMode;
// The image as it was opened, and whether that could be read.
static struct stat InputId;
static bool InputKnown;
// The last name that Leads_To_Input looked at, what stands there (or the errno of the look), for Keep_Mode.
static char Looked[OutputFileSize];
static struct stat LookedAt;
static int LookedError;

// A tick ends the wait it lands in, and nothing more.
static void Tick(int) {}

// After a stop a timer ticks until the run ends, so that a read, write or open that begins after the stop,
// even in the instant after a check, ends at the next tick. The caller's descriptors keep their flags, and
// SIGALRM is left as the caller set it until a stop. A mask inherited from the caller may block SIGALRM: the
// code that the signal interrupted goes on with it unblocked.
static void Interrupt(int, siginfo_t *, void *context)
{
	sigdelset(&static_cast<ucontext_t *>(context)->uc_sigmask, SIGALRM);
	if (Interrupted)
		return;
	Interrupted = 1;
	int saved = errno;
	struct sigaction tick = {};
	tick.sa_handler = Tick;
	sigemptyset(&tick.sa_mask);
	sigaction(SIGALRM, &tick, nullptr);
	struct itimerval every = {{0, 20000}, {0, 20000}};
	setitimer(ITIMER_REAL, &every, nullptr);
	errno = saved;
}

// Catches sig unless the caller ignores it (nohup, a script's background job): that stays ignored. Read
// first, so that an ignored signal is never caught even for a moment; no SA_RESTART, so that a wait that is
// under way when the signal comes ends at once.
static void Catch_Stop(int sig)
{
	struct sigaction old, stop = {};
	if (sigaction(sig, nullptr, &old) != 0 || old.sa_handler == SIG_IGN)
		return;
	stop.sa_sigaction = Interrupt;
	stop.sa_flags = SA_SIGINFO;
	sigemptyset(&stop.sa_mask);
	sigaction(sig, &stop, nullptr);
}

// The ticks end with the run: a sanitizer's leak check at exit, which stops the process's threads, would
// meet one every 20 ms.
static void End_Ticks(void)
{
	struct itimerval none = {};
	if (Interrupted)
		setitimer(ITIMER_REAL, &none, nullptr);
}

void Catch_Signals(void)
{
	std::atexit(End_Ticks);
	// A closed pipe or a file-size limit then fails the write, which is reported like a full disk.
	std::signal(SIGPIPE, SIG_IGN);
	std::signal(SIGXFSZ, SIG_IGN);
	Catch_Stop(SIGINT);
	Catch_Stop(SIGTERM);
	Catch_Stop(SIGHUP);
}

// Arguments reach main as the bytes they were given.
bool Arguments_As_Typed(void)
{
	return true;
}

bool Stop_Requested(void)
{
	return Interrupted != 0;
}

// A call that a network or FUSE file system cuts short on a signal is made again, a bounded number of times:
// it never waits, so only a signal can cut it short, and the tick after a stop comes every 20 ms.
static const int Tries = 50;

// The one way a file is held: never waiting, since a holder is another run that may go on for long.
static bool Lock(int fd)
{
	int tries = 0;
	while (flock(fd, LOCK_EX | LOCK_NB) != 0)
		if (errno != EINTR || ++tries == Tries)
			return false;
	return true;
}

// A file system that takes no locks lets the run go on unlocked (ENOLCK, EOPNOTSUPP, and EBADF where an
// NFS-like mount takes them only on files open for writing).
static bool Held_Elsewhere(void)
{
	return errno == EWOULDBLOCK;
}

// What name leads to (follow) or names itself.
static bool Stat(const char *name, struct stat &named, bool follow)
{
	for (int tries = 0; tries < Tries; tries++) {
		if ((follow ? stat(name, &named) : lstat(name, &named)) == 0)
			return true;
		if (errno != EINTR)
			return false;
	}
	return false;
}

bool Hold_Input(FILE *in)
{
	InputKnown = fstat(fileno(in), &InputId) == 0;
	return Lock(fileno(in)) || !Held_Elsewhere();
}

static bool Same_Inode(const struct stat &one, const struct stat &other)
{
	return one.st_dev == other.st_dev && one.st_ino == other.st_ino;
}

bool Input_Is_File(void)
{
	return InputKnown && S_ISREG(InputId.st_mode);
}

// What a new build copied over the image changes, its bytes, the driver tells at the end of the run.
bool Is_Held_Input(const char *name)
{
	struct stat named;
	return !InputKnown || (Stat(name, named, true) && Same_Inode(InputId, named));
}

// One look at a block name, without following it, answers this and what Keep_Mode asks: a link is followed
// only where there is one.
bool Leads_To_Input(const char *name)
{
	std::snprintf(Looked, sizeof Looked, "%s", name);
	LookedError = Stat(name, LookedAt, false) ? 0 : errno;
	struct stat target = LookedAt, image = InputId;
	if (LookedError != 0 || (S_ISLNK(LookedAt.st_mode) && !Stat(name, target, true)))
		return false;
	return (InputKnown || Stat(InputFile, image, true)) && Same_Inode(target, image);
}

// True while name is the open file fd, a plain file with no other name.
static bool Still_At(const char *name, int fd)
{
	struct stat open, named;
	return fstat(fd, &open) == 0 && Stat(name, named, false) && Same_Inode(open, named) && S_ISREG(open.st_mode) &&
	       open.st_nlink == 1;
}

bool Create_New_File(const char *name)
{
	int fd = open(name, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
	if (fd < 0)
		return false;
	// Still at its name once locked: a run that took it for a leftover in the instant before may have removed
	// it, which only a run that holds the lock does. Where the file system takes no locks, a leftover is
	// never taken for stale.
	struct stat made;
	if ((Lock(fd) || !Held_Elsewhere()) && fstat(fd, &made) == 0 && made.st_nlink == 1) {
		NewFile = fd;
		NewId = made;
		NewMode = FinalMode = made.st_mode & 0777;
		// The text is read back through the name: a umask that denies the owner reading is applied after.
		if ((NewMode & S_IRUSR) == 0 && fchmod(fd, NewMode | S_IRUSR) == 0)
			NewMode |= S_IRUSR;
		return true;
	}
	unlink(name);
	close(fd);
	return false;
}

// A write that a stop cuts short fails: the stop ends the run.
bool Write_New_File(const char *text, std::size_t length)
{
	while (length > 0) {
		ssize_t n = write(NewFile, text, length);
		if (n <= 0)
			return false;
		text += n;
		length -= static_cast<std::size_t>(n);
	}
	return true;
}

bool Keep_Mode(const char *name)
{
	// A link, or nothing, at the name has no permissions to pass on: the new file keeps the umask's.
	struct stat old = LookedAt;
	int error = LookedError;
	if (std::strcmp(name, Looked) != 0)
		error = Stat(name, old, false) ? 0 : errno;
	if (error != 0)
		return error == ENOENT;
	if (!S_ISREG(old.st_mode))
		return true;
	FinalMode = old.st_mode & 0777;
	mode_t mode = FinalMode | S_IRUSR;
	if (mode == NewMode)
		return true;
	// Refused, it matters only where the new file would let more people in than the old one did.
	if (fchmod(NewFile, mode) == 0) {
		NewMode = mode;
		return true;
	}
	FinalMode = NewMode;
	return (NewMode & ~mode) == 0;
}

bool End_Mode(void)
{
	return NewMode == FinalMode || fchmod(NewFile, FinalMode) == 0;
}

// Against the identity read when the file was made, not an fstat now: a FUSE view of the folder answers
// that by the name, which another run may have given to its own file since.
static bool Leads_To_New(const char *name, struct stat &named)
{
	return Stat(name, named, false) && Same_Inode(NewId, named);
}

// The size tells a program that wrote into the file through its name, unheeding of the lock.
bool Is_New_File(const char *name, std::uint64_t size)
{
	struct stat named;
	return Leads_To_New(name, named) && static_cast<std::uint64_t>(named.st_size) == size;
}

// Opened without waiting, a FIFO or a device at the name is told from the new file by its identity before
// anything is read.
bool Read_New_File(const char *name, char *text, std::size_t length)
{
	int fd = open(name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
	if (fd < 0)
		return false;
	struct stat opened;
	bool same = fstat(fd, &opened) == 0 && S_ISREG(opened.st_mode) && Same_Inode(NewId, opened) &&
	            static_cast<std::uint64_t>(opened.st_size) == length &&
	            read(fd, text, length) == static_cast<ssize_t>(length);
	close(fd);
	return same;
}

bool Replace_File(const char *from, const char *to)
{
	return std::rename(from, to) == 0;
}

int Failure(void)
{
	return errno == ENAMETOOLONG ? FailedTooLong : errno == EBUSY ? FailedInUse : FailedOther;
}

void Release_New_File(void)
{
	close(NewFile);
	NewFile = -1;
}

// A name that no longer leads to the new file is another's now, or nothing: the new file is gone from it.
bool Discard_New_File(const char *name)
{
	struct stat named;
	bool gone = !Leads_To_New(name, named) || unlink(name) == 0 || errno == ENOENT;
	Release_New_File();
	return gone;
}

int Open_Old_File(const char *name, FILE **old)
{
	// Judged by its name before it is opened: opening a FIFO could wait, and a device could act.
	struct stat named;
	if (!Stat(name, named, false))
		return errno == ENOENT ? OldGone : OldFailed;
	if (!S_ISREG(named.st_mode) || named.st_nlink != 1)
		return OldForeign;
	int fd = open(name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
	if (fd < 0)
		return errno == ENOENT ? OldGone : errno == ELOOP ? OldForeign : OldFailed;
	int state = OldOpened;
	if (!Lock(fd))
		state = errno == EWOULDBLOCK ? OldHeld : OldFailed;
	else if (!Still_At(name, fd))
		state = OldGone; // renamed or removed by its run meanwhile: whatever is there now is judged again
	else if ((*old = fdopen(fd, "rb")) == nullptr)
		state = OldFailed;
	if (state != OldOpened)
		close(fd);
	return state;
}

bool Remove_Old_File(const char *name, FILE *old)
{
	bool gone = unlink(name) == 0 || errno == ENOENT;
	std::fclose(old);
	return gone;
}
