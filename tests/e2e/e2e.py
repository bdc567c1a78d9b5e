"""End-to-end tests: the module in the stand-in host under Wine, driven and
read back through the real Win32 interface.

Each run starts the host with a script of actions; at each checkpoint the
host captures the plug-in window's client area and reports its title and
menu. The checks compare those with what the view must look like.

Usage: e2e.py HOST.exe MODULE.auf WORKDIR
On Linux inside an X display, with WINEPREFIX and WINELOADER (Wine's loader
for the build) set, as tests/e2e/run_e2e.sh runs it; on Windows as it is. The
launcher is the only difference: everything else takes the same path.

What Windows may draw otherwise than Wine, and how the checks allow for it:
- system colours: the background is the colour the host reports, never a
  constant;
- fonts: no text is compared as pixels; the title and the menu are read back
  as text, and the captures hold the client area only;
- the ANSI code page: the module sets its title in Shift_JIS, which a Windows
  whose code page is not 932 reads as other characters; the expected title is
  read through that code page too (as_read_back). The menu, a Unicode
  resource, reads the same everywhere;
- stretch sampling: the tolerances below, each named with its reason; a
  rejected pixel's report shows what it shows beside what it may show.

Wine writes this report in UTF-8 everywhere; so does this driver, on Windows
too, whose pipes would take the console's code page (1252 on the CI's), in
which the menu's Japanese of a failure's detail cannot be written.
"""

import collections
import copy
import os
import re
import subprocess
import sys

import expected
import failures

COMPARE, FIT = 32771, 32774  # menu ids of the first view and the first magnification item

MENU = [
    "popup: 表示(&V)",
    "item: 32771 比較(&C)", "item: 32772 ソース(&S)", "item: 32773 フィルタ後(&F)",
    "popup: 倍率(&M)",
    "item: 32774 全体(&A)",
] + [f"item: {32774 + n} x{n}(&{n})" for n in range(1, 11)]

MODE_TEXT = ["比較", "ソース", "フィルタ後"]

# Tolerances of the picture comparison (expected.samples):
# - A shrinking blit's pixel may show any source pixel that its extent
#   overlaps, everywhere: which of them a nearest-neighbour shrink takes is
#   a rounding choice of the platform's.
# - An enlarging blit's pixel shows the source pixel under its centre under
#   Wine. Windows' GDI has never been compared with that here, and nothing
#   on these machines tells its choice; another nearest-neighbour stretch
#   takes the pixel under the destination pixel's first edge. On Windows
#   only, either is taken; the two differ only for factors that are not
#   whole (x3 of a 4/3 pane factor, say: `edges`, `precision`, `views`).
ENLARGE_FROM_EDGE = os.name == "nt"

# E2E_SOAK_STEPS sets the length of the random soak (the long one is
# tests/e2e/soak.sh); E2E_ONLY (names separated
# by spaces) runs only those runs. E2E_FP_STATE ("CONTROL,MXCSR[,X87FLAGS]")
# makes the host call the module in that floating-point state throughout
# instead of its own. Every report must show that each call gave the state
# back, the module's platform calls checked too, and that every blit read
# inside committed memory.
SOAK_STEPS = int(os.environ.get("E2E_SOAK_STEPS", "5000"))
ONLY = os.environ.get("E2E_ONLY", "").split()
FP_STATE = os.environ.get("E2E_FP_STATE", "")
# How a Windows program starts: by the build's Wine loader, or on Windows by itself.
LAUNCHER = [] if os.name == "nt" else [os.environ["WINELOADER"]]


def title(view):
    zoom = "全体" if view["multi"] == 0 else f"x{view['multi']}"
    return as_read_back(f"Pandrel - {MODE_TEXT[view['screen']]} - {zoom}")


def as_read_back(text):
    """`text` as the host reads back the title that the module set in Shift_JIS:
    through the ANSI code page, which is 932 under Wine here, and whatever the
    Windows it runs on has (1252 on the CI's)."""
    if os.name != "nt":
        return text
    import ctypes
    data = text.encode("cp932")
    kernel32 = ctypes.windll.kernel32
    length = kernel32.MultiByteToWideChar(0, 0, data, len(data), None, 0)  # CP_ACP
    wide = ctypes.create_unicode_buffer(length + 1)
    kernel32.MultiByteToWideChar(0, 0, data, len(data), wide, length)
    return wide.value


class Results:
    def __init__(self):
        self.passed, self.failed = 0, []

    def check(self, name, ok, detail=""):
        if ok:
            self.passed += 1
            print(f"PASS {name}")
        else:
            self.failed.append(name)
            print(f"FAIL {name}: {detail}")


Checkpoint = collections.namedtuple("Checkpoint", "label name view saved buffer_steps checks")


class Run:
    """One start of the host and all that is checked of it: its options (its pictures among
    them), the settings it starts with and must store, and a script that the actions and the
    checkpoints build up while the expected view is tracked alongside from `view`. `buffers`:
    the pictures as the module's buffers hold them (expected.ModuleBuffers), from the start."""

    def __init__(self, name, options=(), settings=None, start_settings=None, stored=None,
                 timeout=120, buffers=False, **view):
        self.name, self.options, self.timeout = name, options, timeout
        self.settings, self.start_settings, self.stored = settings or name, start_settings, stored
        self.pictures = {kind: options[options.index(f"--{kind}") + 1]
                         for kind in ("source", "filtered") if f"--{kind}" in options} or None
        self.script, self.checkpoints = [], []
        self.buffer_steps = [("reserve", 1920, 1088), ("capture", True)] if buffers else None
        self.view = {"screen": 0, "multi": 0, "cx": 0.0, "cy": 0.0, "open": True,
                     "client": (320, 106), **view}

    def act(self, actions, **changes):
        self.script.append(actions)
        self.view.update(changes)
        return self

    def preview_press(self, x, y):
        """Centres a magnified view on (x, y) in the filtered picture."""
        self.act(f"preview-press {x} {y}; preview-release {x} {y}")
        filtered = self.pictures["filtered"]
        if self.view["multi"] > 0:
            self.view["cx"], self.view["cy"] = expected.clamp_center(
                float(x), float(y), filtered.width, filtered.height)
        return self

    def drag(self, x1, y1, x2, y2, steps=4):
        """A drag in the window: the host moves in `steps` equal integer steps;
        each move pans by the distance over the magnification and the pane's
        factor, rounded to float32 and kept within the filtered picture."""
        self.act(f"drag {x1} {y1} {x2} {y2} {steps}")
        v, source, filtered = self.view, self.pictures["source"], self.pictures["filtered"]
        in_source = v["screen"] == 1 or (v["screen"] == 0 and x1 < expected.div(v["client"][0], 2))
        scale_x = expected.f32(source.width / filtered.width) if in_source else 1.0
        scale_y = expected.f32(source.height / filtered.height) if in_source else 1.0
        last = (x1, y1)
        for i in range(1, steps + 1):
            point = (x1 + expected.div((x2 - x1) * i, steps), y1 + expected.div((y2 - y1) * i, steps))
            cx = expected.f32(v["cx"] - (point[0] - last[0]) / v["multi"] / scale_x)
            cy = expected.f32(v["cy"] - (point[1] - last[1]) / v["multi"] / scale_y)
            v["cx"], v["cy"] = expected.clamp_center(cx, cy, filtered.width, filtered.height)
            last = point
        return self

    def reopen(self, max_width, max_height):
        """Closes the video, changes the host's largest size, opens it again."""
        self.act(f"close; max-size {max_width} {max_height}; open")
        self.buffer_steps += [("release",), ("reserve", max_width, max_height), ("capture", True)]
        return self

    def checkpoint(self, label, saved=None, checks=()):
        """Captures and reports here, where the view is as tracked; `saved` names the frames saved
        for it (save-frames; else the run's pictures), `checks` check more of what it shows."""
        name = f"{self.name}-{len(self.checkpoints)}"
        self.script.append(f"capture {name}.bmp; report {name}.txt")
        steps = self.buffer_steps and list(self.buffer_steps)
        self.checkpoints.append(Checkpoint(label, name, copy.deepcopy(self.view), saved, steps, checks))
        return self

    def host_options(self, directory):
        """The options for the host, the pictures written into `directory`."""
        options = []
        for option in self.options:
            if isinstance(option, expected.Picture):
                path = os.path.join(directory, f"picture{len(options)}.bmp")
                expected.write_bmp(path, option)
                option = path
            options.append(option)
        if FP_STATE:
            options += ["--fp-state", FP_STATE]
        return options

    def shown_pictures(self, checkpoint, directory):
        """The pictures the module must show at `checkpoint` (OSError, ValueError: unreadable)."""
        pictures = self.pictures
        if checkpoint.saved:
            pictures = {kind: expected.read_bmp(os.path.join(directory, f"{checkpoint.saved}-{kind}.bmp"))
                        for kind in ("source", "filtered")}
        if checkpoint.buffer_steps:
            pictures = expected.shown_pictures(checkpoint.buffer_steps, pictures,
                                               "--packed-rows" in self.options)
        return pictures


def check_run(run, host, module, work, results):
    """Runs the host on the run's script and makes all the run's checks."""
    ini = os.path.join(work, run.settings + ".ini")
    if run.start_settings:
        with open(ini, "w") as f:
            f.write(run.start_settings)
    failure = failures.Folder(run, ini, ENLARGE_FROM_EDGE)
    directory = run_host(run, host, module, work, ini, results)
    for checkpoint in run.checkpoints:
        try:
            pictures = run.shown_pictures(checkpoint, directory)
        except (OSError, ValueError) as error:
            results.check(f"{run.name}: {checkpoint.label}: frames saved", False, str(error))
            continue
        outcome = check_checkpoint(run, directory, checkpoint, pictures, results)
        failure.checkpoint(directory, checkpoint, outcome, results)
        if outcome:
            for check in checkpoint.checks:
                check(*outcome, results)
    if run.stored:
        got = read_ini(ini)
        results.check(f"{run.name}: settings stored at the end", got == run.stored,
                      f"{got} != {run.stored}")
    failure.finish(directory, host, results)


def run_host(run, host, module, work, ini, results):
    directory = os.path.join(work, run.name)
    os.makedirs(directory, exist_ok=True)
    with open(os.path.join(directory, "script.txt"), "w") as f:
        f.write("\n".join(a.strip() for line in run.script for a in line.split(";")) + "\n")
    options = run.host_options(directory)
    command = [*LAUNCHER, host, "--settings", ini, *options, "--script", "script.txt", module]
    try:
        process = subprocess.run(command, cwd=directory, capture_output=True, timeout=run.timeout)
        ok, detail = process.returncode == 0, (f"exit {process.returncode}: stderr "
                                               f"{process.stderr[-500:]}, stdout {process.stdout[-500:]}")
    except subprocess.TimeoutExpired:
        ok, detail = False, "timed out"
    results.check(f"{run.name}: the host runs the script and exits cleanly", ok, detail)
    return directory


def read_report(path):
    report = {"menu": []}
    for line in open(path, encoding="utf-8").read().splitlines():
        key, _, value = line.partition(": ")
        if key in ("popup", "item"):
            report["menu"].append(line)
        else:
            report[key.rstrip(":")] = value
    return report


def read_ini(path):
    try:
        lines = open(path, encoding="ascii").read().split()
    except OSError:
        return {}
    return dict(line.split("=", 1) for line in lines if "=" in line)


def check_checkpoint(run, directory, checkpoint, pictures, results):
    label, name, view = checkpoint.label, checkpoint.name, checkpoint.view
    prefix = f"{run.name}: {label}"
    try:
        report = read_report(os.path.join(directory, name + ".txt"))
        actual = expected.read_bmp(os.path.join(directory, name + ".bmp"))
    except (OSError, ValueError) as error:
        results.check(f"{prefix}: capture and report written", False, str(error))
        return None
    results.check(f"{prefix}: title", report.get("title") == title(view),
                  f"{report.get('title')!r} != {title(view)!r}")
    checked = f"{COMPARE + view['screen']} {FIT + view['multi']}"
    results.check(f"{prefix}: checked menu items", report.get("checked", "").strip() == checked,
                  f"{report.get('checked')!r} != {checked!r}")
    menu = [line.replace(" checked", "") for line in report["menu"]]
    results.check(f"{prefix}: menu structure", menu == MENU, "\n".join(menu))
    state = report.get("float state", "")
    own = "" if FP_STATE else "the host's own, "
    kept = re.fullmatch(own + r"x87 control [^:]+: [1-9]\d* checks "
                        r"\([1-9]\d* at platform calls\), 0 changed", state)
    results.check(f"{prefix}: floating-point state given back", kept, state)
    reads = report.get("blit reads", "")
    inside = re.fullmatch(r"[1-9]\d* checked, 0 outside one committed readable region", reads)
    results.check(f"{prefix}: blits read inside committed memory", inside, reads)

    client = (actual.width, actual.height)
    background = bytes(int(c) for c in report["background"].split())
    blits = expected.view_blits(*client, view, pictures) if view["open"] and pictures else []
    bad = expected.mismatches(actual, background, blits, ENLARGE_FROM_EDGE)
    results.check(f"{prefix}: client area {client[0]}x{client[1]}", client == view["client"],
                  f"{client} != {view['client']}")
    first = "; ".join(expected.describe_mismatch(actual, background, blits, x, y, ENLARGE_FROM_EDGE)
                      for x, y in bad[:3])
    results.check(f"{prefix}: picture", not bad,
                  f"{len(bad)} pixels differ (capture {name}.bmp), first {first}")
    return actual, background, blits


def check_comparison(actual, background, blits, results):
    """The comparison must notice a pane one pixel off and a wrong picture, and
    pass the expected picture that a failing checkpoint leaves."""
    def moved(index, dx, dy):
        changed = list(blits)
        (xd, yd, dw, dh), src, picture = changed[index]
        changed[index] = ((xd + dx, yd + dy, dw, dh), src, picture)
        return changed

    wrong = list(blits)
    wrong[0] = (blits[0][0], blits[0][1], blits[1][2])
    for label, variant in [("filtered pane one pixel right", moved(1, 1, 0)),
                           ("source pane one pixel left", moved(0, -1, 0)),
                           ("source pane one pixel down", moved(0, 0, 1)),
                           ("filtered picture in the source pane", wrong)]:
        bad = expected.mismatches(actual, background, variant, ENLARGE_FROM_EDGE)
        results.check(f"checker: rejects the {label}", len(bad) > 0, "no pixel differs")
    picture = failures.expected_picture(actual.width, actual.height, background, blits)
    bad = expected.mismatches(picture, background, blits, ENLARGE_FROM_EDGE)
    results.check("failure pictures: the expected picture passes the comparison", not bad,
                  f"{len(bad)} pixels differ, first at {bad[:5]}")


def view_runs():
    """Views, magnifications and drags, with a filtered picture of the source's size, then half."""
    views = Run("views", ["--source", expected.noise_picture(320, 240, 1),
                          "--filtered", expected.noise_picture(320, 240, 2)])
    views.checkpoint("compare, fit")
    views.act("menu x2", multi=2).checkpoint("compare, x2")
    views.preview_press(200, 150).checkpoint("compare, x2, preview press at (200, 150)",
                                             checks=(check_comparison,))
    views.drag(100, 50, 80, 40).checkpoint("drag in the source pane")
    views.drag(250, 50, 270, 62).checkpoint("drag in the filtered pane")
    views.act("menu source", screen=1).checkpoint("source alone, x2")
    views.act("wheel -120", multi=3).checkpoint("wheel toward the user: x3")
    views.act("rclick 10 10", screen=2).checkpoint("right click: filtered alone")
    views.act("menu fit", multi=0).checkpoint("filtered alone, fit")
    views.act("hide; show").checkpoint("hidden and shown again")
    # A client area of height 0 (the window shrunk to its menu bar) and one of
    # 0 x 0 lay out panes without any ratio, fitted and magnified.
    views.act("resize 320 0; menu fit; resize 0 0; menu x2")
    views.act("resize 480 300; menu compare; menu x1", client=(480, 300), screen=0, multi=1)
    views.checkpoint("resized to 480x300, compare, x1")
    views.act("close", open=False).checkpoint("no video open")
    views.act("open", open=True).checkpoint("video opened again")

    sizes = Run("sizes", ["--source", expected.noise_picture(320, 240, 3),
                          "--filtered", expected.noise_picture(160, 120, 4)])
    sizes.checkpoint("source 320x240, filtered 160x120, compare, fit")
    sizes.act("menu x2", multi=2).preview_press(80, 60).checkpoint("x2, preview press at (80, 60)")
    sizes.drag(60, 50, 100, 70).checkpoint("drag in the source pane, twice the pixels")
    sizes.drag(200, 50, 220, 60).checkpoint("drag in the filtered pane")
    return [views, sizes]


def nonzero_yes_run():
    """A host whose yes is INT32_MIN, not 1: the frames are captured and drawn,
    the menu's commands are dropped (they act only on exactly 1), and the
    wheel magnifies. 320 x 240 beside 320 x 180 makes the source pane's
    factors 1 across and 4/3 down, so a diagonal drag there moves the centre
    by other amounts across and down."""
    nonzero_yes = Run("nonzero-yes", ["--yes", "-2147483648",
                                      "--source", expected.noise_picture(320, 240, 1),
                                      "--filtered", expected.noise_picture(320, 180, 7)])
    nonzero_yes.checkpoint("yes as INT32_MIN: compare, fit")
    nonzero_yes.act("menu x3; menu source").checkpoint("menu commands dropped")
    nonzero_yes.act("wheel -120; wheel -120", multi=2).preview_press(160, 90)
    nonzero_yes.drag(60, 30, 100, 70).checkpoint("x2, diagonal drag in the source pane")
    return nonzero_yes.drag(200, 30, 230, 60).checkpoint("x2, diagonal drag in the filtered pane")


def rounding_runs():
    """Views on rounding edges: each lands on another pixel if that piece of the
    module's arithmetic ran in the caller's state (the hostile pass: 24-bit
    precision, rounding toward zero). 320 / 240 and 240 / 180 make the
    source pane's factor 4/3, which no float or double holds exactly."""
    edges = Run("edges", ["--source", expected.noise_picture(320, 240, 1),
                          "--filtered", expected.noise_picture(240, 180, 5)])
    # Fit: 240 * (320 / 240) is 320 in doubles, 319.99998 truncated to 24 bits.
    edges.act("resize 700 240", client=(700, 240)).checkpoint("fit, panes 240 high: 320 wide")
    # Drag factor: 92 / 2 / f32(4/3) makes the centre 96 - 34.5 = 61.5 exactly;
    # the truncated factor leaves it one float below, on the pixel before.
    edges.act("resize 480 300; menu x2", client=(480, 300), multi=2).preview_press(96, 72)
    edges.drag(100, 100, 192, 169, 1).checkpoint("x2, drag in the source pane to centre 61.5")
    # Layout: 45.375 * 4/3 + 1/2 is 61 in doubles; with 4/3 truncated to 24
    # bits it stays below 61. The drag by 5/8 in the filtered pane is exact.
    edges.act("menu x8", multi=8).preview_press(46, 46)
    edges.drag(300, 100, 305, 105, 1).checkpoint("x8, centre 45.375 in the source pane")
    # Drag step: 112 + 10 / f32(4/3) rounds to the float 119.5; truncated at
    # each step it stays below, and the filtered pane shows from column 0.
    edges.act("menu x1", multi=1).preview_press(112, 84)
    edges.drag(100, 100, 90, 100, 1).checkpoint("x1, drag in the source pane to centre 119.5")

    # Precision: 90 * (28 / 40) is 63 in reals, 62.99... in doubles; computed
    # with the x87's 64-bit precision it reaches 63 and the picture one more
    # column.
    picture = expected.noise_picture(28, 40, 6)
    precision = Run("precision", ["--source", picture, "--filtered", picture])
    precision.act("resize 200 90; menu source", client=(200, 90), screen=1)
    precision.checkpoint("source alone, fit, 28x40 into 200x90: 62 columns")
    return [edges, precision]


def frames_run():
    frames = Run("frames", ["--filtered-size", "160x120"])
    frames.act("save-frames f0").checkpoint("embedded frames, frame 0", "f0")
    return frames.act("menu x1; next; save-frames f1", multi=1).checkpoint("next frame, x1", "f1")


def settings_runs():
    """The view that one start stores is the next start's; values out of range are clamped."""
    first = Run("settings-first", settings="settings", stored={"Screen": "1", "Multi": "3"})
    first.act("save-frames s; menu source; menu x3", screen=1, multi=3)
    first.checkpoint("view set to source, x3", "s")
    second = Run("settings-second", settings="settings", screen=1, multi=3)
    second.act("save-frames s").checkpoint("next start: source, x3", "s")
    clamped = Run("settings-clamped", settings="clamped", stored={"Screen": "2", "Multi": "0"},
                  start_settings="[Pandrel]\nScreen=7\nMulti=-3\n", screen=2, multi=0)
    clamped.act("save-frames s").checkpoint("stored Screen=7, Multi=-3", "s")
    return [first, second, clamped]


def buffer_runs():
    """What the module's buffers hold. Odd widths, 641 and 854 pixels (rows of
    1923 and 2562 bytes), in both of the host's row layouts. The module copies
    width * height * 3 bytes and the blit reads rows padded to 4 bytes: with
    padded rows the filtered picture's top row misses its last 480 * 2 bytes;
    with packed rows each row starts a little earlier than the blit takes it to."""
    source, filtered = expected.noise_picture(641, 361, 7), expected.noise_picture(854, 480, 8)
    runs = []
    for name, layout in [("padded-rows", []), ("packed-rows", ["--packed-rows"])]:
        run = Run(name, ["--source", source, "--filtered", filtered, *layout], buffers=True)
        # The frames as the host saves them, read back from its own layout.
        run.act("resize 640 300; save-frames o", client=(640, 300))
        run.checkpoint("compare, fit", "o")
        run.act("menu filtered; menu x1", screen=2, multi=1).preview_press(854, 0)
        run.checkpoint("filtered alone, x1, top right corner", "o")
        run.act("menu source", screen=1).checkpoint("source alone, x1, top right corner", "o")
        runs.append(run)

    # The host's largest size shrinks and grows between close and open:
    # to the source's size (its padded rows fill the buffers exactly), below
    # it (the source, whose header would outgrow the new buffer, is forgotten
    # and not captured, while the filtered picture's header still fits a
    # fresh, zero buffer), and back. Generated frames 854 and 2 pixels wide:
    # the filtered copy of 40 rows misses 80 bytes, its top 10 rows.
    largest = Run("max-size", ["--source-size", "854x480", "--filtered-size", "2x40"], buffers=True)
    largest.act("resize 320 240; save-frames m", client=(320, 240))
    largest.checkpoint("largest size 1920x1088", "m")
    largest.reopen(854, 480).checkpoint("largest size 854x480, the source's", "m")
    largest.reopen(320, 240).act("menu fit").checkpoint("largest size 320x240", "m")
    # Magnified on the bottom rows, a blit of the forgotten source's header
    # would read within the new buffer and show its zeros.
    largest.act("resize 320 50; menu x1; preview-press 0 40; preview-release 0 40",
                client=(320, 50), multi=1, cx=0.0, cy=40.0)
    largest.checkpoint("largest size 320x240, x1 on the bottom rows", "m")
    largest.act("resize 320 240; menu fit", client=(320, 240), multi=0)
    largest.reopen(1920, 1088).checkpoint("largest size 1920x1088 again", "m")
    return [*runs, largest]


def soak_run():
    soak = Run("soak", ["--filtered-size", "160x120", "--frames", "5"],
               stored={"Screen": "0", "Multi": "0"}, timeout=120 + SOAK_STEPS // 50)
    soak.act(f"random {SOAK_STEPS} 7; show; open; resize 320 106; menu source; menu x3; "
             "menu compare; menu fit; save-frames s", screen=0, multi=0)
    return soak.checkpoint(f"after {SOAK_STEPS} random messages, compare, fit", "s")


def selected_runs():
    """The runs that E2E_ONLY names, or all; a name that is no run stops the suite."""
    runs = [*view_runs(), nonzero_yes_run(), *rounding_runs(), frames_run(), *buffer_runs(),
            *settings_runs(), soak_run()]
    names = [run.name for run in runs]
    unknown = [name for name in ONLY if name not in names]
    if unknown:
        sys.exit(f"e2e: E2E_ONLY names no run: {' '.join(unknown)}; the runs are: {' '.join(names)}")
    return [run for run in runs if run.name in ONLY] if ONLY else runs


def main():
    for stream in (sys.stdout, sys.stderr):
        stream.reconfigure(encoding="utf-8", errors="backslashreplace")
    host, module, work = (os.path.abspath(a) for a in sys.argv[1:4])
    os.makedirs(work, exist_ok=True)
    results = Results()
    runs = selected_runs()
    for run in runs:
        check_run(run, host, module, work, results)
    print(f"\ne2e: {len(runs)} runs, {results.passed} checks passed, {len(results.failed)} failed")
    return 1 if results.failed or not results.passed else 0


if __name__ == "__main__":
    sys.exit(main())
