#!/usr/bin/env python3
"""Draws every picture of Rilvane into resources/images/.

    python3 resources/make_artwork.py              # regenerate all images
    python3 resources/make_artwork.py --sheet F    # also write a preview contact sheet to F

Besides the pictures the program compiles in, it draws the application icon for the desktop's
icon theme at every size in ICON_SIZES into resources/icons/rilvane-N.png (installed as
share/icons/hicolor/NxN/apps/rilvane.png), and the rescue window's as rilvane-rescue-N.png.

Everything is computed from code (no input files apart from the DejaVu fonts), so running the
script twice gives byte-identical PNGs. The build does not run it; the PNGs are committed.

Two families of pictures are made here:

* Smooth pictures (icon, tab images, side picture, logos, the Ueber/Ende plates) are drawn at a
  multiple of their size and reduced, so every edge is anti-aliased against transparency.
* Button glyphs are crisp pixel art on olive RGB(128,128,0), which the buttons treat as the
  transparent colour (they take it from the lower-left pixel). They must not be anti-aliased:
  a blended edge pixel would show up as an olive fringe. Each strip holds the normal image and
  a disabled image drawn only in olive, white and grey RGB(128,128,128), because the button
  recolours exactly those (white -> highlight, grey -> shadow, olive -> face).
"""

import colorsys
import math
import os
import sys

try:
    from PIL import Image, ImageChops, ImageDraw, ImageFilter, ImageFont
except ImportError:  # e.g. a private Python earlier in PATH; Debian's python3-pil lives in /usr/bin
    SYSTEM_PYTHON = "/usr/bin/python3"
    if os.path.exists(SYSTEM_PYTHON) and \
            os.path.realpath(sys.executable) != os.path.realpath(SYSTEM_PYTHON):
        os.execv(SYSTEM_PYTHON, [SYSTEM_PYTHON] + sys.argv)
    sys.exit("Pillow is missing: apt-get install python3-pil")

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, "images")
ICON_OUT = os.path.join(HERE, "icons")
ICON_SIZES = (16, 32, 48, 64, 128, 256)
FONT_DIR = "/usr/share/fonts/truetype/dejavu"
SANS_BOLD = os.path.join(FONT_DIR, "DejaVuSans-Bold.ttf")

OLIVE = (128, 128, 0)
GREY = (128, 128, 128)
WHITE = (255, 255, 255)

# Colours of the main window, used to keep the pictures in tune with it.
SALMON = (240, 202, 166)
PALE_GREEN = (192, 220, 192)
MAROON = (128, 0, 0)

SIZES = {
    "app-icon.png": (64, 64),
    "rescue-icon.png": (64, 64),
    "tab0.png": (16, 16),
    "tab1.png": (16, 16),
    "tab2.png": (16, 16),
    "image1.png": (193, 281),
    "logo-small.png": (24, 25),
    "logo-large.png": (306, 322),
    "ueber-normal.png": (101, 30),
    "ueber-pressed.png": (101, 30),
    "ende-normal.png": (101, 30),
    "ende-pressed.png": (101, 30),
    "glyph-play.png": (32, 16),
    "glyph-stop.png": (32, 16),
    "glyph-rew.png": (32, 16),
    "glyph-fwd.png": (32, 16),
    "glyph-last.png": (32, 16),
    "glyph-next.png": (32, 16),
    "glyph-save.png": (32, 16),
    "glyph-globe.png": (32, 16),
    "BBOKX.png": (36, 18),
    "BBCANCELX.png": (36, 18),
    "BBHELPX.png": (36, 18),
    "BBYESX.png": (36, 18),
    "BBNOX.png": (36, 18),
    "BBCLOSEX.png": (36, 18),
    "BBABORTX.png": (36, 18),
    "BBRETRYX.png": (36, 18),
    "BBIGNOREX.png": (36, 18),
    "BBALLX.png": (36, 19),
}


# --------------------------------------------------------------------------------------------
# small helpers

def clamp8(v):
    return 0 if v < 0 else 255 if v > 255 else int(round(v))


def mix(a, b, t):
    """Linear blend of two colour tuples (t = 0 gives a, t = 1 gives b)."""
    return tuple(a[i] + (b[i] - a[i]) * t for i in range(len(a)))


def rgb8(c):
    return tuple(clamp8(v) for v in c)


def smoothstep(e0, e1, x):
    if e1 == e0:
        return 0.0 if x < e0 else 1.0
    t = min(1.0, max(0.0, (x - e0) / (e1 - e0)))
    return t * t * (3 - 2 * t)


def font(path, size):
    return ImageFont.truetype(path, size)


def vgradient(w, h, top, bottom, stops=None):
    """RGBA image with a vertical gradient; stops is an optional list of (pos, colour)."""
    if stops is None:
        stops = [(0.0, top), (1.0, bottom)]
    col = Image.new("RGBA", (1, h))
    for y in range(h):
        t = y / max(1, h - 1)
        for i in range(len(stops) - 1):
            p0, c0 = stops[i]
            p1, c1 = stops[i + 1]
            if p0 <= t <= p1:
                c = mix(c0, c1, 0 if p1 == p0 else (t - p0) / (p1 - p0))
                break
        else:
            c = stops[-1][1]
        if len(c) == 3:
            c = tuple(c) + (255,)
        col.putpixel((0, y), rgb8(c))
    return col.resize((w, h), Image.NEAREST)


def solid(w, h, colour):
    if len(colour) == 3:
        colour = tuple(colour) + (255,)
    return Image.new("RGBA", (w, h), colour)


def paint(base, fill, mask):
    """Composite fill (image or colour) over base through an L mask; returns base."""
    if not isinstance(fill, Image.Image):
        fill = solid(base.width, base.height, fill)
    layer = fill.copy()
    a = ImageChops.multiply(layer.getchannel("A"), mask)
    layer.putalpha(a)
    base.alpha_composite(layer)
    return base


def soft_shadow(mask, offset, blur, opacity, colour=(0, 0, 0)):
    """A blurred, shifted copy of mask as an RGBA shadow layer of the same size."""
    w, h = mask.size
    m = Image.new("L", (w, h), 0)
    m.paste(mask, (int(offset[0]), int(offset[1])))
    m = m.filter(ImageFilter.GaussianBlur(blur))
    m = m.point(lambda v: int(v * opacity))
    layer = solid(w, h, colour)
    layer.putalpha(m)
    return layer


def reduce(img, size):
    """Scale a supersampled drawing down to its final size (alpha is premultiplied by Pillow)."""
    return img.resize(size, Image.LANCZOS)


def shifted(mask, dx, dy):
    m = Image.new("L", mask.size, 0)
    m.paste(mask, (dx, dy))
    return m


# --------------------------------------------------------------------------------------------
# the compact disc, shared by the icon, the tab image and the side picture

def cd_disc(diameter, ss, scratch=True, light=-0.78, vivid=False):
    """A CD seen from the label-less side: silver with a rainbow sheen, clear hub, centre hole.

    Returns an RGBA image of diameter*ss pixels (still supersampled) and the scratch is drawn
    on top when asked for: a dark groove with a bright lip, as light catches a real scratch.
    """
    n = diameter * ss
    R = n / 2.0
    img = Image.new("RGBA", (n, n), (0, 0, 0, 0))
    data = []
    for j in range(n):
        dy = j + 0.5 - R
        for i in range(n):
            dx = i + 0.5 - R
            d = math.hypot(dx, dy)
            r = d / R
            if r > 1.0 or r < 0.13:
                data.append((0, 0, 0, 0))
                continue
            th = math.atan2(dy, dx)
            if r < 0.175:  # edge of the centre hole (moulded, slightly darker)
                c = mix((176, 182, 192), (214, 218, 226), smoothstep(0.13, 0.175, r))
                data.append(rgb8(c) + (235,))
                continue
            if r < 0.34:  # clear hub with its two moulded rings
                v = 0.5 + 0.5 * math.cos(th - light)
                c = mix((214, 219, 228), (240, 243, 247), v)
                if 0.225 < r < 0.238 or 0.318 < r < 0.34:
                    c = mix(c, (176, 182, 194), 0.55)
                data.append(rgb8(c) + (230,))
                continue
            if r < 0.36:  # inner edge of the data area
                data.append((168, 174, 186, 255))
                continue
            # data area: silver, with diffraction colours in two opposite wedges and a white
            # streak of reflected light across them
            v = 0.5 + 0.5 * math.cos(th - light)
            base = mix((176, 182, 194), (232, 234, 240), v)
            wedge = max(0.0, math.cos(2 * (th - light - 0.9))) ** 2.2
            if vivid:  # small renderings: darker metal, broader colours, so the disc still reads
                base = mix((132, 140, 158), (206, 210, 220), v)
                wedge = min(1.0, 1.6 * wedge ** 0.6)
            hue = (r * 1.35 + 0.06 * math.sin(th - light) + 0.62) % 1.0
            rainbow = colorsys.hsv_to_rgb(hue, 0.62, 1.0)
            rainbow = tuple(255 * x for x in rainbow)
            c = mix(base, rainbow, 0.62 * wedge)
            streak = max(0.0, math.cos(2 * (th - light))) ** 14
            c = mix(c, (255, 255, 255), (0.45 if vivid else 0.7) * streak * (0.6 + 0.4 * r))
            if r > 0.965:  # rounded rim
                c = mix(c, (96, 102, 116), smoothstep(0.965, 1.0, r) * 0.85)
            data.append(rgb8(c) + (255,))
    img.putdata(data)
    if scratch:
        draw_scratches(img, R, ss)
    return img


def bezier(p0, p1, p2, steps=64):
    pts = []
    for k in range(steps + 1):
        t = k / steps
        a = (1 - t) ** 2
        b = 2 * (1 - t) * t
        c = t * t
        pts.append((a * p0[0] + b * p1[0] + c * p2[0], a * p0[1] + b * p1[1] + c * p2[1]))
    return pts


def draw_scratches(img, R, ss):
    """Scratches across the data area (clipped to it)."""
    n = img.width
    layer = Image.new("RGBA", (n, n), (0, 0, 0, 0))
    d = ImageDraw.Draw(layer)

    def pt(x, y):
        return (R + x * R, R + y * R)

    main = bezier(pt(-0.86, 0.06), pt(-0.52, 0.74), pt(0.30, 0.80))
    small = bezier(pt(0.20, -0.84), pt(0.50, -0.64), pt(0.62, -0.30), 24)
    fine = bezier(pt(-0.74, 0.02), pt(-0.46, 0.56), pt(0.02, 0.72), 24)
    w = max(1, int(round(0.045 * R)))
    for line, scale in ((main, 1.0), (small, 0.7), (fine, 0.45)):
        lw = max(1, int(round(w * scale)))
        lip = [(x - lw * 0.8, y - lw * 0.8) for x, y in line]
        d.line(lip, fill=(255, 255, 255, 235), width=lw, joint="curve")
        d.line(line, fill=(58, 60, 72, 245), width=lw, joint="curve")
    # keep the scratch on the shiny area only
    clip = Image.new("L", (n, n), 0)
    cd = ImageDraw.Draw(clip)
    cd.ellipse((R - 0.95 * R, R - 0.95 * R, R + 0.95 * R, R + 0.95 * R), fill=255)
    cd.ellipse((R - 0.37 * R, R - 0.37 * R, R + 0.37 * R, R + 0.37 * R), fill=0)
    layer.putalpha(ImageChops.multiply(layer.getchannel("A"), clip))
    img.alpha_composite(layer)


# --------------------------------------------------------------------------------------------
# application icon and tab images

def app_icon(size=64, rescue=False):
    """The icon, laid out on a 64-unit grid and drawn at 4 or more pixels per unit.

    Large sizes get a finer drawing; 32 px and less use the disc's darker, broader colours so
    it still reads as a disc. The rescue window's icon has a green badge with a white cross
    instead of the red one with the sound wave.
    """
    ss = max(4, size * 4 // 64)
    S = 64 * ss
    img = Image.new("RGBA", (S, S), (0, 0, 0, 0))
    disc = cd_disc(60, ss, vivid=size <= 32)
    dm = Image.new("L", (S, S), 0)
    ImageDraw.Draw(dm).ellipse((1 * ss, 1 * ss, 61 * ss, 61 * ss), fill=255)
    img.alpha_composite(soft_shadow(dm, (1 * ss, 2 * ss), 2 * ss, 0.45))
    img.alpha_composite(disc, (1 * ss, 1 * ss))

    # sound wave badge in the lower right corner
    bx0, by0, bx1, by1 = 31 * ss, 42 * ss, 63 * ss, 63 * ss
    bm = Image.new("L", (S, S), 0)
    ImageDraw.Draw(bm).rounded_rectangle((bx0, by0, bx1, by1), radius=6 * ss, fill=255)
    img.alpha_composite(soft_shadow(bm, (0, 1 * ss), 1.5 * ss, 0.5))
    if rescue:
        grad = vgradient(S, S, None, None, [(0.0, (0, 90, 30)), (by0 / S, (52, 160, 70)),
                                            (by1 / S, (0, 96, 36)), (1.0, (0, 96, 36))])
        paint(img, (0, 60, 20), bm)
    else:
        grad = vgradient(S, S, None, None, [(0.0, (120, 0, 0)), (by0 / S, (196, 44, 38)),
                                            (by1 / S, (104, 0, 0)), (1.0, (104, 0, 0))])
        paint(img, (70, 0, 0), bm)
    inner = Image.new("L", (S, S), 0)
    ImageDraw.Draw(inner).rounded_rectangle((bx0 + ss, by0 + ss, bx1 - ss, by1 - ss),
                                            radius=5 * ss, fill=255)
    paint(img, grad, inner)
    gloss = Image.new("L", (S, S), 0)
    ImageDraw.Draw(gloss).rounded_rectangle((bx0 + ss, by0 + ss, bx1 - ss, by0 + 9 * ss),
                                            radius=5 * ss, fill=70)
    paint(img, (255, 255, 255), gloss)
    d = ImageDraw.Draw(img)
    if rescue:
        # a white cross in the middle of the badge
        cx, cy = (bx0 + bx1) / 2, (by0 + by1) / 2 + 0.5 * ss
        arm, half = 7 * ss, 2.2 * ss
        d.rectangle((cx - arm, cy - half, cx + arm, cy + half), fill=(255, 255, 255, 255))
        d.rectangle((cx - half, cy - arm, cx + half, cy + arm), fill=(255, 255, 255, 255))
        return reduce(img, (size, size))
    # the wave: a decaying sine
    pts = []
    x0, x1 = bx0 + 4 * ss, bx1 - 4 * ss
    cy = (by0 + by1) / 2 + 0.5 * ss
    for k in range(121):
        t = k / 120
        env = math.sin(math.pi * t) ** 0.8
        y = cy - 6.2 * ss * env * math.sin(t * 2 * math.pi * 3.0)
        pts.append((x0 + (x1 - x0) * t, y))
    d.line(pts, fill=(255, 236, 200, 255), width=int(2.2 * ss), joint="curve")
    return reduce(img, (size, size))


# The 16 x 16 tab images are drawn pixel by pixel (anti-aliased drawing of such small shapes
# turns to mush); only the speaker's sound arcs are smoothed.
TAB_PAL = {
    "k": (52, 58, 74, 255),
    "G": (132, 140, 158, 255),
    "S": (188, 194, 208, 255),
    "W": (246, 248, 252, 255),
    "B": (24, 92, 214, 255),
    "b": (110, 160, 240, 255),
    "r": (128, 0, 0, 255),
    "R": (196, 40, 36, 255),
    "w": (255, 255, 255, 255),
}


def pixel_image(rows, palette, size=(16, 16)):
    img = Image.new("RGBA", size, (0, 0, 0, 0))
    for y, row in enumerate(rows):
        assert len(row) == size[0], row
        for x, ch in enumerate(row):
            if ch not in ". ":
                img.putpixel((x, y), palette[ch])
    return img


TAB_SPEAKER = [
    "................",
    "......kk........",
    ".....kWk........",
    "....kWSk........",
    "...kWSSk........",
    "kkkkWSSk........",
    "kWSkSSSk........",
    "kSSkSSGk........",
    "kSGkSSGk........",
    "kGGkSGGk........",
    "kkkkGGGk........",
    "...kGGGk........",
    "....kGGk........",
    ".....kGk........",
    "......kk........",
    "................",
]


def tab_speaker():
    img = pixel_image(TAB_SPEAKER, TAB_PAL)
    ss = 8
    arcs = Image.new("RGBA", (16 * ss, 16 * ss), (0, 0, 0, 0))
    d = ImageDraw.Draw(arcs)
    cx, cy = 7.0 * ss, 8.0 * ss
    for r in (3.6, 6.2):
        d.arc((cx - r * ss, cy - r * ss, cx + r * ss, cy + r * ss), -50, 50,
              fill=(16, 76, 200, 255), width=int(1.4 * ss))
    img.alpha_composite(reduce(arcs, (16, 16)))
    return img


TAB_WAV = [
    "..kkkkkkkkk.....",
    "..kWWWWWWWkk....",
    "..kWWWWWWWkSk...",
    "..kWWWWWWWkSSk..",
    "..kWWWWWWWkkkk..",
    "..kWWWWWWWWWWk..",
    "..kWWWWWBWWWWk..",
    "..kWWBWWBWBWWk..",
    "..kWWBBWBBBWWk..",
    "..kWBBBBBBBBWk..",
    "..kWBBBBBBBBWk..",
    "..kWWBBWBBBWWk..",
    "..kWWBWWBWBWWk..",
    "..kWWWWWBWWWWk..",
    "..kWWWWWWWWWWk..",
    "..kkkkkkkkkkkk..",
]


def tab_wavfile():
    return pixel_image(TAB_WAV, TAB_PAL)


NOTE = [
    "...r...",
    "...rr..",
    "...rRr.",
    "...r.rr",
    "...r..r",
    "...r.r.",
    ".rrr...",
    "rRrr...",
    "rrrr...",
    ".rr....",
]


def music_note(draw, x, y, h, colour, ss=1, flag=True):
    """An eighth note whose head centre is at (x, y); h is the stem height."""
    hw, hh = 0.36 * h, 0.26 * h
    draw.ellipse((x - hw, y - hh, x + hw, y + hh), fill=colour)
    sw = max(1, 0.12 * h)
    sx = x + hw - sw
    draw.rectangle((sx, y - h, sx + sw, y), fill=colour)
    if flag:
        draw.polygon([(sx, y - h), (sx + sw, y - h), (sx + 0.5 * h, y - 0.55 * h),
                      (sx + 0.42 * h, y - 0.42 * h), (sx + sw, y - 0.72 * h)], fill=colour)


def tab_cd_note():
    ss = 8
    img = Image.new("RGBA", (16, 16), (0, 0, 0, 0))
    disc = Image.new("RGBA", (16 * ss, 16 * ss), (0, 0, 0, 0))
    disc.alpha_composite(cd_disc(14, ss, scratch=False, vivid=True), (0, 0))
    ring = Image.new("L", disc.size, 0)
    ImageDraw.Draw(ring).ellipse((0, 0, 14 * ss - 1, 14 * ss - 1), outline=255, width=ss)
    paint(disc, (70, 76, 92), ring)
    img.alpha_composite(reduce(disc, (16, 16)))
    # the note in crisp pixels with a white rim where it lies on the disc
    ox, oy = 9, 6
    note = {(ox + x, oy + y): ch for y, row in enumerate(NOTE) for x, ch in enumerate(row)
            if ch != "."}
    for (x, y) in note:
        for dx in (-1, 0, 1):
            for dy in (-1, 0, 1):
                q = (x + dx, y + dy)
                if q not in note and 0 <= q[0] < 16 and 0 <= q[1] < 16 and img.getpixel(q)[3] > 0:
                    img.putpixel(q, TAB_PAL["w"])
    for (x, y), ch in note.items():
        img.putpixel((x, y), TAB_PAL[ch])
    return img


# --------------------------------------------------------------------------------------------
# the side picture (left green panel; its top 8..81 px are covered by the caption panel)

def side_picture():
    ss = 3
    W, H = 193, 281
    w, h = W * ss, H * ss
    img = vgradient(w, h, None, None, [(0.0, (228, 242, 228)), (0.45, (206, 230, 208)),
                                       (1.0, (160, 198, 168))])
    cx, cy = 96.5 * ss, 172 * ss
    u = ss

    # soft light behind the disc and faint ripples spreading from it
    glow = Image.new("L", (w, h), 0)
    ImageDraw.Draw(glow).ellipse((cx - 84 * u, cy - 84 * u, cx + 84 * u, cy + 84 * u), fill=150)
    glow = glow.filter(ImageFilter.GaussianBlur(26 * u))
    paint(img, (255, 255, 255), glow)
    ripples = Image.new("L", (w, h), 0)
    rd = ImageDraw.Draw(ripples)
    for k, r in enumerate((96, 114, 134, 156, 180)):
        rd.ellipse((cx - r * u, cy - r * u, cx + r * u, cy + r * u), outline=70 - 11 * k,
                   width=int(1.4 * u))
    paint(img, (255, 255, 255), ripples)

    # waves along the bottom
    wl = Image.new("RGBA", (w, h), (0, 0, 0, 0))
    wd = ImageDraw.Draw(wl)
    for amp, per, ph, y0, col, wid in ((9, 92, 0.0, 254, (255, 255, 255, 190), 2.2),
                                       (6, 64, 1.7, 258, (0, 110, 100, 120), 1.6),
                                       (11, 130, 3.1, 262, (255, 255, 255, 110), 1.3),
                                       (4, 44, 0.8, 267, (120, 0, 0, 80), 1.2)):
        pts = []
        for x in range(0, W + 1):
            env = 0.55 + 0.45 * math.sin(math.pi * x / W)
            pts.append((x * u, (y0 - amp * env * math.sin(2 * math.pi * x / per + ph)) * u))
        wd.line(pts, fill=col, width=int(wid * u), joint="curve")
    img.alpha_composite(wl)

    # headphones: band behind the disc, ear cups at its sides
    band_r = 80 * u
    band = Image.new("L", (w, h), 0)
    bd = ImageDraw.Draw(band)
    box = (cx - band_r, cy - band_r, cx + band_r, cy + band_r)
    bd.arc(box, 196, 344, fill=255, width=int(10 * u))
    img.alpha_composite(soft_shadow(band, (2 * u, 3 * u), 3 * u, 0.35))
    paint(img, (44, 46, 56), band)
    hl = Image.new("L", (w, h), 0)
    ImageDraw.Draw(hl).arc((cx - band_r + 2 * u, cy - band_r + 2 * u, cx + band_r - 2 * u,
                            cy + band_r - 2 * u), 206, 334, fill=150, width=int(2 * u))
    paint(img, (190, 196, 212), hl.filter(ImageFilter.GaussianBlur(0.6 * u)))

    disc_d = 114
    disc = cd_disc(disc_d, ss)
    dm = Image.new("L", (w, h), 0)
    ImageDraw.Draw(dm).ellipse((cx - disc_d / 2 * u, cy - disc_d / 2 * u, cx + disc_d / 2 * u,
                                cy + disc_d / 2 * u), fill=255)
    img.alpha_composite(soft_shadow(dm, (4 * u, 6 * u), 6 * u, 0.42, (20, 50, 30)))
    img.alpha_composite(disc, (int(cx - disc_d / 2 * u), int(cy - disc_d / 2 * u)))

    for side in (-1, 1):
        ex = cx + side * 77 * u
        ey = cy + 4 * u
        # yoke joining band and cup
        yk = Image.new("L", (w, h), 0)
        ImageDraw.Draw(yk).rounded_rectangle((ex - 4 * u, ey - 36 * u, ex + 4 * u, ey - 18 * u),
                                             radius=2 * u, fill=255)
        paint(img, (86, 90, 104), yk)
        cup = Image.new("L", (w, h), 0)
        ImageDraw.Draw(cup).rounded_rectangle((ex - 12 * u, ey - 27 * u, ex + 12 * u, ey + 27 * u),
                                              radius=10 * u, fill=255)
        img.alpha_composite(soft_shadow(cup, (3 * u, 4 * u), 4 * u, 0.45, (20, 50, 30)))
        shell = vgradient(w, h, None, None, [(0.0, (150, 20, 20)), ((ey - 27 * u) / h, (186, 38, 34)),
                                              ((ey + 27 * u) / h, (92, 0, 0)), (1.0, (92, 0, 0))])
        paint(img, shell, cup)
        # ear pad facing the disc
        px0 = ex - side * 12 * u
        padm = Image.new("L", (w, h), 0)
        ImageDraw.Draw(padm).rounded_rectangle((min(px0, px0 + side * 8 * u), ey - 24 * u,
                                                max(px0, px0 + side * 8 * u), ey + 24 * u),
                                               radius=4 * u, fill=255)
        paint(img, (46, 48, 58), padm)
        # highlight on the shell
        glm = Image.new("L", (w, h), 0)
        ImageDraw.Draw(glm).rounded_rectangle((ex - 7 * u + side * 2 * u, ey - 23 * u,
                                               ex - 3 * u + side * 2 * u, ey + 6 * u),
                                              radius=2 * u, fill=120)
        paint(img, (255, 255, 255), glm.filter(ImageFilter.GaussianBlur(1.5 * u)))

    # a few notes drifting up from the disc
    nl = Image.new("L", (w, h), 0)
    nd = ImageDraw.Draw(nl)
    music_note(nd, 24 * u, 114 * u, 18 * u, 255)
    music_note(nd, 166 * u, 104 * u, 14 * u, 255)
    music_note(nd, 180 * u, 120 * u, 10 * u, 255)
    img.alpha_composite(soft_shadow(nl, (u, 2 * u), 1.5 * u, 0.35, (20, 50, 30)))
    paint(img, (128, 0, 0), nl)

    out = reduce(img, (W, H)).convert("RGB")
    return out


# --------------------------------------------------------------------------------------------
# the maker's logo

def t_polygon(cx, cy, s):
    """The Tormend T: a broad crossbar with slanted ends over a stem that widens at its foot."""
    return [
        (cx - 0.60 * s, cy - 0.58 * s), (cx + 0.60 * s, cy - 0.58 * s),
        (cx + 0.52 * s, cy - 0.30 * s), (cx + 0.17 * s, cy - 0.30 * s),
        (cx + 0.17 * s, cy + 0.50 * s), (cx + 0.27 * s, cy + 0.64 * s),
        (cx - 0.27 * s, cy + 0.64 * s), (cx - 0.17 * s, cy + 0.50 * s),
        (cx - 0.17 * s, cy - 0.30 * s), (cx - 0.52 * s, cy - 0.30 * s),
    ]


def emblem(diameter, ss, detail=True, monogram=True):
    """Round Tormend emblem: gold ring, maroon enamel, silver T, glassy highlight."""
    n = diameter * ss
    R = n / 2.0
    lx, ly, lz = -0.45, -0.6, 0.66
    ln = math.sqrt(lx * lx + ly * ly + lz * lz)
    lx, ly, lz = lx / ln, ly / ln, lz / ln
    ring_in = 0.83
    data = []
    for j in range(n):
        y = (j + 0.5 - R) / R
        for i in range(n):
            x = (i + 0.5 - R) / R
            r = math.hypot(x, y)
            if r > 1.0:
                data.append((0, 0, 0, 0))
                continue
            ux, uy = (x / r, y / r) if r > 1e-9 else (0.0, 0.0)
            if r > ring_in + 0.02:
                # gold ring: half a torus lit from the upper left
                mid = (1.0 + ring_in + 0.02) / 2
                half = (1.0 - ring_in - 0.02) / 2
                t = max(-1.0, min(1.0, (r - mid) / half))
                nz = math.sqrt(max(0.0, 1 - t * t))
                dif = max(0.0, t * ux * lx + t * uy * ly + nz * lz)
                shine = dif ** 24
                c = mix((104, 64, 12), (255, 214, 112), dif)
                c = mix(c, (255, 250, 225), 0.85 * shine)
                alpha = 255 * smoothstep(1.0, 1.0 - 1.2 / R * ss, r) if r > 0.985 else 255
                data.append(rgb8(c) + (int(alpha),))
                continue
            if r > ring_in:
                data.append((58, 12, 6, 255))
                continue
            # enamel: a shallow dome
            k = 0.55
            nx, ny, nz = x * k, y * k, 1.0
            nl = math.sqrt(nx * nx + ny * ny + nz * nz)
            dif = max(0.0, (nx * lx + ny * ly + nz * lz) / nl)
            c = mix((70, 0, 0), (206, 46, 40), (dif - 0.45) / 0.55)
            if detail:
                c = mix(c, (0, 0, 0), 0.05 * (0.5 + 0.5 * math.sin(r * 150)))
            # darker towards the groove
            c = mix(c, (40, 0, 0), smoothstep(ring_in - 0.12, ring_in, r) * 0.5)
            data.append(rgb8(c) + (255,))
    img = Image.new("RGBA", (n, n))
    img.putdata(data)

    # the T
    tm = Image.new("L", (n, n), 0)
    if monogram:
        ImageDraw.Draw(tm).polygon(t_polygon(R, R * 1.03, R * 0.86), fill=255)
    img.alpha_composite(soft_shadow(tm, (0.05 * R, 0.07 * R), 0.045 * R, 0.6, (30, 0, 0)))
    metal = vgradient(n, n, None, None, [(0.0, (255, 255, 255)), (0.35, (236, 238, 244)),
                                         (0.55, (186, 190, 202)), (0.75, (226, 230, 238)),
                                         (1.0, (160, 166, 180))])
    paint(img, metal, tm)
    e = max(1, int(0.022 * R))
    hi = ImageChops.subtract(tm, shifted(tm, e, e))
    lo = ImageChops.subtract(tm, shifted(tm, -e, -e))
    paint(img, (255, 255, 255), hi)
    paint(img, (96, 100, 116), lo)

    # glass highlight over the upper half of the enamel
    if detail:
        gl = Image.new("L", (n, n), 0)
        gdata = []
        for j in range(n):
            y = (j + 0.5 - R) / R
            for i in range(n):
                x = (i + 0.5 - R) / R
                q = (x / 0.64) ** 2 + ((y + 0.40) / 0.40) ** 2
                if q >= 1.0 or math.hypot(x, y) > ring_in:
                    gdata.append(0)
                else:
                    fade = smoothstep(0.05, -0.78, y)
                    gdata.append(int(105 * fade * smoothstep(1.0, 0.7, q)))
        gl.putdata(gdata)
        paint(img, (255, 255, 255), gl)
    return img


def logo_large():
    ss = 2
    W, H = 306, 322
    w, h = W * ss, H * ss
    img = Image.new("RGBA", (w, h), (0, 0, 0, 0))
    D = 228
    ex, ey = (W - D) // 2, 6
    m = Image.new("L", (w, h), 0)
    ImageDraw.Draw(m).ellipse((ex * ss, ey * ss, (ex + D) * ss, (ey + D) * ss), fill=255)
    img.alpha_composite(soft_shadow(m, (6 * ss, 10 * ss), 9 * ss, 0.45, (60, 20, 0)))
    img.alpha_composite(emblem(D, ss), (ex * ss, ey * ss))

    # the name
    f = font(SANS_BOLD, 54 * ss)
    text = "Tormend"
    bb = f.getbbox(text)
    tw = bb[2] - bb[0]
    tx = (w - tw) // 2 - bb[0]
    ty = (H - 68) * ss - bb[1]
    tmask = Image.new("L", (w, h), 0)
    ImageDraw.Draw(tmask).text((tx, ty), text, font=f, fill=255)
    img.alpha_composite(soft_shadow(tmask, (2 * ss, 4 * ss), 3 * ss, 0.5, (60, 20, 0)))
    top = ty + bb[1]
    bot = ty + bb[3]
    grad = vgradient(w, h, None, None, [(0.0, (176, 30, 26)), (top / h, (190, 40, 34)),
                                        ((top + bot) / 2 / h, (140, 8, 8)), (bot / h, (84, 0, 0)),
                                        (1.0, (84, 0, 0))])
    paint(img, grad, tmask)
    hi = ImageChops.subtract(tmask, shifted(tmask, 0, 2 * ss))
    paint(img, (255, 220, 190), hi.point(lambda v: v * 3 // 4))
    # a thin gold rule under the name
    rule = Image.new("L", (w, h), 0)
    ry = bot + 8 * ss
    ImageDraw.Draw(rule).rounded_rectangle(((W / 2 - 92) * ss, ry, (W / 2 + 92) * ss, ry + 3 * ss),
                                           radius=1.5 * ss, fill=255)
    gold = vgradient(w, h, None, None, [(0.0, (255, 226, 140)), (ry / h, (255, 226, 140)),
                                        ((ry + 3 * ss) / h, (150, 100, 24)), (1.0, (150, 100, 24))])
    paint(img, gold, rule)
    return reduce(img, (W, H))


SMALL_T = [
    "WWWWWWWWWWWS",
    "SSSSSSSSSSSG",
    ".GGGSSSSGGG.",
    "....SSSG....",
    "....SSSG....",
    "....SSSG....",
    "....SSSG....",
    "....SSSG....",
    "....SSSG....",
    "...SSSSGG...",
]


def logo_small():
    ss = 8
    img = Image.new("RGBA", (24 * ss, 25 * ss), (0, 0, 0, 0))
    m = Image.new("L", img.size, 0)
    ImageDraw.Draw(m).ellipse((0, 0, 24 * ss, 24 * ss), fill=255)
    img.alpha_composite(soft_shadow(m, (0, 1 * ss), 0.7 * ss, 0.45))
    img.alpha_composite(emblem(24, ss, detail=False, monogram=False), (0, 0))
    small = reduce(img, (24, 25))
    # the T in whole pixels, so it stays sharp at this size
    pal = {"W": (255, 255, 255, 255), "S": (226, 228, 236, 255), "G": (150, 154, 170, 255)}
    ox, oy = 6, 6
    shadow = Image.new("RGBA", (24, 25), (0, 0, 0, 0))
    for y, row in enumerate(SMALL_T):
        for x, ch in enumerate(row):
            if ch != ".":
                shadow.putpixel((ox + x + 1, oy + y + 1), (50, 0, 0, 150))
    small.alpha_composite(shadow)
    for y, row in enumerate(SMALL_T):
        for x, ch in enumerate(row):
            if ch != ".":
                small.putpixel((ox + x, oy + y), pal[ch])
    return small


# --------------------------------------------------------------------------------------------
# Ueber / Ende plates

def plate(word, pressed):
    ss = 4
    W, H = 101, 30
    w, h = W * ss, H * ss
    img = Image.new("RGBA", (w, h), (0, 0, 0, 0))
    outer = Image.new("L", (w, h), 0)
    ImageDraw.Draw(outer).rounded_rectangle((0, 0, w - 1, h - 1), radius=9 * ss, fill=255)
    inner = Image.new("L", (w, h), 0)
    ImageDraw.Draw(inner).rounded_rectangle((ss, ss, w - 1 - ss, h - 1 - ss), radius=8 * ss, fill=255)
    sheen = Image.new("L", (w, h), 0)
    ImageDraw.Draw(sheen).rounded_rectangle((2 * ss, 2 * ss, w - 1 - 2 * ss, h // 2), radius=7 * ss,
                                            fill=255)
    if not pressed:
        paint(img, (92, 108, 150), outer)
        paint(img, vgradient(w, h, None, None, [(0.0, (255, 255, 255)), (0.5, (234, 239, 248)),
                                                (1.0, (200, 210, 230))]), inner)
        paint(img, (255, 255, 255), sheen.point(lambda v: v * 55 // 100))
        text_col, shade_col, shade_off = (0, 0, 120), (255, 255, 255), (0, 1)
    else:
        paint(img, (8, 12, 40), outer)
        paint(img, vgradient(w, h, None, None, [(0.0, (22, 30, 78)), (0.55, (38, 52, 118)),
                                                (1.0, (62, 82, 158))]), inner)
        shadow = ImageChops.subtract(inner, shifted(inner, 0, 2 * ss))
        paint(img, (0, 0, 20), shadow.point(lambda v: v * 60 // 100))
        text_col, shade_col, shade_off = (255, 222, 0), (0, 0, 30), (0, -1)
    small = reduce(img, (W, H))

    # the word, rendered at the final size so the glyph hinting keeps it sharp
    f = font(SANS_BOLD, 17)
    bb = f.getbbox(word)
    tx = (W - (bb[2] - bb[0])) / 2 - bb[0]
    ty = (H - (bb[3] - bb[1])) / 2 - bb[1]
    if pressed:
        tx += 1
        ty += 1
    tx, ty = int(round(tx)), int(round(ty))
    sh = Image.new("L", (W, H), 0)
    ImageDraw.Draw(sh).text((tx + shade_off[0], ty + shade_off[1]), word, font=f, fill=170)
    paint(small, shade_col, sh)
    tm = Image.new("L", (W, H), 0)
    ImageDraw.Draw(tm).text((tx, ty), word, font=f, fill=255)
    paint(small, text_col, tm)
    return small


# --------------------------------------------------------------------------------------------
# button glyphs: pixel art on olive

# Shared palette of the pixel art; every glyph picks from it, none of it equals olive.
PAL = {
    "K": (0, 0, 0),
    "k": (64, 64, 72),
    "G": (128, 128, 128),
    "S": (192, 192, 192),
    "W": (255, 255, 255),
    "g": (0, 96, 0),
    "E": (0, 168, 0),
    "L": (120, 232, 96),
    "r": (128, 0, 0),
    "R": (224, 16, 16),
    "P": (255, 136, 112),
    "n": (0, 0, 128),
    "B": (32, 80, 224),
    "b": (128, 176, 255),
    "t": (0, 112, 128),
    "C": (0, 216, 232),
    "c": (176, 248, 255),
    "Y": (255, 224, 0),
    "O": (150, 84, 30),
    "o": (206, 140, 72),
    "d": (96, 48, 12),
}


def mask_from_rows(rows):
    return {(x, y) for y, row in enumerate(rows) for x, ch in enumerate(row) if ch == "#"}


def stroke_mask(w, h, lines, radius):
    """Pixels whose centre lies within radius of one of the polylines (no anti-aliasing)."""
    out = set()
    for line in lines:
        for (ax, ay), (bx, by) in zip(line, line[1:]):
            vx, vy = bx - ax, by - ay
            ll = vx * vx + vy * vy
            for y in range(h):
                for x in range(w):
                    px, py = x + 0.5, y + 0.5
                    t = 0.0 if ll == 0 else max(0.0, min(1.0, ((px - ax) * vx + (py - ay) * vy) / ll))
                    qx, qy = ax + t * vx, ay + t * vy
                    if (px - qx) ** 2 + (py - qy) ** 2 <= radius * radius:
                        out.add((x, y))
    return out


def shade(mask, dark, mid, light, outline=True):
    """Colour a mask: dark outline (or dark lower/right edges), light upper/left inside."""
    cmap = {}
    for (x, y) in mask:
        up = (x, y - 1) in mask
        down = (x, y + 1) in mask
        left = (x - 1, y) in mask
        right = (x + 1, y) in mask
        edge = not (up and down and left and right)
        if outline:
            if edge:
                c = dark
            elif ((x - 1, y) in mask and not _inner(mask, x - 1, y)) or \
                    ((x, y - 1) in mask and not _inner(mask, x, y - 1)):
                c = light
            else:
                c = mid
        else:
            if not down or not right or (x + 1, y + 1) not in mask:
                c = dark
            elif not up or not left:
                c = light
            else:
                c = mid
        cmap[(x, y)] = c
    return cmap


def _inner(mask, x, y):
    return all(p in mask for p in ((x, y - 1), (x, y + 1), (x - 1, y), (x + 1, y)))


def layer(cmap, rows, palette=PAL):
    """Overlay a character map (palette letters, '.' or ' ' transparent) onto cmap."""
    for y, row in enumerate(rows):
        for x, ch in enumerate(row):
            if ch not in ". ":
                cmap[(x, y)] = palette[ch]
    return cmap


def disabled(cmap, size, ink):
    """The disabled twin: ink pixels in grey 128 with a white highlight one pixel down-right."""
    w, h = size
    inked = {p for p, c in cmap.items() if ink(c)}
    out = {}
    for (x, y) in inked:
        q = (x + 1, y + 1)
        if q not in inked and q[0] < w and q[1] < h:
            out[q] = WHITE
    for p in inked:
        out[p] = GREY
    return out


def default_ink(c):
    # everything but the light fills (white, silver, light tints) carries the shape
    return (0.299 * c[0] + 0.587 * c[1] + 0.114 * c[2]) < 185


def strip(cmap, size, height=None, ink=default_ink, dis=None):
    """Two cells side by side: normal, disabled; olive elsewhere."""
    w, h = size
    H = height or h
    img = Image.new("RGB", (2 * w, H), OLIVE)
    if dis is None:
        dis = disabled(cmap, (w, H), ink)
    for (x, y), c in cmap.items():
        assert 0 <= x < w and 0 <= y < H, (x, y)
        assert tuple(c) != OLIVE
        img.putpixel((x, y), tuple(c))
    for (x, y), c in dis.items():
        assert tuple(c) in (WHITE, GREY)
        img.putpixel((w + x, y), tuple(c))
    return img


GREEN3 = (PAL["g"], PAL["E"], PAL["L"])
RED3 = (PAL["r"], PAL["R"], PAL["P"])
BLUE3 = (PAL["n"], PAL["B"], PAL["b"])


def tri_right(x0, yc2, widths):
    """Right-pointing triangle, rows given by widths, left edge x0, rows centred at yc2/2."""
    m = set()
    y0 = (yc2 - len(widths)) // 2
    for k, wdt in enumerate(widths):
        for x in range(x0, x0 + wdt):
            m.add((x, y0 + k))
    return m


def mirror(mask, w):
    return {(w - 1 - x, y) for (x, y) in mask}


def glyph_play():
    m = tri_right(4, 16, [1, 3, 5, 7, 9, 11, 11, 9, 7, 5, 3, 1])
    return shade(m, *GREEN3)


def glyph_stop():
    m = {(x, y) for x in range(3, 13) for y in range(3, 13)}
    return shade(m, *BLUE3)


def step_back_mask():
    m = {(x, y) for x in range(2, 4) for y in range(3, 13)}
    widths = [1, 2, 3, 4, 5, 5, 4, 3, 2, 1]
    for tip in (4, 9):
        for k, wdt in enumerate(widths):
            for x in range(tip + 5 - wdt, tip + 5):
                m.add((x, 3 + k))
    return m


def glyph_rew():
    return shade(step_back_mask(), *BLUE3)


def glyph_fwd():
    return shade(mirror(step_back_mask(), 16), *BLUE3)


ARROW_RIGHT = [
    "................",
    "........#.......",
    "........##......",
    "........###.....",
    "........####....",
    "..##########....",
    "..###########...",
    "..############..",
    "..############..",
    "..###########...",
    "..##########....",
    "........####....",
    "........###.....",
    "........##......",
    "........#.......",
    "................",
]


def glyph_next():
    return shade(mask_from_rows(ARROW_RIGHT), *RED3)


def glyph_last():
    return shade(mirror(mask_from_rows(ARROW_RIGHT), 16), *RED3)


SAVE = [
    "kkkkkk......Rr..",
    "kWWWWkk.....Rr..",
    "kWGGWkSk....Rr..",
    "kWWWWkkkk.rRRRRr",
    "kWGGGGGWk..rRRr.",
    "kWWWWWWWk...rr..",
    "kWGGGGGWk.......",
    "kWWWWWWnnnnnnnn.",
    "kWGGGGGnBSSkSBBn",
    "kWWWWWWnBSSkSBBn",
    "kWGGGGGnBSSSSBBn",
    "kWWWWWWnBBBBBBBn",
    "kkkkkkknBWWWWWBn",
    ".......nBWGGGWBn",
    ".......nBWWWWWBn",
    ".......nnnnnnnnn",
]


def glyph_save():
    return layer({}, SAVE)


GLOBE = [
    "................",
    ".....nnnnnn.....",
    "...nnbbbEEBnn...",
    "..nbbEEEEgBBBn..",
    "..nbEEEEEgBBBn..",
    ".nbBEEEEgBBBBBn.",
    ".nbBBEEEgBBEEBn.",
    ".nBBBBEgBBEEEEn.",
    ".nBBBBEEBBEEEgn.",
    ".nBBBBBEEBBEEgn.",
    ".nBBBBBEEgBBEBn.",
    "..nBBBBEgBBBBn..",
    "..nBBBBBgBBBBn..",
    "...nnBBBBBBnn...",
    ".....nnnnnn.....",
    "................",
]


def glyph_globe():
    return layer({}, GLOBE)


# kind glyphs (18 x 18, BBALLX 18 x 19)

def tick_mask(ox, oy, scale=1.0):
    pts = [(ox + 2.0 * scale, oy + 8.6 * scale), (ox + 6.0 * scale, oy + 12.6 * scale),
           (ox + 14.6 * scale, oy + 3.4 * scale)]
    return stroke_mask(18, 19, [pts], 1.55 * scale)


def kind_tick():
    return shade(tick_mask(0.5, 0.5), *GREEN3, outline=False)


def kind_cross():
    m = stroke_mask(18, 18, [[(4.0, 4.0), (14.0, 14.0)], [(14.0, 4.0), (4.0, 14.0)]], 1.6)
    return shade(m, *RED3, outline=False)


HELP = [
    "..................",
    "......tttttt......",
    ".....tCccccCt.....",
    "....tCcttttCCt....",
    "....tCt....tCt....",
    "....ttt....tCt....",
    "..........tCCt....",
    ".........tCCt.....",
    "........tCCt......",
    "........tCt.......",
    "........tCt.......",
    "........ttt.......",
    "..................",
    "........ttt.......",
    "........tCt.......",
    "........ttt.......",
    "..................",
    "..................",
]


def kind_help():
    return layer({}, HELP)


def kind_no():
    cmap = {}
    ring = set()
    inside = set()
    for y in range(18):
        for x in range(18):
            d = math.hypot(x + 0.5 - 8.5, y + 0.5 - 8.5)
            if d <= 7.4:
                (ring if d >= 5.2 else inside).add((x, y))
    bar = {p for p in stroke_mask(18, 18, [[(4.0, 4.0), (13.0, 13.0)]], 1.5) if p in inside}
    for p in inside:
        cmap[p] = WHITE
    cmap.update(shade(ring | bar, *RED3, outline=False))
    return cmap


DOOR = [
    "..................",
    "...kkkkkkkkkkkk...",
    "...kSSSSSSSSSSk...",
    "...kSddddddddGk...",
    "...kSdooooooOGk...",
    "...kSdoOOOOoOGk...",
    "...kSdoOooOoOGk...",
    "...kSdoOooOoOGk...",
    "...kSdoOOOOoOGk...",
    "...kSdooooYYOGk...",
    "...kSdoOOOOoOGk...",
    "...kSdoOooOoOGk...",
    "...kSdoOooOoOGk...",
    "...kSdoOOOOoOGk...",
    "...kSdOOOOOOOGk...",
    "..kkkkkkkkkkkkkk..",
    "..................",
    "..................",
]


def kind_close():
    return layer({}, DOOR)


RETRY = [
    "..................",
    "..................",
    "..................",
    ".......####.......",
    ".......######.....",
    "....#...######....",
    "...###.....###....",
    "..#####.....###...",
    ".#######....###...",
    "...###....#######.",
    "...###.....#####..",
    "....###.....###...",
    "....######...#....",
    ".....######.......",
    ".......####.......",
    "..................",
    "..................",
    "..................",
]


def kind_retry():
    """Two arrows chasing each other clockwise round a circle."""
    return shade(mask_from_rows(RETRY), *GREEN3, outline=False)


RUNNER = [
    "..................",
    "..........nnn.....",
    ".........nBBBn....",
    ".........nBBBn....",
    "..........nnn.....",
    ".......nnnnn......",
    "......nBBBBBnnn...",
    ".....nBnBBBn.nBn..",
    "....nBn.nBBn..nn..",
    ".....n..nBBBn.....",
    "........nBBBBn....",
    ".......nBBnnBBn...",
    "......nBBn..nBBn..",
    ".....nBBn....nBn..",
    "..nnnBBn.....nBn..",
    "..nBBBn......nBBn.",
    "..nnnn........nnn.",
    "..................",
]


def kind_ignore():
    return layer({}, RUNNER)


def kind_all():
    """Two ticks; the right one tucks its short arm under the left one's long arm."""
    first = stroke_mask(18, 19, [[(1.4, 10.6), (4.6, 14.0), (10.2, 4.6)]], 1.35)
    second = stroke_mask(18, 19, [[(7.6, 11.6), (10.4, 14.6), (16.4, 4.6)]], 1.35)
    halo = {(x + dx, y + dy) for (x, y) in first for dx in (0, 1) for dy in (0, 1)}
    cmap = shade(second - halo, *GREEN3, outline=False)
    cmap.update(shade(first, *GREEN3, outline=False))
    return cmap


# --------------------------------------------------------------------------------------------

def ink_of(chars):
    cols = {PAL[ch] for ch in chars}
    return lambda c: tuple(c) in cols


def glyph_images():
    out = {}
    for name, fn, ink in (("play", glyph_play, default_ink), ("stop", glyph_stop, default_ink),
                          ("rew", glyph_rew, default_ink), ("fwd", glyph_fwd, default_ink),
                          ("last", glyph_last, default_ink), ("next", glyph_next, default_ink),
                          ("save", glyph_save, ink_of("kGnrR")),
                          ("globe", glyph_globe, ink_of("ngE"))):
        out["glyph-%s.png" % name] = strip(fn(), (16, 16), ink=ink)
    kinds = (("BBOKX", kind_tick, default_ink), ("BBCANCELX", kind_cross, default_ink),
             ("BBHELPX", kind_help, default_ink), ("BBYESX", kind_tick, default_ink),
             ("BBNOX", kind_no, default_ink), ("BBCLOSEX", kind_close, ink_of("kdOG")),
             ("BBABORTX", kind_cross, default_ink), ("BBRETRYX", kind_retry, default_ink),
             ("BBIGNOREX", kind_ignore, default_ink))
    for name, fn, ink in kinds:
        out[name + ".png"] = strip(fn(), (18, 18), ink=ink)
    out["BBALLX.png"] = strip(kind_all(), (18, 19))
    return out


def all_images():
    imgs = {
        "app-icon.png": app_icon(),
        "rescue-icon.png": app_icon(rescue=True),
        "tab0.png": tab_speaker(),
        "tab1.png": tab_wavfile(),
        "tab2.png": tab_cd_note(),
        "image1.png": side_picture(),
        "logo-small.png": logo_small(),
        "logo-large.png": logo_large(),
        "ueber-normal.png": plate("Ueber", False),
        "ueber-pressed.png": plate("Ueber", True),
        "ende-normal.png": plate("Ende", False),
        "ende-pressed.png": plate("Ende", True),
    }
    imgs.update(glyph_images())
    return imgs


def check(imgs):
    assert set(imgs) == set(SIZES), sorted(set(imgs) ^ set(SIZES))
    for name, img in imgs.items():
        assert img.size == SIZES[name], (name, img.size, SIZES[name])
        if name.startswith("glyph-") or name.startswith("BB"):
            assert img.mode == "RGB", name
            assert img.getpixel((0, img.height - 1)) == OLIVE, name
            half = img.width // 2
            for y in range(img.height):
                for x in range(half, img.width):
                    assert img.getpixel((x, y)) in (OLIVE, WHITE, GREY), (name, x, y)


def contact_sheet(imgs, path):
    """A preview: every picture on the background it will have in the window."""
    face = (240, 240, 240)
    sheet = Image.new("RGB", (1180, 980), (250, 250, 250))
    d = ImageDraw.Draw(sheet)
    lab = font(os.path.join(FONT_DIR, "DejaVuSans.ttf"), 11)

    def put(img, x, y, scale=1, bg=face, label=None):
        im = img.convert("RGBA")
        if scale != 1:
            im = im.resize((im.width * scale, im.height * scale), Image.NEAREST)
        back = Image.new("RGBA", im.size, bg + (255,))
        back.alpha_composite(im)
        sheet.paste(back.convert("RGB"), (x, y))
        if label:
            d.text((x, y + im.height + 2), label, font=lab, fill=(0, 0, 0))

    def unolive(img):
        im = img.convert("RGBA")
        px = im.load()
        for y in range(im.height):
            for x in range(im.width):
                if px[x, y][:3] == OLIVE:
                    px[x, y] = (0, 0, 0, 0)
        return im

    # side picture inside the green panel, with the caption panel over its top
    put(Image.new("RGB", (209, 320), PALE_GREEN), 10, 10, bg=PALE_GREEN)
    side = imgs["image1.png"].copy().convert("RGBA")
    sd = ImageDraw.Draw(side)
    sd.rectangle((8, 8, 8 + 176, 8 + 72), fill=SALMON, outline=(120, 100, 80))
    sd.text((16, 16), "Audio CD\nwiedergeben", font=font(SANS_BOLD, 19), fill=MAROON)
    put(side, 18, 18)
    put(imgs["logo-large.png"], 240, 10, bg=SALMON, label="logo-large on salmon")
    put(imgs["app-icon.png"], 570, 10, label="app-icon")
    put(imgs["app-icon.png"], 650, 10, scale=3, bg=(255, 255, 255))
    put(imgs["app-icon.png"], 850, 10, scale=3, bg=(40, 40, 48))
    x = 570
    for nm in ("tab0.png", "tab1.png", "tab2.png", "logo-small.png"):
        put(imgs[nm], x, 220, scale=4, label=nm)
        put(imgs[nm], x + 20, 330, scale=1)
        x += 110
    for k, nm in enumerate(("ueber-normal.png", "ueber-pressed.png", "ende-normal.png",
                            "ende-pressed.png")):
        put(imgs[nm], 570, 370 + 36 * k)
        put(imgs[nm], 690 + 220 * (k % 2), 370 + 70 * (k // 2), scale=2)
    # glyph strips as stored, then on the button face at 2x and 1x
    names = [n for n in sorted(imgs) if n.startswith("glyph-")] + \
            [n for n in sorted(imgs) if n.startswith("BB")]
    for k, nm in enumerate(names):
        im = imgs[nm]
        x0 = 10 + (k % 6) * 195
        y0 = 520 + (k // 6) * 150
        put(im, x0, y0, scale=4, label=nm)
        put(unolive(im), x0, y0 + im.height * 4 + 16, scale=2)
        put(unolive(im), x0 + im.width * 2 + 10, y0 + im.height * 4 + 16)
    sheet.save(path)


def write_qrc():
    """The resource list the build compiles (CMake reads the file names from it)."""
    lines = ['<!DOCTYPE RCC>', '<!-- written by make_artwork.py -->', '<RCC version="1.0">',
             '  <qresource prefix="/rilvane">']
    lines += ['    <file>images/%s</file>' % name for name in sorted(SIZES)]
    lines += ['  </qresource>', '</RCC>', '']
    with open(os.path.join(HERE, "rilvane.qrc"), "w", newline="\n") as f:
        f.write("\n".join(lines))


def main(argv):
    sheet = None
    if len(argv) >= 2 and argv[0] == "--sheet":
        sheet = argv[1]
    os.makedirs(OUT, exist_ok=True)
    imgs = all_images()
    check(imgs)
    for name in sorted(imgs):
        imgs[name].save(os.path.join(OUT, name), optimize=True)
    # read back what was written, to be sure of the stored sizes
    for name, size in SIZES.items():
        with Image.open(os.path.join(OUT, name)) as im:
            assert im.size == size, (name, im.size)
    write_qrc()
    os.makedirs(ICON_OUT, exist_ok=True)
    for size in ICON_SIZES:
        icon = imgs["app-icon.png"] if size == 64 else app_icon(size)
        assert icon.size == (size, size) and icon.mode == "RGBA", size
        icon.save(os.path.join(ICON_OUT, "rilvane-%d.png" % size), optimize=True)
        rescue = imgs["rescue-icon.png"] if size == 64 else app_icon(size, rescue=True)
        rescue.save(os.path.join(ICON_OUT, "rilvane-rescue-%d.png" % size), optimize=True)
    if sheet:
        contact_sheet(imgs, sheet)
    print("wrote %d images to %s and %d icons to %s" % (len(imgs), OUT, len(ICON_SIZES), ICON_OUT))


if __name__ == "__main__":
    main(sys.argv[1:])
