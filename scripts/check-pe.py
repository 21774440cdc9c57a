#!/usr/bin/env python3
"""Checks that Windows programs are what the release promises:
  check-pe.py [--machine i386|amd64] [--windows 6.1] PROGRAM.exe...
Each program must be a GUI program for the machine, declare the Windows version as both its
subsystem and operating-system version, and import only from system DLLs every such Windows has,
none of the functions known to appear only in a later Windows (those are looked up at run time,
with GetProcAddress), and carry a manifest that asks for common controls 6, declares per-monitor
DPI awareness (PerMonitorV2 with the true/pm fallback) and names Windows 7, 8, 8.1 and 10/11 as
supported. Prints what each program needs and exits 1 on any failure."""
import argparse
import struct
import sys
import xml.etree.ElementTree as ElementTree

MACHINES = {"i386": 0x14C, "amd64": 0x8664}
GUI_SUBSYSTEM = 2

# System DLLs of every Windows from 7 on that the programs may link to. Not the C++ runtime,
# libgcc, winpthread or zlib DLLs (none ships beside the programs), and no api-ms-win-* sets or
# the universal CRT, which Windows 7 lacks without updates.
ALLOWED_DLLS = {
    "advapi32.dll", "comctl32.dll", "comdlg32.dll", "gdi32.dll", "kernel32.dll", "msvcrt.dll",
    "ole32.dll", "oleaut32.dll", "shell32.dll", "shlwapi.dll", "user32.dll", "version.dll",
}

# Functions of the allowed DLLs that appeared after XP, with the Windows version that brought
# them (6.0 Vista, 6.1 7, 6.2 8, 6.3 8.1, 10.0 10). Not complete: it holds what compilers'
# runtimes and Win32 programs commonly reach for.
NEWER_FUNCTIONS = {
    (6, 0): """GetTickCount64 InitializeConditionVariable SleepConditionVariableCS
        SleepConditionVariableSRW WakeConditionVariable WakeAllConditionVariable InitializeSRWLock
        AcquireSRWLockExclusive AcquireSRWLockShared ReleaseSRWLockExclusive ReleaseSRWLockShared
        InitOnceExecuteOnce InitOnceBeginInitialize InitOnceComplete InitOnceInitialize
        FlsAlloc FlsFree FlsGetValue FlsSetValue GetFileInformationByHandleEx
        SetFileInformationByHandle CreateSymbolicLinkA CreateSymbolicLinkW
        GetFinalPathNameByHandleA GetFinalPathNameByHandleW QueryFullProcessImageNameA
        QueryFullProcessImageNameW CancelIoEx CancelSynchronousIo CreateEventExA CreateEventExW
        CreateMutexExA CreateMutexExW CreateSemaphoreExA CreateSemaphoreExW
        CreateWaitableTimerExW GetLocaleInfoEx LCMapStringEx CompareStringEx LocaleNameToLCID
        LCIDToLocaleName GetUserDefaultLocaleName GetCurrentProcessorNumber
        InterlockedCompareExchange64 SetThreadStackGuarantee GetErrorMode RegGetValueA
        RegGetValueW RegSetKeyValueA RegSetKeyValueW RegDeleteTreeA RegDeleteTreeW
        ChangeWindowMessageFilter SetProcessDPIAware IsProcessDPIAware SHGetKnownFolderPath
        SHCreateItemFromParsingName TaskDialog TaskDialogIndirect LoadIconMetric
        LoadIconWithScaleDown GetDynamicTimeZoneInformation Wow64DisableWow64FsRedirection""",
    (6, 1): """TryAcquireSRWLockExclusive TryAcquireSRWLockShared SetWindowDisplayAffinity
        ChangeWindowMessageFilterEx GetCurrentProcessorNumberEx GetActiveProcessorCount
        RegisterTouchWindow""",
    (6, 2): """GetSystemTimePreciseAsFileTime CreateFile2 CopyFile2 WaitOnAddress
        WakeByAddressSingle WakeByAddressAll GetCurrentThreadStackLimits SetThreadInformation
        GetThreadInformation PrefetchVirtualMemory SetDefaultDllDirectories AddDllDirectory
        RemoveDllDirectory GetOverlappedResultEx GetFirmwareType CreateFileMappingFromApp
        MapViewOfFileFromApp GetPointerType EnableMouseInPointer""",
    (6, 3): """GetDpiForMonitor SetProcessDpiAwareness""",
    (10, 0): """SetThreadDescription GetThreadDescription GetDpiForWindow GetDpiForSystem
        SetThreadDpiAwarenessContext SetProcessDpiAwarenessContext AdjustWindowRectExForDpi
        GetSystemMetricsForDpi SystemParametersInfoForDpi EnableNonClientDpiScaling VirtualAlloc2
        MapViewOfFile3 CompareObjectHandles""",
}
RT_MANIFEST = 24
ASM_V1 = "{urn:schemas-microsoft-com:asm.v1}"
ASM_V3 = "{urn:schemas-microsoft-com:asm.v3}"
COMPATIBILITY = "{urn:schemas-microsoft-com:compatibility.v1}"
SETTINGS_2005 = "{http://schemas.microsoft.com/SMI/2005/WindowsSettings}"
SETTINGS_2016 = "{http://schemas.microsoft.com/SMI/2016/WindowsSettings}"
SUPPORTED_OS = {
    "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}": "Windows 7",
    "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}": "Windows 8",
    "{1f676c76-80e1-4239-95bb-83d0f6d0da78}": "Windows 8.1",
    "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}": "Windows 10 and 11",
}

INTRODUCED = {name: version for version, names in NEWER_FUNCTIONS.items() for name in names.split()}


class PeFile:
    def __init__(self, path):
        with open(path, "rb") as f:
            self.data = f.read()
        if self.data[:2] != b"MZ":
            raise ValueError("no MZ header")
        pe = self.u32(0x3C)
        if self.data[pe:pe + 4] != b"PE\0\0":
            raise ValueError("no PE signature")
        self.machine, section_count = struct.unpack_from("<HH", self.data, pe + 4)
        optional_size = self.u16(pe + 20)
        opt = pe + 24
        magic = self.u16(opt)
        if magic not in (0x10B, 0x20B):
            raise ValueError(f"unknown optional header magic {magic:#x}")
        self.pe32_plus = magic == 0x20B
        self.os_version = (self.u16(opt + 40), self.u16(opt + 42))
        self.subsystem_version = (self.u16(opt + 48), self.u16(opt + 50))
        self.subsystem = self.u16(opt + 68)
        directories = opt + (112 if self.pe32_plus else 96)
        directory_count = self.u32(directories - 4)
        self.directories = [struct.unpack_from("<II", self.data, directories + 8 * i)
                            for i in range(min(directory_count, 16))]
        self.sections = []
        for i in range(section_count):
            base = opt + optional_size + 40 * i
            virtual_size, rva, raw_size, raw_offset = struct.unpack_from("<IIII", self.data, base + 8)
            self.sections.append((rva, max(virtual_size, raw_size), raw_offset, raw_size))

    def u16(self, offset):
        return struct.unpack_from("<H", self.data, offset)[0]

    def u32(self, offset):
        return struct.unpack_from("<I", self.data, offset)[0]

    def offset(self, rva):
        for start, size, raw_offset, raw_size in self.sections:
            if start <= rva < start + size:
                if rva - start >= raw_size:
                    raise ValueError(f"RVA {rva:#x} has no file data")
                return raw_offset + rva - start
        raise ValueError(f"RVA {rva:#x} is in no section")

    def text(self, rva):
        start = self.offset(rva)
        end = self.data.index(b"\0", start)
        return self.data[start:end].decode("ascii", "replace")

    def imports(self):
        """{dll: [function name or "#ordinal"]} of the import and delay-import tables."""
        found = {}
        thunk_size, ordinal_flag = (8, 1 << 63) if self.pe32_plus else (4, 1 << 31)
        for index, entry_size, name_field, thunk_fields in ((1, 20, 12, (0, 16)),
                                                            (13, 32, 4, (16, 12))):
            if index >= len(self.directories) or self.directories[index][0] == 0:
                continue
            at = self.offset(self.directories[index][0])
            while True:
                entry = self.data[at:at + entry_size]
                if len(entry) < entry_size or not any(entry):
                    break
                dll = self.text(struct.unpack_from("<I", entry, name_field)[0]).lower()
                thunk_rva = next(r for r in (struct.unpack_from("<I", entry, f)[0]
                                             for f in thunk_fields) if r)
                names = found.setdefault(dll, [])
                thunk = self.offset(thunk_rva)
                while True:
                    value = int.from_bytes(self.data[thunk:thunk + thunk_size], "little")
                    if value == 0:
                        break
                    if value & ordinal_flag:
                        names.append(f"#{value & 0xFFFF}")
                    else:
                        names.append(self.text((value & 0x7FFFFFFF) + 2))
                    thunk += thunk_size
                at += entry_size
        return found

    def resources(self, type_id):
        """[(name id, bytes)] of the resources of the numeric type, every language."""
        if len(self.directories) <= 2 or self.directories[2][0] == 0:
            return []
        root = self.offset(self.directories[2][0])

        def entries(directory):
            named, numbered = struct.unpack_from("<HH", self.data, directory + 12)
            for i in range(named + numbered):
                ident, target = struct.unpack_from("<II", self.data, directory + 16 + 8 * i)
                yield ident, target

        found = []
        for ident, target in entries(root):
            if ident != type_id or not target & 0x80000000:
                continue
            for name, names_target in entries(root + (target & 0x7FFFFFFF)):
                if not names_target & 0x80000000:
                    continue
                for _, leaf in entries(root + (names_target & 0x7FFFFFFF)):
                    if leaf & 0x80000000:
                        continue
                    rva, size = struct.unpack_from("<II", self.data, root + leaf)
                    start = self.offset(rva)
                    found.append((name, self.data[start:start + size]))
        return found


def manifest_problems(pe):
    """What the embedded manifest (RT_MANIFEST 1) lacks."""
    manifests = [data for name, data in pe.resources(RT_MANIFEST) if name == 1]
    if len(manifests) != 1:
        return [f"{len(manifests)} manifests with id 1, not one"]
    try:
        root = ElementTree.fromstring(manifests[0])
    except ElementTree.ParseError as error:
        return [f"manifest is not XML: {error}"]
    problems = []
    controls = [a for a in root.iter(ASM_V1 + "assemblyIdentity")
                if a.get("name") == "Microsoft.Windows.Common-Controls"]
    if not controls or controls[0].get("version") != "6.0.0.0":
        problems.append("manifest asks for no common controls 6")
    dpi_aware = [e.text.strip() for e in root.iter(SETTINGS_2005 + "dpiAware") if e.text]
    if dpi_aware != ["true/pm"]:
        problems.append(f"manifest dpiAware {dpi_aware}, not ['true/pm']")
    awareness = [e.text for e in root.iter(SETTINGS_2016 + "dpiAwareness") if e.text]
    first = awareness[0].split(",")[0].strip().lower() if len(awareness) == 1 else None
    if first != "permonitorv2":
        problems.append(f"manifest dpiAwareness {awareness}, not PerMonitorV2 first")
    for element in root.iter():
        if element.tag in (SETTINGS_2005 + "dpiAware", SETTINGS_2016 + "dpiAwareness"):
            parents = [p for p in root.iter(ASM_V3 + "windowsSettings") if element in list(p)]
            if not parents:
                problems.append(f"manifest {element.tag} outside asmv3 windowsSettings")
    supported = {e.get("Id", "").lower() for e in root.iter(COMPATIBILITY + "supportedOS")}
    for ident, system in SUPPORTED_OS.items():
        if ident not in supported:
            problems.append(f"manifest does not name {system} as supported ({ident})")
    return problems


def check(path, machine, windows):
    problems = []
    pe = PeFile(path)
    if pe.machine != MACHINES[machine]:
        problems.append(f"machine {pe.machine:#x}, not {machine} ({MACHINES[machine]:#x})")
    if (machine == "i386") == pe.pe32_plus:
        problems.append("PE32+ header" if pe.pe32_plus else "PE32 header")
    if pe.subsystem != GUI_SUBSYSTEM:
        problems.append(f"subsystem {pe.subsystem}, not the GUI subsystem ({GUI_SUBSYSTEM})")
    for label, version in (("subsystem", pe.subsystem_version), ("OS", pe.os_version)):
        if version != windows:
            problems.append(f"{label} version {version[0]}.{version[1]}, "
                            f"not {windows[0]}.{windows[1]}")
    imports = pe.imports()
    needs = (0, 0)
    for dll, names in sorted(imports.items()):
        if dll not in ALLOWED_DLLS:
            problems.append(f"imports from {dll} ({', '.join(sorted(names)[:5])}), "
                            "which is not an allowed system DLL")
        for name in names:
            version = INTRODUCED.get(name)
            if version is None:
                continue
            needs = max(needs, version)
            if version > windows:
                problems.append(f"imports {dll}!{name}, which came with Windows "
                                f"{version[0]}.{version[1]}: look it up at run time")
    problems += manifest_problems(pe)
    newer = sorted(f"{n} ({INTRODUCED[n][0]}.{INTRODUCED[n][1]})"
                   for names in imports.values() for n in names if n in INTRODUCED)
    summary = ", ".join(f"{dll} {len(names)}" for dll, names in sorted(imports.items()))
    actual = next((name for name, code in MACHINES.items() if code == pe.machine), f"{pe.machine:#x}")
    kind = "GUI" if pe.subsystem == GUI_SUBSYSTEM else f"subsystem {pe.subsystem}"
    print(f"{path}: {actual}, {kind}, Windows {pe.subsystem_version[0]}.{pe.subsystem_version[1]}; "
          f"imports {summary}")
    if newer:
        print(f"  newer than XP: {', '.join(newer)}")
    return problems


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--machine", choices=sorted(MACHINES), default="i386")
    parser.add_argument("--windows", default="6.1", help="declared Windows version (6.1 = 7)")
    parser.add_argument("programs", nargs="+")
    args = parser.parse_args(argv)
    windows = tuple(int(part) for part in args.windows.split("."))
    failed = False
    for path in args.programs:
        try:
            problems = check(path, args.machine, windows)
        except (OSError, ValueError, struct.error) as error:
            problems = [f"cannot read: {error}"]
        for problem in problems:
            print(f"check-pe: {path}: {problem}", file=sys.stderr)
        failed |= bool(problems)
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
