#!/usr/bin/env python3
"""Writes the small 7z fixtures of the archive tests: one deterministic, x86-like payload packed
with LZMA, BCJ+LZMA and BCJ2. libarchive's writer has no BCJ filters, so the 7-Zip command line
(Debian package 7zip, command 7zz) packs them; run once, commit the results.
The payload must match fixture_payload() in tests/files/archive_test_helpers.cpp."""
import os, subprocess, sys, tempfile

def payload(size):
    text = b"mov eax, [ebx+4]; push ebp; call subroutine; jmp label; ret; "
    out = bytearray()
    i = 0
    while len(out) < size:
        if i % 9 == 0:
            rel = (i * 2654435761) & 0xFFFF
            out += bytes([0xE8, rel & 0xFF, rel >> 8, 0, 0])  # call rel32
        else:
            out.append(text[i % len(text)])
        i += 1
    return bytes(out[:size])

METHODS = {
    "lzma.7z": ["-m0=LZMA"],
    "bcj.7z": ["-m0=BCJ", "-m1=LZMA"],
    "bcj2.7z": ["-m0=BCJ2", "-m1=LZMA:d20", "-m2=LZMA:d19", "-m3=LZMA:d19",
                "-mb0:1", "-mb0s1:2", "-mb0s2:3"],
}

def main():
    out_dir = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else "tests/data/archives")
    with tempfile.TemporaryDirectory() as tmp:
        os.mkdir(os.path.join(tmp, "bin"))
        with open(os.path.join(tmp, "bin", "code.bin"), "wb") as f:
            f.write(payload(200000))
        with open(os.path.join(tmp, "readme.txt"), "wb") as f:
            f.write(b"Volatra test archive\n")
        for name, args in METHODS.items():
            dst = os.path.join(out_dir, name)
            if os.path.exists(dst):
                os.remove(dst)
            subprocess.run(["7zz", "a", "-bd", "-y", "-mtm=off", "-mtc=off", "-mta=off", *args, dst,
                            "bin", "readme.txt"], cwd=tmp, check=True, stdout=subprocess.DEVNULL)

if __name__ == "__main__":
    main()
