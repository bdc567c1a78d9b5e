#!/usr/bin/env python3
"""Writes the fuzzer's seed corpus: a few short sessions in the input format
of module_fuzzer.cpp (an opcode byte per step, then its operands, then the
calling floating-point state in the steps that call the module)."""
import pathlib
import struct

INIT, EXIT, FRAME, MESSAGE, ANSWERS, SYSTEM = range(6)
WM_PAINT, WM_COMMAND, WM_MOUSEMOVE, WM_LBUTTONDOWN, WM_LBUTTONUP, WM_RBUTTONUP, WM_MOUSEWHEEL = range(7)
OPENED, CLOSED, ATTACH_MENU, SHOWN_OR_HIDDEN, REPAINT, PREVIEW_PRESS, PREVIEW_RELEASE, PREVIEW_MOVE = range(7, 15)
CLIENT_TABLE = [0, 1, 2, 3, 4, 5, 106, 320, 720, 1280, 32767, 1 << 27, 2**31 - 1]
ANSWER_TABLE = [1, 1, 0, 2, -1, -2**31]
PRECISION_BITS = {53: 0, 24: 1, 64: 2}
# Exception bits, the same for the x87 unit and the MXCSR.
INVALID, DENORMAL, ZERO_DIVIDE, OVERFLOW, UNDERFLOW, PRECISION = (1 << k for k in range(6))


def side(value):
    return bytes([value]) if 0 <= value < 97 else b"\xff" + struct.pack("<i", value)


def half(value):
    return bytes([value + 64]) if -64 <= value < 64 else b"\xff" + struct.pack("<h", value)


def client_side(value):
    if 0 <= value < 128:
        return bytes([value])
    if value % 20 == 0 and value < 72 * 20:
        return bytes([128 + value // 20])
    return bytes([next(k for k in range(200, 255) if CLIENT_TABLE[k % 13] == value)])


def point(x, y):
    return b"\x00" + half(x) + half(y)


def command(id_):
    return b"\x02" + bytes([id_ - 32771]) + half(0)


def caller_state(precision=53, rounding=0, mxcsr_rounding=0, flush_to_zero=False,
                 denormals_are_zero=False, x87_unmasked=0, x87_flags=0, mxcsr_unmasked=0,
                 mxcsr_flags=0):
    """The calling thread's state; rounding 0 nearest, 1 down, 2 up, 3 toward zero.
    The defaults are Windows' default state."""
    modes = (PRECISION_BITS[precision] | rounding << 2 | mxcsr_rounding << 4 |
             flush_to_zero << 6 | denormals_are_zero << 7)
    return bytes([modes, x87_unmasked, x87_flags, mxcsr_unmasked, mxcsr_flags])


DEFAULT_STATE = caller_state()
assert DEFAULT_STATE == bytes(5)


def init(screen, multi, state=DEFAULT_STATE):
    return bytes([INIT]) + struct.pack("<ii", screen, multi) + state


def exit_(state=DEFAULT_STATE):
    return bytes([EXIT]) + state


def frame(width, height, source_width=None, source_height=None, number=1, displayed=True,
          state=DEFAULT_STATE):
    same = source_width is None
    data = bytes([FRAME]) + side(width) + side(height) + bytes([1 if same else 0])
    if not same:
        data += side(source_width) + side(source_height)
    return data + bytes([number & 0xFF, 1 if displayed else 0]) + state


def message(kind, w_param=point(0, 0), l_param=point(0, 0), state=DEFAULT_STATE):
    return bytes([MESSAGE, kind]) + w_param + l_param + state


def answers(editing, active, shown):
    return bytes([ANSWERS] + [ANSWER_TABLE.index(a) for a in (editing, active, shown)])


def system(max_width, max_height, failing=0, client_width=320, client_height=106):
    return (bytes([SYSTEM]) + side(max_width) + side(max_height) + bytes([failing]) +
            client_side(client_width) + client_side(client_height))


def session(*steps):
    return b"".join(steps)


SEEDS = {
    "session": session(
        init(0, 0), message(ATTACH_MENU), message(OPENED), frame(64, 48),
        message(WM_COMMAND, command(32776)), message(WM_LBUTTONDOWN, l_param=point(10, 10)),
        message(WM_MOUSEMOVE, point(1, 0), point(30, 20)), message(WM_MOUSEWHEEL, point(0, -120)),
        message(WM_RBUTTONUP), message(PREVIEW_PRESS, l_param=point(40, 30)),
        message(PREVIEW_MOVE, l_param=point(-7, 300)), message(PREVIEW_RELEASE),
        message(CLOSED), exit_()),
    "resized_by_filter": session(
        system(96, 96, 0, 640, 480), message(OPENED), frame(40, 30, 80, 60, number=3),
        message(WM_COMMAND, command(32777)), message(WM_LBUTTONDOWN, l_param=point(100, 50)),
        message(WM_MOUSEMOVE, point(1, 0), point(108, 54)), frame(40, 30, 90, 90, number=3),
        message(WM_RBUTTONUP), message(WM_RBUTTONUP), message(WM_PAINT)),
    "narrow_client": session(
        system(64, 64, 0, 3, 106), message(OPENED), frame(33, 17), message(WM_COMMAND, command(32775)),
        message(WM_LBUTTONDOWN, l_param=point(1, 1)), message(WM_MOUSEMOVE, point(1, 0), point(-32768, 2)),
        system(64, 64, 0, 0, 0), message(REPAINT), system(64, 64, 0, 32767, 1), message(WM_PAINT)),
    "largest_size_zero_and_huge": session(
        system(0, 0), message(OPENED), frame(64, 48), message(WM_PAINT), message(CLOSED),
        system(46341, 46341), message(SHOWN_OR_HIDDEN), frame(64, 48), message(WM_PAINT),
        system(-1, 480), message(OPENED), frame(-1, 480)),
    "failing_allocation": session(
        system(64, 48, 0b01), message(OPENED), frame(64, 48), message(WM_PAINT),
        answers(1, 1, 0), message(SHOWN_OR_HIDDEN), answers(1, 1, 1), message(SHOWN_OR_HIDDEN),
        frame(64, 48, displayed=False), frame(64, 48), system(8, 8, 0b10), message(SHOWN_OR_HIDDEN)),
    # 1 x 96 is 288 bytes as delivered but 384 as blitted, rows padded to 4
    # bytes; 4 x 24 buffers hold 288: the header kept from the first buffers
    # would make the next paint read past the new ones.
    "padded_rows_outgrow_smaller_buffer": session(
        system(1, 96, 0, 100, 100), message(OPENED), frame(1, 96), message(CLOSED),
        system(4, 24, 0, 100, 100), message(OPENED)),
    "settings_out_of_range": session(
        init(7, -3), message(ATTACH_MENU), message(WM_PAINT), answers(0, 1, 1),
        message(WM_COMMAND, command(32784)), answers(2, 0, 1), message(OPENED), frame(50, 50),
        message(WM_MOUSEWHEEL, point(0, 0)), exit_()),
    "settings_extremes": session(
        init(2**31 - 1, -2**31), message(WM_RBUTTONUP), message(WM_MOUSEWHEEL, point(0, -120)),
        init(-2**31, 2**31 - 1), message(WM_RBUTTONUP), message(WM_MOUSEWHEEL, point(0, 120))),
    "caller_states": session(
        init(0, 0, caller_state(precision=24, rounding=3)), message(ATTACH_MENU),
        message(OPENED, state=caller_state(precision=64, x87_flags=PRECISION)),
        frame(64, 48, state=caller_state(x87_unmasked=INVALID | ZERO_DIVIDE | OVERFLOW,
                                         x87_flags=PRECISION)),
        message(WM_COMMAND, command(32777), state=caller_state(
            mxcsr_rounding=3, flush_to_zero=True, denormals_are_zero=True,
            mxcsr_unmasked=INVALID | ZERO_DIVIDE | OVERFLOW, mxcsr_flags=0x3F)),
        message(WM_LBUTTONDOWN, l_param=point(10, 10), state=caller_state(precision=24)),
        message(WM_MOUSEMOVE, point(1, 0), point(31, 17), state=caller_state(
            precision=24, rounding=3, mxcsr_rounding=3, x87_unmasked=INVALID | ZERO_DIVIDE |
            OVERFLOW, x87_flags=PRECISION, mxcsr_unmasked=INVALID | ZERO_DIVIDE | OVERFLOW)),
        message(WM_MOUSEWHEEL, point(0, -120), state=caller_state(rounding=1, mxcsr_rounding=2)),
        message(PREVIEW_PRESS, l_param=point(40, 30), state=caller_state(
            precision=24, rounding=2, x87_unmasked=0x3F, mxcsr_unmasked=0x3F)),
        message(WM_PAINT, state=caller_state(precision=64, rounding=3, x87_flags=0x3F)),
        message(CLOSED), exit_(caller_state(precision=24, x87_unmasked=PRECISION))),
    # Views on a rounding edge, where the x87 unit's 64-bit precision gives
    # another layout than 53-bit: 15 x 53 fitted into 158 x 106 is exactly
    # 30 x 106; at x9 around 23, a 55-wide source of a 46-wide filtered
    # picture is centred on column 23 x 55 / 46 + 0.5 = 28 exactly; and a
    # drag step of 2 at x7 in a 1-wide source of a 9-wide filtered picture,
    # 3 - 2 / 7 / (1/9 as a float), lies next to a float rounding midpoint.
    "rounding_edge_fit": session(message(OPENED), frame(15, 53)),
    "rounding_edge_magnified": session(
        message(OPENED), frame(46, 27, 55, 27), message(WM_COMMAND, command(32783)),
        message(PREVIEW_PRESS, l_param=point(23, 5))),
    "rounding_edge_drag": session(
        message(OPENED), frame(9, 9, 1, 9), message(WM_COMMAND, command(32781)),
        message(PREVIEW_PRESS, l_param=point(3, 4)), message(PREVIEW_RELEASE),
        message(WM_LBUTTONDOWN, l_param=point(10, 10)),
        message(WM_MOUSEMOVE, point(1, 0), point(12, 10))),
}

corpus = pathlib.Path(__file__).resolve().parent / "corpus"
corpus.mkdir(exist_ok=True)
for name, data in SEEDS.items():
    (corpus / name).write_bytes(data)
