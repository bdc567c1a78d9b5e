# Sourced by the scripts: what this machine can run.

# Succeeds when the kernel runs 32-bit x86 programs: assembles and runs a
# program that only exits (binutils come with every compiler installed here).
# PANDREL_ASSUME_NO_32BIT=1 makes it fail, so that a machine that runs them
# can take the path of one that does not.
machine_runs_32bit() {
    [[ ${PANDREL_ASSUME_NO_32BIT:-} == 1 ]] && return 1
    local dir
    dir=$(mktemp -d) || return 1
    printf '.globl _start\n_start:\n movl $1, %%eax\n xorl %%ebx, %%ebx\n int $0x80\n' >"$dir/exit.s"
    as --32 "$dir/exit.s" -o "$dir/exit.o" 2>/dev/null && ld -m elf_i386 "$dir/exit.o" -o "$dir/exit" 2>/dev/null &&
        "$dir/exit" 2>/dev/null
    local status=$?
    rm -rf "$dir"
    return $status
}

no_32bit_message="skipped: this machine does not run 32-bit programs"

# Where the kernel does not run 32-bit programs, 32-bit Linux test programs run
# under user-mode emulation (qemu-user, which emulates the x87 unit's
# precision and rounding control exactly); its i386 libraries and loader are
# the system's own, under /. Wine does not start under it.
i386_emulator=(qemu-i386 -L /)
