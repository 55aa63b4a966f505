#!/usr/bin/env python3
# Runs the command given where this machine starts 32-bit x86 programs, as wine32 needs. Where the kernel runs
# none (IA-32 emulation off, WSL 1) the start of one fails with ENOEXEC: then this says so and exits 77, which
# CTest counts as a skip. Any other failure of the probe fails, so that a broken machine is never taken for one
# without 32-bit programs.
#   runs-32-bit.py COMMAND...
#   S19CUT_32BIT_PROBE=FILE  starts FILE as the probe instead: one that is no program gives "no" on purpose
import errno
import os
import struct
import subprocess
import sys
import tempfile

SKIP = 77


# The smallest 32-bit x86 Linux program: one segment whose code is exit(0) through int 0x80.
def probe_program():
    code = bytes([0xB8, 1, 0, 0, 0, 0x31, 0xDB, 0xCD, 0x80])
    base, size = 0x08048000, 52 + 32 + len(code)
    header = b"\x7fELF" + bytes([1, 1, 1, 0]) + bytes(8) + struct.pack(
        "<HHIIIIIHHHHHH", 2, 3, 1, base + 52 + 32, 52, 0, 0, 52, 32, 1, 0, 0, 0)
    segment = struct.pack("<8I", 1, 0, base, base, size, size, 5, 0x1000)
    return header + segment + code


def main():
    if len(sys.argv) < 2:
        sys.exit("usage: runs-32-bit.py COMMAND...")
    with tempfile.TemporaryDirectory(dir=".") as folder:
        probe = os.environ.get("S19CUT_32BIT_PROBE", "")
        if not probe:
            probe = os.path.join(folder, "probe32")
            with open(probe, "wb") as f:
                f.write(probe_program())
            os.chmod(probe, 0o755)
        try:
            status = subprocess.run([os.path.abspath(probe)]).returncode
        except OSError as e:
            if e.errno != errno.ENOEXEC:
                sys.exit("runs-32-bit.py: the probe %s could not start: %s" % (probe, e))
            print("skipped: this machine's kernel runs no 32-bit programs (%s)" % e.strerror, flush=True)
            sys.exit(SKIP)
    if status != 0:
        sys.exit("runs-32-bit.py: the probe %s exited with %d" % (probe, status))
    os.execvp(sys.argv[1], sys.argv[1:])


main()
