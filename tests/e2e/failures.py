"""What a failing end-to-end run leaves behind, so that it explains itself.

For a run with any failing check, build/e2e-failures/RUN/ holds the run's
script, pictures and settings as the run started, and replay.sh, which runs
the same in the stand-in host by hand (scripts/host.sh, into build/host/) and
compares its captures with the failing ones. For each failing checkpoint,
RUN/CHECKPOINT/ holds the host's report and three pictures: expected.png (what
the suite computed), actual.png (the capture) and diff.png (the capture
dimmed, with the pixels that the suite rejects in red). A run without a
failure leaves no folder, and each run's folder is replaced when it runs again.
"""

import os
import shlex
import shutil
import struct
import zlib

import expected

REPOSITORY = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
FAILURES = os.path.join(REPOSITORY, "build", "e2e-failures")
REJECTED = b"\xff\x00\x00"


def write_png(path, picture):
    """An 8-bit RGB PNG of a top-down picture."""
    stride = picture.width * 3
    rows = b"".join(b"\0" + picture.rgb[y * stride:(y + 1) * stride]
                    for y in range(picture.height))

    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data +
                struct.pack(">I", zlib.crc32(kind + data)))

    header = struct.pack(">IIBBBBB", picture.width, picture.height, 8, 2, 0, 0, 0)
    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) +
                chunk(b"IDAT", zlib.compress(rows)) + chunk(b"IEND", b""))


def expected_picture(width, height, background, blits):
    """The client area as the suite expects it: the background, and in each
    blit the first source pixel that `expected.samples` allows."""
    rgb = bytearray(background * (width * height))
    for (xd, yd, dw, dh), (xs, ys, sw, sh), picture in blits:
        top = picture.height - ys - sh
        for y in range(max(yd, 0), min(yd + dh, height)):
            row = top + expected.samples(y - yd, dh, sh)[0]
            for x in range(max(xd, 0), min(xd + dw, width)):
                column = xs + expected.samples(x - xd, dw, sw)[0]
                rgb[(y * width + x) * 3:(y * width + x + 1) * 3] = picture.pixel(column, row)
    return expected.Picture(width, height, bytes(rgb))


def difference_picture(actual, rejected):
    """The capture at a third of its brightness, the rejected pixels red."""
    rgb = bytearray(value // 3 for value in actual.rgb)
    for x, y in rejected:
        rgb[(y * actual.width + x) * 3:(y * actual.width + x + 1) * 3] = REJECTED
    return expected.Picture(actual.width, actual.height, bytes(rgb))


class Folder:
    """build/e2e-failures/RUN/ for one run: started before the host runs, with
    the settings as they are then; removed at the end unless a check failed."""

    def __init__(self, run, settings, enlarge_from_edge):
        self.run, self.enlarge_from_edge = run, enlarge_from_edge
        self.path = os.path.join(FAILURES, run.name)
        self.checkpoints = []
        shutil.rmtree(self.path, ignore_errors=True)
        os.makedirs(self.path)
        self.start_settings = os.path.join(self.path, "settings-at-start.ini")
        if os.path.exists(settings):
            shutil.copyfile(settings, self.start_settings)

    def failed_checks(self, results, prefix):
        return [name for name in results.failed if name.startswith(prefix)]

    def checkpoint(self, directory, checkpoint, outcome, results):
        """Keeps the report and the pictures of a checkpoint that failed."""
        if not self.failed_checks(results, f"{self.run.name}: {checkpoint.label}:"):
            return
        self.checkpoints.append(checkpoint.name)
        folder = os.path.join(self.path, checkpoint.name)
        os.makedirs(folder)
        report = os.path.join(directory, checkpoint.name + ".txt")
        if os.path.exists(report):
            shutil.copyfile(report, os.path.join(folder, "report.txt"))
        if outcome:
            actual, background, blits = outcome
            write_png(os.path.join(folder, "expected.png"),
                      expected_picture(actual.width, actual.height, background, blits))
            write_png(os.path.join(folder, "actual.png"), actual)
            write_png(os.path.join(folder, "diff.png"), difference_picture(
                actual, expected.mismatches(actual, background, blits, self.enlarge_from_edge)))

    def finish(self, directory, host, results):
        """Removes the folder of a run that passed; otherwise adds the script,
        the pictures and replay.sh, and says where they are."""
        failed = self.failed_checks(results, f"{self.run.name}:")
        if not failed:
            shutil.rmtree(self.path)
            return
        shutil.copyfile(os.path.join(directory, "script.txt"),
                        os.path.join(self.path, "script.txt"))
        relative = os.path.relpath(self.path, REPOSITORY)
        build = os.path.basename(os.path.dirname(os.path.dirname(host)))
        settings = os.path.join(relative, "settings.ini")
        options = [os.path.relpath(option, REPOSITORY) if os.path.isabs(option) else option
                   for option in self.run.host_options(self.path)]
        command = ["bash", "scripts/host.sh", "--fresh", "--build", build, "--settings", settings,
                   *options, "--script", os.path.join(relative, "script.txt")]
        start = (f"cp {relative}/settings-at-start.ini {settings}"
                 if os.path.exists(self.start_settings) else f"rm -f {settings}")
        compare = "".join(
            f"compare_capture {name}.bmp {relative}/{name}/actual.png\n"
            for name in self.checkpoints)
        replay = os.path.join(self.path, "replay.sh")
        with open(replay, "w") as f:
            f.write(REPLAY.format(run=self.run.name, start=start, compare=compare,
                                  command=shlex.join(command)))
        os.chmod(replay, 0o755)
        print(f"e2e: {self.run.name}: {len(failed)} failed; pictures, script and settings in "
              f"{relative}/; replay: bash {relative}/replay.sh")


REPLAY = """#!/usr/bin/env bash
# Replays the end-to-end run "{run}" as the suite ran it, in the stand-in host
# by hand (its files in build/host/), then compares each capture of a failing
# checkpoint with the one the suite rejected.
set -euo pipefail
cd "$(dirname "$0")/../../.."
compare_capture() {{
    local pixels status=0
    pixels=$(compare -metric AE "build/host/$1" "$2" null: 2>&1) || status=$?
    case $status in
        0) echo "replay: build/host/$1 has the same pixels as the failing capture $2" ;;
        1) echo "replay: build/host/$1 differs from the failing capture $2 in $pixels pixels" ;;
        *) echo "replay: build/host/$1: $pixels" ;;
    esac
}}
{start}
{command} || echo "replay: the host exited with status $?"
{compare}"""
