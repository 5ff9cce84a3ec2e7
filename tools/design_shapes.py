#!/usr/bin/env python3
"""Designs the 58 knob profiles and prints them as the C++ table of shape_defs.cpp.

Each profile is built from a few parameters (neck position and width, head size and
height, tilt, waves beside the knob) as key points with tangent directions, joined by
cubic curves that share their tangents, so every joint is smooth. Segments are then split
in half (de Casteljau, which leaves the curve unchanged) until the profile has the vertex
count the table needs. Every profile is checked before anything is printed.

    tools/design_shapes.py                      print the table
    tools/design_shapes.py --write FILE.cpp     replace the table inside FILE.cpp
"""

import math
import random
import re
import sys

COUNTS = [7, 11, 7, 7, 9, 9, 7, 7, 11, 9, 9, 11, 11, 11, 10, 10, 10, 10, 10, 10, 7, 7, 10, 10,
          13, 13, 11, 11, 13, 13, 9, 15, 9, 9, 10, 10, 9, 11, 11, 11, 10, 10, 10, 10, 10, 10,
          10, 10, 9, 9, 10, 10, 14, 14, 11, 11, 13, 13]

# The two profiles every puzzle file depends on, kept exactly as they were drawn by hand.
FIXED = {
    0: [
        (93.9453, -0.2002, 19.2000, 0.0000, 74.7561, -0.9716),
        (115.9717, -17.5957, 100.7791, 0.0746, 116.0389, -4.8837),
        (102.0274, -72.8046, 115.9114, -29.0112, 104.1079, -59.0309),
        (150.7582, -99.7984, 99.4810, -89.6629, 114.2243, -99.2729),
        (198.5661, -72.5538, 190.3442, -100.3679, 199.5918, -87.2582),
        (184.8748, -17.5957, 197.4302, -56.2691, 184.3466, -29.9071),
        (205.8659, -0.0713, 185.4133, -5.0439, 202.1352, 0.0967),
    ],
    28: [
        (18.7635, 0.0000, 0.0000, 0.0000, 0.0000, 0.0000),
        (58.3105, -5.0948, 34.6213, -0.1433, 41.8999, -4.9673),
        (117.5692, -0.1434, 72.6899, -5.2065, 91.6087, -2.1283),
        (124.5293, -18.3994, 121.6959, 0.1721, 125.1487, -9.8292),
        (104.1367, -58.0000, 123.4246, -33.6856, 107.9269, -47.2391),
        (105.6591, -90.5137, 101.8114, -64.6018, 99.0409, -83.9272),
        (149.3114, -99.8780, 112.3324, -97.1550, 124.8270, -100.8551),
        (176.0535, -89.6143, 166.6913, -99.1845, 171.9584, -92.9446),
        (190.6591, -59.0000, 182.7855, -84.1398, 189.8151, -72.3007),
        (182.6591, -27.0000, 191.1835, -50.7372, 187.5275, -33.7991),
        (169.6709, -5.5977, 177.4748, -19.7596, 169.2487, -10.7292),
        (176.0655, -0.3302, 169.9838, -1.7946, 172.4587, -0.1819),
        (274.9541, 0.0000, 189.6328, -0.8884, 250.4570, -0.4105),
    ],
}

# Per-shape parameters; anything left out takes the value in DEFAULTS. Lengths are in
# profile units (the side is 300 long, the knob 100 deep), angles in degrees.
#   c        neck centre x            nw       neck width at the neck points
#   fl, fr   foot spread left/right   nyl, nyr height of the neck points
#   ll, lr   neck lean (positive pinches the neck further above the neck point)
#   hl, hr   head half widths         hml, hmr height of the head's widest points
#   t        lean of the whole knob   sh       head offset across the neck
#   cx       crown offset across the head
#   tk       top fullness             nk       neck-to-head handle factor
#   depth    crown depth              waves    [(side, amplitude, length), ...] with side
#            'b' before or 'a' after the knob; negative amplitude points like the knob
#   jitter   how far points and angles wander from the plan, so knobs look cut by hand
DEFAULTS = dict(c=150, nw=64, fl=22, fr=22, nyl=19, nyr=19, ll=0, lr=0, hl=50, hr=50,
                hml=70, hmr=70, t=0, sh=0, cx=0, tk=0.62, nk=0.3, fk=0.45, depth=100.0,
                waves=(), jitter=1.3)

SHAPES = {
    # Simple set: plain knobs.
    # big round
    1: dict(nw=60, hl=54, hr=54, hml=66, hmr=66, tk=0.58),
    # wide squat oval
    2: dict(nw=74, nyl=14, nyr=14, fl=20, fr=20, hl=64, hr=62, hml=64, hmr=64, tk=0.7),
    # tall and narrow
    3: dict(nw=48, nyl=26, nyr=26, fl=18, fr=18, hl=39, hr=40, hml=76, hmr=76, tk=0.55),
    # leaning left
    4: dict(c=164, t=-12, hml=70, hmr=66, cx=-4),
    # leaning right
    5: dict(c=158, t=12, hml=65, hmr=71, cx=5),
    # off-centre left
    6: dict(c=135, sh=-3, hl=47, hr=47),
    # off-centre right
    7: dict(c=163, hl=44, hr=48, sh=4),
    # uneven shoulders
    8: dict(nyl=12, nyr=30, hml=64, hmr=74, sh=3),
    # egg, pointed top
    9: dict(c=146, nw=58, hl=46, hr=46, hml=64, hmr=64, tk=0.42),
    # mushroom
    10: dict(nw=58, nyl=22, nyr=22, hl=59, hr=59, hml=78, hmr=78, tk=0.8),
    # small head on a long neck
    11: dict(c=158, t=-3, nw=44, nyl=28, nyr=28, fl=20, fr=20, hl=36, hr=40, hml=74, hmr=74),
    # right of centre, leaning left
    12: dict(c=166, t=-10, hl=47, hr=51, hml=68, hmr=64),
    # squarish
    13: dict(hl=52, hr=52, hml=74, hmr=74, tk=0.86, nk=0.38),
    # leaning left, full left cheek
    14: dict(c=146, t=-8, ll=4, lr=-3, hl=56, hr=46, hml=68, hmr=72),
    # leaning right, full right cheek
    15: dict(c=138, t=8, ll=-3, lr=4, hl=46, hr=56, hml=72, hmr=68),
    # left of centre, leaning right
    16: dict(c=132, t=9, nyl=22, nyr=17, hl=49, hr=51),
    # right of centre, leaning left
    17: dict(c=170, t=-9, nyl=17, nyr=22, hl=51, hr=49),
    # lopsided head, heavy left
    18: dict(hl=60, hr=44, hml=64, hmr=72, cx=-6),
    # lopsided head, heavy right
    19: dict(hl=44, hr=60, hml=72, hmr=64, cx=6),
    # broad neck
    20: dict(c=152, nw=80, nyl=12, nyr=16, fl=16, fr=16, hl=58, hr=62, hml=68, hmr=68, tk=0.7),
    # slim
    21: dict(c=144, nw=50, nyl=24, nyr=24, hl=42, hr=42, hml=70, hmr=70, tk=0.5),
    # tilted oval, left
    22: dict(t=-7, nw=66, hl=58, hr=58, hml=72, hmr=72, tk=0.72),
    # tilted oval, right
    23: dict(t=7, nw=66, hl=58, hr=58, hml=72, hmr=72, tk=0.72),
    # uneven shoulders, high left
    24: dict(c=146, nyl=28, nyr=14, hl=52, hr=48, hml=74, hmr=64),
    # uneven shoulders, high right
    25: dict(c=146, nyl=14, nyr=28, hl=48, hr=52, hml=64, hmr=74),
    # compact round
    26: dict(c=142, nw=56, fl=30, fr=26, hl=47, hr=47, hml=62, hmr=62, tk=0.55),
    # soft neck
    27: dict(c=160, nw=68, hl=53, hr=51, hml=70, hmr=68, tk=0.66, nk=0.22),

    # Extended set: bolder knobs and the small waves beside them.
    # wave after
    29: dict(c=142, t=-3, waves=(('a', -5.0, 84),)),
    # wave before
    30: dict(c=162, waves=(('b', -4.0, 80),)),
    # wave before, dip after
    31: dict(nw=56, hl=46, hr=46, waves=(('b', -4.5, 62), ('a', 3.5, 58))),
    # wave after, leaning right
    32: dict(c=138, t=4, waves=(('a', -4.0, 82),)),
    # dip before
    33: dict(c=165, hl=53, hr=49, waves=(('b', 4.0, 78),)),
    # dip before, leaning left
    34: dict(c=172, t=-6, hl=56, hr=50, hml=72, hmr=66, waves=(('b', 3.5, 70),)),
    # squat, dip after
    35: dict(c=133, t=6.3, nw=70, nyl=15, nyr=15, hl=57, hr=53, hml=62, hmr=66,
             waves=(('a', 3.5, 70),)),
    # tall, wave after
    36: dict(c=134, nw=46, nyl=26, nyr=26, hl=40, hr=41, hml=76, hmr=76,
             waves=(('a', -5.0, 90),)),
    # waves both sides
    37: dict(waves=(('b', -4.0, 56), ('a', -4.0, 56))),
    # leaning left, dip before, wave after
    38: dict(t=-8, hl=54, hr=48, waves=(('b', 4.0, 60), ('a', -4.5, 60))),
    # leaning right, wave before, dip after
    39: dict(t=8, hl=48, hr=54, waves=(('b', -4.5, 60), ('a', 4.0, 60))),
    # strong lean left
    40: dict(c=142, t=-13, nyl=16, nyr=24, hl=52, hr=52, hml=68, hmr=64, cx=-6),
    # strong lean right
    41: dict(t=13, nyl=24, nyr=16, hl=52, hr=52, hml=64, hmr=68, cx=6),
    # wide cap, wave before
    42: dict(c=150, nw=60, hl=58, hr=57, hml=70, hmr=70, tk=0.8, waves=(('b', -3.0, 74),)),
    # wide cap, wave after
    43: dict(c=150, nw=56, hl=50, hr=60, hml=76, hmr=64, tk=0.68, waves=(('a', -3.0, 74),)),
    # far left
    44: dict(c=126, t=6.5, nyl=22, nyr=18, hl=48, hr=52),
    # far right
    45: dict(c=175, t=-7.2, nyl=18, nyr=22, hl=53, hr=49),
    # tall, dip before
    46: dict(c=168, nw=46, nyl=30, nyr=24, hl=38, hr=42, hml=76, hmr=74,
             waves=(('b', 4.5, 84),)),
    # tall, dip after
    47: dict(c=132, nw=46, nyl=24, nyr=30, hl=42, hr=38, hml=74, hmr=76,
             waves=(('a', 4.5, 84),)),
    # squat, wave before
    48: dict(c=160, t=4.9, nw=70, nyl=15, nyr=15, hl=54, hr=54, hml=66, hmr=66,
             waves=(('b', -5.5, 86),)),
    # squat, wave after
    49: dict(c=140, t=-4.9, nw=70, nyl=15, nyr=15, hl=54, hr=54, hml=66, hmr=66,
             waves=(('a', -5.5, 86),)),
    # hooked left
    50: dict(t=-2.1, hl=56, hr=34, hml=64, hmr=76, sh=-8, cx=-12, tk=0.7),
    # hooked right
    51: dict(t=2.6, hl=36, hr=58, hml=76, hmr=64, sh=8, cx=12, tk=0.7),
    # leaning left, waves both sides
    52: dict(t=-6, hl=50, hr=46, waves=(('b', -4.0, 58), ('a', -4.0, 58))),
    # leaning right, dips both sides
    53: dict(c=140, t=6, hl=46, hr=50, waves=(('b', 3.5, 58), ('a', 3.5, 58))),
    # squat, wave before, dip after
    54: dict(nw=70, nyl=15, nyr=15, hl=60, hr=58, hml=66, hmr=66, tk=0.74,
             waves=(('b', -5.0, 54), ('a', 2.5, 64))),
    # slim, dip before, wave after
    55: dict(nw=48, nyl=26, nyr=26, hl=42, hr=42, hml=74, hmr=74,
             waves=(('b', 2.5, 64), ('a', -5.0, 54))),
    # leaning left, wave before, dip after
    56: dict(c=146, t=-10, hml=70, hmr=64, waves=(('b', -4.5, 60), ('a', 3.0, 60))),
    # leaning right, dip before, wave after
    57: dict(c=154, t=10, hml=64, hmr=70, waves=(('b', 3.0, 60), ('a', -4.5, 60))),
}


def add(a, b):
    return (a[0] + b[0], a[1] + b[1])


def sub(a, b):
    return (a[0] - b[0], a[1] - b[1])


def mul(a, k):
    return (a[0] * k, a[1] * k)


def norm(a):
    length = math.hypot(a[0], a[1])
    return (a[0] / length, a[1] / length)


def rot(a, deg):
    r = math.radians(deg)
    return (a[0] * math.cos(r) - a[1] * math.sin(r), a[0] * math.sin(r) + a[1] * math.cos(r))


def lerp(a, b, t):
    return (a[0] + (b[0] - a[0]) * t, a[1] + (b[1] - a[1]) * t)


class Key:
    """A point the curve passes, its travel direction, and handle lengths either side."""

    def __init__(self, p, d, hin=None, hout=None):
        self.p, self.d, self.hin, self.hout = p, norm(d), hin, hout


def knob_keys(q, rng):
    """The knob drawn upright around its neck centre, then leaned by the tilt angle."""
    j = q['jitter']

    def jit(v, amount=1.0):
        return v + rng.uniform(-amount, amount) * j

    base = (q['c'], 0.0)
    tilt = q['t']

    def place(x, y):
        p = add(base, rot((x, y), tilt))
        return (jit(p[0]), jit(p[1]))

    def towards(d, lean=0.0):
        return rot(d, tilt + lean + jit(0, 2.5))

    sh = q['sh']
    neck_l = place(-q['nw'] / 2, -q['nyl'])
    neck_r = place(q['nw'] / 2, -q['nyr'])
    left_h = place(sh - q['hl'], -q['hml'])
    right_h = place(sh + q['hr'], -q['hmr'])
    crown = place(sh + q['cx'], -q['depth'])
    start = (jit(neck_l[0] - q['fl']), jit(0.0, 0.2))
    end = (jit(neck_r[0] + q['fr']), jit(0.0, 0.2))

    fk, nk, tk = q['fk'], q['nk'], q['tk']
    rise_l = q['hml'] - q['nyl']
    rise_r = q['hmr'] - q['nyr']
    # Each handle is a fraction of the stretch it spans: the foot turns a quarter circle
    # into the neck, the neck swells into the head, the top rounds over the crown.
    return [
        Key(start, rot((1, 0), jit(0, 1.5)), hout=fk * (neck_l[0] - start[0])),
        Key(neck_l, towards((0, -1), q['ll']), hin=0.62 * -neck_l[1], hout=jit(nk, 0.03) * rise_l),
        Key(left_h, towards((0, -1)), hin=jit(nk, 0.03) * rise_l, hout=tk * (q['depth'] - q['hml'])),
        Key(crown, towards((1, 0)), hin=jit(tk, 0.04) * (q['hl'] + q['cx']),
            hout=jit(tk, 0.04) * (q['hr'] - q['cx'])),
        Key(right_h, towards((0, 1)), hin=tk * (q['depth'] - q['hmr']), hout=jit(nk, 0.03) * rise_r),
        Key(neck_r, towards((0, 1), -q['lr']), hin=jit(nk, 0.03) * rise_r, hout=0.62 * -neck_r[1]),
        Key(end, rot((1, 0), jit(0, 1.5)), hin=fk * (end[0] - neck_r[0])),
    ]


def with_waves(keys, waves):
    """Adds a low wave on the straight part before and/or after the knob."""
    for side, amp, length in waves:
        if side == 'b':
            s = keys[0].p
            w0 = (s[0] - length, 0.0)
            crest = ((w0[0] + s[0]) / 2 - length * 0.06, amp)
            keys[0].hin = 0.3 * length
            keys[:0] = [Key(w0, (1, 0), hout=0.26 * length),
                        Key(crest, (1, 0), hin=0.22 * length, hout=0.22 * length)]
        else:
            e = keys[-1].p
            w1 = (e[0] + length, 0.0)
            crest = ((e[0] + w1[0]) / 2 + length * 0.06, amp)
            keys[-1].hout = 0.3 * length
            keys.extend([Key(crest, (1, 0), hin=0.22 * length, hout=0.22 * length),
                         Key(w1, (1, 0), hin=0.26 * length)])
    return keys


def segments(keys):
    segs = []
    for a, b in zip(keys, keys[1:]):
        chord = math.dist(a.p, b.p)
        ha = a.hout if a.hout is not None else 0.39 * chord
        hb = b.hin if b.hin is not None else 0.39 * chord
        segs.append([a.p, add(a.p, mul(a.d, ha)), sub(b.p, mul(b.d, hb)), b.p])
    return segs


def point_at(seg, t):
    p0, p1, p2, p3 = seg
    a, b, c = lerp(p0, p1, t), lerp(p1, p2, t), lerp(p2, p3, t)
    d, e = lerp(a, b, t), lerp(b, c, t)
    return lerp(d, e, t)


def split(seg, t):
    p0, p1, p2, p3 = seg
    a, b, c = lerp(p0, p1, t), lerp(p1, p2, t), lerp(p2, p3, t)
    d, e = lerp(a, b, t), lerp(b, c, t)
    m = lerp(d, e, t)
    return [p0, a, d, m], [m, e, c, p3]


def flatten(segs, steps=32):
    pts = [segs[0][0]]
    for s in segs:
        pts.extend(point_at(s, i / steps) for i in range(1, steps + 1))
    return pts


def curve_length(seg):
    pts = [point_at(seg, i / 16) for i in range(17)]
    return sum(math.dist(a, b) for a, b in zip(pts, pts[1:]))


def subdivide_to(segs, count):
    while len(segs) + 1 < count:
        i = max(range(len(segs)), key=lambda k: curve_length(segs[k]))
        segs[i:i + 1] = split(segs[i], 0.5)
    return segs


def scale_depth(segs, depth):
    deepest = min(p[1] for p in flatten(segs, 64))
    k = depth / -deepest
    return [[(p[0], p[1] * k) for p in s] for s in segs]


def to_vertices(segs):
    first = segs[0][0]
    rows = [(first[0], first[1], 0.0, 0.0, 0.0, 0.0)]
    for s in segs:
        rows.append((s[3][0], s[3][1], s[1][0], s[1][1], s[2][0], s[2][1]))
    return rows


def from_vertices(rows):
    return [[(a[0], a[1]), (b[2], b[3]), (b[4], b[5]), (b[0], b[1])]
            for a, b in zip(rows, rows[1:])]


def design(index):
    q = dict(DEFAULTS)
    q.update(SHAPES[index])
    rng = random.Random(index * 7919 + 17)
    keys = with_waves(knob_keys(q, rng), q['waves'])
    segs = scale_depth(segments(keys), q['depth'] + rng.uniform(-0.7, 0.7))
    return to_vertices(subdivide_to(segs, COUNTS[index]))


# Checks, the same ones the unit test makes on the compiled table.

def cross(o, a, b):
    return (a[0] - o[0]) * (b[1] - o[1]) - (a[1] - o[1]) * (b[0] - o[0])


def crosses(a, b, c, d):
    d1, d2 = cross(c, d, a), cross(c, d, b)
    d3, d4 = cross(a, b, c), cross(a, b, d)
    return d1 * d2 < 0 and d3 * d4 < 0


def widths(pts, y):
    xs = []
    for a, b in zip(pts, pts[1:]):
        if (a[1] - y) * (b[1] - y) <= 0 and a[1] != b[1]:
            xs.append(a[0] + (b[0] - a[0]) * (y - a[1]) / (b[1] - a[1]))
    return max(xs) - min(xs) if len(xs) >= 2 else 0.0


# How far inside the diagonal of each corner square every knob stays, in profile units.
CORNER_CLEARANCE = 2.0


def check(index, rows):
    problems = []
    if len(rows) != COUNTS[index]:
        problems.append('count %d' % len(rows))
    if abs(rows[0][1]) >= 1 or not 15 <= rows[0][0] <= 125:
        problems.append('first vertex %.1f,%.1f' % rows[0][:2])
    if abs(rows[-1][1]) >= 1 or not 170 <= rows[-1][0] <= 285:
        problems.append('last vertex %.1f,%.1f' % rows[-1][:2])
    segs = from_vertices(rows)
    pts = flatten(segs)
    top = min(p[1] for p in pts)
    if not -101.9 <= top <= -97:
        problems.append('depth %.2f' % top)
    if any(not 0 <= p[0] <= 300 or p[1] > 5.4 for p in pts):
        problems.append('out of the box')
    # A knob must stay out of the square at each end of its side that a knob of the
    # perpendicular side can reach into, or two neighbours' knobs would collide at a corner.
    crowded = [p for p in pts if -p[1] > min(p[0], 300 - p[0]) - CORNER_CLEARANCE]
    if crowded:
        problems.append('knob in a corner near %.1f,%.1f' % crowded[0])
    line = [(0.0, 0.0)] + pts + [(300.0, 0.0)]
    for i in range(len(line) - 1):
        for k in range(i + 2, len(line) - 1):
            if crosses(line[i], line[i + 1], line[k], line[k + 1]):
                problems.append('crossing near %.1f,%.1f' % line[i])
                break
    levels = [-15 - 0.5 * i for i in range(int((-top / 2 - 15) / 0.5) + 1)]
    narrow_y = min(levels, key=lambda y: widths(pts, y))
    narrow = widths(pts, narrow_y)
    wide = max(widths(pts, narrow_y - 0.5 * i) for i in range(int((narrow_y - top) / 0.5)))
    if wide - narrow < 15:
        problems.append('head %.1f not wider than neck %.1f' % (wide, narrow))
    dirs_in = [(1.0, 0.0)] + [norm(sub(s[3], s[2] if s[2] != s[3] else s[1])) for s in segs]
    dirs_out = [norm(sub(s[1] if s[1] != s[0] else s[2], s[0])) for s in segs] + [
        norm(sub((300.0, 0.0), segs[-1][3]))]
    for k, (a, b) in enumerate(zip(dirs_in, dirs_out)):
        angle = math.degrees(math.acos(max(-1.0, min(1.0, a[0] * b[0] + a[1] * b[1]))))
        if angle > 20:
            problems.append('corner %.0f deg at vertex %d' % (angle, k))
    return problems, narrow, wide


# Random joints pick from the whole table, so no two profiles may be alike: their leftmost and
# rightmost points at each depth differ somewhere by more than this, in profile units.
MIN_DIFFERENCE = 5.0


def outline(rows):
    line = [(0.0, 0.0)] + flatten(from_vertices(rows)) + [(300.0, 0.0)]
    spans = []
    for y in range(-4, -97, -4):
        xs = [a[0] + (b[0] - a[0]) * (y - a[1]) / (b[1] - a[1])
              for a, b in zip(line, line[1:]) if (a[1] - y) * (b[1] - y) <= 0 and a[1] != b[1]]
        spans += [min(xs), max(xs)] if xs else [0.0, 0.0]
    return spans


def table():
    out = []
    outlines = []
    failed = False
    for index in range(len(COUNTS)):
        rows = FIXED[index] if index in FIXED else design(index)
        problems, narrow, wide = check(index, rows)
        print('shape %2d: neck %5.1f head %5.1f %s' % (index, narrow, wide, ' '.join(problems)),
              file=sys.stderr)
        failed |= bool(problems)
        outlines.append(outline(rows))
        body = ',\n          '.join('{%s}' % ', '.join('%.4f' % v for v in r) for r in rows)
        out.append('    {%d, {{%s}}},' % (len(rows), body))
    for a in range(len(outlines)):
        for b in range(a + 1, len(outlines)):
            difference = max(abs(x - y) for x, y in zip(outlines[a], outlines[b]))
            if difference <= MIN_DIFFERENCE:
                print('shapes %d and %d are alike (%.1f)' % (a, b, difference), file=sys.stderr)
                failed = True
    return '\n'.join(out), failed


def main():
    text, failed = table()
    if failed:
        sys.exit('some profiles fail their checks')
    if len(sys.argv) == 3 and sys.argv[1] == '--write':
        path = sys.argv[2]
        with open(path) as f:
            source = f.read()
        pattern = re.compile(r'(g_shapeDefs = \{\{\n).*?(^\}\};)', re.S | re.M)
        if not pattern.search(source):
            sys.exit('no table found in ' + path)
        source = pattern.sub(lambda m: m.group(1) + text + '\n' + m.group(2), source)
        with open(path, 'w') as f:
            f.write(source)
    else:
        print(text)


if __name__ == '__main__':
    main()
