#!/usr/bin/python3
"""Static check of the built module Pandrel.auf.

Reads the PE image without loading it and fails (exit status 1, one line per
fault) unless the headers, exports, imports, resources and the filter table
that GetFilterTable returns are exactly what the host and Windows 98 need, and
unless the code (.text up to the constructor lists that the linker appends to
it, as i686-w64-mingw32-objdump disassembles it) consists only of instructions
of the i486 and its x87 unit, listed in i486_code.py, writes no cs, and that every direct
jump, call and loop, every entry (entry point, exports) and every relocated
address of code lands on the start of a decoded instruction. .text must be the
only executable section; any other is decoded as well. With --same-as it also
fails unless a second build is byte-identical.

Usage: pe_check.py MODULE [--same-as OTHER]
"""

import argparse
import struct
import sys

import pefile

import i486_code
import version_check

MACHINE_I386 = 0x14C
PE32_MAGIC = 0x10B
WINDOWS_VERSION = (4, 0)

EXPORT_NAME = b"GetFilterTable"

# Every platform function the module calls; the import table must hold each
# of them and no other platform function.
PLATFORM_IMPORTS = {
    "user32.dll": {
        "GetMenu", "SetMenuItemInfoA", "SetWindowTextA", "GetClientRect", "GetDC",
        "ReleaseDC", "FillRect", "LoadMenuA", "SetMenu", "DrawMenuBar",
    },
    "gdi32.dll": {"SetStretchBltMode", "StretchDIBits"},
    "kernel32.dll": {"VirtualAlloc", "VirtualFree"},
}
# The C library functions the module may take from msvcrt: string, memory and
# formatted printing into a buffer.
C_LIBRARY_DLL = "msvcrt.dll"
C_LIBRARY_IMPORTS = {
    "sprintf", "_snprintf", "vsprintf", "_vsnprintf",
    "strcpy", "strncpy", "strcat", "strncat", "strlen", "strcmp", "strncmp",
    "strchr", "strrchr", "strstr",
    "memcpy", "memmove", "memset", "memcmp", "memchr",
}

VERSION, FILE_VERSION_TEXT = version_check.read_versions()
FILE_VERSION = tuple(int(part) for part in FILE_VERSION_TEXT.split("."))
LANGUAGE_JAPANESE = 0x411

MENU_RESOURCE_ID = 2000
MF_GRAYED = 0x0001
MF_DISABLED = 0x0002
MF_CHECKED = 0x0008
MF_POPUP = 0x0010
MF_END = 0x0080
MF_SEPARATOR = 0x0800
MENU_FLAG_NAMES = {MF_GRAYED: "MF_GRAYED", MF_DISABLED: "MF_DISABLED",
                   MF_CHECKED: "MF_CHECKED", MF_SEPARATOR: "MF_SEPARATOR"}
# Pop-ups with their (text, command id) items, in order.
EXPECTED_MENU = [
    ("表示(&V)", [("比較(&C)", 32771), ("ソース(&S)", 32772), ("フィルタ後(&F)", 32773)]),
    ("倍率(&M)", [("全体(&A)", 32774)] + [(f"x{n}(&{n})", 32774 + n) for n in range(1, 11)]),
]

TABLE_SIZE = 140
TABLE_VALUES = {0: 0x4004E004, 4: 320, 8: 106}
NAME_OFFSET = 12
INFORMATION_OFFSET = 84
FILTER_NAME = b"Pandrel"
FILTER_INFORMATION = f"Pandrel version {VERSION}(98以降用) by Pelmar".encode("cp932")
CALLBACK_OFFSETS = {48: "per-frame", 52: "start", 56: "end", 64: "window-message"}
POINTER_OFFSETS = [NAME_OFFSET, *CALLBACK_OFFSETS, INFORMATION_OFFSET]

# The faults of one kind shown in the line that counts them.
SHOWN_PER_FAMILY = 3


class Report:
    """Collects failures and the summary lines printed on success."""

    def __init__(self):
        self.failures = []
        self.summary = []

    def fail(self, message):
        self.failures.append(message)

    def expect(self, condition, message):
        if not condition:
            self.fail(message)
        return condition


EXECUTE = pefile.SECTION_CHARACTERISTICS["IMAGE_SCN_MEM_EXECUTE"]


def section_name(section):
    return section.Name.rstrip(b"\0").decode("latin-1")


def executable_sections(pe):
    return [section for section in pe.sections if section.Characteristics & EXECUTE]


def section_of(pe, rva):
    for section in pe.sections:
        size = max(section.Misc_VirtualSize, section.SizeOfRawData)
        if section.VirtualAddress <= rva < section.VirtualAddress + size:
            return section
    return None


def is_executable(pe, rva):
    section = section_of(pe, rva)
    return section is not None and bool(section.Characteristics & EXECUTE)


def relocated_rvas(pe):
    """RVAs of the 32-bit words that the loader adjusts when it moves the image."""
    highlow = pefile.RELOCATION_TYPE["IMAGE_REL_BASED_HIGHLOW"]
    return {entry.rva for block in getattr(pe, "DIRECTORY_ENTRY_BASERELOC", [])
            for entry in block.entries if entry.type == highlow}


def read_initialised(pe, rva, size):
    """The bytes at rva, or None unless all of them lie in a section's file data."""
    section = section_of(pe, rva)
    if section is None or rva + size > section.VirtualAddress + min(
            section.SizeOfRawData, section.Misc_VirtualSize):
        return None
    return pe.get_data(rva, size)


def read_c_string(pe, rva):
    section = section_of(pe, rva)
    if section is None:
        return None
    data = section.get_data(rva, section.VirtualAddress + section.SizeOfRawData - rva)
    end = data.find(b"\0")
    return None if end < 0 else data[:end]


def check_headers(pe, report):
    machine = pe.FILE_HEADER.Machine
    report.expect(machine == MACHINE_I386,
                  f"headers: machine is {machine:#x}, expected i386 ({MACHINE_I386:#x})")
    report.expect(pe.FILE_HEADER.Characteristics & pefile.IMAGE_CHARACTERISTICS["IMAGE_FILE_DLL"],
                  "headers: IMAGE_FILE_DLL is not set: the file is not a DLL")
    magic = pe.OPTIONAL_HEADER.Magic
    report.expect(magic == PE32_MAGIC,
                  f"headers: optional-header magic is {magic:#x}, expected PE32 ({PE32_MAGIC:#x})")
    header = pe.OPTIONAL_HEADER
    for what, version in [
        ("operating-system", (header.MajorOperatingSystemVersion,
                              header.MinorOperatingSystemVersion)),
        ("subsystem", (header.MajorSubsystemVersion, header.MinorSubsystemVersion)),
    ]:
        report.expect(version == WINDOWS_VERSION,
                      f"headers: {what} version is {version[0]}.{version[1]}, expected 4.0")
    for section in pe.sections:
        end = section.PointerToRawData + section.SizeOfRawData
        name = section_name(section)
        report.expect(end <= len(pe.__data__),
                      f"headers: section {name} ends at byte {end:#x}, "
                      f"past the end of the file ({len(pe.__data__):#x})")
    report.summary.append(f"headers: i386 PE32 DLL, OS and subsystem version 4.0, "
                          f"image base {header.ImageBase:#x}")


def export_name(symbol):
    return symbol.name.decode("latin-1") if symbol.name else f"ordinal {symbol.ordinal}"


def check_exports(pe, report):
    """Returns the RVA of GetFilterTable, or None."""
    directory = getattr(pe, "DIRECTORY_ENTRY_EXPORT", None)
    if not report.expect(directory is not None, "exports: the file has no export table"):
        return None
    names = [export_name(symbol) for symbol in directory.symbols]
    if not report.expect(names == [EXPORT_NAME.decode()],
                         f"exports: {names}, expected exactly ['GetFilterTable'] (undecorated)"):
        return None
    symbol = directory.symbols[0]
    if not report.expect(symbol.forwarder is None,
                         f"exports: GetFilterTable is forwarded to {symbol.forwarder!r}"):
        return None
    if not report.expect(is_executable(pe, symbol.address),
                         f"exports: GetFilterTable at RVA {symbol.address:#x} "
                         "is not in an executable section"):
        return None
    report.summary.append(f"exports: GetFilterTable only, at RVA {symbol.address:#x}")
    return symbol.address


def check_imports(pe, report):
    report.expect(not hasattr(pe, "DIRECTORY_ENTRY_DELAY_IMPORT"),
                  "imports: the file has delay-load imports")
    imported = {}
    for entry in getattr(pe, "DIRECTORY_ENTRY_IMPORT", []):
        dll = entry.dll.decode("latin-1")
        functions = imported.setdefault(dll.lower(), set())
        for function in entry.imports:
            if function.import_by_ordinal:
                report.fail(f"imports: {dll} ordinal {function.ordinal} is imported by ordinal")
            else:
                functions.add(function.name.decode("latin-1"))

    for dll, functions in sorted(imported.items()):
        if dll == C_LIBRARY_DLL:
            allowed = C_LIBRARY_IMPORTS
        elif dll in PLATFORM_IMPORTS:
            allowed = PLATFORM_IMPORTS[dll]
        else:
            report.fail(f"imports: {dll} is not an allowed DLL ({', '.join(sorted(functions))})")
            continue
        for name in sorted(functions - allowed):
            report.fail(f"imports: {dll}!{name} is not on the allow-list")
    for dll, functions in sorted(PLATFORM_IMPORTS.items()):
        for name in sorted(functions - imported.get(dll, set())):
            report.fail(f"imports: {dll}!{name} is missing (the module calls it)")

    for dll, functions in sorted(imported.items()):
        report.summary.append(f"imports: {dll}: {', '.join(sorted(functions))}")


def resource_entries(pe, type_id):
    """(name entry, language entry) pairs of one resource type."""
    pairs = []
    directory = getattr(pe, "DIRECTORY_ENTRY_RESOURCE", None)
    for type_entry in directory.entries if directory else []:
        if type_entry.id == type_id:
            for name_entry in type_entry.directory.entries:
                for language_entry in name_entry.directory.entries:
                    pairs.append((name_entry, language_entry))
    return pairs


def version_numbers(most, least):
    return (most >> 16, most & 0xFFFF, least >> 16, least & 0xFFFF)


def check_version(pe, report):
    entries = resource_entries(pe, pefile.RESOURCE_TYPE["RT_VERSION"])
    if not report.expect(len(entries) == 1,
                         f"version: {len(entries)} version resources, expected 1"):
        return
    language = entries[0][1].id
    report.expect(language == LANGUAGE_JAPANESE,
                  f"version: resource language {language:#x}, expected {LANGUAGE_JAPANESE:#x}")
    fixed = getattr(pe, "VS_FIXEDFILEINFO", None)
    if not report.expect(fixed, "version: no VS_FIXEDFILEINFO"):
        return
    fixed = fixed[0]
    for what, most, least in [("FileVersion", fixed.FileVersionMS, fixed.FileVersionLS),
                              ("ProductVersion", fixed.ProductVersionMS, fixed.ProductVersionLS)]:
        version = version_numbers(most, least)
        report.expect(version == FILE_VERSION,
                      f"version: {what} is {version}, expected {FILE_VERSION}")

    string_languages, translations = [], []
    for info in getattr(pe, "FileInfo", []):
        for block in info:
            for table in getattr(block, "StringTable", []):
                string_languages.append(int(table.LangID[:4], 16))
                for key in (b"FileVersion", b"ProductVersion"):
                    text = table.entries.get(key, b"").decode("utf-8", "replace")
                    report.expect(text == ", ".join(map(str, FILE_VERSION)),
                                  f"version: the {key.decode()} text is {text!r}, expected "
                                  f"{', '.join(map(str, FILE_VERSION))!r}")
            for var in getattr(block, "Var", []):
                words = var.entry.get(b"Translation", "").split()
                translations += [int(word, 16) for word in words[::2]]
    report.expect(LANGUAGE_JAPANESE in string_languages,
                  f"version: no StringFileInfo table for {LANGUAGE_JAPANESE:#x} "
                  f"(found {[hex(x) for x in string_languages]})")
    report.expect(LANGUAGE_JAPANESE in translations,
                  f"version: VarFileInfo has no translation for {LANGUAGE_JAPANESE:#x} "
                  f"(found {[hex(x) for x in translations]})")
    report.summary.append(f"version: file and product {'.'.join(map(str, FILE_VERSION))}, "
                          f"language {LANGUAGE_JAPANESE:#x}")


class MenuFormatError(Exception):
    pass


def parse_menu(data):
    """Parses a standard MENU template into [(text, command id or [children], flags)]."""
    if len(data) < 4:
        raise MenuFormatError("shorter than its header")
    version, header_size = struct.unpack_from("<HH", data)
    if version != 0:
        raise MenuFormatError(f"template version {version}, expected 0 (standard MENU)")
    position = 4 + header_size

    def read_text():
        nonlocal position
        end = position
        while True:
            if end + 2 > len(data):
                raise MenuFormatError("text runs past the end of the resource")
            if data[end:end + 2] == b"\0\0":
                break
            end += 2
        text = data[position:end].decode("utf-16-le")
        position = end + 2
        return text

    def read_level():
        nonlocal position
        items = []
        while True:
            if position + 2 > len(data):
                raise MenuFormatError("item list runs past the end of the resource (no MF_END)")
            (flags,) = struct.unpack_from("<H", data, position)
            position += 2
            if flags & MF_POPUP:
                text = read_text()
                items.append((text, read_level(), flags))
            else:
                if position + 2 > len(data):
                    raise MenuFormatError("item runs past the end of the resource")
                (command,) = struct.unpack_from("<H", data, position)
                position += 2
                items.append((read_text(), command, flags))
            if flags & MF_END:
                return items

    items = read_level()
    if any(data[position:]):
        raise MenuFormatError(f"{len(data) - position} bytes follow the template")
    return items


def menu_lines(items, depth=0):
    lines = []
    for text, content, _ in items:
        if isinstance(content, list):
            lines.append(f"{'  ' * depth}popup {text!r}")
            lines += menu_lines(content, depth + 1)
        else:
            lines.append(f"{'  ' * depth}item {text!r} = {content}")
    return lines


def check_menu_flags(items, report):
    for text, content, flags in items:
        extra = flags & ~(MF_POPUP | MF_END)
        if extra:
            names = [name for bit, name in MENU_FLAG_NAMES.items() if extra & bit]
            report.fail(f"menu: item {text!r} carries flags {extra:#x} "
                        f"{' '.join(names)}".rstrip())
        if isinstance(content, list):
            check_menu_flags(content, report)
        elif content == 0 and not text:
            report.fail("menu: the menu holds a separator")


def check_menu(pe, report):
    entries = resource_entries(pe, pefile.RESOURCE_TYPE["RT_MENU"])
    found = [(name.id if name.id is not None else str(name.name), language.id)
             for name, language in entries]
    if not report.expect(found == [(MENU_RESOURCE_ID, LANGUAGE_JAPANESE)],
                         f"menu: menu resources (id, language) {found}, expected exactly "
                         f"[({MENU_RESOURCE_ID}, {LANGUAGE_JAPANESE})]"):
        return
    data_entry = entries[0][1].data.struct
    try:
        items = parse_menu(pe.get_data(data_entry.OffsetToData, data_entry.Size))
    except (MenuFormatError, UnicodeDecodeError) as error:
        report.fail(f"menu: malformed template: {error}")
        return
    check_menu_flags(items, report)
    expected = menu_lines([(text, [(t, c, 0) for t, c in children], 0)
                           for text, children in EXPECTED_MENU])
    actual = menu_lines(items)
    for index in range(max(len(expected), len(actual))):
        want = expected[index].strip() if index < len(expected) else "nothing"
        got = actual[index].strip() if index < len(actual) else "nothing"
        report.expect(want == got, f"menu: entry {index + 1} is {got}, expected {want}")
    report.summary.append(f"menu: resource {MENU_RESOURCE_ID}, language "
                          f"{LANGUAGE_JAPANESE:#x}, {len(actual)} entries as expected")


def filter_table_rva(pe, export_rva, relocated, report):
    """Decodes GetFilterTable (mov eax, imm32; ret) and returns the table's RVA."""
    code = pe.get_data(export_rva, 6)
    if not report.expect(len(code) == 6 and code[0] == 0xB8 and code[5] == 0xC3,
                         f"table: GetFilterTable does not start with 'mov eax, imm32; ret' "
                         f"(bytes {code.hex(' ')})"):
        return None
    report.expect(export_rva + 1 in relocated,
                  "table: the address that GetFilterTable returns has no base relocation")
    address = struct.unpack_from("<I", code, 1)[0]
    return address - pe.OPTIONAL_HEADER.ImageBase


def check_filter_table(pe, export_rva, report):
    relocated = relocated_rvas(pe)
    table_rva = filter_table_rva(pe, export_rva, relocated, report)
    if table_rva is None:
        return
    table = read_initialised(pe, table_rva, TABLE_SIZE)
    if not report.expect(table is not None,
                         f"table: RVA {table_rva:#x} does not hold {TABLE_SIZE} bytes of "
                         "initialised data"):
        return
    report.expect(section_of(pe, table_rva).Characteristics
                  & pefile.SECTION_CHARACTERISTICS["IMAGE_SCN_MEM_WRITE"],
                  "table: lies in a read-only section, but the host writes into it")
    words = struct.unpack("<35I", table)
    image_base = pe.OPTIONAL_HEADER.ImageBase

    for offset, value in TABLE_VALUES.items():
        report.expect(words[offset // 4] == value,
                      f"table: word at {offset} is {words[offset // 4]:#x}, expected {value:#x}")
    for offset in POINTER_OFFSETS:
        report.expect(table_rva + offset in relocated,
                      f"table: pointer at {offset} has no base relocation")
    for offset, text, what in [(NAME_OFFSET, FILTER_NAME, "name"),
                               (INFORMATION_OFFSET, FILTER_INFORMATION, "information")]:
        found = read_c_string(pe, words[offset // 4] - image_base)
        report.expect(found == text, f"table: {what} at {offset} reads {found!r}, "
                                     f"expected {text!r}")
    for offset, what in CALLBACK_OFFSETS.items():
        address = words[offset // 4]
        report.expect(address != 0 and is_executable(pe, address - image_base),
                      f"table: {what} callback at {offset} is {address:#x}, "
                      "not an address in an executable section")
    zero_offsets = [offset for offset in range(0, TABLE_SIZE, 4)
                    if offset not in TABLE_VALUES and offset not in POINTER_OFFSETS]
    for offset in zero_offsets:
        report.expect(words[offset // 4] == 0,
                      f"table: word at {offset} is {words[offset // 4]:#x}, expected 0")

    callbacks = ", ".join(f"{what} {words[offset // 4]:#x}"
                          for offset, what in CALLBACK_OFFSETS.items())
    report.summary.append(
        f"table: at RVA {table_rva:#x}: flags {words[0]:#x}, size {words[1]} x {words[2]}, "
        f"name {FILTER_NAME.decode()!r}, information "
        f"{FILTER_INFORMATION.decode('cp932')!r}, callbacks {callbacks}, "
        f"{len(zero_offsets)} other words zero")


class CodeLayoutError(Exception):
    pass


def code_addresses(pe):
    """(first, end) addresses of the module's code: .text up to the constructor and
    destructor lists that the linker appends to it, each a -1 word, relocated
    pointers and a 0 word.

    Raises CodeLayoutError unless .text is executable and ends with both lists."""
    text = next((section for section in pe.sections if section_name(section) == ".text"), None)
    if text is None or not text.Characteristics & EXECUTE:
        raise CodeLayoutError("the module has no executable .text section")
    relocated = relocated_rvas(pe)
    end = text.VirtualAddress + text.Misc_VirtualSize
    for _ in ("destructors", "constructors"):
        terminator = end - 4
        end = terminator - 4
        while end in relocated:
            end -= 4
        if (end < text.VirtualAddress or terminator in relocated
                or pe.get_dword_at_rva(terminator) != 0
                or pe.get_dword_at_rva(end) != 0xFFFFFFFF):
            raise CodeLayoutError(".text does not end with the constructor and destructor "
                                  "lists (-1, relocated pointers, 0; twice), so where its code "
                                  "ends is unknown")
    image_base = pe.OPTIONAL_HEADER.ImageBase
    return image_base + text.VirtualAddress, image_base + end


def code_ranges(pe):
    """(first, end) address ranges of everything that can run: the code of .text
    (code_addresses), then every other executable section whole."""
    first, end = code_addresses(pe)
    ranges = [(first, end)]
    for section in executable_sections(pe):
        start = pe.OPTIONAL_HEADER.ImageBase + section.VirtualAddress
        if not start <= first < start + section.Misc_VirtualSize:
            ranges.append((start, start + section.Misc_VirtualSize))
    return ranges


def relocated_words(pe):
    """(address, value) of each 32-bit word that the loader adjusts, by address."""
    base = pe.OPTIONAL_HEADER.ImageBase
    return [(base + rva, pe.get_dword_at_rva(rva)) for rva in sorted(relocated_rvas(pe))]


def code_entries(pe, relocated):
    """(what, address) of each way into the code other than a direct branch: the
    entry point, the exports, and each relocated word that holds an address in an
    executable section (callbacks, jump tables, function pointers)."""
    base = pe.OPTIONAL_HEADER.ImageBase
    entries = []
    if pe.OPTIONAL_HEADER.AddressOfEntryPoint:
        entries.append(("entry point", base + pe.OPTIONAL_HEADER.AddressOfEntryPoint))
    exports = getattr(pe, "DIRECTORY_ENTRY_EXPORT", None)
    for symbol in exports.symbols if exports else []:
        if symbol.forwarder is None:
            entries.append((f"export {export_name(symbol)}", base + symbol.address))
    for word, address in relocated:
        if address is not None and is_executable(pe, address - base):
            entries.append((f"relocated word at {word:#x}", address))
    return entries


def check_instructions(pe, path, report):
    executable = [section_name(section) for section in executable_sections(pe)]
    for name in executable:
        report.expect(name == ".text",
                      f"code: section {name} is executable; the module's code belongs in .text")
    report.expect(executable.count(".text") <= 1,
                  f"code: {executable.count('.text')} executable sections named .text; the "
                  "module's code belongs in one")
    try:
        ranges = code_ranges(pe)
        decoded = [i486_code.disassemble(path, first, end) for first, end in ranges]
    except CodeLayoutError as error:
        report.fail(f"code: {error}")
        return
    except OSError as error:
        report.fail(f"code: cannot be disassembled: {error}")
        return
    gaps = [i486_code.decoding_gap(first, end, instructions)
            for (first, end), instructions in zip(ranges, decoded)]
    for gap in filter(None, gaps):
        report.fail(f"code: {gap}")
    complete = not any(gaps)
    instructions = [instruction for part in decoded for instruction in part]

    faults = i486_code.instruction_faults(instructions)
    # Where objdump stopped short, what starts an instruction is unknown.
    if complete:
        words = relocated_words(pe)
        entries = code_entries(pe, words)
        branches = i486_code.check_ways_in(ranges, instructions, entries, faults)
        relocated = i486_code.check_relocated_code(ranges, instructions, words, faults)
    for fault, found in faults.items():
        shown = "; ".join(found[:SHOWN_PER_FAMILY])
        more = len(found) - SHOWN_PER_FAMILY
        report.fail(f"code: {fault}: {len(found)} at {shown}"
                    f"{f'; and {more} more' if more > 0 else ''}")
    first, end = ranges[0]
    report.summary.append(f"code: {len(instructions)} instructions in the {end - first:#x} bytes "
                          f"of .text before its constructor lists, all of the i486 and its x87")
    if complete:
        report.summary.append(f"code: each of its {branches} direct jumps, calls and loops and "
                              f"{len(entries)} entries (entry point, exports, relocated addresses) "
                              f"lands on the start of an instruction; each of its {relocated} "
                              "relocated words is an address operand")


def check_module(path):
    """Returns the Report for the module at path."""
    report = Report()
    try:
        pe = pefile.PE(path)
    except (OSError, pefile.PEFormatError) as error:
        report.fail(f"file: cannot read {path} as a PE image: {error}")
        return report

    def check(what, function, *arguments):
        # A damaged image can break a parser deep inside: report it as a failure.
        try:
            return function(pe, *arguments, report)
        except Exception as error:  # noqa: BLE001
            report.fail(f"{what}: cannot be checked: {error!r}")
            return None

    check("headers", check_headers)
    export_rva = check("exports", check_exports)
    check("imports", check_imports)
    check("version", check_version)
    check("menu", check_menu)
    if export_rva is not None:
        check("table", check_filter_table, export_rva)
    check("code", check_instructions, path)
    return report


def check_same(path, other, report):
    try:
        with open(path, "rb") as file:
            first = file.read()
        with open(other, "rb") as file:
            second = file.read()
    except OSError as error:
        report.fail(f"reproducibility: {error}")
        return
    if first == second:
        report.summary.append(f"reproducibility: byte-identical to {other}")
        return
    difference = next((i for i, (a, b) in enumerate(zip(first, second)) if a != b),
                      min(len(first), len(second)))
    report.fail(f"reproducibility: {path} ({len(first)} bytes) and {other} "
                f"({len(second)} bytes) differ from byte {difference:#x}")


def main(argv):
    parser = argparse.ArgumentParser(description="Static check of the built Pandrel.auf.")
    parser.add_argument("module")
    parser.add_argument("--same-as", metavar="OTHER",
                        help="also fail unless OTHER is byte-identical to MODULE")
    arguments = parser.parse_args(argv)
    report = check_module(arguments.module)
    if arguments.same_as:
        check_same(arguments.module, arguments.same_as, report)
    if report.failures:
        for failure in report.failures:
            print(f"FAIL {failure}")
        count = len(report.failures)
        print(f"{arguments.module}: {count} failure{'s' if count > 1 else ''}")
        return 1
    for line in report.summary:
        print(line)
    print(f"{arguments.module}: all checks passed")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
