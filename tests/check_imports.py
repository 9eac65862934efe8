#!/usr/bin/env python3
"""Fails when Setup.exe imports a DLL at load time that is no KnownDLL.

The loader resolves static imports before any code of the launcher runs, and
looks for a DLL that is no KnownDLL beside the program first: in Downloads, or
in the temporary folder after a self-update, where anybody can leave one. So
only the KnownDLLs that every Windows from 7 to 11 lists (HKLM\\SYSTEM\\
CurrentControlSet\\Control\\Session Manager\\KnownDLLs) may be imported, and
comctl32, which the manifest takes from the system's side-by-side store.

    tests/check_imports.py build/windows/Setup.exe [...]
"""
import struct
import sys

ALLOWED = {
    "advapi32", "clbcatq", "comdlg32", "difxapi", "gdi32", "imagehlp", "imm32", "kernel32", "msctf", "msvcrt",
    "normaliz", "nsi", "ole32", "oleaut32", "psapi", "rpcrt4", "sechost", "setupapi", "shell32", "shlwapi",
    "user32", "wldap32", "ws2_32",
    "comctl32",  # version 6 through the manifest, from the side-by-side store
}


def imported_dlls(data):
    """The DLL names of the PE import directory."""
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    if data[pe:pe + 4] != b"PE\0\0":
        raise ValueError("not a PE file")
    sections, optional_size = struct.unpack_from("<H12xH", data, pe + 6)
    optional = pe + 24
    magic = struct.unpack_from("<H", data, optional)[0]
    directories = optional + (96 if magic == 0x10B else 112)
    import_rva = struct.unpack_from("<I", data, directories + 8)[0]
    table = [struct.unpack_from("<8xIIII", data, optional + optional_size + 40 * i) for i in range(sections)]

    def offset(rva):
        for virtual_size, address, raw_size, raw in table:
            if address <= rva < address + max(virtual_size, raw_size):
                return rva - address + raw
        raise ValueError("address %#x lies in no section" % rva)

    names, at = [], offset(import_rva) if import_rva else None
    while at is not None:
        name_rva, first_thunk = struct.unpack_from("<12xII", data, at)
        if name_rva == 0 and first_thunk == 0:
            break
        start = offset(name_rva)
        names.append(data[start:data.index(b"\0", start)].decode("ascii"))
        at += 20
    return names


def main(paths):
    bad = []
    for path in paths:
        with open(path, "rb") as f:
            names = imported_dlls(f.read())
        bad += ["%s imports %s, which is no KnownDLL" % (path, n) for n in names
                if n.lower().removesuffix(".dll") not in ALLOWED]
        if not names:
            bad.append("%s: no import table found" % path)
    print("\n".join(bad) or "imports: only KnownDLLs")
    return 1 if bad else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:] or ["build/windows/Setup.exe"]))
