"""Decoding of 32-bit x86 code by i686-w64-mingw32-objdump, and what the i486 and
its x87 unit can run of it: each instruction must be on the list below and
write no cs, and every direct jump, call and loop, every entry into the code and
every relocated word in it must fit the decoded instructions. Used by
pe_check.py; knows nothing of the PE format: the caller gives the addresses.
"""

import bisect
import collections
import re
import subprocess

# The code must run on every processor that runs Windows 98, down to the 486DX:
# each instruction must be one of the i486 and its x87 unit. Here they are, by
# mnemonic and grouped as in the processor's manual (the i386's instructions
# included), spelled as objdump prints them in Intel syntax.
CONDITIONS = "o no b ae e ne be a s ns p np l ge le g"
I486_INSTRUCTIONS = {
    "data transfer": "mov movsx movzx xchg push pop pusha popa pushf popf lea lds les lfs lgs "
                     "lss xlat cbw cwde cwd cdq lahf sahf in out",
    "arithmetic": "add adc sub sbb cmp inc dec neg mul imul div idiv daa das aaa aas aam aad",
    "logic, shifts, bits": "and or xor not test shl shr sar rol ror rcl rcr shld shrd "
                           "bt bts btr btc bsf bsr",
    "control transfer": "jmp call ret retf iret enter leave int int3 into bound loop loope "
                        "loopne jcxz jecxz",
    "jump on condition": " ".join(f"j{c}" for c in CONDITIONS.split()),
    "byte set on condition": " ".join(f"set{c}" for c in CONDITIONS.split()),
    "string": "movs cmps scas lods stos ins outs",
    "flags": "clc stc cmc cld std cli sti",
    "system": "lgdt sgdt lidt sidt lldt sldt ltr str lmsw smsw clts arpl lar lsl verr verw hlt",
    "no operation": "nop",
    "i486 additions": "bswap xadd cmpxchg invd wbinvd invlpg",
    "x87 data transfer": "fld fst fstp fild fist fistp fbld fbstp fxch",
    "x87 arithmetic": "fadd faddp fiadd fsub fsubp fisub fsubr fsubrp fisubr fmul fmulp fimul "
                      "fdiv fdivp fidiv fdivr fdivrp fidivr fsqrt fscale fprem fprem1 frndint "
                      "fxtract fabs fchs",
    "x87 comparison": "fcom fcomp fcompp fucom fucomp fucompp ficom ficomp ftst fxam",
    "x87 transcendental": "fsin fcos fsincos fptan fpatan f2xm1 fyl2x fyl2xp1",
    "x87 constants": "fldz fld1 fldpi fldl2t fldl2e fldlg2 fldln2",
    "x87 control": "finit fninit fclex fnclex fstcw fnstcw fldcw fstenv fnstenv fldenv fsave "
                   "fnsave frstor fstsw fnstsw fincstp fdecstp ffree fnop fwait",
}
I486_MNEMONICS = {m for group in I486_INSTRUCTIONS.values() for m in group.split()}
# objdump appends the operand size (w: 16-bit, d: 32-bit) to these; the manual
# lists both sizes under one mnemonic.
SIZED_MNEMONICS = {"call", "jmp", "ret", "retf", "iret", "enter", "leave", "push", "pop",
                   "pusha", "popa", "pushf", "popf", "sgdt", "sidt", "lgdt", "lidt"}
STRING_MNEMONICS = set(I486_INSTRUCTIONS["string"].split())
# What LOCK may prefix, with a memory destination; elsewhere the i486 faults.
LOCKABLE_MNEMONICS = {"add", "adc", "and", "btc", "btr", "bts", "cmpxchg", "dec", "inc", "neg",
                      "not", "or", "sbb", "sub", "xor", "xadd", "xchg"}
# The words objdump may print in the operands of i486 code: its registers (eiz is
# objdump's name for a SIB byte without index) and the memory operand sizes.
I486_OPERAND_WORDS = set(
    "eax ecx edx ebx esp ebp esi edi ax cx dx bx sp bp si di al cl dl bl ah ch dh bh "
    "es cs ss ds fs gs st cr0 cr2 cr3 dr0 dr1 dr2 dr3 dr6 dr7 tr3 tr4 tr5 tr6 tr7 eiz "
    "BYTE WORD DWORD QWORD TBYTE FWORD PTR".split())
OPERAND_WORD = re.compile(r"\b[A-Za-z]\w*")
REGISTER_32 = re.compile(r"e(?:[abcd]x|[sd]i|[sb]p)")
# objdump prints (bad), or ? for a register, where the bytes encode nothing.
UNDECODABLE = re.compile(r"\(bad\)|\?")
LEGACY_PREFIXES = bytes([0x26, 0x2E, 0x36, 0x3E, 0x64, 0x65, 0x66, 0x67, 0xF0, 0xF2, 0xF3])
# The i386's prefixes, as objdump prints them before the mnemonic; any other word
# there (bnd, notrack, xacquire, ...) is taken as the mnemonic, and refused.
PREFIX_WORDS = {"lock", "rep", "repz", "repe", "repnz", "repne", "cs", "ds", "es", "fs", "gs",
                "ss", "data16", "addr16"}
# The jumps, calls and loops whose target objdump prints as an address when it is
# direct (relative to the next instruction).
BRANCH_MNEMONICS = ({"jmp", "call", "loop", "loope", "loopne", "jcxz", "jecxz"}
                    | set(I486_INSTRUCTIONS["jump on condition"].split()))
DIRECT_TARGET = re.compile(r"0x([0-9a-f]+)(?: <[^>]*>)?")
FAR_TARGET = re.compile(r"0x[0-9a-f]+:0x[0-9a-f]+")
BRANCH_OUTSIDE = "jump, call or loop to an address outside the code"
BRANCH_INSIDE = "jump, call or loop into the middle of a decoded instruction"
ENTRY_OUTSIDE = "entry outside the code"
ENTRY_INSIDE = "entry into the middle of a decoded instruction"
RELOCATED_NON_ADDRESS = ("relocated word that is no address operand of the instruction, so "
                         "moving the image changes the code")
HEX_NUMBER = re.compile(r"0x[0-9a-f]+")
OBJDUMP = "i686-w64-mingw32-objdump"
INSTRUCTION_LINE = re.compile(r"\s*([0-9a-f]+):\t([0-9a-f ]+?) *\t(.*)")
Instruction = collections.namedtuple("Instruction", "address code text prefixes mnemonic operands")


def disassemble(path, first, end):
    """The instructions from address first to end, as objdump decodes them.

    Raises OSError when objdump cannot be run or fails."""
    # No -j: whichever executable section holds the addresses. -z: runs of zero
    # bytes too, which objdump would otherwise skip.
    result = subprocess.run([OBJDUMP, "-d", "-z", "-w", "-M", "intel",
                             f"--start-address={first:#x}", f"--stop-address={end:#x}", path],
                            capture_output=True, text=True, errors="replace", check=False)
    if result.returncode != 0:
        message = (result.stderr.strip().splitlines() or ["no message"])[-1]
        raise OSError(f"{OBJDUMP} exited with status {result.returncode}: {message}")
    instructions = []
    for line in result.stdout.splitlines():
        match = INSTRUCTION_LINE.fullmatch(line)
        if match:
            words = match[3].split()
            first_word = 0
            while first_word < len(words) - 1 and words[first_word] in PREFIX_WORDS:
                first_word += 1
            instructions.append(Instruction(
                int(match[1], 16), bytes.fromhex(match[2]), " ".join(words),
                tuple(words[:first_word]), words[first_word] if words else "",
                " ".join(words[first_word + 1:])))
    return instructions


def decoding_gap(first, end, instructions):
    """Why objdump's decoding of the range from first to end is incomplete, or None."""
    covered = first
    for instruction in instructions:
        if instruction.address != covered:
            break
        covered += len(instruction.code)
    if covered == end:
        return None
    return (f"objdump decoded the code from {first:#x} to {covered:#x} without a gap, not to "
            f"its end at {end:#x}")


def unsized_mnemonic(instruction):
    """The mnemonic without the operand size that objdump appends to some."""
    mnemonic = instruction.mnemonic
    if mnemonic[-1:] in ("w", "d") and mnemonic[:-1] in SIZED_MNEMONICS:
        return mnemonic[:-1]
    return mnemonic


def direct_target(instruction):
    """The address where a direct jump, call or loop goes, or None for any other
    instruction."""
    if unsized_mnemonic(instruction) not in BRANCH_MNEMONICS:
        return None
    match = DIRECT_TARGET.fullmatch(instruction.operands)
    return int(match[1], 16) if match else None


def instruction_fault(instruction):
    """Why the i486 and its x87 cannot run the instruction as decoded, or None."""
    mnemonic = unsized_mnemonic(instruction)
    operands = instruction.operands
    if UNDECODABLE.search(instruction.text):
        return "undecodable bytes (objdump: (bad))"
    if mnemonic not in I486_MNEMONICS:
        return f"{instruction.mnemonic}, which the i486 and its x87 lack"
    if mnemonic == "nop" and instruction.code.lstrip(LEGACY_PREFIXES) != b"\x90":
        return "multi-byte NOP, which the i486 lacks"
    if (any(prefix.startswith("rep") for prefix in instruction.prefixes)
            and mnemonic not in STRING_MNEMONICS):
        return "rep prefix on a non-string instruction, undefined on the i486"
    if "lock" in instruction.prefixes and (mnemonic not in LOCKABLE_MNEMONICS
                                           or "[" not in operands.split(",")[0]):
        return "lock prefix where the i486 faults"
    word = next((w for w in OPERAND_WORD.findall(operands) if w not in I486_OPERAND_WORDS), None)
    if word:
        return f"operand {word}, which the i486 lacks"
    if mnemonic == "bswap" and not REGISTER_32.fullmatch(operands):
        return "bswap of a 16-bit register, undefined on the i486"
    if mnemonic == "mov" and operands.split(",")[0] == "cs":
        return "write to cs, an invalid opcode on every processor"
    if mnemonic in ("jmp", "call") and FAR_TARGET.fullmatch(operands):
        return "far jump or call to a fixed selector, out of the module's flat code"
    return None


def where(instruction):
    return f"{instruction.address:#x} {instruction.text}"


def instruction_faults(instructions):
    """{fault: [where]} of the instructions that the i486 and its x87 cannot run."""
    faults = collections.defaultdict(list)
    for instruction in instructions:
        fault = instruction_fault(instruction)
        if fault:
            faults[fault].append(where(instruction))
    return faults


def in_ranges(address, ranges):
    return any(first <= address < end for first, end in ranges)


def check_ways_in(ranges, instructions, entries, faults):
    """Every direct jump, call and loop and every entry, (what, address), into the
    code must land on the start of a decoded instruction: a landing anywhere else
    runs bytes that were never checked. Adds what lands elsewhere to faults;
    returns the number of branches."""
    starts = {instruction.address for instruction in instructions}
    branches = 0
    for instruction in instructions:
        address = direct_target(instruction)
        if address is None:
            continue
        branches += 1
        if not in_ranges(address, ranges):
            faults[BRANCH_OUTSIDE].append(where(instruction))
        elif address not in starts:
            faults[BRANCH_INSIDE].append(where(instruction))
    for what, address in entries:
        if not in_ranges(address, ranges):
            faults[ENTRY_OUTSIDE].append(f"{address:#x} ({what})")
        elif address not in starts:
            faults[ENTRY_INSIDE].append(f"{address:#x} ({what})")
    return branches


def check_relocated_code(ranges, instructions, relocated, faults):
    """The loader adds to each relocated word, (address, value), when it moves the
    image: in the code, each must be an address that the instruction holding it
    uses (objdump prints it among the operands), or the code that runs is not the
    code checked. Adds the others to faults; returns the number of relocated
    words in the code."""
    ordered = sorted(instructions, key=lambda instruction: instruction.address)
    starts = [instruction.address for instruction in ordered]
    count = 0
    for address, value in relocated:
        if not in_ranges(address, ranges):
            continue
        count += 1
        instruction = ordered[bisect.bisect_right(starts, address) - 1]
        operands = {int(number, 16) for number in HEX_NUMBER.findall(instruction.operands)}
        if value not in operands:
            faults[RELOCATED_NON_ADDRESS].append(f"{address:#x} in {where(instruction)}")
    return count
