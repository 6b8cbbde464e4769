#!/usr/bin/python3
"""Checks compound files against a manifest with python3-olefile, an independent reader.

Usage: olefile_check.py MANIFEST
Each manifest line is tab-separated: FILE, KIND (stream or storage), PATH (names joined
with "/"), SIZE, CRC32 (8 hex digits); SIZE and CRC32 only for streams. Every file must
open without any defect olefile can report, and hold exactly the listed elements with
exactly the listed contents. Exit status 0 when all agree, 1 otherwise, 77 when olefile is
not installed.
"""
import sys
import zlib

try:
    import olefile
except ImportError:
    print("python3-olefile is not installed")
    sys.exit(77)


def main(manifest_path):
    expected = {}
    with open(manifest_path, encoding="utf-8") as manifest:
        for line in manifest:
            fields = line.rstrip("\n").split("\t")
            files = expected.setdefault(fields[0], {})
            if fields[1] == "stream":
                files[fields[2]] = ("stream", int(fields[3]), int(fields[4], 16))
            else:
                files[fields[2]] = ("storage",)
    failures = 0
    for path, elements in expected.items():
        # Any incorrectness olefile notices raises instead of being logged.
        ole = olefile.OleFileIO(path, raise_defects=olefile.DEFECT_INCORRECT)
        found = {}
        for entry in ole.listdir(streams=True, storages=True):
            name = "/".join(entry)
            if ole.get_type(entry) == olefile.STGTY_STREAM:
                data = ole.openstream(entry).read()
                if len(data) != ole.get_size(entry):
                    print(f"{path}: {name!r}: read {len(data)} bytes of {ole.get_size(entry)}")
                    failures += 1
                found[name] = ("stream", len(data), zlib.crc32(data) & 0xFFFFFFFF)
            else:
                found[name] = ("storage",)
        # listdir leaves out empty storages; they must still be reachable.
        for name, element in elements.items():
            if element[0] == "storage" and name not in found and ole.exists(name):
                found[name] = ("storage",)
        if found != elements:
            for name in sorted(set(found) | set(elements)):
                if found.get(name) != elements.get(name):
                    print(f"{path}: {name!r}: olefile read {found.get(name)}, we wrote {elements.get(name)}")
            failures += 1
        ole.close()
        print(f"{path}: {len(found)} elements agree" if found == elements else f"{path}: disagrees")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
