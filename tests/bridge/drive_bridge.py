#!/usr/bin/env python3
"""Drives sorvantix-jvlink-bridge.exe under Wine against the stand-in JV-Link
(fake-jvlink.dll, registered by scripts/wine_jvlink.sh --register-fake FEED) and checks
what comes through the pipe against the feed files, byte for byte.

    tests/bridge/drive_bridge.py --prefix /tmp/wp --feed /tmp/fakefeed

It writes a few files of its own into FEED (faults.txt, 0B41/2099123*.jvd) for the
duration of a check and removes them again. Exit status 0 when every check passed."""

import argparse
import os
import select
import struct
import subprocess
import sys
import time
from pathlib import Path

MAGIC = b"SVB1"
OP = dict(Init=1, SetUIProperties=2, Open=3, RTOpen=4, Status=5, Read=6, Skip=7,
          Cancel=8, Close=9, Version=10, Quit=11)
READ_SIZE = 110000
ROOT = Path(__file__).resolve().parents[2]

failures = []


def check(ok, what):
    print(("ok   " if ok else "FAIL ") + what)
    if not ok:
        failures.append(what)
    return ok


class Payload:
    def __init__(self, data):
        self.data = data
        self.pos = 0

    def i32(self):
        if self.pos + 4 > len(self.data):
            raise ValueError("payload too short")
        (v,) = struct.unpack_from("<i", self.data, self.pos)
        self.pos += 4
        return v

    def bytes(self):
        n = self.i32()
        if n < 0 or self.pos + n > len(self.data):
            raise ValueError("bad bytes field")
        v = self.data[self.pos:self.pos + n]
        self.pos += n
        return v

    def at_end(self):
        return self.pos == len(self.data)


def field(b):
    return struct.pack("<i", len(b)) + b


def i32(v):
    return struct.pack("<i", v)


class Bridge:
    def __init__(self, exe, prefix, log):
        env = dict(os.environ, WINEPREFIX=prefix, WINEDEBUG="-all")
        env.pop("DISPLAY", None)
        self.started = time.monotonic()
        self.proc = subprocess.Popen(["wine", exe], stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                     stderr=log, env=env)
        self.buf = b""
        self.skipped = b""

    def _read(self, n, deadline):
        while len(self.buf) < n:
            left = deadline - time.monotonic()
            if left <= 0:
                raise TimeoutError("no reply in time")
            r, _, _ = select.select([self.proc.stdout], [], [], left)
            if not r:
                continue
            chunk = os.read(self.proc.stdout.fileno(), 1 << 20)
            if not chunk:
                raise EOFError("bridge output ended")
            self.buf += chunk
        out, self.buf = self.buf[:n], self.buf[n:]
        return out

    def frame(self, timeout=30.0):
        deadline = time.monotonic() + timeout
        window = b""
        while window != MAGIC:
            window = (window + self._read(1, deadline))[-4:]
            if window != MAGIC and len(window) == 4:
                self.skipped += window[:1]
            if len(self.skipped) > 64 * 1024:
                raise ValueError("no frame magic")
        (n,) = struct.unpack("<I", self._read(4, deadline))
        return Payload(self._read(n, deadline))

    def hello(self):
        p = self.frame(timeout=60.0)
        self.hello_seconds = time.monotonic() - self.started
        hr, zero, message, version = p.i32(), p.i32(), p.bytes(), p.bytes()
        return hr, zero, message.decode("utf-8"), version.decode("utf-8")

    def send(self, payload):
        self.proc.stdin.write(MAGIC + struct.pack("<I", len(payload)) + payload)
        self.proc.stdin.flush()

    def call(self, op, body=b"", timeout=30.0):
        self.send(bytes([OP[op]]) + body)
        p = self.frame(timeout)
        return p.i32(), p.i32(), p

    def result(self, op, body=b"", timeout=30.0):
        hr, res, p = self.call(op, body, timeout)
        if hr != 0:
            raise RuntimeError(f"{op}: hresult 0x{hr & 0xffffffff:08X}")
        return res, p

    def read(self):
        res, p = self.result("Read", i32(READ_SIZE))
        record, name = p.bytes(), p.bytes()
        assert p.at_end()
        return res, record, name.decode("utf-8")

    def quit(self):
        self.send(bytes([OP["Quit"]]))
        return self.proc.wait(timeout=10)


def records_of(data):
    """The CR LF records of a file."""
    out = []
    pos = 0
    while pos < len(data):
        lf = data.index(b"\n", pos)
        out.append(data[pos:lf + 1])
        pos = lf + 1
    return out


def read_all(bridge, allow_downloading=False):
    """Reads until 0: [(result, record, name)] for the records, counts of -1 and -3."""
    got, switches, waits = [], 0, 0
    while True:
        res, record, name = bridge.read()
        if res > 0:
            if len(record) != res:
                check(False, f"record length {len(record)} == result {res}")
                return got, switches, waits
            got.append((record, name))
        elif res == 0:
            return got, switches, waits
        elif res == -1:
            switches += 1
        elif res == -3 and allow_downloading:
            waits += 1
        else:
            check(False, f"read result {res}")
            return got, switches, waits


def start(args, log):
    b = Bridge(args.exe, args.prefix, log)
    hr, zero, message, version = b.hello()
    check(hr == 0 and zero == 0 and message == "" and version == "fake 4.9.0",
          f"hello: hresult {hr}, message {message!r}, version {version!r} "
          f"({b.hello_seconds * 1000:.0f} ms, {len(b.skipped)} bytes before it)")
    return b


def kill_wineserver(prefix):
    env = dict(os.environ, WINEPREFIX=prefix)
    subprocess.run(["wineserver", "-k"], env=env, stderr=subprocess.DEVNULL)
    subprocess.run(["wineserver", "-w"], env=env, stderr=subprocess.DEVNULL)


def test_realtime(args, log, feed):
    files = sorted((feed / "0B41").glob("*.jvd"))
    key = files[0].stem
    expected = records_of(files[0].read_bytes())
    b = start(args, log)
    res, _ = b.result("Read", i32(READ_SIZE))
    check(res == -201, f"Read before JVInit gives -201 ({res})")
    res, _ = b.result("Init", field(b"UNKNOWN"))
    check(res == 0, f"JVInit UNKNOWN gives 0 ({res})")
    res, _ = b.result("RTOpen", field(b"0B41") + field(key.encode()))
    check(res == 0, f"JVRTOpen 0B41 {key} gives 0 ({res})")
    res, _ = b.result("RTOpen", field(b"0B41") + field(key.encode()))
    check(res == -202, f"a second JVRTOpen gives -202 ({res})")
    got, switches, _ = read_all(b)
    check([r for r, _ in got] == expected and switches == 0,
          f"0B41/{key}.jvd: {len(got)} records equal the file's {len(expected)} byte for byte")
    check(all(n == files[0].name for _, n in got), "every record names its file")
    res, _ = b.result("Read", i32(READ_SIZE))
    check(res == 0, f"a read after the end gives 0 again ({res})")
    res, _ = b.result("Close")
    check(res == 0, f"JVClose gives 0 ({res})")
    res, _ = b.result("RTOpen", field(b"0B41") + field(b"20261206"))
    check(res == -114, f"a date as odds key gives -114 ({res})")
    b.result("Close")
    res, p = b.result("Version")
    check(p.bytes() == b"fake 4.9.0", "Version gives m_JVLinkVersion")
    check(b.quit() == 0, "Quit ends the bridge with 0")


def test_stored(args, log, feed):
    files = sorted((f for f in (feed / "RACE").glob("*.jvd") if not f.name.startswith(".")),
                   key=lambda f: (f.name[:14], f.name.encode()))
    b = start(args, log)
    b.result("Init", field(b"UNKNOWN"))
    res, p = b.result("Open", field(b"RACE") + field(b"00000000000000") + i32(4))
    reads, downloads, stamp = p.i32(), p.i32(), p.bytes().decode()
    check(res == 0 and reads == len(files) and downloads == len(files) and
          stamp == files[-1].name[:14],
          f"JVOpen RACE: {res}, readcount {reads}, downloadcount {downloads}, last {stamp}")
    polls = []
    while True:
        res, _ = b.result("Status")
        polls.append(res)
        if res < 0 or res >= downloads or len(polls) > 100:
            break
    check(polls == list(range(1, downloads + 1)), f"JVStatus counts the downloads: {polls}")
    t0 = time.monotonic()
    got, switches, waits = read_all(b)
    seconds = time.monotonic() - t0
    expected = [(r, f.name) for f in files for r in records_of(f.read_bytes())]
    check(got == expected, f"RACE: {len(got)} records equal the files' {len(expected)} byte for "
                           f"byte, in stamp order, with their file names")
    check(switches == len(files) and waits == 0, f"-1 after each of the {len(files)} files "
                                                 f"({switches}), no -3 ({waits})")
    print(f"     {len(got) + switches + 1} reads in {seconds:.2f} s: "
          f"{(len(got) + switches + 1) / seconds:.0f} reads/s, "
          f"{sum(len(r) for r, _ in got) / seconds / 1e6:.1f} MB/s")
    b.result("Close")

    # Reading before the downloads: -3 once per file, then its records.
    b.result("Open", field(b"RACE") + field(b"00000000000000") + i32(1))
    got2, switches2, waits2 = read_all(b, allow_downloading=True)
    check(got2 == expected and waits2 == len(files),
          f"reading without JVStatus: -3 once per file ({waits2}), then the same records")
    b.result("Close")
    res, p = b.result("Open", field(b"RACE") + field(files[-1].name[:14].encode()) + i32(1))
    check(res == -1, f"JVOpen from the newest stamp gives -1 ({res})")
    res, _ = b.result("Open", field(b"RACE") + field(b"00000000000000") + i32(1))
    check(res == -202, f"an open after a -1 without JVClose gives -202 ({res})")
    b.result("Close")
    res, _ = b.result("Open", field(b"RACE") + field(b"2026130100000") + i32(1))
    check(res == -112, f"a bad fromtime gives -112 ({res})")
    b.result("Close")
    # JVSkip passes over the rest of the first file.
    b.result("Open", field(b"RACE") + field(b"00000000000000") + i32(1))
    for _ in range(len(files)):
        b.result("Status")
    first = b.read()
    b.result("Skip")
    after = b.read()
    nxt = b.read()
    check(first[1] == expected[0][0] and after[0] == -1 and nxt[2] == files[1].name,
          f"JVSkip: after one record of {files[0].name}, -1 then {nxt[2]}")
    res, _ = b.result("Cancel")
    check(res == 0, "JVCancel answers 0")
    res, _ = b.result("Read", i32(READ_SIZE))
    check(res == -203, f"a read after JVCancel gives -203 ({res})")
    b.result("Close")
    b.quit()
    return files


def throughput(args, log, feed):
    big = max((feed / "0B42").glob("*.jvd"), key=lambda f: f.stat().st_size)
    expected = records_of(big.read_bytes())
    b = start(args, log)
    b.result("Init", field(b"UNKNOWN"))
    b.result("RTOpen", field(b"0B42") + field(big.stem.encode()))
    t0 = time.monotonic()
    got, _, _ = read_all(b)
    seconds = time.monotonic() - t0
    check([r for r, _ in got] == expected,
          f"0B42/{big.name}: {len(got)} records of {len(expected[0])} bytes equal the file")
    print(f"     {len(got) + 1} reads in {seconds:.3f} s: {(len(got) + 1) / seconds:.0f} records/s "
          f"({seconds / (len(got) + 1) * 1e6:.0f} us each)")
    b.result("Close")
    b.quit()


def test_hang(args, log, feed):
    faults = feed / "faults.txt"
    key = sorted((feed / "0B41").glob("*.jvd"))[0].stem
    faults.write_bytes(b"JVRTOpen 0B41 * hang=3\r\nJVRead 0B41 * -502 at=2\n")
    try:
        b = start(args, log)
        b.result("Init", field(b"UNKNOWN"))
        t0 = time.monotonic()
        res, _ = b.result("RTOpen", field(b"0B41") + field(key.encode()), timeout=20)
        seconds = time.monotonic() - t0
        check(res == 0 and 2.9 <= seconds <= 4.0,
              f"JVRTOpen with hang=3 took {seconds:.2f} s, then gave {res}")
        r1 = b.read()[0]
        r2 = b.read()[0]
        r3 = b.read()[0]
        check(r1 > 0 and r2 == -502 and r3 > 0,
              f"JVRead -502 at=2 replaces only the second read ({r1}, {r2}, {r3})")
        t0 = time.monotonic()
        res, _ = b.result("Close")
        check(res == 0 and time.monotonic() - t0 < 1, "JVClose is not held")

        faults.write_bytes(b"# stored data\nJVOpen RACE 20261204160030 -504\n"
                           b"JVStatus RACE * -502 at=2\nJVClose RACE * -1\n"
                           b"JVOpen RACE bad line\n")
        res, p = b.result("Open", field(b"RACE") + field(b"20261204160030") + i32(1))
        check(res == -504 and p.i32() == 0 and p.i32() == 0 and p.bytes() == b"",
              f"JVOpen fault -504 with zero counts ({res})")
        b.result("Close")
        res, _ = b.result("Open", field(b"RACE") + field(b"00000000000000") + i32(1))
        polls = [b.result("Status")[0] for _ in range(3)]
        check(res == 0 and polls == [1, -502, 2], f"JVStatus -502 at=2 only: {polls}")
        res, _ = b.result("Close")
        check(res == -1, f"JVClose fault gives -1 ({res})")
        res, _ = b.result("Read", i32(READ_SIZE))
        check(res == -203, f"... and closes all the same: a read gives -203 ({res})")
        b.quit()
    finally:
        faults.unlink()


NEC_RECORD = b"O1" + b"\x87\x90" + b"\xed\x40" + b"\x00\x00 " + b"\x82\xa0" + b"\r\n"


def test_nec(args, log, feed, fake_settings):
    key = "2099123101010101"
    path = feed / "0B41" / f"{key}.jvd"
    second = b"O1\x00tail\xfa\x5c\r\n"
    path.write_bytes(NEC_RECORD + second)
    saved = fake_settings.read_bytes()
    try:
        b = start(args, log)
        b.result("Init", field(b"UNKNOWN"))
        b.result("RTOpen", field(b"0B41") + field(key.encode()))
        got, _, _ = read_all(b)
        check([r for r, _ in got] == [NEC_RECORD, second],
              "NEC duplicates 0x8790 and 0xED40 come through JVGets unchanged")
        b.result("Close")
        b.quit()

        # Without JVGets the bridge falls back on JVRead: the wide string loses them.
        fake_settings.write_bytes(saved.rstrip(b"\r\n") + b"\r\nno-JVGets\r\n")
        b = start(args, log)
        b.result("Init", field(b"UNKNOWN"))
        b.result("RTOpen", field(b"0B41") + field(key.encode()))
        got, _, _ = read_all(b)
        records = [r for r, _ in got]
        check(len(records) == 2 and records[1] == second and records[0] != NEC_RECORD and
              len(records[0]) == len(NEC_RECORD) and records[0].endswith(b"\r\n"),
              f"through JVRead (no JVGets) the record keeps its length but changes: "
              f"{records[0][:8].hex() if records else None}")
        b.result("Close")
        b.quit()

        # JVGets that ran but gave no bytes: that read fails (its record is gone, so
        # no JVRead of the same), the next ones come through JVRead.
        fake_settings.write_bytes(saved.rstrip(b"\r\n") + b"\r\nJVGets-no-array\r\n")
        b = start(args, log)
        b.result("Init", field(b"UNKNOWN"))
        b.result("RTOpen", field(b"0B41") + field(key.encode()))
        hr, res, p = b.call("Read", i32(READ_SIZE))
        second_read = b.read()
        check((hr & 0xFFFFFFFF) == 0x80020005 and p.at_end() and second_read[1] == second,
              f"JVGets without bytes: hresult 0x{hr & 0xFFFFFFFF:08X}, then the next record "
              f"through JVRead")
        b.result("Close")
        b.quit()
    finally:
        fake_settings.write_bytes(saved)
        path.unlink()


def test_broken_tail(args, log, feed):
    key = "2099123101010102"
    path = feed / "0B41" / f"{key}.jvd"
    path.write_bytes(b"O1first\r\nO1second\r\nO1cut")
    try:
        b = start(args, log)
        b.result("Init", field(b"UNKNOWN"))
        b.result("RTOpen", field(b"0B41") + field(key.encode()))
        results = [b.read() for _ in range(4)]
        check([r[0] for r in results] == [9, 10, -403, -403] and results[1][1] == b"O1second\r\n",
              f"a file cut short: its whole records, then -403: {[r[0] for r in results]}")
        res, _ = b.result("Read", i32(5))
        b.result("Close")
        b.result("RTOpen", field(b"0B41") + field(key.encode()))
        res, _ = b.result("Read", i32(5))
        check(res == -402, f"a record longer than size gives -402 ({res})")
        b.result("Close")
        b.quit()
    finally:
        path.unlink()


def regsvr32(prefix, *flags):
    env = dict(os.environ, WINEPREFIX=prefix, WINEDEBUG="-all")
    env.pop("DISPLAY", None)
    arch = "win64" if "#arch=win64" in (Path(prefix) / "system.reg").read_text(errors="replace") \
        else "win32"
    exe = "C:\\windows\\" + ("syswow64" if arch == "win64" else "system32") + "\\regsvr32.exe"
    return subprocess.run(["wine", exe, *flags, "/s", "C:\\sorvantix-test\\fake-jvlink.dll"],
                          env=env).returncode


def test_not_installed(args, log):
    check(regsvr32(args.prefix, "/u") == 0, "regsvr32 /u unregisters the stand-in")
    try:
        b = Bridge(args.exe, args.prefix, log)
        hr, zero, message, version = b.hello()
        hr &= 0xFFFFFFFF
        check(hr in (0x80040154, 0x800401F3) and f"(0x{hr:08X})" in message and
              "インストールされていません" in message and version == "",
              f"without JV-Link the hello says 0x{hr:08X}: {message}")
        replies = [b.call(op, body) for op, body in
                   (("Init", field(b"UNKNOWN")), ("Read", i32(READ_SIZE)), ("Version", b""))]
        check(all((r[0] & 0xFFFFFFFF) == hr and r[1] == -401 and r[2].at_end() for r in replies),
              "every request is answered with that hresult and -401")
        check(b.quit() == 0, "Quit still ends it with 0")
    finally:
        check(regsvr32(args.prefix) == 0, "regsvr32 registers the stand-in again")


def test_bad_frames(args, log):
    b = start(args, log)
    b.proc.stdin.write(b"XXXX\x00\x00\x00\x00")
    b.proc.stdin.flush()
    check(b.proc.wait(timeout=10) != 0, f"a bad magic ends the bridge with {b.proc.returncode}")
    b = start(args, log)
    b.proc.stdin.write(MAGIC + struct.pack("<I", (1 << 20) + 1))
    b.proc.stdin.flush()
    check(b.proc.wait(timeout=10) != 0, f"a length over 1 MiB ends it with {b.proc.returncode}")
    b = start(args, log)
    b.send(bytes([OP["Open"]]) + field(b"RACE"))
    check(b.proc.wait(timeout=10) != 0, f"a request missing fields ends it with {b.proc.returncode}")
    b = start(args, log)
    b.proc.stdin.close()
    check(b.proc.wait(timeout=10) == 0, "end of input ends it with 0")


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    ap.add_argument("--prefix", required=True)
    ap.add_argument("--feed", required=True)
    ap.add_argument("--exe", default=str(ROOT / "build-bridge" / "sorvantix-jvlink-bridge.exe"))
    args = ap.parse_args()
    feed = Path(args.feed).resolve()
    fake_settings = Path(args.prefix) / "drive_c" / "sorvantix-test" / "fake-jvlink-feed.txt"
    if not fake_settings.exists():
        sys.exit(f"{fake_settings} missing: run scripts/wine_jvlink.sh --prefix {args.prefix} "
                 f"--register-fake {feed}")
    log_path = Path(args.prefix) / "drive_bridge.log"
    with open(log_path, "wb") as log:
        try:
            kill_wineserver(args.prefix)
            b = Bridge(args.exe, args.prefix, log)
            b.hello()
            cold = b.hello_seconds
            b.quit()
            b = Bridge(args.exe, args.prefix, log)
            b.hello()
            print(f"     bridge start to hello: cold {cold * 1000:.0f} ms, "
                  f"warm {b.hello_seconds * 1000:.0f} ms")
            b.quit()
            test_realtime(args, log, feed)
            test_stored(args, log, feed)
            throughput(args, log, feed)
            test_hang(args, log, feed)
            test_nec(args, log, feed, fake_settings)
            test_broken_tail(args, log, feed)
            test_bad_frames(args, log)
            test_not_installed(args, log)
        finally:
            kill_wineserver(args.prefix)
    print(f"bridge log (standard error): {log_path}")
    if failures:
        print(f"{len(failures)} check(s) FAILED")
        return 1
    print("all checks passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
