// Runs the built tool in a scratch folder and checks console, exit status and block files.
// --exe=PATH names the tool, --runner=CMD a program to run it through (such as wine),
// --windows expects the Windows runtime's behaviour where it differs, --emulated leaves out what qemu-user
// can't show.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "srec.h"

namespace fs = std::filesystem;

static std::string Exe, Runner, AnsiExe;
static bool Windows, Emulated;
// Where a row of the failure table can't hold: under wine, or under qemu-user; or where it holds only under wine.
// Changes: the row changes the image itself, so the image and its blocks are not the table's. AsUser: the row
// runs the tool as a user who isn't root, through a copy that any user can reach.
enum { NotWine = 1, NotQemu = 2, OnlyWine = 4, Changes = 8, AsUser = 16 };

// A copy of the tool that any user may run, wherever the build is (a folder under /root, say); made once.
static fs::path Public_Copy;
static std::string Public_Exe()
{
	if (Public_Copy.empty()) {
		char name[] = "/tmp/s19cut-tool-XXXXXX";
		if (mkdtemp(name) == nullptr)
			return Exe;
		Public_Copy = name;
		fs::permissions(Public_Copy, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
		                                 fs::perms::others_read | fs::perms::others_exec);
		fs::copy_file(Exe, Public_Copy / fs::path(Exe).filename());
		fs::permissions(Public_Copy / fs::path(Exe).filename(), fs::perms::owner_all | fs::perms::group_read |
		                    fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec);
	}
	return (Public_Copy / fs::path(Exe).filename()).string();
}

struct Result {
	int status;
	std::string out, err;
};

static std::string Quote(const std::string &s)
{
	std::string q = "'";
	for (char c : s)
		q += c == '\'' ? std::string("'\\''") : std::string(1, c);
	return q + "'";
}

static std::string Slurp(const fs::path &p)
{
	std::ifstream f(p, std::ios::binary);
	std::ostringstream s;
	s << f.rdbuf();
	return s.str();
}

static std::string Hex(unsigned value, int digits)
{
	char text[16];
	std::snprintf(text, sizeof text, "%0*X", digits, value);
	return text;
}

// strace fails a system call or sends a signal at one (LeakSanitizer can't run under it).
static std::string Strace_To(const std::string &log)
{
	return "env ASAN_OPTIONS=detect_leaks=0 strace -f --quiet=all -o " + log;
}

// The first block's temporary file, by the name the tool gives and by its whole path.
static const std::string Temp_Paths = " -P in.bin.A0.tmp -P \"$PWD/in.bin.A0.tmp\"";

// The run stops at the when-th of calls on the paths that paths names (strace's -P), with fault injected there
// too; then, as if another program came in that instant, action runs, and the run goes on. A rival run's
// messages join err. A point that hasn't come in 30 s, however loaded the machine, never will: the row fails,
// saying so; a run that ends without reaching it fails the row by what it prints. The stopped tool is in a
// process group of its own, whose parent, the tests, stays in the session: where the tests' own group is
// orphaned (started in the background by a shell that has ended), the kernel would send a group with a
// stopped process SIGHUP and SIGCONT as soon as one of the action's commands ended.
static std::string Held_At(const std::string &calls, int when, const std::string &action, const std::string &fault,
                           const std::string &paths, const std::string &traced)
{
	return "{ end=$(($(date +%s) + 30)); until grep -qs 'stopped by SIGSTOP' trace; do kill -0 $$ 2>/dev/null || "
	       "exit; [ $(date +%s) -lt $end ] || { echo '- held point never came' >>err; grep -qx strace /proc/$$/comm && "
	       "kill -KILL $$; exit; }; "
	       "sleep 0.01; done; " +
	       action + "; p=$(grep 'stopped by SIGSTOP' trace | cut -d' ' -f1); rm -f trace; kill -CONT $p; } & exec " +
	       "perl -e 'setpgrp(0, 0); exec @ARGV or die' " + Strace_To("trace") + paths + " -e inject=" + calls + fault + ":signal=SIGSTOP:when=" +
	       std::to_string(when) + " -e trace=" + calls + traced;
}

class Run : public testing::Test {
protected:
	fs::path dir;

	void SetUp() override
	{
		ASSERT_FALSE(Exe.empty()) << "usage: e2e_tests --exe=PATH [--runner=CMD] [--windows]";
		char name[] = "/tmp/s19cut-e2e-XXXXXX";
		ASSERT_NE(mkdtemp(name), nullptr);
		dir = name;
	}
	void TearDown() override
	{
		Fresh();
		fs::remove(dir);
	}

	void Put(const std::string &name, const std::string &bytes)
	{
		std::ofstream(dir / name, std::ios::binary) << bytes;
	}

	// Empties the scratch folder between the cases of one test.
	void Fresh()
	{
		fs::remove_all(dir);
		fs::create_directory(dir);
	}

	// shell: commands run before the tool, such as a limit on file sizes;
	// sink: where standard output goes instead of being captured.
	// exe: another build of the tool than --exe's.
	Result Exec(const std::vector<std::string> &args, const std::string &shell = "", const std::string &sink = "",
	            const std::string &exe = Exe)
	{
		// No process that a row leaves behind holds the test's own streams; a rival run appends to err.
		std::string cmd = "exec </dev/null >/dev/null 2>&1; cd " + Quote(dir) + " || exit 99; " + shell + " " + Runner + " " +
		                  Quote(exe);
		for (const auto &a : args)
			cmd += " " + Quote(a);
		cmd += " >" + Quote(sink.empty() ? "out" : sink) + " 2>>err";
		int status = std::system(cmd.c_str());
		// The tool exits with 0 or 255: a 1 with nothing said is the runner (wine) failing to start it, seen
		// once in some 60 runs of the Windows suite. That start is tried once more.
		if (!Runner.empty() && WIFEXITED(status) && WEXITSTATUS(status) == 1 && Slurp(dir / "err").empty() &&
		    (!sink.empty() || Slurp(dir / "out").empty()))
			status = std::system(cmd.c_str());
		fs::permissions(dir, fs::perms::owner_all, fs::perm_options::add); // a case may make it read-only
		Result r{WIFEXITED(status) ? WEXITSTATUS(status) : -1, sink.empty() ? Slurp(dir / "out") : "",
		         Slurp(dir / "err")};
		fs::remove(dir / "err");
		fs::remove(dir / "out");
		for (std::string *text : {&r.out, &r.err}) // the Windows console ends lines with CR LF
			for (std::size_t at; Windows && (at = text->find("\r\n")) != std::string::npos;)
				text->erase(at, 1);
		return r;
	}

	std::vector<std::string> Files()
	{
		std::vector<std::string> names;
		for (const auto &e : fs::directory_iterator(dir))
			names.push_back(e.path().filename().string());
		std::sort(names.begin(), names.end());
		return names;
	}
};

static std::string Block_Name(const std::string &input, int block)
{
	return input + "." + static_cast<char>('A' + block / 10) + static_cast<char>('0' + block % 10) + ".S19";
}

// Every size around a record or block edge, with and without the swap, against what the run must give.
TEST_F(Run, BlockFilesHoldTheInputExactly)
{
	const unsigned sizes[] = {0, 1, 3, 31, 32, 33, 64, 100, 32767, 32768, 32769, 65536, 98303};
	for (unsigned size : sizes) {
		for (bool swap : {false, true}) {
			SCOPED_TRACE("size " + std::to_string(size) + (swap ? " with -i" : ""));
			std::string input;
			for (unsigned i = 0; i < size; i++)
				input += static_cast<char>((i * 7 + i / 251) & 0xFF);
			std::string data = input; // what the target must receive
			if (swap) {
				data.resize(size + size % 2, '\0');
				for (std::size_t i = 0; i < data.size(); i += 2)
					std::swap(data[i], data[i + 1]);
			}
			Fresh();
			Put("in.bin", input);
			Result r = Exec(swap ? std::vector<std::string>{"-i", "-fin.bin", "-sFFFFFF80"}
			                     : std::vector<std::string>{"-fin.bin", "-sFFFFFF80"});

			std::string out = swap ? "  -> input file  = in.bin  Intel->Motorola\n" : "  -> input file  = in.bin\n";
			std::vector<std::string> files{"in.bin"};
			unsigned blocks = size / 32768 + 1;
			for (unsigned b = 0; b < blocks; b++) {
				std::string name = Block_Name("in.bin", static_cast<int>(b)), got;
				std::string part = data.substr(std::min<std::size_t>(b * 32768u, data.size()), 32768);
				EXPECT_EQ(Decode_Block_File(Slurp(dir / name), got), "") << name;
				EXPECT_TRUE(got == part) << name << " holds other bytes than the input";
				out += "  -> output file = " + name + "   SAVE 2300 " +
				       Hex(0x2300 + static_cast<unsigned>(part.size()) - 1, 4) + " " +
				       Hex(0xFFFFFF80u + b * 64, 8) + "\n";
				files.push_back(name);
			}
			EXPECT_EQ(r.status, 0);
			EXPECT_EQ(r.out, out);
			EXPECT_EQ(r.err, "");
			EXPECT_EQ(Files(), files);
		}
	}
}

TEST_F(Run, WorkedExamplesGiveTheseBytes)
{
	const struct { std::string input, option, file, save; } cases[] = {
		{"", "-s0", "S1032300D9\r\nS9030000FC\r\n", "22FF 00000000"},
		{"\x01\x02\x03", "-s1a0", "S1062300010203D0\r\nS9030000FC\r\n", "2302 000001A0"},
		{"\x01\x02\x03", "-i", "S107230002010003CF\r\nS9030000FC\r\n", "2303 00000000"},
		{std::string(32, '\xFF'), "-s",
		 "S1232300" + std::string(64, 'F') + "D9\r\nS9030000FC\r\n", "231F 00000000"},
	};
	for (const auto &c : cases) {
		Put("image.bin", c.input);
		Put("image.bin.A0.S19", std::string(100000, 'x')); // a longer file from an earlier run
		Result r = Exec({"-fimage.bin", c.option});
		EXPECT_EQ(r.status, 0);
		EXPECT_EQ(Slurp(dir / "image.bin.A0.S19"), c.file);
		EXPECT_EQ(r.out, std::string("  -> input file  = image.bin") + (c.option == "-i" ? "  Intel->Motorola" : "") +
		                     "\n  -> output file = image.bin.A0.S19   SAVE 2300 " + c.save + "\n");
	}
}

TEST_F(Run, ConsoleTranscriptOfTwoBlocks)
{
	Put("image.bin", std::string(40000, 'a'));
	Result r = Exec({"-fimage.bin", "-s100"});
	EXPECT_EQ(r.status, 0);
	EXPECT_EQ(r.out, "  -> input file  = image.bin\n"
	                 "  -> output file = image.bin.A0.S19   SAVE 2300 A2FF 00000100\n"
	                 "  -> output file = image.bin.A1.S19   SAVE 2300 3F3F 00000140\n");
	EXPECT_EQ(fs::file_size(dir / "image.bin.A0.S19"), 77836u);
	EXPECT_EQ(fs::file_size(dir / "image.bin.A1.S19"), 7232u / 32 * 76 + 12);
}

// The suffixes .A0 to .Z9 name 260 blocks; only a 261st block has no name.
TEST_F(Run, TwoHundredSixtyBlocksAtMost)
{
	for (unsigned full : {259u, 260u}) {
		Put("big.bin", std::string(full * 32768, '\x5A'));
		Result r = Exec({"-fbig.bin"});
		EXPECT_EQ(r.status, full == 259 ? 0 : 255);
		EXPECT_EQ(r.err, full == 259 ? "" : "- ran out of extension sequence specifiers!\n");
		EXPECT_EQ(Files().size(), 261u);
		EXPECT_EQ(fs::file_size(dir / "big.bin.Z9.S19"), full == 259 ? 24u : 77836u);
		std::string last = "  -> output file = big.bin.Z9.S19   SAVE 2300 ";
		EXPECT_EQ(r.out.substr(r.out.size() - last.size() - 14), last + (full == 259 ? "22FF" : "A2FF") + " 000040C0\n");
	}
}

TEST_F(Run, FailuresAreReportedAndLeaveNoIncompleteFile)
{
	const std::string long_name(4089, 'n');
	const std::string warning = "- option not recognized, ignored.\n";
	const std::string read_error = Windows ? "- failed to open input file: dir.\n" : "- error occurred reading input file.\n";
	const std::string two_blocks = "  -> input file  = in.bin\n"
	                               "  -> output file = in.bin.A0.S19   SAVE 2300 A2FF 00000000\n"
	                               "  -> output file = in.bin.A1.S19   SAVE 2300 3F3F 00000040\n";
	// Files stop at 61440 bytes, past an old block file's place. Windows has no SIGXFSZ: under wine it would end
	// wine itself.
	const std::string full_disk = std::string("echo old >in.bin.A0.S19; ulimit -f 60;") + (Windows ? "trap '' XFSZ;" : "");
	// Standard output a pipe whose reader has gone, as `| head -3` leaves it when head quits before the last write.
	const std::string reader_gone = "perl -e 'pipe(R, W); close R; open STDOUT, \">&W\"; exec @ARGV'";
	const std::string one_log = "sh -c '\"$0\" \"$@\" 2>&1'"; // as >log 2>&1
	// The input is a FIFO: the second block's read waits, for at most 10 s, while the test stops the tool
	// with Ctrl+C pressed twice, and then ends the input; then with timeout's two SIGTERMs while the writer stalls.
	// Under wine, where the runtime gets Ctrl+C as Windows gives it, the first takes effect when the read returns.
	const std::string interrupt = "mkfifo fifo; { cat in.bin; i=0; until [ -s fifo.A0.S19 ] || [ $i = 1000 ]; do "
	                              "sleep 0.01; i=$((i+1)); done; kill -INT $$; sleep 0.5; kill -INT $$; } "
	                              ">fifo 2>/dev/null & exec";
	// timeout passes a signal on only once its fork has returned, which its timer shows: before, it ends at once
	// and leaves the tool running, and the tool can print and write before that on a loaded machine.
	const std::string timeout_ready = "grep -qs ID: /proc/$$/timers";
	// A stop once the first block file is there, while the writer stalls: timeout passes the SIGTERM on and
	// ends the tool 5 s later unless it has ended (a sanitized tool under load takes its time to exit).
	const std::string stall = "mkfifo fifo; { cat in.bin; i=0; until { [ -s fifo.A0.S19 ] && " + timeout_ready +
	                          "; } || [ $i = 1000 ]; do "
	                          "sleep 0.01; i=$((i+1)); done; kill -TERM $$; sleep 10; } >fifo & "
	                          "exec timeout --preserve-status -k5 30";
	// ...and with both streams a pipe that nobody reads, with room for the input line alone: neither the console
	// lines nor the message hold up the stop, and the reader gets whole lines only. The caller's mask may block
	// SIGALRM.
	auto unread = [&](const std::string &mask) {
		return stall + " perl -MPOSIX -e 'pipe(R, W); fcntl(W, 1031, 4096) or die; syswrite W, \"x\" x 4066; "
		       "unless ($p = fork) { " + mask + " open STDOUT, \">&W\"; open STDERR, \">&W\"; exec @ARGV } $SIG{TERM} = \"IGNORE\"; close W; "
		       "waitpid $p, 0; $s = $?; fcntl(R, F_SETFL, O_NONBLOCK); sysread R, $got, 65536; $got =~ s/^x+//; "
		       "print $got; exit($s >> 8 || 128 + ($s & 127))'";
	};
	const std::string alarm_blocked = "sigprocmask(SIG_BLOCK, POSIX::SigSet->new(SIGALRM));";
	// No wait for a FIFO's writer outlasts a stop, here once the input line is out; a signal ignored at the
	// start (nohup) stays ignored.
	const std::string no_writer = "mkfifo fifo; { i=0; until { [ -s out ] && " + timeout_ready +
	                              "; } || [ $i = 1000 ]; do sleep 0.01; "
	                              "i=$((i+1)); done; kill -TERM $$; } & exec timeout --preserve-status -k5 30";
	const std::string hang_up = "mkfifo fifo; { cat in.bin; i=0; until [ -s fifo.A0.S19 ] || [ $i = 1000 ]; do "
	                            "sleep 0.01; i=$((i+1)); done; kill -HUP $$; sleep 0.1; } >fifo 2>/dev/null & exec nohup";
	const std::string strace = Strace_To("/dev/null");
	const std::string tool = Runner + " " + Quote(Exe), temp = Temp_Paths;
	const auto held_at = [](const std::string &calls, int when, const std::string &action, const std::string &fault = "",
	                        const std::string &more = "", const std::string &traced = "") {
		return Held_At(calls, when, action, fault, Temp_Paths + more, traced);
	};
	const std::string rival = " >/dev/null 2>>err";
	const std::string changed = "- input file changed during the run: in.bin; the block files listed above are not all "
	                            "of one image.\n";
	// A new build of the same size with the image's time, copied over it; the last byte rewritten in place.
	const std::string same_size_new = "head -c 40000 /dev/zero | tr '\\0' c >new; touch -r in.bin new; cp -p new in.bin";
	const std::string last_byte = "t=$(stat -c %y in.bin); printf c | dd of=in.bin bs=1 seek=39999 conv=notrunc "
	                              "2>/dev/null; touch -d \"$t\" in.bin";
	// The run as a user who isn't root, at umask, beside an old first block file of mode old (none where empty);
	// the modes the block files have after it are said where they differ from modes.
	auto as_user = [](const std::string &umask, const std::string &old, const std::string &modes) {
		return (old.empty() ? "" : "echo old >in.bin.A0.S19; chmod " + old + " in.bin.A0.S19; ") +
		       "chmod 777 .; umask " + umask + "; exec sh -c '\"$@\"; s=$?; m=$(stat -c %a in.bin.A0.S19 "
		       "in.bin.A1.S19 | tr \"\\n\" \" \"); [ \"$m\" = \"" + modes + " \" ] || echo \"- modes $m\" >&2; exit $s' sh "
		       "$(test $(id -u) != 0 || echo setpriv --reuid=65534 --regid=65534 --clear-groups)";
	};
	// The tool converts through a FUSE view of the folder, which answers an fstat of an open file by the name it
	// was opened at; the view is let go once the run that holds it ends. bindfs passes the folder's inode
	// numbers on; a view made with libfuse's defaults (here a passthrough with Debian's fusepy) numbers files by name, so
	// that another file at a name has the number of the one before. A view that fails to start says why in err.
	const std::string numbered_view =
		"/usr/bin/python3 -c " + Quote("import os, sys\n"
		"from fusepy import FUSE, Operations\n"
		"class View(Operations):\n"
		"    def __call__(self, op, path, *args):\n"
		"        return getattr(self, op)(sys.argv[1] + path, *args)\n"
		"    def getattr(self, path, fh=None):\n"
		"        s = os.lstat(path)\n"
		"        return {k: getattr(s, k) for k in ('st_mode', 'st_nlink', 'st_size', 'st_uid', 'st_gid',\n"
		"                                           'st_atime', 'st_mtime', 'st_ctime')}\n"
		"    def readdir(self, path, fh): return ['.', '..'] + os.listdir(path)\n"
		"    def create(self, path, mode, fi=None): return os.open(path, os.O_WRONLY | os.O_CREAT | os.O_EXCL, mode)\n"
		"    def open(self, path, flags): return os.open(path, flags)\n"
		"    def read(self, path, size, offset, fh): return os.pread(fh, size, offset)\n"
		"    def write(self, path, data, offset, fh): return os.pwrite(fh, data, offset)\n"
		"    def release(self, path, fh): os.close(fh)\n"
		"    def truncate(self, path, length, fh=None): os.truncate(path, length)\n"
		"    def chmod(self, path, mode): os.chmod(path, mode)\n"
		"    def unlink(self, path): os.unlink(path)\n"
		"    def rename(self, old, new): os.rename(old, sys.argv[1] + new)\n"
		"FUSE(View(), sys.argv[2], foreground=False, nothreads=True)\n") + " \"$PWD\" \"$v\"";
	auto through_view = [&](const std::string &view, const std::string &action) {
		return "r=$PWD; v=$(mktemp -d /tmp/s19cut-view.XXXXXX) && " + view + " 2>>err || exit 99; "
		       "cd \"$v\"; " + held_at("write", 1, "(cd \"$r\" && " + action + "); fusermount -uz \"$v\"; rmdir \"$v\"");
	};
	const std::string bindfs_view = "bindfs --no-allow-other . \"$v\"";
	// A file of another's, as long as the run's first block file.
	const std::string theirs = "{ echo theirs; head -c 77829 /dev/zero; } >in.bin.A0.tmp";
	// The image replaced at its name by a new build (here a copy), and a second run on it.
	const std::string new_build = "mv in.bin in.old; cp in.old in.bin; " + tool + " -fin.bin -s100" + rival;
	// At the rename, which fails here, the new file must still be held.
	const std::string unheld = "perl -MFcntl=:flock -e 'open F, \"<\", \"in.bin.A0.tmp\" or exit; flock(F, LOCK_EX | LOCK_NB) "
	                           "and print STDERR \"- temporary file left unheld\\n\"' 2>>err";
	// A cut-short temporary file that can't be removed: removals fail as in a read-only folder.
	const std::string no_removal = "echo old >in.bin.A0.S19; ulimit -f 40; " + strace +
	                               " -e trace=unlink,unlinkat -e inject=unlink,unlinkat:error=EACCES";
	// An old block file's permissions pass to the new one, or the block fails; under wine the read-only
	// attribute alone passes, whatever the umask.
	auto keeps_mode = [](const std::string &mode, const std::string &run = "") {
		return "echo old >in.bin.A0.S19; chmod " + mode + " in.bin.A0.S19; exec sh -c '\"$@\"; s=$?; m=$(stat -c %a "
		       "in.bin.A0.S19); [ $m = " + mode + " ] || [ " + (Windows ? "-z \"$(find in.bin.A0.S19 -perm /222)\"" : "") +
		       " ] || echo \"- mode $m\" >&2; exit $s' sh " + run;
	};
	// What stands at a temporary name: a file of the user's, a killed run's leftover (empty, or the start of a
	// block file and no longer than a whole one), one that another run holds, a FIFO. A folder and links are
	// made by the setup.
	const std::string users_file = "echo notes >in.bin.A0.tmp;", leftover = "printf S1 >in.bin.A0.tmp;";
	const std::string empty_leftover = ": >in.bin.A0.tmp;", too_long = "{ printf S1; head -c 77835 /dev/zero; } >in.bin.A0.tmp;";
	const std::string held = "printf S1 >in.bin.A0.tmp; exec timeout -s KILL 20 flock in.bin.A0.tmp";
	// A Windows program holds file open, not sharing its removal, as a viewer or a scanner may: here the tool
	// itself, converting file and stopped by strace at its first read of it, until the run ends.
	auto held_open = [&](const std::string &file, const std::string &setup) {
		return setup + " exec sh -c 'strace -f --quiet=all -o hold -P \"$PWD/" + file + "\" -e trace=read,pread64 "
		       "-e inject=read,pread64:signal=SIGSTOP:when=1 $1 \"$2\" -f" + file + " >/dev/null 2>&1 & i=0; "
		       "until grep -qs \"stopped by SIGSTOP\" hold || [ $i = 1000 ]; do sleep 0.01; i=$((i+1)); done; "
		       "shift 2; \"$@\"; s=$?; kill -9 $(cut -d\" \" -f1 hold | head -n 1); wait; rm -f hold; exit $s' sh " +
		       Runner + " " + Quote(Exe);
	};
	// An old block file's hidden attribute passes to the new one, as its read-only attribute does.
	const std::string hidden = "echo old >in.bin.A0.S19; \"$WINELOADER\" attrib +h in.bin.A0.S19; exec sh -c '\"$@\"; "
	                           "s=$?; \"$WINELOADER\" attrib in.bin.A0.S19 | grep -q \"^A   H\" || echo \"- not hidden\" >&2; "
	                           "exit $s' sh";
	// A read-only file of the user's that a block name shares keeps its attribute, or its mode.
	const std::string read_only_notes = "chmod 444 notes; exec sh -c '\"$@\"; s=$?; [ -z \"$(find notes -perm /222)\" ] "
	                                    "|| echo \"- notes made writable\" >&2; exit $s' sh";
	const std::string fifo_at_temp = "mkfifo in.bin.A0.tmp;";
	const std::string taken = "- temporary file name taken, left as it is: in.bin.A0.tmp.\n";
	// A file system that takes no locks; one that cuts the check before the rename short (FUSE, NFS).
	const std::string no_locks = strace + " -e trace=flock -e inject=flock:error=ENOLCK";
	const std::string cut_short = strace + temp + " -e trace=newfstatat,statx -e inject=newfstatat,statx:error=EINTR:when=2";
	// A folder that takes no new file, even from root.
	const std::string unwritable = "chmod 555 .; exec $(test $(id -u) != 0 || echo setpriv --bounding-set=-dac_override)";
	// A stop that comes as the input line is printed, just before the FIFO is opened: the image is not opened.
	const std::string stop_before_open = "mkfifo fifo; exec timeout -s KILL 20 " + strace + " -P \"$PWD/out\" -P fifo "
	                                     "-e trace=write,openat -e inject=write:signal=SIGINT -e inject=openat:signal=SIGKILL";
	// Stops at every message and console line: the second must not end the tool by the default action.
	const std::string stops = strace + " -P \"$PWD/out\" -P \"$PWD/err\" -e trace=write -e inject=write:signal=SIGINT";
	// A write that a stop cuts short: the block's, and the last console line's, which is not output lost.
	const std::string stop_in_block = strace + temp + " -e trace=write -e inject=write:error=EINTR:signal=SIGINT";
	const std::string stop_in_line = strace + " -P \"$PWD/out\" -e trace=write -e inject=write:error=EINTR:signal=SIGINT:when=3";
	// The caller's timer ends the tool as it would any program: SIGALRM is the tool's only after a stop.
	const std::string callers_alarm = "exec " + strace + " -P \"$PWD/out\" -e trace=write -e inject=write:signal=SIGALRM";
	// The caller shares standard output's pipe and still has it blocking after a stop, here one that comes once
	// the first block file is there and is cut off by a kill as its message is written.
	const std::string shared_pipe = "mkfifo fifo; { cat in.bin; sleep 3; } >fifo & exec perl -MFcntl -e "
	    "'pipe(R, W); unless ($p = fork) { open STDOUT, \">&W\"; exec @ARGV } for (1..1000) { last if -s "
	    "\"fifo.A0.S19\"; select undef, undef, undef, 0.01 } open C, \"/proc/$p/task/$p/children\"; kill INT => split "
	    "\" \", <C>; wait; print STDERR \"- left non-blocking\\n\" if fcntl(W, F_GETFL, 0) & O_NONBLOCK; "
	    "exit($? >> 8 || 128 + ($? & 127))' " + strace + " -P \"$PWD/err\" -e inject=write:signal=SIGKILL";
	const std::string notes_text = "S1 notes\n";
	const std::string interrupted = "- interrupted: the block files written so far are complete.\n";
	const std::string two_blocks_upper = "  -> input file  = IN.BIN\n"
	                                     "  -> output file = IN.BIN.A0.S19   SAVE 2300 A2FF 00000000\n"
	                                     "  -> output file = IN.BIN.A1.S19   SAVE 2300 3F3F 00000040\n";
	const std::string first_block = "  -> input file  = in.bin\n"
	                                "  -> output file = in.bin.A0.S19   SAVE 2300 A2FF 00000000\n";
	const struct {
		std::vector<std::string> args;
		// setup: a folder/, a link>target or a hard link=target beside in.bin; a target that is not there is made
		// holding a text that begins like a block file, and must keep it; a link at in.bin moves the image to its target.
		std::string setup, out, err, left;
		int status;
		std::string shell = "";
		unsigned off = 0; // where the row can't hold, for the reason beside it: NotWine, NotQemu
	} cases[] = {
		{{}, "", "", "- no input file specified.\n", "", 255},
		{{"in.bin", "-fin.bin"}, "", "", "- arguments not read, ignored: in.bin -fin.bin.\n- no input file specified.\n",
		 "", 255},
		{{"-f", "in.bin"}, "", "  -> input file  = \n",
		 "- arguments not read, ignored: in.bin.\n- failed to open input file: .\n", "", 255},
		{{"-fnone.bin"}, "", "  -> input file  = none.bin\n", "- failed to open input file: none.bin.\n", "", 255},
		{{"-f" + long_name}, "", "", "- input file name too long: " + long_name + ".\n", "", 255},
		{{"-f" + long_name.substr(1)}, "", "  -> input file  = " + long_name.substr(1) + "\n",
		 "- failed to open input file: " + long_name.substr(1) + ".\n", "", 255},
		{{"-fdir"}, "dir", "  -> input file  = dir\n", read_error, "dir", 255},
		{{"-fin.bin"}, "in.bin.A0.S19/", "  -> input file  = in.bin\n",
		 "- failed to open output file: in.bin.A0.S19.\n", "in.bin.A0.S19", 255},
		{{"-fin.bin"}, "in.bin.A1.S19/", first_block, "- failed to open output file: in.bin.A1.S19.\n",
		 "in.bin.A0.S19 in.bin.A1.S19", 255},
		{{"-fin.bin"}, "in.bin.A1.S19>in.bin", first_block, "- output file is the input file: in.bin.A1.S19.\n",
		 "in.bin.A0.S19 in.bin.A1.S19", 255},
		{{"-fin.bin"}, "in.bin.A1.S19=in.bin", first_block, "- output file is the input file: in.bin.A1.S19.\n",
		 "in.bin.A0.S19 in.bin.A1.S19", 255},
		{{"-fin.bin"}, "in.bin>in.bin.A0.S19", "  -> input file  = in.bin\n",
		 "- output file is the input file: in.bin.A0.S19.\n", "in.bin.A0.S19", 255},
		{{"-fin.bin"}, "in.bin>in.bin.A1.tmp", first_block, "- output file is the input file: in.bin.A1.tmp.\n",
		 "in.bin.A0.S19 in.bin.A1.tmp", 255},
		// A block name that shares its file with another name, as deduplication leaves identical block files,
		// or links to one, is replaced: the other file keeps its bytes. So is a read-only block file.
		{{"-fin.bin"}, "in.bin.A0.S19=notes", two_blocks, "", "in.bin.A0.S19 in.bin.A1.S19 notes", 0},
		{{"-fin.bin"}, "in.bin.A0.S19>notes", two_blocks, "", "in.bin.A0.S19 in.bin.A1.S19 notes", 0},
		{{"-fin.bin"}, "", two_blocks, "", "in.bin.A0.S19 in.bin.A1.S19", 0, keeps_mode("444")},
		{{"-fin.bin"}, "", two_blocks, "", "in.bin.A0.S19 in.bin.A1.S19", 0, keeps_mode("600"), NotWine},
		{{"-fin.bin"}, "", "  -> input file  = in.bin\n", "- failed to keep the permissions of output file: in.bin.A0.S19.\n",
		 "in.bin.A0.S19", 255, keeps_mode("400", strace + " -e trace=fchmod -e inject=fchmod:error=EPERM"), NotWine},
		// Only a killed run's leftover at a temporary name is removed; anything else is kept and named.
		{{"-fin.bin"}, "", two_blocks, "", "in.bin.A0.S19 in.bin.A1.S19", 0, leftover},
		{{"-fin.bin"}, "", two_blocks, "", "in.bin.A0.S19 in.bin.A1.S19", 0, empty_leftover},
		{{"-fin.bin"}, "", "  -> input file  = in.bin\n", taken, "in.bin.A0.tmp", 255, too_long},
		// A link's target that differs in letter case alone is not the name's own file, not even under wine.
		{{"-fin.bin"}, "in.bin.A0.tmp>In.bin.A0.tmp", "  -> input file  = in.bin\n", taken,
		 "In.bin.A0.tmp in.bin.A0.tmp", 255},
		// On Windows a leftover is the name's own in any letter case, as the user may type the image's name.
		{{"-fIN.BIN"}, "", Windows ? two_blocks_upper : "  -> input file  = IN.BIN\n",
		 Windows ? "" : "- failed to open input file: IN.BIN.\n",
		 Windows ? "IN.BIN.A0.S19 IN.BIN.A1.S19" : "in.bin.A0.tmp", Windows ? 0 : 255, leftover},
		{{"-fin.bin"}, "", "  -> input file  = in.bin\n", taken, "in.bin.A0.tmp", 255, users_file},
		{{"-fin.bin"}, "", "  -> input file  = in.bin\n", taken, "in.bin.A0.tmp", 255, fifo_at_temp},
		{{"-fin.bin"}, "in.bin.A0.tmp/", "  -> input file  = in.bin\n", taken, "in.bin.A0.tmp", 255},
		{{"-fin.bin"}, "in.bin.A0.tmp>notes", "  -> input file  = in.bin\n", taken, "in.bin.A0.tmp notes", 255},
		{{"-fin.bin"}, "in.bin.A0.tmp=notes", "  -> input file  = in.bin\n", taken, "in.bin.A0.tmp notes", 255},
		{{"-fin.bin"}, "", "  -> input file  = in.bin\n", "- temporary file in use by another run or program: in.bin.A0.tmp.\n",
		 "in.bin.A0.tmp", 255, held, NotWine}, // Windows tells a held file by its sharing, not by flock
		{{"-fin.bin"}, "", "  -> input file  = in.bin\n",
		 "- temporary file in use by another run or program: in.bin.A0.tmp.\n", "in.bin.A0.tmp", 255,
		 held_open("in.bin.A0.tmp", "printf S1 >in.bin.A0.tmp;"), OnlyWine},
		{{"-fin.bin"}, "", "  -> input file  = in.bin\n", "- output file in use by another program: in.bin.A0.S19.\n",
		 "in.bin.A0.S19", 255, held_open("in.bin.A0.S19", "echo old >in.bin.A0.S19;"), OnlyWine},
		{{"-fin.bin"}, "", two_blocks, "", "in.bin.A0.S19 in.bin.A1.S19", 0, hidden, OnlyWine},
		{{"-fin.bin"}, "in.bin.A0.S19=notes", Windows ? "  -> input file  = in.bin\n" : two_blocks,
		 Windows ? "- output file read-only and shared with another name, left as it is: in.bin.A0.S19.\n" : "",
		 Windows ? "in.bin.A0.S19 notes" : "in.bin.A0.S19 in.bin.A1.S19 notes", Windows ? 255 : 0, read_only_notes},
		// A path as it stands (\\?\) judges a leftover as a plain one does.
		{{"-f\\\\?\\{dir}\\in.bin"}, "", "  -> input file  = \\\\?\\{dir}\\in.bin\n"
		 "  -> output file = \\\\?\\{dir}\\in.bin.A0.S19   SAVE 2300 A2FF 00000000\n"
		 "  -> output file = \\\\?\\{dir}\\in.bin.A1.S19   SAVE 2300 3F3F 00000040\n", "",
		 "in.bin.A0.S19 in.bin.A1.S19", 0, leftover, OnlyWine},
		// A block name past what this system takes for a name (NAME_MAX; MAX_PATH on Windows without long paths).
		{{"-f" + std::string(250, 'n') + ".bin"}, "", "  -> input file  = " + std::string(250, 'n') + ".bin\n",
		 "- output file name too long for this system: " + std::string(250, 'n') + ".bin.A0.tmp.\n",
		 std::string(250, 'n') + ".bin", 255, "cp in.bin " + std::string(250, 'n') + ".bin;"},
		{{"-fin.bin"}, "", two_blocks, "", "in.bin.A0.S19 in.bin.A1.S19", 0, no_locks, NotWine},
		{{"-fin.bin"}, "", two_blocks, "", "in.bin.A0.S19 in.bin.A1.S19", 0, cut_short, NotWine},
		// One run per image: a second one ends before it writes, whatever its options. A run on another image at
		// the same name, or a view of the folder that doesn't show the locks, meets the run's files held or sees
		// them gone.
		{{"-fin.bin"}, "", "  -> input file  = in.bin\n", "- input file in use by another run or program: in.bin.\n", "", 255,
		 "exec flock in.bin", NotWine}, // the .exe's lock is not flock's
		{{"-fin.bin"}, "", two_blocks, "- input file in use by another run or program: in.bin.\n", "in.bin.A0.S19 in.bin.A1.S19",
		 0, held_at("write", 1, tool + " -i -s100 -fin.bin" + rival), NotWine}, // strace: not under wine
		// A new build at the image's name: a second run on it meets this run's held file, or writes every block
		// while this run waits on a console line; either way this run stops before it renames anything more.
		{{"-fin.bin"}, "", "  -> input file  = in.bin\n", "- temporary file in use by another run or program: in.bin.A0.tmp.\n"
		 "- input file replaced or removed during the run: in.bin.\n", "in.old", 255,
		 held_at("write", 1, "mv in.bin in.old; cp in.old in.bin; " + tool + " -i -fin.bin" + rival), NotWine},
		{{"-fin.bin"}, "", first_block, "- input file replaced or removed during the run: in.bin.\n",
		 "in.bin.A0.S19 in.bin.A1.S19 in.old", 255, held_at("write", 3, new_build, "", " -P \"$PWD/out\""), NotWine},
		{{"-fin.bin"}, "", two_blocks, "- input file replaced or removed during the run: in.bin.\n",
		 "in.bin.A0.S19 in.bin.A1.S19 in.old", 255, held_at("write", 4, new_build, "", " -P \"$PWD/out\""), 0},
		// Copied over in place, the same file written into, the image is judged by its bytes alone: the same bytes,
		// or a touch, change nothing; other bytes of the same size and time, whether blocks are still to be read or
		// the last one is out, end the run once its lines are, as does a flock that a signal cuts short beside a rival.
		{{"-fin.bin"}, "", two_blocks, "", "copy in.bin.A0.S19 in.bin.A1.S19", 0,
		 held_at("write", 1, "cp in.bin copy; cp copy in.bin"), NotWine},
		{{"-fin.bin"}, "", two_blocks, "", "in.bin.A0.S19 in.bin.A1.S19", 0, held_at("write", 1, "touch in.bin"), NotWine},
		{{"-fin.bin"}, "", two_blocks, changed, "in.bin.A0.S19 in.bin.A1.S19 new", 255,
		 held_at("write", 3, same_size_new, "", " -P \"$PWD/out\""), Changes},
		{{"-fin.bin"}, "", two_blocks, changed, "in.bin.A0.S19 in.bin.A1.S19", 255,
		 held_at("write", 4, last_byte, "", " -P \"$PWD/out\""), Changes},
		{{"-fin.bin"}, "", two_blocks, "- input file in use by another run or program: in.bin.\n", "in.bin.A0.S19 in.bin.A1.S19",
		 0, held_at("write", 1, tool + " -i -s100 -fin.bin" + rival, "", " -P \"$PWD/in.bin\" -e inject=flock:error=EINTR:when=1",
		 ",flock"), NotWine},
		// A user, not root, whose umask or old block file denies the owner reading: the text is read back all the
		// same, and the modes are kept.
		{{"-fin.bin"}, "", two_blocks, "", "in.bin.A0.S19 in.bin.A1.S19", 0, as_user("0477", "", "200 200"), NotWine | AsUser},
		{{"-fin.bin"}, "", two_blocks, "", "in.bin.A0.S19 in.bin.A1.S19", 0, as_user("022", "200", "200 644"), NotWine | AsUser},
		{{"-fin.bin"}, "", two_blocks, "", "in.bin.A0.S19 in.bin.A1.S19", 0, as_user("022", "000", "0 644"), NotWine | AsUser},
		// A FIFO put at the block name as it is read back is no file of the run's: no wait for a writer.
		{{"-fin.bin"}, "", "  -> input file  = in.bin\n", "- output file replaced by another program: in.bin.A0.S19.\n",
		 "in.bin.A0.S19", 255, held_at("rename,renameat,renameat2", 1, "rm in.bin.A0.S19; mkfifo in.bin.A0.S19"), NotWine},
		{{"-fin.bin"}, "", two_blocks, "", "in.bin.A0.S19 in.bin.A1.S19", 0, held_at("flock", 1, "rm in.bin.A0.tmp"),
		 NotWine},
		{{"-fin.bin"}, "", "  -> input file  = in.bin\n", "- temporary file taken by another program: in.bin.A0.tmp.\n",
		 "in.bin.A0.tmp moved", 255, held_at("write", 1, "mv in.bin.A0.tmp moved; echo theirs >in.bin.A0.tmp"), NotWine},
		{{"-fin.bin"}, "", "  -> input file  = in.bin\n", "- temporary file taken by another program: in.bin.A0.tmp.\n",
		 "in.bin.A0.tmp", 255, held_at("write", 1, "echo theirs >in.bin.A0.tmp"), NotWine},
		{{"-fin.bin"}, "", "  -> input file  = in.bin\n", "- temporary file taken by another program: in.bin.A0.tmp.\n",
		 "in.bin.A0.tmp moved", 255, through_view(bindfs_view, "cp in.bin.A0.tmp copy; mv in.bin.A0.tmp moved; mv copy in.bin.A0.tmp"), NotWine},
		{{"-fin.bin"}, "", "  -> input file  = in.bin\n", "- output file replaced by another program: in.bin.A0.S19.\n",
		 "in.bin.A0.S19 moved", 255, through_view(numbered_view, "mv in.bin.A0.tmp moved; " + theirs), NotWine},
		{{"-fin.bin"}, "", "  -> input file  = in.bin\n", "- output file replaced by another program: in.bin.A0.S19.\n",
		 "in.bin.A0.S19", 255, held_at("rename,renameat,renameat2", 1, "echo old >x; mv x in.bin.A0.S19"), NotWine},
		{{"-fin.bin"}, "", "  -> input file  = in.bin\n", "- failed to write output file: in.bin.A0.S19.\n", "", 255,
		 held_at("write", 1, "rm in.bin.A0.tmp", ":error=ENOSPC"), NotWine},
		{{"-fin.bin"}, "", "  -> input file  = in.bin\n", "- failed to open output file: in.bin.A0.S19.\n", "", 255,
		 held_at("rename,renameat,renameat2", 1, unheld, ":error=EXDEV"), NotWine},
		// A leftover that its run renames, or that gains a name, as it is judged; one swapped for a link.
		{{"-fin.bin"}, "", "  -> input file  = in.bin\n", taken, "in.bin.A0.tmp moved", 255,
		 leftover + held_at("flock", 1, "mv in.bin.A0.tmp moved; echo notes >in.bin.A0.tmp"), NotWine},
		{{"-fin.bin"}, "", "  -> input file  = in.bin\n", taken, "in.bin.A0.tmp other", 255,
		 leftover + held_at("flock", 1, "ln in.bin.A0.tmp other"), NotWine},
		{{"-fin.bin"}, "", "  -> input file  = in.bin\n", taken, "in.bin.A0.tmp moved notes", 255,
		 leftover + "echo S1 >notes; " + held_at("newfstatat,statx", 2, "mv in.bin.A0.tmp moved; ln -s notes in.bin.A0.tmp",
		 "", " -P \"$PWD/notes\" -e inject=flock:signal=SIGKILL", ",flock"), NotWine},
		// wine creates files in its server, which keeps root's rights.
		{{"-fin.bin"}, "", "  -> input file  = in.bin\n", "- failed to open output file: in.bin.A0.tmp.\n", "", 255,
		 unwritable, NotWine},
		{{"-fin.bin"}, "", "  -> input file  = in.bin\n", "- failed to write output file: in.bin.A0.S19.\n",
		 "in.bin.A0.S19", 255, full_disk},
		{{"-fin.bin"}, "", "", "- failed to write standard output.\n", "in.bin.A0.S19 in.bin.A1.S19", 255, reader_gone},
		{{"-fin.bin"}, "in.bin.A1.S19/", first_block + "- failed to open output file: in.bin.A1.S19.\n", "",
		 "in.bin.A0.S19 in.bin.A1.S19", 255, one_log},
		{{"-ffifo"}, "", "  -> input file  = fifo\n  -> output file = fifo.A0.S19   SAVE 2300 A2FF 00000000\n",
		 interrupted, "fifo fifo.A0.S19", 255, interrupt},
		// Windows has no SIGTERM from outside: wine ends the program at once. Nor has it FIFOs: under wine 8 the
		// open of one with no writer doesn't wait at all, and the run writes an empty block. A second Ctrl+C,
		// which ends the tool on Windows, changes nothing under wine 8.
		{{"-ffifo"}, "", "  -> input file  = fifo\n  -> output file = fifo.A0.S19   SAVE 2300 A2FF 00000000\n",
		 interrupted, "fifo fifo.A0.S19", 255, stall, NotWine},
		{{"-ffifo"}, "", "  -> input file  = fifo\n", "", "fifo fifo.A0.S19", 255, unread(""), NotWine},
		{{"-ffifo"}, "", "  -> input file  = fifo\n", "", "fifo fifo.A0.S19", 255, unread(alarm_blocked), NotWine},
		{{"-ffifo"}, "", "  -> input file  = fifo\n", interrupted, "fifo", 255, no_writer, NotWine},
		{{"-ffifo"}, "", "  -> input file  = fifo\n", interrupted, "fifo", 255, stop_before_open, NotWine},
		{{"-fin.bin"}, "", "  -> input file  = in.bin\n", interrupted, "", 255, stops, NotWine},
		{{"-fin.bin"}, "", "  -> input file  = in.bin\n", "- failed to write output file: in.bin.A0.S19.\n" + interrupted,
		 "", 255, stop_in_block, NotWine},
		{{"-fin.bin"}, "", first_block, interrupted, "in.bin.A0.S19 in.bin.A1.S19", 255, stop_in_line, NotWine},
		{{"-fin.bin"}, "", "  -> input file  = in.bin\n", "", "", -1, callers_alarm, NotWine},
		{{"-ffifo"}, "", "", "", "fifo fifo.A0.S19", 137, shared_pipe, NotWine},
		{{"-ffifo"}, "", "  -> input file  = fifo\n  -> output file = fifo.A0.S19   SAVE 2300 A2FF 00000000\n"
		 "  -> output file = fifo.A1.S19   SAVE 2300 3F3F 00000040\n", "", "fifo fifo.A0.S19 fifo.A1.S19", 0, hang_up,
		 NotQemu}, // qemu-user lets an ignored SIGHUP break the read of the FIFO
		{{"-fin.bin"}, "", "  -> input file  = in.bin\n", "- failed to write output file: in.bin.A0.S19.\n"
		 "- failed to remove incomplete output file: in.bin.A0.tmp.\n", "in.bin.A0.S19 in.bin.A0.tmp", 255, no_removal,
		 NotWine},
		{{"-x", "-F", "-", "-fin.bin"}, "", two_blocks, warning + warning + warning, "in.bin.A0.S19 in.bin.A1.S19", 0},
		// Sector mistakes are named; the SAVE texts stay as the options give them.
		{{"-fin.bin", "-s", "100"}, "", two_blocks, "- arguments not read, ignored: 100.\n",
		 "in.bin.A0.S19 in.bin.A1.S19", 0},
		{{"-fin.bin", "-s1O0"}, "",
		 "  -> input file  = in.bin\n  -> output file = in.bin.A0.S19   SAVE 2300 A2FF FFFFFFFF\n"
		 "  -> output file = in.bin.A1.S19   SAVE 2300 3F3F 0000003F\n",
		 "- sector number is not hexadecimal: 1O0.\n", "in.bin.A0.S19 in.bin.A1.S19", 0},
		// The Windows runtime expands wildcards before main, here -f*.bin to -fin.bin; the tool expands none.
		{{"-f*.bin"}, "-fin.bin>in.bin", Windows ? two_blocks : "  -> input file  = *.bin\n",
		 Windows ? "" : "- failed to open input file: *.bin.\n",
		 Windows ? "-fin.bin in.bin.A0.S19 in.bin.A1.S19" : "-fin.bin", Windows ? 0 : 255},
	};
	for (const auto &c : cases) {
		if ((Windows && (c.off & NotWine)) || (!Windows && (c.off & OnlyWine)) || (Emulated && (c.off & NotQemu)))
			continue;
		SCOPED_TRACE(testing::PrintToString(c.args) + " beside " + c.setup + " after " + c.shell);
		Fresh();
		Put("in.bin", std::string(40000, 'b'));
		std::size_t mark = std::min(c.setup.find_first_of("/>="), c.setup.size());
		std::string name = c.setup.substr(0, mark), target = c.setup.substr(std::min(mark + 1, c.setup.size()));
		bool moved = c.setup[mark] == '>' && fs::exists(dir / name);
		bool notes = mark < c.setup.size() && c.setup[mark] != '/' && !moved && !fs::exists(dir / target);
		if (notes)
			Put(target, notes_text);
		if (moved)
			fs::rename(dir / name, dir / target);
		if (c.setup[mark] == '>')
			fs::create_symlink(target, dir / name);
		else if (c.setup[mark] == '=')
			fs::create_hard_link(dir / target, dir / name);
		else if (!c.setup.empty())
			fs::create_directory(dir / name);
		// {dir} stands for the scratch folder as Windows names it under wine.
		std::string windows_dir = "Z:" + dir.string();
		std::replace(windows_dir.begin(), windows_dir.end(), '/', '\\');
		auto fill = [&](std::string text) {
			for (std::size_t at; (at = text.find("{dir}")) != std::string::npos;)
				text.replace(at, 5, windows_dir);
			return text;
		};
		std::vector<std::string> args;
		for (const auto &a : c.args)
			args.push_back(fill(a));
		Result r = Exec(args, c.shell, "", (c.off & AsUser) ? Public_Exe() : Exe);
		EXPECT_EQ(r.status, c.status);
		EXPECT_EQ(r.out, fill(c.out));
		EXPECT_EQ(r.err, c.err);
		const std::string image(40000, 'b');
		if (!(c.off & Changes)) {
			EXPECT_TRUE(Slurp(dir / "in.bin") == image) << "the image was changed";
		}
		if (notes) {
			EXPECT_TRUE(Slurp(dir / target) == notes_text) << target << " was written through a link, or removed";
		}
		std::string left, data;
		for (const auto &f : Files()) {
			if (f != "in.bin")
				left += (left.empty() ? "" : " ") + f;
			// Every block file left holds its own block, whole, but for the image and one that a failed run
			// had to leave as it was.
			if (f.size() < 8 || f.substr(f.size() - 4) != ".S19" || !fs::is_regular_file(dir / f) || (c.off & Changes) ||
			    fs::equivalent(dir / f, dir / "in.bin") || (c.status != 0 && (Slurp(dir / f) == "old\n" || Slurp(dir / f) == notes_text ||
			                        Slurp(dir / f).rfind("theirs", 0) == 0)))
				continue;
			std::size_t block = static_cast<std::size_t>((f[f.size() - 6] - 'A') * 10 + f[f.size() - 5] - '0');
			EXPECT_EQ(Decode_Block_File(Slurp(dir / f), data), "") << f;
			EXPECT_EQ(fs::status(dir / f).permissions() & fs::perms::owner_exec, fs::perms::none) << f << " took a link's mode";
			EXPECT_TRUE(data == image.substr(std::min(block * 32768, image.size()), 32768)) << f << " holds another block";
		}
		EXPECT_EQ(left, c.left);
	}
}

// An image rewritten in place during a run, on a file system whose times are whole seconds (ext4 with 128-byte
// inodes) or two (vfat), within the second of its last write: its bytes tell, whatever its size and times say.
// Each file system is skipped, saying why, where it can't be made and mounted here (it needs root and loop
// devices); strace holds the tool at its first block's console line, which wine's console doesn't reach.
TEST_F(Run, RewrittenImageWhereTimesAreCoarse)
{
	const struct { std::string name, make; } systems[] = {
		{"ext4 with 128-byte inodes", "mkfs.ext4 -q -F -I 128"},
		{"vfat", "mkfs.vfat"},
	};
	const fs::path scratch = dir;
	for (const auto &system : systems) {
		if (Windows || Emulated)
			break;
		SCOPED_TRACE(system.name);
		dir = scratch;
		Fresh();
		fs::create_directory(dir / "fs");
		std::string make = "cd " + Quote(dir.string()) + " && truncate -s 16M fs.img && " + system.make +
		                   " fs.img >/dev/null 2>&1 && mount -o loop fs.img fs 2>/dev/null";
		if (std::system(make.c_str()) != 0) {
			std::cout << "[ SKIPPED  ] " << system.name << ": can't be made and mounted here\n";
			continue;
		}
		dir = scratch / "fs";
		Put("in.bin", std::string(40000, 'b'));
		// Within the second of the image's last write, as a loaded machine can't be relied on to be: the time
		// is set back to that second.
		Result r = Exec({"-fin.bin"}, Held_At("write", 2, "t=$(stat -c %Y in.bin); printf c | dd of=in.bin bs=1 "
		                                      "conv=notrunc 2>/dev/null; touch -d @$t in.bin", "", " -P \"$PWD/out\"",
		                                      ""));
		dir = scratch;
		EXPECT_EQ(std::system(("umount " + Quote((dir / "fs").string())).c_str()), 0);
		EXPECT_EQ(r.status, 255);
		EXPECT_EQ(r.out, "  -> input file  = in.bin\n"
		                 "  -> output file = in.bin.A0.S19   SAVE 2300 A2FF 00000000\n"
		                 "  -> output file = in.bin.A1.S19   SAVE 2300 3F3F 00000040\n");
		EXPECT_EQ(r.err, "- input file changed during the run: in.bin; the block files listed above are not all of "
		                 "one image.\n");
	}
}

// Names in any script reach the tool and its console lines as they are, in UTF-8 on every platform. Where
// Windows ignores the UTF-8 code page (before 10 version 1903: --ansi-exe, a build without it, under wine's
// code page 1252), a name that the code page can't write, typed or matched by a wildcard, is refused rather
// than read as a look-alike that names another file.
TEST_F(Run, NonAsciiNames)
{
	// in_1252: the name as that code page writes it, which the console shows; empty where it can't.
	const struct { std::string name, typed, in_1252; } cases[] = {
		{"bild\u00e9.bin", "", "bild\xE9.bin"},
		{"\u043e\u0431\u0440\u0430\u0437.bin", "", ""},
		{"\u753b\u50cf.bin", "", ""},
		{"\U0001F680 image.bin", "", ""},
		{"firmware-\u0142.bin", "", ""},
		{"-ffirmware-\u0142.bin", "-ffirmware-*.bin", ""}, // the runtime's wildcards match whole arguments
	};
	for (const auto &c : cases) {
		for (const std::string &exe : {Exe, AnsiExe}) {
			if (exe.empty())
				continue;
			if (!c.typed.empty() && !Windows)
				continue;
			SCOPED_TRACE(c.name + (exe == Exe ? "" : " without the UTF-8 code page"));
			Fresh();
			std::string image = c.typed.empty() ? c.name : c.name.substr(2);
			Put(c.name, "abc");
			Put(image, "abc");
			Put("firmware-l.bin", "xyz"); // the look-alike of firmware-\u0142.bin
			std::size_t files = Files().size();
			Result r = Exec({c.typed.empty() ? "-f" + c.name : c.typed}, "", "", exe);
			if (exe == Exe || !c.in_1252.empty()) {
				std::string shown = exe == Exe ? image : c.in_1252;
				EXPECT_EQ(r.out, "  -> input file  = " + shown + "\n  -> output file = " + shown +
				                     ".A0.S19   SAVE 2300 2302 00000000\n");
				EXPECT_EQ(r.err, "");
				EXPECT_EQ(Slurp(dir / (image + ".A0.S19")), "S1062300616263B0\r\nS9030000FC\r\n");
			} else {
				EXPECT_EQ(r.status, 255);
				EXPECT_EQ(r.out, "");
				EXPECT_EQ(r.err.substr(0, 39), "- name not in this Windows' code page: ") << r.err;
				EXPECT_EQ(Files().size(), files) << "a block file was written";
			}
		}
	}
}

// An argument that names no file, outside the ANSI code page, is refused as an argument, with no advice to
// rename a file.
TEST_F(Run, ArgumentsOutsideTheCodePage)
{
	const struct { std::vector<std::string> args; std::string err; } cases[] = {
		{{"-fin.bin", "-s\uFF11\uFF10\uFF10"}, "- argument not in this Windows' code page: -s???; type it in this code "
		 "page's letters, or use Windows 10 version 1903 or later.\n"},
		{{"-f\u0142.bin"}, "- name not in this Windows' code page: -f?.bin; rename the file, or use Windows 10 "
		 "version 1903 or later.\n"},
	};
	for (const auto &c : cases) {
		if (AnsiExe.empty())
			break; // only a Windows without the UTF-8 code page refuses them
		SCOPED_TRACE(testing::PrintToString(c.args));
		Fresh();
		Put("in.bin", "abc");
		Result r = Exec(c.args, "", "", AnsiExe);
		EXPECT_EQ(r.status, 255);
		EXPECT_EQ(r.out, "");
		EXPECT_EQ(r.err, c.err);
		EXPECT_EQ(Files(), std::vector<std::string>{"in.bin"});
	}
}

TEST_F(Run, LostConsoleOutputIsAFailure)
{
	Put("in.bin", "abc");
	Result r = Exec({"-fin.bin"}, "", "/dev/full");
	EXPECT_EQ(r.status, 255);
	EXPECT_EQ(r.err, "- failed to write standard output.\n");
}

int main(int argc, char **argv)
{
	testing::InitGoogleTest(&argc, argv);
	for (int i = 1; i < argc; i++) {
		std::string a = argv[i];
		if (a.rfind("--exe=", 0) == 0)
			Exe = fs::absolute(a.substr(6)).string();
		else if (a.rfind("--runner=", 0) == 0)
			Runner = a.substr(9);
		else if (a.rfind("--ansi-exe=", 0) == 0)
			AnsiExe = fs::absolute(a.substr(11)).string();
		else if (a == "--windows")
			Windows = true;
		else if (a == "--emulated")
			Emulated = true;
	}
	int failed = RUN_ALL_TESTS();
	if (!Public_Copy.empty())
		fs::remove_all(Public_Copy);
	return failed;
}
