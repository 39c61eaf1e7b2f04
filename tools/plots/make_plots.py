#!/usr/bin/env python3
"""Draws the pictures of docs/plots from the recorded results beside them.

Every picture NAME.svg is drawn from NAME.csv in the same folder: a small
table of results copied from the documentation, with '#' lines saying where
they come from. Only the standard library is used, and the SVG is written
directly, so that a fresh machine with python3 draws them (make plots).

All tables are read and checked before anything is written, and each picture
is written under a temporary name and renamed into place: a table with a
mistake stops the run with its file and line, and leaves every picture as it
was.

    tools/plots/make_plots.py [--data DIR] [--out DIR]
"""

import argparse
import csv
import math
import os
import sys
import tempfile
from xml.sax.saxutils import escape, quoteattr


class DataError(Exception):
    """A recorded table that cannot be drawn: the message names file and line."""


# Colours told apart by colour-blind readers (Okabe and Ito), and greys.
BLUE, ORANGE, GREEN, RED, SKY, PURPLE = "#0072B2", "#E69F00", "#009E73", "#D55E00", "#56B4E9", "#CC79A7"
INK, GREY, LIGHT, GRID = "#222222", "#666666", "#AAAAAA", "#E4E4E4"
FONT = "DejaVu Sans, Verdana, Helvetica, Arial, sans-serif"
MINUS = "\u2212"


# ---------------------------------------------------------------------------
# Reading the recorded tables


class Row:
    """One line of a recorded table: its fields by column, and where it stands."""

    def __init__(self, path, line, fields):
        self.path, self.line, self.fields = path, line, fields

    def fail(self, message):
        raise DataError(f"{self.path}:{self.line}: {message}")

    def text(self, column):
        return self.fields[column].strip()

    def number(self, column, optional=False):
        value = self.text(column)
        if value == "":
            if optional:
                return None
            self.fail(f"{column} is empty")
        try:
            number = float(value)
        except ValueError:
            self.fail(f"{column} {value!r} is not a number")
        if not math.isfinite(number):
            self.fail(f"{column} {value!r} is not a finite number")
        return number

    def count(self, column, optional=False):
        number = self.number(column, optional)
        if number is not None and (number < 0 or number != int(number)):
            self.fail(f"{column} {self.text(column)!r} is not a count")
        return None if number is None else int(number)


def read_table(path, columns):
    """The rows of a CSV file with a header holding at least `columns`;
    blank lines and lines starting with '#' are skipped."""
    try:
        with open(path, newline="", encoding="utf-8") as handle:
            lines = [(number, text) for number, text in enumerate(handle, 1)
                     if text.strip() and not text.lstrip().startswith("#")]
    except OSError as error:
        raise DataError(f"{path}: {error.strerror}")
    except UnicodeDecodeError:
        raise DataError(f"{path}: not UTF-8 text")
    if not lines:
        raise DataError(f"{path}: no header and no rows")
    records = list(csv.reader(text for _, text in lines))
    header = [name.strip() for name in records[0]]
    missing = [name for name in columns if name not in header]
    if missing:
        raise DataError(f"{path}:{lines[0][0]}: header lacks {', '.join(missing)}")
    rows = []
    for (line, _), record in zip(lines[1:], records[1:]):
        if len(record) != len(header):
            raise DataError(f"{path}:{line}: {len(record)} fields, the header has {len(header)}")
        rows.append(Row(path, line, dict(zip(header, record))))
    if not rows:
        raise DataError(f"{path}: a header and no rows")
    return rows


class Match:
    """A match result as recorded: games, W/D/L where known, Elo and its
    interval where the games allow one."""

    def __init__(self, row):
        self.row = row
        self.games = row.count("games")
        self.wins, self.draws, self.losses = (row.count(c, optional=True) for c in ("wins", "draws", "losses"))
        self.elo = row.number("elo")
        self.lo, self.hi = row.number("lo", optional=True), row.number("hi", optional=True)
        if (self.lo is None) != (self.hi is None):
            row.fail("lo and hi are given together or not at all")
        if self.lo is not None and not self.lo <= self.elo <= self.hi:
            row.fail(f"elo {row.text('elo')} lies outside its interval {row.text('lo')} .. {row.text('hi')}")
        known = [n for n in (self.wins, self.draws, self.losses) if n is not None]
        if known and len(known) != 3:
            row.fail("wins, draws and losses are given together or not at all")
        if len(known) == 3 and sum(known) != self.games:
            row.fail(f"wins, draws and losses add up to {sum(known)}, not to the {self.games} games")

    @property
    def has_interval(self):
        return self.lo is not None

    def label(self):
        """The recorded Elo and interval as the docs write them, with true minus signs."""
        elo = signed(self.row.text("elo"))
        if not self.has_interval:
            return f"about {elo}"
        return f"{elo} ({signed(self.row.text('lo'))} .. {signed(self.row.text('hi'))})"


MATCH_COLUMNS = ["games", "wins", "draws", "losses", "elo", "lo", "hi"]


def signed(text):
    """A recorded number with its sign: '+' before a positive one, a true minus."""
    text = text.strip()
    if text.startswith("-"):
        return MINUS + text[1:]
    if text.startswith("+") or float(text) == 0:
        return text
    return "+" + text


# ---------------------------------------------------------------------------
# Writing SVG


def fmt(value):
    """A coordinate with one decimal at most, the same text on every machine."""
    text = f"{value:.1f}".rstrip("0").rstrip(".")
    return "0" if text in ("-0", "") else text


class Svg:
    def __init__(self, width, height, title):
        self.width, self.height = width, height
        self.parts = [f"<title>{escape(title)}</title>",
                      f'<rect width="{fmt(width)}" height="{fmt(height)}" fill="white"/>']

    def element(self, tag, content=None, **attrs):
        text = "".join(f" {name.rstrip('_').replace('_', '-')}={quoteattr(fmt(value) if isinstance(value, float) else str(value))}"
                       for name, value in attrs.items() if value is not None)
        self.parts.append(f"<{tag}{text}/>" if content is None else f"<{tag}{text}>{escape(content)}</{tag}>")

    def line(self, x1, y1, x2, y2, stroke=INK, width=1.0, dash=None, class_=None):
        self.element("line", x1=float(x1), y1=float(y1), x2=float(x2), y2=float(y2), stroke=stroke,
                     stroke_width=float(width), stroke_dasharray=dash, class_=class_)

    def rect(self, x, y, w, h, fill, stroke=None, opacity=None, class_=None):
        self.element("rect", x=float(x), y=float(y), width=float(w), height=float(h), fill=fill,
                     stroke=stroke, fill_opacity=opacity, class_=class_)

    def polyline(self, points, stroke, width=2.0, dash=None, class_=None):
        self.element("polyline", points=" ".join(f"{fmt(x)},{fmt(y)}" for x, y in points), fill="none",
                     stroke=stroke, stroke_width=float(width), stroke_dasharray=dash,
                     stroke_linejoin="round", class_=class_)

    def polygon(self, points, fill, opacity=None, class_=None):
        self.element("polygon", points=" ".join(f"{fmt(x)},{fmt(y)}" for x, y in points), fill=fill,
                     fill_opacity=opacity, class_=class_)

    def marker(self, x, y, shape, colour, hollow=False, size=5.0, class_="point"):
        """A data point: a circle, square or diamond, filled or hollow."""
        fill = "white" if hollow else colour
        if shape == "circle":
            self.element("circle", cx=float(x), cy=float(y), r=float(size), fill=fill, stroke=colour,
                         stroke_width=1.8, class_=class_)
        elif shape == "square":
            s = size * 0.9
            self.rect(x - s, y - s, 2 * s, 2 * s, fill, stroke=colour, class_=class_)
        else:
            s = size * 1.25
            self.element("polygon", points=f"{fmt(x)},{fmt(y - s)} {fmt(x + s)},{fmt(y)} {fmt(x)},{fmt(y + s)} {fmt(x - s)},{fmt(y)}",
                         fill=fill, stroke=colour, stroke_width=1.8, class_=class_)

    def text(self, x, y, content, size=12, anchor="start", colour=INK, weight=None, rotate=False, italic=False):
        transform = f"rotate(-90 {fmt(x)} {fmt(y)})" if rotate else None
        self.element("text", content, x=float(x), y=float(y), font_size=size, text_anchor=anchor,
                     fill=colour, font_weight=weight, font_style="italic" if italic else None,
                     transform=transform)

    def render(self):
        return "\n".join([
            '<?xml version="1.0" encoding="UTF-8"?>',
            f'<svg xmlns="http://www.w3.org/2000/svg" width="{fmt(self.width)}" height="{fmt(self.height)}" '
            f'viewBox="0 0 {fmt(self.width)} {fmt(self.height)}" font-family={quoteattr(FONT)}>',
            *self.parts, "</svg>", ""])


def text_width(text, size):
    """About how wide a line of text is: DejaVu Sans averages a little over
    half an em a character (a little under for lower case)."""
    return 0.57 * size * len(text)


class Scale:
    """Maps data values linearly onto the canvas (reversed for y)."""

    def __init__(self, lo, hi, start, end):
        self.lo, self.hi, self.start, self.end = lo, hi, start, end

    def __call__(self, value):
        return self.start + (value - self.lo) * (self.end - self.start) / (self.hi - self.lo)


def nice_step(span, count):
    """A round step (1, 2, 2.5 or 5 times a power of ten) giving about `count` ticks."""
    raw = span / max(count, 1)
    power = 10 ** math.floor(math.log10(raw))
    for factor in (1, 2, 2.5, 5, 10):
        if factor * power >= raw:
            return factor * power
    return 10 * power


def nice_range(lo, hi, count=6, pad=0.05):
    """A range holding lo..hi with a little room, widened to round ticks, and those ticks."""
    if hi <= lo:
        lo, hi = lo - 1, hi + 1
    room = (hi - lo) * pad
    step = nice_step(hi - lo + 2 * room, count)
    first = math.floor((lo - room) / step) * step
    last = math.ceil((hi + room) / step) * step
    ticks = [first + i * step for i in range(int(round((last - first) / step)) + 1)]
    return first, last, ticks


def tick_text(value, signs=False):
    text = f"{value:.10g}"
    if signs and value > 0:
        text = "+" + text
    return text.replace("-", MINUS)


class Panel:
    """A plotting area with its two scales, its grid and its axes."""

    def __init__(self, svg, left, top, width, height, x_range, y_range):
        self.svg, self.left, self.top, self.width, self.height = svg, left, top, width, height
        self.x = Scale(x_range[0], x_range[1], left, left + width)
        self.y = Scale(y_range[0], y_range[1], top + height, top)

    @property
    def bottom(self):
        return self.top + self.height

    @property
    def right(self):
        return self.left + self.width

    def y_grid(self, ticks, label, signs=False, zero=False):
        for tick in ticks:
            y = self.y(tick)
            self.svg.line(self.left, y, self.right, y, stroke=GREY if zero and tick == 0 else GRID,
                          width=1.2 if zero and tick == 0 else 1.0)
            self.svg.text(self.left - 7, y + 4, tick_text(tick, signs), size=11, anchor="end", colour=GREY)
        self.svg.text(self.left - 46, self.top + self.height / 2, label, size=12, anchor="middle", rotate=True)

    def x_grid(self, ticks, label, signs=False, zero=False):
        for tick in ticks:
            x = self.x(tick)
            self.svg.line(x, self.top, x, self.bottom, stroke=GREY if zero and tick == 0 else GRID,
                          width=1.2 if zero and tick == 0 else 1.0)
            self.svg.text(x, self.bottom + 16, tick_text(tick, signs), size=11, anchor="middle", colour=GREY)
        self.svg.text(self.left + self.width / 2, self.bottom + 36, label, size=12, anchor="middle")

    def frame(self):
        self.svg.line(self.left, self.top, self.left, self.bottom, stroke=GREY)
        self.svg.line(self.left, self.bottom, self.right, self.bottom, stroke=GREY)

    def heading(self, text):
        self.svg.text(self.left, self.top - 10, text, size=13, weight="bold")

    def interval(self, x, lo, hi, colour, dash=None):
        """A vertical 95% interval with end caps, from lo to hi in data units."""
        y1, y2 = self.y(lo), self.y(hi)
        self.svg.line(x, y1, x, y2, stroke=colour, width=1.8, dash=dash, class_="interval")
        for y in (y1, y2):
            self.svg.line(x - 4, y, x + 4, y, stroke=colour, width=1.8)


def legend(svg, x, y, entries, size=11):
    """A boxed legend at (x, y): each entry a (draw, text) pair, draw(svg, cx, cy)
    putting its sample at the centre of a 22-pixel slot."""
    width = 34 + max(text_width(text, size) for _, text in entries) + 8
    height = 18 * len(entries) + 8
    svg.rect(x, y, width, height, "white", stroke=LIGHT, opacity=0.92)
    for i, (draw, text) in enumerate(entries):
        cy = y + 13 + 18 * i
        draw(svg, x + 16, cy)
        svg.text(x + 32, cy + 4, text, size=size)
    return width, height


def legend_row(svg, x, y, entries, size=11, gap=22):
    """A legend on one line from (x, y), unboxed, for above or below a panel."""
    for draw, text in entries:
        draw(svg, x + 11, y - 4)
        svg.text(x + 27, y, text, size=size)
        x += 27 + text_width(text, size) + gap
    return x


def sample_marker(shape, colour, hollow=False, interval=False, dash=None):
    def draw(svg, cx, cy):
        if interval:
            svg.line(cx, cy - 7, cx, cy + 7, stroke=colour, width=1.8, dash=dash)
        svg.marker(cx, cy, shape, colour, hollow, size=4.5, class_=None)
    return draw


def sample_line(colour, dash=None, width=2.0):
    def draw(svg, cx, cy):
        svg.line(cx - 11, cy, cx + 11, cy, stroke=colour, width=width, dash=dash)
    return draw


def sample_band(colour, opacity):
    def draw(svg, cx, cy):
        svg.rect(cx - 11, cy - 6, 22, 12, colour, opacity=opacity)
    return draw


# ---------------------------------------------------------------------------
# The network generations


class Gate(Match):
    def __init__(self, row):
        super().__init__(row)
        self.generation = row.count("generation")
        self.format = row.text("format")
        self.against = row.text("against")
        self.limit = row.text("limit")
        if self.generation < 1:
            row.fail("generation numbers start at 1")
        if self.against not in ("previous", "hand-crafted"):
            row.fail(f"against {self.against!r} is neither 'previous' nor 'hand-crafted'")
        if not self.limit:
            row.fail("limit is empty")


def read_generations(path):
    gates = [Gate(row) for row in read_table(path, ["generation", "format", "against", "limit"] + MATCH_COLUMNS)]
    seen = set()
    for gate in gates:
        key = (gate.generation, gate.against, gate.limit)
        if key in seen:
            gate.row.fail(f"generation {gate.generation} has two rows against {gate.against} at {gate.limit}")
        seen.add(key)
    return gates


def chained_against_hand_crafted(gates, clock):
    """Each generation's Elo over the hand-crafted evaluation at the clock:
    measured where it was, otherwise the generation before's plus this one's
    gate against it at the same clock (the interval's halves added in
    quadrature). Returns {generation: (elo, lo, hi, measured)}."""
    measured = {g.generation: g for g in gates if g.against == "hand-crafted" and g.limit == clock}
    step = {g.generation: g for g in gates if g.against == "previous" and g.limit == clock}
    values = {}
    for generation in sorted({g.generation for g in gates}):
        if generation in measured:
            g = measured[generation]
            if g.has_interval:
                values[generation] = (g.elo, g.lo, g.hi, True)
        elif generation in step and generation - 1 in values and step[generation].has_interval:
            base, gate = values[generation - 1], step[generation]
            elo = base[0] + gate.elo
            below = math.hypot(base[0] - base[1], gate.elo - gate.lo)
            above = math.hypot(base[2] - base[0], gate.hi - gate.elo)
            values[generation] = (elo, elo - below, elo + above, False)
    return values


def draw_generations(gates):
    generations = sorted({g.generation for g in gates})
    formats = {g.generation: g.format for g in gates}
    limits = sorted({g.limit for g in gates}, key=lambda limit: ("nodes" not in limit, limit))
    clock = next((limit for limit in limits if "nodes" not in limit), None)
    # The gate against the generation before: generation 1's is the hand-crafted evaluation.
    steps = [g for g in gates if g.against == "previous" or (g.generation == generations[0] and g.against == "hand-crafted")]
    chain = chained_against_hand_crafted(gates, clock) if clock else {}

    svg = Svg(780, 716, "Zorv's network generations: their gates and their Elo over the hand-crafted evaluation")
    svg.text(24, 28, "Zorv's network generations", size=16, weight="bold")
    svg.text(24, 47, "Elo from matches of the same build, both colours of the balanced openings; bars are 95% intervals",
             size=11, colour=GREY)
    left, width = 92, 650
    x_lo, x_hi = generations[0] - 0.6, generations[-1] + 0.6
    colours = {limit: colour for limit, colour in zip(limits, (BLUE, ORANGE, GREEN, PURPLE))}
    shapes = {limit: shape for limit, shape in zip(limits, ("circle", "square", "diamond", "circle"))}

    def shade_formats(panel):
        """A tinted band behind each run of generations of one network format, named at its top."""
        run_start = generations[0]
        for i, generation in enumerate(generations):
            last = i + 1 == len(generations) or formats[generations[i + 1]] != formats[generation]
            if last:
                x1, x2 = panel.x(run_start - 0.5), panel.x(generation + 0.5)
                x1, x2 = max(x1, panel.left), min(x2, panel.right)
                if formats[generation] != formats[generations[0]]:
                    panel.svg.rect(x1, panel.top, x2 - x1, panel.height, SKY, opacity=0.10)
                panel.svg.text((x1 + x2) / 2, panel.top + 14, f"{formats[generation]} networks", size=11,
                               anchor="middle", colour=GREY, italic=True)
                if i + 1 < len(generations):
                    run_start = generations[i + 1]

    def generation_axis(panel, first_label):
        for generation in generations:
            x = panel.x(generation)
            panel.svg.line(x, panel.bottom, x, panel.bottom + 4, stroke=GREY)
            panel.svg.text(x, panel.bottom + 16, str(generation), size=11, anchor="middle", colour=GREY)
        panel.svg.text(panel.x(generations[0]), panel.bottom + 29, first_label, size=10, anchor="middle", colour=GREY)
        panel.svg.text(panel.left + panel.width / 2, panel.bottom + 44, "network generation", size=12, anchor="middle")

    # Top: each generation against the one before, one series per limit.
    values = [v for g in steps for v in ((g.lo, g.hi) if g.has_interval else (g.elo,))]
    y_lo, y_hi, ticks = nice_range(min(values + [0]), max(values + [0]), 6)
    top = Panel(svg, left, 104, width, 220, (x_lo, x_hi), (y_lo, y_hi))
    top.svg.text(left, top.top - 30, "Each generation against the one before", size=13, weight="bold")
    legend_row(svg, left, top.top - 10,
               [(sample_marker(shapes[limit], colours[limit], interval=True), limit_text(limit)) for limit in limits])
    shade_formats(top)
    top.y_grid(ticks, "Elo gain (95% interval)", signs=True, zero=True)
    offsets = {limit: (i - (len(limits) - 1) / 2) * 0.16 for i, limit in enumerate(limits)}
    for gate in steps:
        x = top.x(gate.generation + offsets[gate.limit])
        if gate.has_interval:
            top.interval(x, gate.lo, gate.hi, colours[gate.limit])
        top.svg.marker(x, top.y(gate.elo), shapes[gate.limit], colours[gate.limit], hollow=not gate.has_interval)
    top.frame()
    generation_axis(top, "vs hand-crafted")

    # Bottom: every generation against the hand-crafted evaluation on the clock.
    if chain:
        values = [v for elo, lo, hi, _ in chain.values() for v in (lo, hi)]
        y_lo, y_hi, ticks = nice_range(min(values + [0]), max(values + [0]), 6)
        bottom = Panel(svg, left, 432, width, 220, (x_lo, x_hi), (y_lo, y_hi))
        bottom.svg.text(left, bottom.top - 30, f"Against the hand-crafted evaluation at {clock}", size=13, weight="bold")
        played = sorted(g.games for g in gates if g.against == "hand-crafted" and g.limit == clock)
        games = f"{played[0]}" if played[0] == played[-1] else f"{played[0]} to {played[-1]}"
        legend_row(svg, left, bottom.top - 10,
                   [(sample_marker("circle", GREEN, interval=True), f"measured ({games} games)"),
                    (sample_marker("circle", GREEN, hollow=True, interval=True, dash="4 3"),
                     f"the generation before plus this one's {clock} gate")])
        shade_formats(bottom)
        bottom.y_grid(ticks, "Elo over hand-crafted (95%)", signs=True, zero=True)
        points = []
        for generation in sorted(chain):
            elo, lo, hi, measured = chain[generation]
            x = bottom.x(generation)
            bottom.interval(x, lo, hi, GREEN, dash=None if measured else "4 3")
            points.append((x, bottom.y(elo)))
        bottom.svg.polyline(points, GREEN, width=1.2, dash="2 3")
        for generation in sorted(chain):
            elo, lo, hi, measured = chain[generation]
            bottom.svg.marker(bottom.x(generation), bottom.y(elo), "circle", GREEN, hollow=not measured)
        bottom.frame()
        generation_axis(bottom, "")
    return svg


def limit_text(limit):
    if "nodes" in limit:
        count = limit.split()[0]
        if count.isdigit():
            count = f"{int(count):,}"
        return f"{count} nodes a move"
    return f"clock {limit} (seconds + increment)"


# ---------------------------------------------------------------------------
# The UCI_Elo calibration


class Calibration(Match):
    def __init__(self, row):
        super().__init__(row)
        self.requested = row.number("requested")
        self.table = row.text("table")
        self.status = row.text("status")
        if self.status not in ("committed", "earlier"):
            row.fail(f"status {self.status!r} is neither 'committed' nor 'earlier'")
        if not self.has_interval:
            row.fail("a calibration match needs its interval")

    @property
    def full_strength(self):
        return self.table == "full strength"


def read_calibration(path):
    return [Calibration(row) for row in read_table(path, ["requested", "table", "status"] + MATCH_COLUMNS)]


def clip(polygon, outside):
    """The part of a convex polygon where outside(x, y) <= 0, for a linear
    `outside` (one step of Sutherland and Hodgman's clipping)."""
    kept = []
    for (x1, y1), (x2, y2) in zip(polygon, polygon[1:] + polygon[:1]):
        d1, d2 = outside(x1, y1), outside(x2, y2)
        if d1 <= 0:
            kept.append((x1, y1))
        if (d1 < 0 < d2) or (d2 < 0 < d1):
            t = d1 / (d1 - d2)
            kept.append((x1 + t * (x2 - x1), y1 + t * (y2 - y1)))
    return kept


def draw_calibration(matches):
    svg = Svg(700, 590, "UCI_Elo requested against the strength measured on Stockfish 15.1's UCI_Elo scale")
    svg.text(24, 28, "UCI_Elo: requested against measured", size=16, weight="bold")
    svg.text(24, 47, "Zorv at UCI_Elo E against Stockfish 15.1 at UCI_Elo E (full strength against 2850),",
             size=11, colour=GREY)
    svg.text(24, 62, "60 games each at 10+0.1; measured = E + Zorv's Elo difference, bars 95% intervals",
             size=11, colour=GREY)
    values = [m.requested + v for m in matches for v in (m.lo, m.hi)] + [m.requested for m in matches]
    lo, hi, ticks = nice_range(min(values), max(values), 7)
    panel = Panel(svg, 92, 90, 560, 440, (lo, hi), (lo, hi))
    # The band in which a label counts as right, and the line where it is exact.
    band = [(lo, lo), (hi, lo), (hi, hi), (lo, hi)]
    band = clip(band, lambda x, y: y - x - 70)
    band = clip(band, lambda x, y: x - y - 70)
    panel.svg.polygon([(panel.x(x), panel.y(y)) for x, y in band], GREEN, opacity=0.12)
    panel.y_grid(ticks, "measured on Stockfish's UCI_Elo scale (Elo)")
    panel.x_grid(ticks, "requested UCI_Elo")
    panel.svg.line(panel.x(lo), panel.y(lo), panel.x(hi), panel.y(hi), stroke=GREEN, width=1.2, dash="6 4")

    # Earlier tries sit left of their request, one beside the other, the committed row on it.
    earlier = {}
    for m in matches:
        if m.status == "earlier":
            earlier.setdefault(m.requested, []).append(m)
    for requested, tries in earlier.items():
        for i, m in enumerate(tries):
            x = panel.x(requested) - 9 * (len(tries) - i)
            panel.interval(x, m.requested + m.lo, m.requested + m.hi, LIGHT)
            panel.svg.marker(x, panel.y(m.requested + m.elo), "circle", LIGHT, hollow=True, size=3.5)
    for m in matches:
        if m.status == "committed":
            colour = ORANGE if m.full_strength else BLUE
            x = panel.x(m.requested)
            panel.interval(x, m.requested + m.lo, m.requested + m.hi, colour)
            panel.svg.marker(x, panel.y(m.requested + m.elo), "square" if m.full_strength else "circle", colour)
            panel.svg.text(x + 9, panel.y(m.requested + m.elo) + 4, f"{m.requested + m.elo:.0f}", size=11,
                           colour=colour, weight="bold")
    panel.frame()
    legend(svg, panel.left + 10, panel.top + 10, [
        (sample_marker("circle", BLUE, interval=True), "the table as committed"),
        (sample_marker("square", ORANGE, interval=True), "full strength, against Stockfish at 2500 and at 2850"),
        (sample_marker("circle", LIGHT, hollow=True, interval=True), "earlier tries of the table"),
        (sample_line(GREEN, dash="6 4", width=1.2), "measured = requested"),
        (sample_band(GREEN, 0.12), "within \u00b170 Elo: the label counts as right"),
    ])
    return svg


# ---------------------------------------------------------------------------
# The win/draw/loss model and its held-out games


class Band:
    SHARES = ["seen_win", "seen_draw", "seen_loss", "model_win", "model_draw", "model_loss"]

    def __init__(self, row):
        self.row = row
        self.lo, self.hi = row.number("lo", optional=True), row.number("hi", optional=True)
        if self.lo is None and self.hi is None:
            row.fail("a band needs lo, hi or both")
        if self.lo is not None and self.hi is not None and self.lo >= self.hi:
            row.fail(f"lo {row.text('lo')} is not below hi {row.text('hi')}")
        self.positions = row.count("positions")
        self.shares = {name: row.number(name) for name in self.SHARES}
        for name, share in self.shares.items():
            if not 0 <= share <= 100:
                row.fail(f"{name} {row.text(name)} is not a share in per cent")
        for kind in ("seen", "model"):
            total = sum(self.shares[f"{kind}_{result}"] for result in ("win", "draw", "loss"))
            if abs(total - 100) > 0.5:
                row.fail(f"the {kind} shares add up to {total:.1f}%, not 100%")

    def label(self):
        if self.lo is None:
            return f"< {tick_text(self.hi)}"
        if self.hi is None:
            return f"\u2265 {tick_text(self.lo)}"
        return f"{tick_text(self.lo)} .. {tick_text(self.hi)}"


def read_heldout(path):
    bands = [Band(row) for row in read_table(path, ["lo", "hi", "positions"] + Band.SHARES)]
    for before, band in zip(bands, bands[1:]):
        if before.hi is None or band.lo is None or band.lo != before.hi:
            band.row.fail("bands must follow one another, each starting where the one before ends")
    return bands


RESULTS = [("win", "win", BLUE), ("draw", "draw", ORANGE), ("loss", "loss", RED)]


def draw_heldout(bands):
    positions = sum(b.positions for b in bands)
    svg = Svg(780, 440, "The win/draw/loss model against held-out games")
    svg.text(24, 28, "The win/draw/loss model against held-out games", size=16, weight="bold")
    svg.text(24, 47, f"the {positions:,} positions of the games held out of the fit, by the search score of the side to move:",
             size=11, colour=GREY)
    svg.text(24, 62, "the share of each result the games had (points) and the model's mean prediction (lines)",
             size=11, colour=GREY)
    panel = Panel(svg, 80, 106, 660, 260, (0, len(bands)), (0, 100))
    legend_row(svg, panel.left, panel.top - 14,
               [(sample_line(colour), name) for _, name, colour in RESULTS]
               + [(sample_marker("circle", GREY), "the games"), (sample_line(GREY), "the model")])
    panel.y_grid(range(0, 101, 20), "share of the positions (%)")
    # The band edges carry the score labels; each band's own cell holds its points.
    for i in range(len(bands) + 1):
        x = panel.x(i)
        panel.svg.line(x, panel.bottom, x, panel.bottom + 4, stroke=GREY)
        if 0 < i < len(bands):
            panel.svg.line(x, panel.top, x, panel.bottom, stroke=GRID)
            panel.svg.text(x, panel.bottom + 16, tick_text(bands[i].lo), size=11, anchor="middle", colour=GREY)
    panel.svg.text(panel.left + panel.width / 2, panel.bottom + 36,
                   "search score of the side to move (centipawns), in bands", size=12, anchor="middle")
    for key, _, colour in RESULTS:
        points = [(panel.x(i + 0.5), panel.y(b.shares[f"model_{key}"])) for i, b in enumerate(bands)]
        panel.svg.polyline(points, colour, width=2.0, class_="model")
        for i, b in enumerate(bands):
            panel.svg.marker(panel.x(i + 0.5), panel.y(b.shares[f"seen_{key}"]), "circle", colour, size=4.5)
    panel.frame()
    return svg


class WinRateModel:
    NAMES = ["a0", "a1", "a2", "a3", "b0", "b1", "b2", "b3", "material_min", "material_max", "material_scale", "materials"]

    def __init__(self, rows):
        values = {}
        for row in rows:
            name = row.text("name")
            if name not in self.NAMES:
                row.fail(f"unknown name {name!r}")
            if name in values:
                row.fail(f"{name} is given twice")
            values[name] = row
        missing = [name for name in self.NAMES if name not in values]
        if missing:
            raise DataError(f"{rows[0].path}: {', '.join(missing)} missing")
        self.a = [values[f"a{i}"].number("value") for i in range(4)]
        self.b = [values[f"b{i}"].number("value") for i in range(4)]
        self.material_min = values["material_min"].number("value")
        self.material_max = values["material_max"].number("value")
        self.material_scale = values["material_scale"].number("value")
        if not 0 < self.material_min < self.material_max or self.material_scale <= 0:
            values["material_max"].fail("material_min, material_max and material_scale must be positive and in order")
        row = values["materials"]
        try:
            self.materials = [float(m) for m in row.text("value").split()]
        except ValueError:
            row.fail("materials must be numbers separated by spaces")
        if not self.materials:
            row.fail("materials is empty")
        for m in self.materials:
            if self.b_at(m) <= 0:
                values["b0"].fail(f"b(x) is not positive at material {m:g}: the model has no curve there")

    def _x(self, material):
        return min(max(material, self.material_min), self.material_max) / self.material_scale

    def a_at(self, material):
        x = self._x(material)
        return sum(c * x ** i for i, c in enumerate(self.a))

    def b_at(self, material):
        x = self._x(material)
        return sum(c * x ** i for i, c in enumerate(self.b))

    def win(self, score, material):
        z = (self.a_at(material) - score) / self.b_at(material)
        return 1 / (1 + math.exp(min(z, 700)))

    def draw(self, score, material):
        return 1 - self.win(score, material) - self.win(-score, material)


def material_text(material):
    # 78 is what both sides have at the start: eight pawns, two knights,
    # two bishops, two rooks and a queen each.
    return f"material {material:g}" + (" (all the men)" if material == 78 else "")


def read_model(path):
    return WinRateModel(read_table(path, ["name", "value"]))


def draw_model(model):
    svg = Svg(780, 420, "The win/draw/loss model's curves")
    svg.text(24, 28, "The win/draw/loss model of UCI_ShowWDL", size=16, weight="bold")
    svg.text(24, 47, "the chances it gives the side to move for a search score, at several amounts of material "
             "(pawn 1, minor 3, rook 5, queen 9)", size=11, colour=GREY)
    colours = [PURPLE, GREEN, ORANGE, BLUE, RED, SKY]
    scores = [s for s in range(-600, 601, 10)]
    for column, (kind, title) in enumerate((("win", "Win"), ("draw", "Draw"))):
        panel = Panel(svg, 80 + column * 360, 116, 300, 230, (-600, 600), (0, 100))
        panel.heading(f"{title} (loss is the win turned round)" if kind == "win" else title)
        panel.y_grid(range(0, 101, 20), f"{kind} chance (%)")
        panel.x_grid(range(-600, 601, 200), "search score (centipawns)", signs=True, zero=True)
        for i, material in enumerate(model.materials):
            curve = model.win if kind == "win" else model.draw
            panel.svg.polyline([(panel.x(s), panel.y(100 * curve(s, material))) for s in scores],
                               colours[i % len(colours)], width=2.0, class_="model")
        panel.frame()
    legend_row(svg, 80, 72, [(sample_line(colours[i % len(colours)]), material_text(m))
                             for i, m in enumerate(model.materials)])
    return svg


# ---------------------------------------------------------------------------
# Strength against each opponent


class Result(Match):
    def __init__(self, row):
        super().__init__(row)
        self.group = row.text("group")
        self.opponent = row.text("opponent")
        self.clock = row.text("time_control")
        self.network = row.text("network")
        self.date = row.text("date")
        if not self.opponent:
            row.fail("opponent is empty")


def read_opponents(path):
    return [Result(row) for row in read_table(path, ["group", "opponent", "time_control", "network", "date"] + MATCH_COLUMNS)]


def draw_opponents(results):
    row_height, heading_height = 31, 26
    labels = [f"{r.opponent} \u00b7 {r.clock or 'clock not recorded'}" for r in results]
    details = [", ".join(part for part in (f"{r.games} games", f"Zorv with the {r.network} network" if r.network else "",
                                           r.date) if part)
               for r in results]
    # Where each row stands: a group's heading comes before its first row.
    top = 76
    y, rows, headings = top, [], []
    for i, r in enumerate(results):
        if i == 0 or r.group != results[i - 1].group:
            headings.append((y, r.group))
            y += heading_height
        rows.append(y)
        y += row_height
    plot_height = y - top

    left = 24 + max(max(text_width(t, 12) for t in labels), max(text_width(t, 10) for t in details)) + 16
    plot_width = 424
    right_text = 16 + max(text_width(r.label(), 11) for r in results)
    width = left + plot_width + 16 + right_text
    values = [v for r in results for v in ((r.lo, r.hi) if r.has_interval else (r.elo,))] + [0]
    lo, hi, ticks = nice_range(min(values), max(values), 8, pad=0.03)
    svg = Svg(width, top + plot_height + 60, "Zorv's results against each opponent")
    svg.text(24, 28, "Zorv against each opponent", size=16, weight="bold")
    svg.text(24, 47, "one thread each; logistic Elo of Zorv's score with its 95% interval "
             "(hollow: no W/D/L recorded, so no interval)", size=11, colour=GREY)
    # Every other row tinted across the whole width, so that a label is read with its result.
    for i, row_top in enumerate(rows):
        if i % 2 == 0:
            svg.rect(16, row_top, width - 24, row_height, "#F2F4F7")
    panel = Panel(svg, left, top, plot_width, plot_height, (lo, hi), (0, 1))
    panel.x_grid(ticks, "Elo difference, Zorv's side (positive: Zorv stronger)", signs=True, zero=True)
    for heading_top, group in headings:
        svg.text(24, heading_top + 18, group, size=12, weight="bold", colour=GREY)
    for r, row_top, label, detail in zip(results, rows, labels, details):
        cy = row_top + row_height / 2
        svg.text(24, cy - 1, label, size=12)
        svg.text(24, cy + 11, detail, size=10, colour=GREY)
        colour = BLUE if r.has_interval else GREY
        if r.has_interval:
            x1, x2 = panel.x(r.lo), panel.x(r.hi)
            svg.line(x1, cy, x2, cy, stroke=colour, width=2.0, class_="interval")
            for x in (x1, x2):
                svg.line(x, cy - 4, x, cy + 4, stroke=colour, width=2.0)
        svg.marker(panel.x(r.elo), cy, "circle", colour, hollow=not r.has_interval)
        svg.text(panel.right + 12, cy + 4, r.label(), size=11, colour=INK if r.has_interval else GREY)
    panel.frame()
    return svg


# ---------------------------------------------------------------------------


# Each picture: its name (NAME.csv drawn into NAME.svg), its reader and its drawing.
PICTURES = [
    ("generations", read_generations, draw_generations),
    ("uci-elo", read_calibration, draw_calibration),
    ("wdl-heldout", read_heldout, draw_heldout),
    ("wdl-model", read_model, draw_model),
    ("opponents", read_opponents, draw_opponents),
]


def write_atomically(path, text):
    folder = os.path.dirname(path) or "."
    handle, temporary = tempfile.mkstemp(prefix=".plot-", suffix=".svg", dir=folder)
    try:
        with os.fdopen(handle, "w", encoding="utf-8", newline="\n") as out:
            out.write(text)
        os.chmod(temporary, 0o644)
        os.replace(temporary, path)
    except BaseException:
        os.unlink(temporary)
        raise


def main(argv=None):
    here = os.path.dirname(os.path.abspath(__file__))
    default = os.path.normpath(os.path.join(here, "..", "..", "docs", "plots"))
    parser = argparse.ArgumentParser(description="Draws docs/plots/NAME.svg from docs/plots/NAME.csv.")
    parser.add_argument("--data", default=default, help="folder of the recorded tables (default docs/plots)")
    parser.add_argument("--out", help="folder the pictures are written to (default: the data folder)")
    args = parser.parse_args(argv)
    out = args.out or args.data
    try:
        drawings = [(name, draw(read(os.path.join(args.data, name + ".csv")))) for name, read, draw in PICTURES]
    except DataError as error:
        print(f"make_plots: {error}; no picture written", file=sys.stderr)
        return 1
    try:
        os.makedirs(out, exist_ok=True)
        for name, svg in drawings:
            path = os.path.join(out, name + ".svg")
            write_atomically(path, svg.render())
            print(f"wrote {os.path.relpath(path)}")
    except OSError as error:
        print(f"make_plots: {error.filename or out}: {error.strerror}", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
