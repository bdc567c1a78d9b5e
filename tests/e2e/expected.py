"""What the plug-in's window must show, computed from the pictures and the view
alone, and the comparison of a captured client area against it.

Pictures are kept top-down as rows of RGB bytes. The layout is worked out
here again from the documented geometry, independently of the module's code,
and checked against the unit tests' worked views (tests/e2e/model_test.py).
"""

import ctypes
import math
import random
import struct


class Picture:
    def __init__(self, width, height, rgb):
        self.width, self.height, self.rgb = width, height, rgb  # top-down, 3 bytes a pixel

    def pixel(self, x, y):
        i = (y * self.width + x) * 3
        return self.rgb[i:i + 3]


def noise_picture(width, height, seed):
    """A picture in which neighbouring pixels differ: any shift shows."""
    return Picture(width, height, random.Random(seed).randbytes(width * height * 3))


def bitmap_picture(data, offset, width, height):
    """The picture that 24-bit bitmap rows at `offset` hold: rows padded to 4
    bytes, bottom-up for a positive height, top-down for a negative one."""
    stride = padded_row_bytes(width)
    rows = []
    for row in range(abs(height)):
        start = offset + row * stride
        bgr = data[start:start + width * 3]
        rgb = bytearray(len(bgr))
        rgb[0::3], rgb[1::3], rgb[2::3] = bgr[2::3], bgr[1::3], bgr[0::3]
        rows.append(bytes(rgb))
    if height > 0:
        rows.reverse()
    return Picture(width, abs(height), b"".join(rows))


def read_bmp(path):
    data = open(path, "rb").read()
    width, height = struct.unpack_from("<ii", data, 18)
    bits, compression = struct.unpack_from("<HI", data, 28)
    if data[:2] != b"BM" or bits != 24 or compression != 0:
        raise ValueError(f"{path}: not an uncompressed 24-bit bitmap")
    return bitmap_picture(data, struct.unpack_from("<I", data, 10)[0], width, height)


def host_rows(picture, packed):
    """The picture as the host hands it over: rows bottom-up, blue green red,
    each width * 3 bytes when packed, else padded to 4 bytes with zeros."""
    row_bytes = picture.width * 3
    stride = row_bytes if packed else padded_row_bytes(picture.width)
    rows = bytearray(stride * picture.height)
    for y in range(picture.height):
        rgb = picture.rgb[y * row_bytes:(y + 1) * row_bytes]
        start = (picture.height - 1 - y) * stride
        rows[start:start + row_bytes:3] = rgb[2::3]
        rows[start + 1:start + row_bytes:3] = rgb[1::3]
        rows[start + 2:start + row_bytes:3] = rgb[0::3]
    return bytes(rows)


def write_bmp(path, picture):
    rows = host_rows(picture, packed=False)
    header = struct.pack("<2sIHHIIiiHHIIiiII", b"BM", 54 + len(rows), 0, 0, 54, 40,
                         picture.width, picture.height, 1, 24, 0, 0, 0, 0, 0, 0)
    with open(path, "wb") as f:
        f.write(header + rows)


# --- The module's buffers ------------------------------------------------------

def padded_row_bytes(width):
    return (width * 3 + 3) & ~3


def blit_bytes(width, height):
    """Bytes the platform's blit reads for a picture: its rows padded."""
    return padded_row_bytes(width) * height


class ModuleBuffers:
    """The module's two picture buffers, replayed step by step:

    - reserve (on open and show, for buffers released before): fresh zero
      bytes for the largest picture with padded rows; a picture held from an
      earlier, larger buffer that would outgrow the new one is forgotten;
    - release (on close and hide);
    - capture: only when both buffers exist and the pictures, their rows
      padded, fit them; the source as the host writes it (new_source), then
      exactly width * height * 3 bytes of the filtered picture as the host
      hands it over. Bytes beyond stay as they were.

    `shown` reads each held picture back as the blit does, rows padded.
    """

    KINDS = ("source", "filtered")

    def __init__(self, pictures, packed):
        self.pictures, self.packed = pictures, packed
        self.data = {}
        self.held = dict.fromkeys(self.KINDS)

    def reserve(self, max_width, max_height):
        capacity = blit_bytes(max_width, max_height)
        for kind in self.KINDS:
            if kind in self.data or capacity == 0:
                continue
            self.data[kind] = bytearray(capacity)
            if self.held[kind] and blit_bytes(*self.held[kind]) > capacity:
                self.held[kind] = None

    def release(self):
        self.data = {}

    def capture(self, new_source):
        if len(self.data) < 2:
            return
        kinds = self.KINDS if new_source else ("filtered",)
        pictures = self.pictures
        if any(blit_bytes(pictures[k].width, pictures[k].height) > len(self.data[k])
               for k in kinds):
            return
        for kind in kinds:
            picture = pictures[kind]
            rows = host_rows(picture, self.packed)
            if kind == "filtered":
                rows = rows[:picture.width * picture.height * 3]
            self.data[kind][:len(rows)] = rows
            self.held[kind] = (picture.width, picture.height)

    def shown(self):
        """Each picture as the blit reads it, None for one not held."""
        if len(self.data) < 2:
            return None
        return {kind: self.held[kind] and bitmap_picture(self.data[kind], 0, *self.held[kind])
                for kind in self.KINDS}


def shown_pictures(steps, pictures, packed):
    """The pictures the module shows after `steps`, each (name of a
    ModuleBuffers method, its arguments...), starting with no buffers."""
    buffers = ModuleBuffers(pictures, packed)
    for name, *arguments in steps:
        getattr(buffers, name)(*arguments)
    return buffers.shown()


# --- Geometry ---------------------------------------------------------------
# The arithmetic of IEEE doubles and floats as the module does it: a zero
# divisor gives an infinity or NaN, and a conversion to int32 saturates.
# tests/e2e/model_test.py checks every function here against the worked
# views of tests/support/worked_layouts.h, the table the unit tests use.

INT32_MIN, INT32_MAX = -2**31, 2**31 - 1


def f32(value):
    """The float nearest to `value` (an infinity beyond float's range)."""
    return ctypes.c_float(value).value


def quotient(a, b):
    """a / b in double arithmetic."""
    if b != 0:
        return a / b
    if a == 0 or a != a:
        return math.nan
    return math.copysign(math.inf, a) * math.copysign(1.0, b)


def trunc(value):
    """The double truncated toward zero into an int32: NaN gives 0, values
    beyond the range saturate."""
    if value != value:
        return 0
    if value <= INT32_MIN:
        return INT32_MIN
    if value >= INT32_MAX:
        return INT32_MAX
    return int(value)


def div(a, b):
    """Integer division truncating toward zero."""
    q = abs(a) // abs(b)
    return q if (a >= 0) == (b >= 0) else -q


def clamp_center(cx, cy, filtered_width, filtered_height):
    """The pan centre kept within the filtered picture; NaN becomes 0."""
    def clamp(v, bound):
        v, limit = f32(v), f32(bound)
        if not v >= 0.0:
            return 0.0
        return limit if v > limit else v
    return clamp(cx, filtered_width), clamp(cy, filtered_height)


def panes(client_width, client_height, screen):
    """(name, pane rectangle, alignment) of each pane shown in a view mode."""
    half = div(client_width, 2)
    whole = (0, 0, client_width, client_height)
    if screen == 0:
        return [("source", (0, 0, half - 2, client_height), "right"),
                ("filtered", (half + 2, 0, client_width, client_height), "left")]
    return [("source" if screen == 1 else "filtered", whole, "center")]


def limit_center(center, half_view, view, scale, filtered_size):
    """A centre coordinate moved so that the view stays inside the picture,
    the lower limit (from the truncated half view) tested first."""
    low = quotient(half_view, scale)
    if low > center:
        return f32(low)
    high = filtered_size - quotient(view * 0.5, scale)
    return f32(high) if center > high else center


def first_shown(center, scale, half_view, view, size):
    """First picture column (or row from the top) of a view centred there."""
    first = trunc(center * scale + 0.5) - half_view
    if first < 0:
        return 0
    return size - view if first > size - view else first


def centered_start(low, high, size):
    start = low + div(high - size - low, 2)
    return (start - INT32_MIN) % 2**32 + INT32_MIN  # as the module's int32


def layout(pane, align, pw, ph, fw, fh, multi, cx, cy):
    """Destination (x, y, w, h) and source (x, y from the bottom, w, h) of a
    pane, and whether the destination leaves part of the pane uncovered."""
    left, top, right, bottom = pane
    pane_w, pane_h = right - left, bottom - top
    dw, dh, xs, ys, sw, sh = pane_w, pane_h, 0, 0, pw, ph
    if multi <= 0:
        aspect = quotient(pw, ph)
        if quotient(pane_w, f32(pane_h)) > aspect:
            dw = trunc(pane_h * aspect)
        else:
            dh = trunc(quotient(pane_w, aspect))
    else:
        view_w, view_h = div(pane_w, multi), div(pane_h, multi)
        scale_x, scale_y = quotient(pw, f32(fw)), f32(quotient(ph, f32(fh)))
        half_w, half_h = div(view_w, 2), div(view_h, 2)
        cx = limit_center(f32(cx), half_w, view_w, scale_x, fw)
        cy = limit_center(f32(cy), half_h, view_h, scale_y, fh)
        if multi * pw < pane_w:
            dw = multi * pw
        else:
            sw = view_w
            xs = first_shown(cx, scale_x, half_w, view_w, pw)
        if multi * ph < pane_h:
            dh = multi * ph
        else:
            sh = view_h
            ys = ph - view_h - first_shown(cy, scale_y, half_h, view_h, ph)
    xd = left
    if dw < pane_w:
        xd = {"right": right - dw, "left": left, "center": centered_start(left, right, dw)}[align]
    yd = centered_start(top, bottom, dh) if dh < pane_h else top
    return (xd, yd, dw, dh), (xs, ys, sw, sh), dw != pane_w or dh != pane_h


def view_blits(client_width, client_height, view, pictures):
    """The blits of one paint: (destination, source, picture) per pane. A
    picture that is None (one the module does not hold) leaves its pane to
    the background; the filtered picture, which places the pan centre, is
    always held."""
    filtered = pictures["filtered"]
    cx, cy = clamp_center(view["cx"], view["cy"], filtered.width, filtered.height)
    blits = []
    for name, pane, align in panes(client_width, client_height, view["screen"]):
        picture = pictures[name]
        if picture is None:
            continue
        dest, src, _ = layout(pane, align, picture.width, picture.height, filtered.width,
                           filtered.height, view["multi"], cx, cy)
        blits.append((dest, src, picture))
    return blits


# --- Comparison -------------------------------------------------------------

def samples(d, dest_size, src_size, enlarge_from_edge=False):
    """Source indices that destination pixel d of a stretch may show.

    Magnified: the one pixel under the destination pixel's centre (either
    neighbour when the centre falls exactly on their border), which is Wine's
    choice; with `enlarge_from_edge` also the pixel under its first edge,
    the other nearest-neighbour rule (the two differ only for factors that
    are not whole). Shrunk: any pixel that the destination pixel's extent
    overlaps; Wine takes one of them (the one at (d + 1) * src / dest - 1/2,
    counted from the bottom row for rows), so this is no looser than the
    rounding of another nearest-neighbour stretch.
    """
    if dest_size >= src_size:
        index, remainder = divmod((2 * d + 1) * src_size, 2 * dest_size)
        on_border = remainder == 0 and index > 0
        first = index - 1 if on_border else index
        if enlarge_from_edge:
            first = min(first, d * src_size // dest_size)
        return range(first, index + 1)
    first = (d * src_size) // dest_size
    return range(first, -((-(d + 1) * src_size) // dest_size))


def candidates(x, y, height, background, blits, enlarge_from_edge=False):
    """What pixel (x, y) of a client area `height` rows high may show: the
    source pixels (column, row from the top) of the blit over it, or the
    background outside every blit, as [((column, row) or None, rgb)]."""
    for (xd, yd, dw, dh), (xs, ys, sw, sh), picture in blits:
        if xd <= x < xd + dw and max(yd, 0) <= y < min(yd + dh, height):
            top = picture.height - ys - sh
            return [((xs + c, top + r), picture.pixel(xs + c, top + r))
                    for r in samples(y - yd, dh, sh, enlarge_from_edge)
                    for c in samples(x - xd, dw, sw, enlarge_from_edge)]
    return [(None, background)]


def mismatches(actual, background, blits, enlarge_from_edge=False):
    """Pixels of `actual` that neither the blits nor the background explain:
    each must equal one of its candidates (worked out here a row at a time)."""
    bad = []
    owner = {}
    for index, ((xd, yd, dw, dh), _, _) in enumerate(blits):
        for y in range(max(yd, 0), min(yd + dh, actual.height)):
            owner[y] = owner.get(y, []) + [index]
    for y in range(actual.height):
        row = actual.rgb[y * actual.width * 3:(y + 1) * actual.width * 3]
        spans = []
        for index in owner.get(y, []):
            (xd, yd, dw, dh), (xs, ys, sw, sh), picture = blits[index]
            top = picture.height - ys - sh
            rows = [top + r for r in samples(y - yd, dh, sh, enlarge_from_edge)]
            spans.append((xd, xd + dw, xs, sw, dw, picture, rows))
        for x in range(actual.width):
            got = row[x * 3:x * 3 + 3]
            span = next((s for s in spans if s[0] <= x < s[1]), None)
            if span is None:
                ok = got == background
            else:
                xd, _, xs, sw, dw, picture, rows = span
                columns = samples(x - xd, dw, sw, enlarge_from_edge)
                ok = got == picture.pixel(xs + columns[0], rows[0]) or any(
                    got == picture.pixel(xs + c, r) for c in columns for r in rows)
            if not ok:
                bad.append((x, y))
    return bad


def describe_mismatch(actual, background, blits, x, y, enlarge_from_edge=False):
    """One rejected pixel and its candidates side by side, as hexadecimal RGB:
    "(162, 0) shows 1a2b3c; may show (81, 0) 112233 | (80, 0) 445566"."""
    shown = [f"{where or 'background'} {rgb.hex()}"
             for where, rgb in candidates(x, y, actual.height, background, blits,
                                          enlarge_from_edge)]
    return f"({x}, {y}) shows {actual.pixel(x, y).hex()}; may show {' | '.join(shown)}"
