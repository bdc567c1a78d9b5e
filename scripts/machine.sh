# Sourced by the scripts: what this machine can run. Source it first, before
# any cd and with the script's own arguments untouched: with
# PANDREL_ASSUME_NO_32BIT=1 it runs the script again as on a machine whose
# kernel runs no 32-bit programs (below).

# Succeeds when the kernel runs 32-bit x86 programs: assembles and runs a
# program that only exits (binutils come with every compiler installed here),
# linked against the i386 program loader, as the 32-bit test programs and
# wine32's loader are. Before the set-up has installed that loader it fails.
machine_runs_32bit() {
    local dir
    dir=$(mktemp -d) || return 1
    printf '.globl _start\n_start:\n movl $1, %%eax\n xorl %%ebx, %%ebx\n int $0x80\n' >"$dir/exit.s"
    as --32 "$dir/exit.s" -o "$dir/exit.o" 2>/dev/null &&
        ld -m elf_i386 -pie --dynamic-linker=/lib/ld-linux.so.2 "$dir/exit.o" -o "$dir/exit" 2>/dev/null &&
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

# The folders of the i386 libraries and program loaders (/lib's, where /lib is
# not merged into /usr/lib), and wine32's loaders.
i386_library_folders=(/usr/lib/i386-linux-gnu /usr/lib32 /lib/i386-linux-gnu /lib32)
wine_loader_folder=/usr/lib/wine

# Runs COMMAND [ARGS] in a mount namespace that makes this machine look like
# one whose kernel runs no 32-bit programs, whatever the command then starts:
# - the i386 library folders are mounted noexec, so that no 32-bit program
#   linked against their loader starts (the kernel refuses the loader), while
#   qemu-i386, which only reads the loader and the libraries, still runs them;
#   /usr's are made first if missing (empty, as the set-up's installation
#   would make them), so that libraries installed later are covered too;
# - each 32-bit program of Wine's (wine32's loader and server) is covered by
#   the header of a 32-bit program without its program headers, which fails
#   to start as a 32-bit program does on such a kernel, "Exec format error",
#   and which a shell started in its place refuses too.
# Statically linked 32-bit programs would still start; nothing here runs one.
run_as_machine_without_32bit() {
    unshare --mount bash -c '
        set -e
        mkdir -p /usr/lib/i386-linux-gnu /usr/lib32
        for folder in $(realpath -e '"${i386_library_folders[*]}"' 2>/dev/null | sort -u); do
            mount --bind "$folder" "$folder"
            mount -o remount,bind,noexec "$folder"
        done
        no_program=$(mktemp /tmp/pandrel-no-program.XXXXXX)
        trap "rm -f \"\$no_program\"" EXIT
        # ELF, 32-bit, little-endian; an executable for the i386; no program headers.
        printf "\x7fELF\x01\x01\x01\0\0\0\0\0\0\0\0\0\x02\0\x03\0\x01\0\0\0" >"$no_program"
        head -c 28 /dev/zero >>"$no_program"
        chmod 755 "$no_program"
        for program in '"$wine_loader_folder"'/*; do
            [[ -f $program && ! -L $program && $(head -c 5 "$program" | od -An -tx1) == " 7f 45 4c 46 01" ]] ||
                continue
            mount --bind "$no_program" "$program"
        done
        set +e
        PANDREL_MACHINE_WITHOUT_32BIT=1 "$@"
    ' run_as_machine_without_32bit "$@"
}

# PANDREL_ASSUME_NO_32BIT=1: the sourcing script runs again, with its own
# arguments, in that namespace; everything it starts inherits it.
if [[ ${PANDREL_ASSUME_NO_32BIT:-} == 1 && -z ${PANDREL_MACHINE_WITHOUT_32BIT:-} ]]; then
    if ! command -v unshare >/dev/null || ((EUID != 0)); then
        echo "PANDREL_ASSUME_NO_32BIT=1 needs root and unshare, for a mount namespace" >&2
        exit 1
    fi
    if ! script=$(realpath -e -- "$0" 2>/dev/null) || [[ ! $script == *.sh ]]; then
        echo "machine.sh: $0 must source it before any cd, for PANDREL_ASSUME_NO_32BIT=1" >&2
        exit 1
    fi
    echo "PANDREL_ASSUME_NO_32BIT=1: ${script#"$PWD"/} runs in a mount namespace in which" \
        "no 32-bit program starts"
    run_as_machine_without_32bit bash "$script" "$@"
    exit
fi
