#!/usr/bin/python3
"""Self-test of pe_check.py: the built module passes, and patched copies of it
fail with the fault that was put in.

Usage: pe_check_test.py [MODULE]   (default: build/win32/Pandrel.auf)
"""

import os
import pathlib
import struct
import subprocess
import sys
import tempfile
import unittest
from unittest import mock

import pefile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import i486_code  # noqa: E402
import pe_check  # noqa: E402

REPOSITORY = pathlib.Path(__file__).resolve().parent.parent
MODULE = pathlib.Path(sys.argv.pop(1) if len(sys.argv) > 1 and not sys.argv[1].startswith("-")
                      else REPOSITORY / "build" / "win32" / "Pandrel.auf")


def resource_entries(pe, type_name):
    return pe_check.resource_entries(pe, pefile.RESOURCE_TYPE[type_name])


def resource_data_offset(pe, type_name):
    data = resource_entries(pe, type_name)[0][1].data.struct
    return pe.get_offset_from_rva(data.OffsetToData), data.Size


def replace_in_resource(pe, type_name, old, new):
    offset, size = resource_data_offset(pe, type_name)
    data = pe.__data__[offset:offset + size]
    assert data.count(old) == 1, old
    pe.set_bytes_at_offset(offset + data.index(old), new)


def menu_item_offset(pe, command, text):
    """File offset of the flags word of a menu item."""
    offset, size = resource_data_offset(pe, "RT_MENU")
    item = struct.pack("<H", command) + text.encode("utf-16-le")
    data = pe.__data__[offset:offset + size]
    assert data.count(item) == 1, text
    return offset + data.index(item) - 2


def or_menu_flags(pe, command, text, flags):
    offset = menu_item_offset(pe, command, text)
    (current,) = struct.unpack_from("<H", pe.__data__, offset)
    pe.set_word_at_offset(offset, current | flags)


def address(pe, rva):
    return pe.OPTIONAL_HEADER.ImageBase + rva


def entry_point_rva(pe):
    return pe.OPTIONAL_HEADER.AddressOfEntryPoint


def export_rva(pe):
    return pe.DIRECTORY_ENTRY_EXPORT.symbols[0].address


def table_rva(pe):
    return pe.get_dword_at_rva(export_rva(pe) + 1) - pe.OPTIONAL_HEADER.ImageBase


def set_table_word(pe, offset, value):
    pe.set_dword_at_rva(table_rva(pe) + offset, value)


def table_pointer_rva(pe, offset):
    return pe.get_dword_at_rva(table_rva(pe) + offset) - pe.OPTIONAL_HEADER.ImageBase


def section_named(pe, name):
    return next(section for section in pe.sections if section.Name.rstrip(b"\0") == name)


def text_end_rva(pe):
    text = section_named(pe, b".text")
    return text.VirtualAddress + text.Misc_VirtualSize


def executable_rdata(pe, name, code=b""):
    """Makes .rdata executable under the name given and writes code at its end, over
    the compiler's notes, after NOPs that realign decoding from the data before them."""
    rdata = section_named(pe, b".rdata")
    rdata.Name = name
    rdata.Characteristics |= EXECUTE
    end = rdata.VirtualAddress + rdata.Misc_VirtualSize
    pe.set_bytes_at_rva(end - len(code) - 16, b"\x90" * 16 + code)


def relocation(pe, rva):
    for block in pe.DIRECTORY_ENTRY_BASERELOC:
        for entry in block.entries:
            if entry.rva == rva:
                return entry
    raise AssertionError(f"no relocation at {rva:#x}")


def drop_relocation(pe, rva):
    relocation(pe, rva).struct.Data = rva & 0xFFF  # type 0: padding, no fix-up


def move_relocation(pe, rva, new_rva):
    """Moves the relocation at rva to new_rva, in the same 4 KiB page."""
    entry = relocation(pe, rva)
    entry.struct.Data = entry.struct.Data & ~0xFFF | new_rva & 0xFFF


def imported(pe, dll, name):
    for entry in pe.DIRECTORY_ENTRY_IMPORT:
        if entry.dll.lower() == dll.lower():
            for function in entry.imports:
                if function.name == name:
                    return function
    raise AssertionError(name)


def rename_import(pe, dll, old, new):
    pe.set_bytes_at_offset(imported(pe, dll, old).name_offset, new + b"\0")


def rename_dll(pe, old, new):
    entry = next(e for e in pe.DIRECTORY_ENTRY_IMPORT if e.dll == old)
    pe.set_bytes_at_rva(entry.struct.Name, new)


def import_by_ordinal(pe, dll, name):
    function = imported(pe, dll, name)
    function.struct_table.Ordinal = 0x80000005
    pe.set_dword_at_rva(function.address - pe.OPTIONAL_HEADER.ImageBase, 0x80000005)


WRITE = pefile.SECTION_CHARACTERISTICS["IMAGE_SCN_MEM_WRITE"]
EXECUTE = pefile.SECTION_CHARACTERISTICS["IMAGE_SCN_MEM_EXECUTE"]
DLL = pefile.IMAGE_CHARACTERISTICS["IMAGE_FILE_DLL"]
CPUID = b"\x0f\xa2"

# (fault put in, patch applied to the parsed pristine image, expected failure text
# or a function of the pristine image that returns it)
FAULTS = [
    # Headers.
    ("x64 machine", lambda pe: setattr(pe.FILE_HEADER, "Machine", 0x8664), "machine is 0x8664"),
    ("not a DLL",
     lambda pe: setattr(pe.FILE_HEADER, "Characteristics", pe.FILE_HEADER.Characteristics & ~DLL),
     "not a DLL"),
    ("OS version 5.0",
     lambda pe: setattr(pe.OPTIONAL_HEADER, "MajorOperatingSystemVersion", 5),
     "operating-system version is 5.0"),
    ("subsystem version 4.10",
     lambda pe: setattr(pe.OPTIONAL_HEADER, "MinorSubsystemVersion", 10),
     "subsystem version is 4.10"),
    # Exports.
    ("decorated export",
     lambda pe: pe.set_bytes_at_offset(pe.DIRECTORY_ENTRY_EXPORT.symbols[0].name_offset,
                                       b"_GetFilterTabl"),
     "exports: ['_GetFilterTabl']"),
    ("second export",
     lambda pe: setattr(pe.DIRECTORY_ENTRY_EXPORT.struct, "NumberOfFunctions", 2),
     "'ordinal 2'"),
    # Imports.
    ("platform function renamed: new name refused",
     lambda pe: rename_import(pe, b"USER32.dll", b"GetDC", b"GetDX"),
     "user32.dll!GetDX is not on the allow-list"),
    ("platform function renamed: old name missing",
     lambda pe: rename_import(pe, b"USER32.dll", b"GetDC", b"GetDX"),
     "user32.dll!GetDC is missing"),
    ("C library function not allowed",
     lambda pe: rename_import(pe, b"msvcrt.dll", b"strlen", b"system"),
     "msvcrt.dll!system is not on the allow-list"),
    ("DLL not allowed", lambda pe: rename_dll(pe, b"USER32.dll", b"USER33.dll"),
     "user33.dll is not an allowed DLL"),
    ("import by ordinal", lambda pe: import_by_ordinal(pe, b"GDI32.dll", b"StretchDIBits"),
     "GDI32.dll ordinal 5 is imported by ordinal"),
    # Version resource.
    ("file version 1.0.0.2",
     lambda pe: setattr(pe.VS_FIXEDFILEINFO[0], "FileVersionLS", 2),
     "FileVersion is (1, 0, 0, 2)"),
    ("product version 2.0.0.1",
     lambda pe: setattr(pe.VS_FIXEDFILEINFO[0], "ProductVersionMS", 0x20000),
     "ProductVersion is (2, 0, 0, 1)"),
    ("version resource in English",
     lambda pe: setattr(resource_entries(pe, "RT_VERSION")[0][1].struct, "Name", 0x409),
     "version: resource language 0x409"),
    ("string table in English",
     lambda pe: replace_in_resource(pe, "RT_VERSION", "041104b0".encode("utf-16-le"),
                                    "040904b0".encode("utf-16-le")),
     "no StringFileInfo table for 0x411"),
    ("translation in English",
     lambda pe: replace_in_resource(pe, "RT_VERSION", b"\x11\x04\xb0\x04", b"\x09\x04\xb0\x04"),
     "VarFileInfo has no translation for 0x411"),
    # Menu resource.
    ("menu id 2001",
     lambda pe: setattr(resource_entries(pe, "RT_MENU")[0][0].struct, "Name", 2001),
     "menu: menu resources (id, language) [(2001, 1041)]"),
    ("menu in English",
     lambda pe: setattr(resource_entries(pe, "RT_MENU")[0][1].struct, "Name", 0x409),
     "menu: menu resources (id, language) [(2000, 1033)]"),
    ("item text", lambda pe: replace_in_resource(pe, "RT_MENU", "x3(&3)".encode("utf-16-le"),
                                                 "x8(&3)".encode("utf-16-le")),
     "menu: entry 9 is item 'x8(&3)' = 32777, expected item 'x3(&3)' = 32777"),
    ("popup text", lambda pe: replace_in_resource(pe, "RT_MENU", "表示".encode("utf-16-le"),
                                                  "表尓".encode("utf-16-le")),
     "menu: entry 1 is popup '表尓(&V)', expected popup '表示(&V)'"),
    ("command id",
     lambda pe: pe.set_word_at_offset(menu_item_offset(pe, 32777, "x3(&3)") + 2, 32790),
     "menu: entry 9 is item 'x3(&3)' = 32790"),
    ("grayed item", lambda pe: or_menu_flags(pe, 32777, "x3(&3)", pe_check.MF_GRAYED),
     "'x3(&3)' carries flags 0x1 MF_GRAYED"),
    ("disabled item", lambda pe: or_menu_flags(pe, 32771, "比較(&C)", pe_check.MF_DISABLED),
     "'比較(&C)' carries flags 0x2 MF_DISABLED"),
    ("checked item", lambda pe: or_menu_flags(pe, 32784, "x10(&10)", pe_check.MF_CHECKED),
     "'x10(&10)' carries flags 0x8 MF_CHECKED"),
    ("separator flag", lambda pe: or_menu_flags(pe, 32775, "x1(&1)", pe_check.MF_SEPARATOR),
     "MF_SEPARATOR"),
    ("item list cut short", lambda pe: or_menu_flags(pe, 32772, "ソース(&S)", pe_check.MF_END),
     "menu: malformed template: 218 bytes follow the template"),
    # Filter table.
    ("code of GetFilterTable", lambda pe: pe.set_bytes_at_rva(export_rva(pe), b"\x90"),
     "does not start with 'mov eax, imm32; ret' (bytes 90"),
    ("no relocation of the returned address",
     lambda pe: drop_relocation(pe, export_rva(pe) + 1),
     "the address that GetFilterTable returns has no base relocation"),
    ("no relocation of a table pointer",
     lambda pe: drop_relocation(pe, table_rva(pe) + 84), "pointer at 84 has no base relocation"),
    ("table read-only",
     lambda pe: setattr(pe_check.section_of(pe, table_rva(pe)), "Characteristics",
                        pe_check.section_of(pe, table_rva(pe)).Characteristics & ~WRITE),
     "lies in a read-only section"),
    ("flags", lambda pe: set_table_word(pe, 0, 0x4004E005),
     "word at 0 is 0x4004e005, expected 0x4004e004"),
    ("width", lambda pe: set_table_word(pe, 4, 321), "word at 4 is 0x141, expected 0x140"),
    ("height", lambda pe: set_table_word(pe, 8, 105), "word at 8 is 0x69, expected 0x6a"),
    ("optional word", lambda pe: set_table_word(pe, 16, 1), "word at 16 is 0x1, expected 0"),
    ("slot at 60", lambda pe: set_table_word(pe, 60, 1), "word at 60 is 0x1, expected 0"),
    ("host-filled window", lambda pe: set_table_word(pe, 100, 1),
     "word at 100 is 0x1, expected 0"),
    ("last word", lambda pe: set_table_word(pe, 136, 1), "word at 136 is 0x1, expected 0"),
    ("name text", lambda pe: pe.set_bytes_at_rva(table_pointer_rva(pe, 12) + 6, b"x"),
     "name at 12 reads b'Pandrex'"),
    ("information text",
     lambda pe: pe.set_bytes_at_rva(table_pointer_rva(pe, 84) + 23, b"\x89"),
     "information at 84 reads"),
    ("null callback", lambda pe: set_table_word(pe, 48, 0),
     "per-frame callback at 48 is 0x0"),
    ("callback into data",
     lambda pe: set_table_word(pe, 64, table_rva(pe) + pe.OPTIONAL_HEADER.ImageBase),
     "window-message callback at 64"),
    # Where the code lies.
    ("data section executable",
     lambda pe: setattr(section_named(pe, b".data"), "Characteristics",
                        section_named(pe, b".data").Characteristics | EXECUTE),
     "code: section .data is executable"),
    ("destructor list unterminated", lambda pe: pe.set_dword_at_rva(text_end_rva(pe) - 4, 1),
     "code: .text does not end with the constructor and destructor lists"),
    ("constructor list without its -1 word",
     lambda pe: pe.set_dword_at_rva(
         pe_check.code_addresses(pe)[1] - pe.OPTIONAL_HEADER.ImageBase, 0x90909090),
     "code: .text does not end with the constructor and destructor lists"),
    ("second executable .text", lambda pe: executable_rdata(pe, b".text"),
     "code: 2 executable sections named .text; the module's code belongs in one"),
    ("cpuid in a second executable .text", lambda pe: executable_rdata(pe, b".text", CPUID),
     "code: cpuid, which the i486 and its x87 lack: 1 at"),
    ("cpuid in executable .rdata", lambda pe: executable_rdata(pe, b".rdata", CPUID),
     "code: cpuid, which the i486 and its x87 lack: 1 at"),
    # Ways into the code other than a direct branch.
    ("entry point inside an instruction",
     lambda pe: setattr(pe.OPTIONAL_HEADER, "AddressOfEntryPoint", entry_point_rva(pe) + 1),
     lambda pe: f"code: entry into the middle of a decoded instruction: 1 at "
                f"{address(pe, entry_point_rva(pe) + 1):#x} (entry point)"),
    # The export's instruction is mov eax, imm32: its second byte is inside it.
    ("callback inside an instruction",
     lambda pe: set_table_word(pe, 64, address(pe, export_rva(pe) + 1)),
     lambda pe: f"code: entry into the middle of a decoded instruction: 1 at "
                f"{address(pe, export_rva(pe) + 1):#x} "
                f"(relocated word at {address(pe, table_rva(pe) + 64):#x})"),
    # The relocation of GetFilterTable's mov eax, imm32 moved onto its opcode.
    ("relocation over an opcode",
     lambda pe: move_relocation(pe, export_rva(pe) + 1, export_rva(pe)),
     lambda pe: f"code: relocated word that is no address operand of the instruction, so moving "
                f"the image changes the code: 1 at {address(pe, export_rva(pe)):#x} in "
                f"{address(pe, export_rva(pe)):#x} mov eax,{address(pe, table_rva(pe)):#x}"),
    ("callback into the destructor list",
     lambda pe: set_table_word(pe, 64, address(pe, text_end_rva(pe) - 4)),
     lambda pe: f"code: entry outside the code: 1 at {address(pe, text_end_rva(pe) - 4):#x} "
                f"(relocated word at {address(pe, table_rva(pe) + 64):#x})"),
]

LATER = "which the i486 and its x87 lack"
CS = "write to cs, an invalid opcode on every processor"
INSIDE = "jump, call or loop into the middle of a decoded instruction"
OUTSIDE = "jump, call or loop to an address outside the code"
FAR = "far jump or call to a fixed selector, out of the module's flat code"
# (bytes, objdump's text of them or a function of their address that returns it,
# the fault reported, or None for i486 code).
INSTRUCTIONS = [
    # Later instructions, under their own names.
    ("f3 0f bc c1", "tzcnt eax,ecx", f"tzcnt, {LATER}"),
    ("f3 0f bd c1", "lzcnt eax,ecx", f"lzcnt, {LATER}"),
    ("f3 0f b8 c1", "popcnt eax,ecx", f"popcnt, {LATER}"),
    ("0f 38 f0 06", "movbe eax,DWORD PTR [esi]", f"movbe, {LATER}"),
    ("f2 0f 38 f1 c1", "crc32 eax,ecx", f"crc32, {LATER}"),
    ("0f c7 f0", "rdrand eax", f"rdrand, {LATER}"),
    ("0f 44 c1", "cmove eax,ecx", f"cmove, {LATER}"),
    ("da c1", "fcmovb st,st(1)", f"fcmovb, {LATER}"),
    ("db f1", "fcomi st,st(1)", f"fcomi, {LATER}"),
    ("df e9", "fucomip st,st(1)", f"fucomip, {LATER}"),
    ("db 08", "fisttp DWORD PTR [eax]", f"fisttp, {LATER}"),
    ("df c0", "ffreep st(0)", f"ffreep, {LATER}"),
    ("0f 6f c1", "movq mm0,mm1", f"movq, {LATER}"),
    ("0f 77", "emms", f"emms, {LATER}"),
    ("0f 28 c1", "movaps xmm0,xmm1", f"movaps, {LATER}"),
    ("c5 f8 77", "vzeroupper", f"vzeroupper, {LATER}"),
    ("0f ae 16", "ldmxcsr DWORD PTR [esi]", f"ldmxcsr, {LATER}"),
    ("0f ae e8", "lfence", f"lfence, {LATER}"),
    ("0f ae 06", "fxsave [esi]", f"fxsave, {LATER}"),
    ("0f 18 00", "prefetchnta BYTE PTR [eax]", f"prefetchnta, {LATER}"),
    ("f3 90", "pause", f"pause, {LATER}"),
    ("0f 0b", "ud2", f"ud2, {LATER}"),
    ("0f 31", "rdtsc", f"rdtsc, {LATER}"),
    ("0f 01 f9", "rdtscp", f"rdtscp, {LATER}"),
    ("0f a2", "cpuid", f"cpuid, {LATER}"),
    ("0f c7 0e", "cmpxchg8b QWORD PTR [esi]", f"cmpxchg8b, {LATER}"),
    ("0f 34", "sysenter", f"sysenter, {LATER}"),
    ("0f 33", "rdpmc", f"rdpmc, {LATER}"),
    ("0f 32", "rdmsr", f"rdmsr, {LATER}"),
    ("f3 0f 1e fb", "endbr32", f"endbr32, {LATER}"),
    ("f2 c3", "bnd ret", f"bnd, {LATER}"),
    # Later instructions under an i486 name, or prefixes that make one of them.
    ("0f 1f 00", "nop DWORD PTR [eax]", "multi-byte NOP, which the i486 lacks"),
    ("66 0f 1f 44 00 00", "nop WORD PTR [eax+eax*1+0x0]", "multi-byte NOP, which the i486 lacks"),
    ("0f 19 c0", "nop eax", "multi-byte NOP, which the i486 lacks"),
    ("f3 c3", "repz ret", "rep prefix on a non-string instruction, undefined on the i486"),
    ("f0 89 c8", "lock mov eax,ecx", "lock prefix where the i486 faults"),
    ("f0 01 c8", "lock add eax,ecx", "lock prefix where the i486 faults"),
    ("0f 20 e0", "mov eax,cr4", "operand cr4, which the i486 lacks"),
    ("66 0f c8", "bswap ax", "bswap of a 16-bit register, undefined on the i486"),
    ("8e c8", "mov cs,eax", CS),
    ("66 8e c8", "mov cs,ax", CS),
    ("8e 08", "mov cs,WORD PTR [eax]", CS),
    # Direct jumps, calls and loops into an instruction (the first hides cpuid,
    # 0f a2) or out of the code (a 16-bit operand size cuts the target to 16 bits).
    ("eb 01 b8 0f a2", lambda at: f"jmp {at + 3:#x}", INSIDE),
    ("e8 ff ff ff ff", lambda at: f"call {at + 4:#x}", INSIDE),
    ("74 ff", lambda at: f"je {at + 1:#x}", INSIDE),
    ("0f 85 ff ff ff ff", lambda at: f"jne {at + 5:#x}", INSIDE),
    ("e2 ff", lambda at: f"loop {at + 1:#x}", INSIDE),
    ("e1 ff", lambda at: f"loope {at + 1:#x}", INSIDE),
    ("e0 ff", lambda at: f"loopne {at + 1:#x}", INSIDE),
    ("e3 ff", lambda at: f"jecxz {at + 1:#x}", INSIDE),
    ("67 e3 ff", lambda at: f"jcxz {at + 2:#x}", INSIDE),
    ("e9 00 00 00 80", lambda at: f"jmp {at + 5 + 0x80000000 & 0xFFFFFFFF:#x}", OUTSIDE),
    ("66 e9 00 00", lambda at: f"jmpw {at + 4 & 0xFFFF:#x}", OUTSIDE),
    # Far, to selector 0, or to a flat code selector and the start of the code.
    ("ea 00 00 00 00 00 00", "jmp 0x0:0x0", FAR),
    ("9a 00 10 74 63 1b 00", "call 0x1b:0x63741000", FAR),
    # Bytes that encode nothing.
    ("ff ff", "(bad)", "undecodable bytes (objdump: (bad))"),
    ("8e f0", "mov ?,eax", "undecodable bytes (objdump: (bad))"),
    # i486 code, some of it resembling the above.
    ("0f c8", "bswap eax", None),
    ("0f c1 c8", "xadd eax,ecx", None),
    ("0f b1 c8", "cmpxchg eax,ecx", None),
    ("f0 0f c1 08", "lock xadd DWORD PTR [eax],ecx", None),
    ("0f 01 38", "invlpg BYTE PTR [eax]", None),
    ("da e9", "fucompp", None),
    ("dd e9", "fucomp st(1)", None),
    ("d8 d9", "fcomp st(1)", None),
    ("db 18", "fistp DWORD PTR [eax]", None),
    ("8d 74 26 00", "lea esi,[esi+eiz*1+0x0]", None),
    ("8d b4 26 00 00 00 00", "lea esi,[esi+eiz*1+0x0]", None),
    ("66 90", "xchg ax,ax", None),
    ("2e 90", "cs nop", None),
    ("f3 a5", "rep movs DWORD PTR es:[edi],DWORD PTR ds:[esi]", None),
    ("66 60", "pushaw", None),
    ("00 00 00 00 00 00 00 00", "add BYTE PTR [eax],al", None),  # a run objdump would skip
    ("8c c8", "mov eax,cs", None),
    ("e2 fe", lambda at: f"loop {at:#x}", None),
    ("eb 06", lambda at: f"jmp {at + 8:#x}", None),
]
# Long enough for any patch and for the NOPs that pad it to realign objdump's
# decoding within the site: after a lone undecodable ff, ff 90 is a 6-byte call.
SITE_LENGTH = 8


def patch_sites(pe, instructions):
    """Instructions of the code that any patch of this test fits over, that hold
    no relocated word and that no other check reads."""
    base = pe.OPTIONAL_HEADER.ImageBase
    relocated = pe_check.relocated_rvas(pe)
    export = export_rva(pe)
    return [i for i in instructions
            if i.mnemonic == "mov" and len(i.code) >= SITE_LENGTH
            and not relocated.intersection(range(i.address - base - 3,
                                                  i.address - base + len(i.code)))
            and not export <= i.address - base < export + 6]


def write_instruction(pe, site, code):
    """Writes code over the instruction site, padded with NOPs."""
    pe.set_bytes_at_rva(site.address - pe.OPTIONAL_HEADER.ImageBase,
                        code.ljust(len(site.code), b"\x90"))


class PeCheckTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.pristine = MODULE.read_bytes()
        cls.directory = tempfile.TemporaryDirectory()
        pe = pefile.PE(data=cls.pristine)
        cls.sites = patch_sites(pe, i486_code.disassemble(str(MODULE),
                                                          *pe_check.code_addresses(pe)))

    @classmethod
    def tearDownClass(cls):
        cls.directory.cleanup()

    def patched_copy(self, patch, name="patched.auf"):
        pe = pefile.PE(data=self.pristine)
        patch(pe)
        path = pathlib.Path(self.directory.name) / name
        path.write_bytes(pe.write())
        return path

    def test_built_module_passes(self):
        self.assertEqual(pe_check.check_module(str(MODULE)).failures, [])

    def test_dll_names_compare_case_insensitively(self):
        path = self.patched_copy(lambda pe: rename_dll(pe, b"GDI32.dll", b"gdi32.DLL"))
        self.assertEqual(pe_check.check_module(str(path)).failures, [])

    def test_each_fault_is_reported(self):
        for fault, patch, expected in FAULTS:
            with self.subTest(fault):
                if callable(expected):
                    expected = expected(pefile.PE(data=self.pristine))
                failures = pe_check.check_module(str(self.patched_copy(patch))).failures
                self.assertTrue(any(expected in failure for failure in failures),
                                f"expected {expected!r} among {failures}")

    def test_each_instruction(self):
        site = self.sites[0]
        for code, text, fault in INSTRUCTIONS:
            text = text(site.address) if callable(text) else text
            with self.subTest(text):
                path = self.patched_copy(
                    lambda pe: write_instruction(pe, site, bytes.fromhex(code)))
                expected = [f"code: {fault}: 1 at {site.address:#x} {text}"] if fault else []
                self.assertEqual(pe_check.check_module(str(path)).failures, expected)
                if not fault:
                    decoded = i486_code.disassemble(str(path), site.address,
                                                    site.address + len(site.code))
                    self.assertEqual(decoded[0].text, text)

    def test_one_line_per_family(self):
        cmov, cpuid = self.sites[:5], self.sites[5]

        def patch(pe):
            for site in cmov:
                write_instruction(pe, site, b"\x0f\x44\xc1")
            write_instruction(pe, cpuid, b"\x0f\xa2")

        failures = pe_check.check_module(str(self.patched_copy(patch))).failures
        self.assertEqual(failures, [
            f"code: cmove, {LATER}: 5 at "
            + "; ".join(f"{site.address:#x} cmove eax,ecx" for site in cmov[:3])
            + "; and 2 more",
            f"code: cpuid, {LATER}: 1 at {cpuid.address:#x} cpuid"])

    def test_objdump_missing_or_failing(self):
        first, end = pe_check.code_addresses(pefile.PE(data=self.pristine))
        for objdump, expected in [
            ("no-such-objdump", "code: cannot be disassembled: [Errno 2] No such file"),
            ("false", "code: cannot be disassembled: false exited with status 1: no message"),
            ("true", f"code: objdump decoded the code from {first:#x} to {first:#x} without a "
                     f"gap, not to its end at {end:#x}"),
        ]:
            with self.subTest(objdump), mock.patch.object(i486_code, "OBJDUMP", objdump):
                failures = pe_check.check_module(str(MODULE)).failures
                self.assertEqual(len(failures), 1, failures)
                self.assertTrue(failures[0].startswith(expected), failures)

    def test_damaged_files(self):
        last = pefile.PE(data=self.pristine).sections[-1]
        last_name = last.Name.rstrip(b"\0").decode()
        for name, data, expected in [
            ("not a PE image", b"MZ not really", "cannot read"),
            ("truncated", self.pristine[:last.PointerToRawData + 0x100],
             f"section {last_name} ends at byte {last.PointerToRawData + last.SizeOfRawData:#x}, "
             "past the end of the file"),
        ]:
            with self.subTest(name):
                path = pathlib.Path(self.directory.name) / "damaged.auf"
                path.write_bytes(data)
                failures = pe_check.check_module(str(path)).failures
                self.assertTrue(any(expected in failure for failure in failures), failures)

    def test_same_as(self):
        identical = pathlib.Path(self.directory.name) / "identical.auf"
        identical.write_bytes(self.pristine)
        different = pathlib.Path(self.directory.name) / "different.auf"
        different.write_bytes(self.pristine[:-1] + bytes([self.pristine[-1] ^ 1]))
        for other, expected in [(identical, []),
                                (different, [f"reproducibility: {MODULE} ({len(self.pristine)} "
                                             f"bytes) and {different} ({len(self.pristine)} "
                                             f"bytes) differ from byte "
                                             f"{len(self.pristine) - 1:#x}"])]:
            with self.subTest(other.name):
                report = pe_check.Report()
                pe_check.check_same(str(MODULE), str(other), report)
                self.assertEqual(report.failures, expected)

    def test_command_line_exit_status_and_output(self):
        broken = self.patched_copy(lambda pe: set_table_word(pe, 4, 321))
        script = str(REPOSITORY / "tools" / "pe_check.py")
        for path, status, first, last in [
            (MODULE, 0, "headers: i386 PE32 DLL", f"{MODULE}: all checks passed"),
            (broken, 1, "FAIL table: word at 4 is 0x141", f"{broken}: 1 failure"),
        ]:
            with self.subTest(path.name, status=status):
                result = subprocess.run([sys.executable, script, str(path)],
                                        capture_output=True, text=True)
                lines = result.stdout.splitlines()
                self.assertEqual(result.returncode, status, result.stdout)
                self.assertTrue(lines[0].startswith(first), lines)
                self.assertEqual(lines[-1], last)


if __name__ == "__main__":
    unittest.main()
