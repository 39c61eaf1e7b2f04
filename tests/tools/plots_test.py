#!/usr/bin/env python3
"""Tests of tools/plots/make_plots.py: the recorded tables draw well-formed
pictures that stay on their canvas, the pictures in docs/plots are the ones
their tables draw, and a table with a mistake is refused by file and line
with every picture left as it was."""

import contextlib
import glob
import io
import math
import os
import re
import shutil
import subprocess
import sys
import tempfile
import unittest
import xml.etree.ElementTree as ET

SOURCE = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", ".."))
SCRIPT = os.path.join(SOURCE, "tools", "plots", "make_plots.py")
RECORDED = os.path.join(SOURCE, "docs", "plots")
SVG = "{http://www.w3.org/2000/svg}"
NAMES = ["generations", "uci-elo", "wdl-heldout", "wdl-model", "opponents"]

# The script is imported from its folder without leaving compiled files there.
sys.dont_write_bytecode = True
sys.path.insert(0, os.path.dirname(SCRIPT))
import make_plots  # noqa: E402


def run(data, out):
    """make_plots' main on a data folder: its status and what it said on standard error."""
    errors = io.StringIO()
    with contextlib.redirect_stderr(errors), contextlib.redirect_stdout(io.StringIO()):
        status = make_plots.main(["--data", data, "--out", out])
    return status, errors.getvalue()


def data_rows(name):
    with open(os.path.join(RECORDED, name + ".csv"), encoding="utf-8") as handle:
        return [line for line in handle if line.strip() and not line.startswith("#")][1:]


def coordinates(element):
    """Every number the element places on the canvas: (axis, value) pairs."""
    found = []
    for name in ("x", "x1", "x2", "cx"):
        if name in element.attrib:
            found.append(("x", float(element.attrib[name])))
    for name in ("y", "y1", "y2", "cy"):
        if name in element.attrib:
            found.append(("y", float(element.attrib[name])))
    if "points" in element.attrib:
        for pair in element.attrib["points"].split():
            x, y = pair.split(",")
            found += [("x", float(x)), ("y", float(y))]
    if element.tag == SVG + "rect" and "x" in element.attrib:
        found.append(("x", float(element.attrib["x"]) + float(element.attrib["width"])))
        found.append(("y", float(element.attrib["y"]) + float(element.attrib["height"])))
    return found


class Picture:
    def __init__(self, path):
        self.root = ET.parse(path).getroot()  # fails on a file that is not well-formed XML
        self.width = float(self.root.attrib["width"])
        self.height = float(self.root.attrib["height"])

    def all(self, tag, cls=None):
        return [e for e in self.root.iter(SVG + tag) if cls is None or e.attrib.get("class") == cls]

    def texts(self):
        return [e.text or "" for e in self.all("text")]


class RecordedResults(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.out = tempfile.mkdtemp(prefix="plots-test-")
        cls.status, cls.errors = run(RECORDED, cls.out)

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.out)

    def picture(self, name):
        return Picture(os.path.join(self.out, name + ".svg"))

    def test_every_picture_is_well_formed_and_stays_on_its_canvas(self):
        self.assertEqual(self.status, 0, self.errors)
        self.assertEqual(sorted(os.listdir(self.out)), sorted(n + ".svg" for n in NAMES))
        for name in NAMES:
            with self.subTest(picture=name):
                picture = self.picture(name)
                self.assertEqual(picture.root.tag, SVG + "svg")
                self.assertEqual(picture.root.attrib["viewBox"], f"0 0 {picture.root.attrib['width']} {picture.root.attrib['height']}")
                self.assertTrue(picture.all("title")[0].text)
                # A y axis label (turned) and a title line at least.
                self.assertTrue(any("rotate" in e.attrib.get("transform", "") for e in picture.all("text")) or name == "opponents")
                for element in picture.root.iter():
                    for axis, value in coordinates(element):
                        limit = picture.width if axis == "x" else picture.height
                        self.assertTrue(math.isfinite(value) and -0.5 <= value <= limit + 0.5,
                                        f"{element.tag} {element.attrib} leaves the {picture.width}x{picture.height} canvas")

    def test_each_result_is_drawn_with_its_interval(self):
        opponents = self.picture("opponents")
        rows = data_rows("opponents")
        with_interval = [row for row in rows if row.rstrip("\n").split(",")[9] != ""]
        self.assertEqual(len(opponents.all("circle", "point")), len(rows))
        self.assertEqual(len(opponents.all("line", "interval")), len(with_interval))
        # The recorded numbers are printed beside their bars as the docs write them.
        self.assertIn("\u221227.9 (\u221269.1 .. +12.6)", opponents.texts())
        self.assertIn("about \u2212213", opponents.texts())

        calibration = self.picture("uci-elo")
        rows = data_rows("uci-elo")
        self.assertEqual(len(calibration.all("line", "interval")), len(rows))
        self.assertEqual(len(calibration.all("circle", "point")) + len(calibration.all("rect", "point")), len(rows))

        heldout = self.picture("wdl-heldout")
        self.assertEqual(len(heldout.all("circle", "point")), 3 * len(data_rows("wdl-heldout")))
        self.assertEqual(len(heldout.all("polyline", "model")), 3)

        generations = self.picture("generations")
        self.assertGreaterEqual(len(generations.all("line", "interval")), len(data_rows("generations")) // 2)

    def test_the_model_curves_follow_the_recorded_coefficients(self):
        model = make_plots.read_model(os.path.join(RECORDED, "wdl-model.csv"))
        # docs/wdl.md's table of a(x) and b(x) at material 20 and 58.
        self.assertAlmostEqual(model.a_at(20), 147.3, delta=0.1)
        self.assertAlmostEqual(model.b_at(58), 61.2, delta=0.1)
        for material in model.materials:
            for score in (0, 45, 300, 600):
                win, loss = model.win(score, material), model.win(-score, material)
                self.assertTrue(0 <= model.draw(score, material) <= 1)
                self.assertGreaterEqual(win, loss)
        self.assertEqual(len(self.picture("wdl-model").all("polyline", "model")), 2 * len(model.materials))

    def test_the_pictures_in_docs_are_the_ones_their_tables_draw(self):
        for name in NAMES:
            with self.subTest(picture=name):
                with open(os.path.join(self.out, name + ".svg"), encoding="utf-8") as drawn, \
                        open(os.path.join(RECORDED, name + ".svg"), encoding="utf-8") as committed:
                    self.assertTrue(drawn.read() == committed.read(),
                                    f"docs/plots/{name}.svg is not what docs/plots/{name}.csv draws: run make plots")


class Mistakes(unittest.TestCase):
    """A mistake in any table stops the run before anything is written."""

    @contextlib.contextmanager
    def tables(self):
        """A copy of the recorded tables, beside a picture from an earlier run."""
        data = tempfile.mkdtemp(prefix="plots-data-")
        try:
            for path in glob.glob(os.path.join(RECORDED, "*.csv")):
                shutil.copy(path, data)
            with open(os.path.join(data, "opponents.svg"), "w") as handle:
                handle.write("earlier")
            yield data
        finally:
            shutil.rmtree(data)

    def edit(self, data, name, old, new):
        """Replaces the first `old` of a table by `new`; returns the line it stands on."""
        path = os.path.join(data, name + ".csv")
        with open(path, encoding="utf-8") as handle:
            text = handle.read()
        self.assertIn(old, text)
        with open(path, "w", encoding="utf-8") as handle:
            handle.write(text.replace(old, new, 1))
        return text[:text.index(old)].count("\n") + 1

    def assertRefused(self, data, where, why):
        status, errors = run(data, data)
        self.assertEqual(status, 1, errors)
        self.assertRegex(errors, re.escape(where) + r".*" + why)
        self.assertIn("no picture written", errors)
        self.assertEqual(sorted(f for f in os.listdir(data) if f.endswith(".svg")), ["opponents.svg"])
        with open(os.path.join(data, "opponents.svg")) as handle:
            self.assertEqual(handle.read(), "earlier")

    def test_numbers_that_contradict_each_other_name_their_line(self):
        cases = [
            ("opponents", "-27.9,-69.1,12.6", "-27.9,-69.1,-30", "outside its interval"),
            ("opponents", "200,63,58,79", "200,63,58,78", "add up to 199"),
            ("opponents", "80,31,22,27,17,-48,84", "80,31,22,27,17,,84", "together or not at all"),
            ("generations", "1,float,hand-crafted,20000 nodes", "1,float,previous-ish,20000 nodes", "neither"),
            ("generations", "8,integer,previous,5+0.05", "7,integer,previous,5+0.05", "two rows"),
            ("uci-elo", "60,7,20,33,-161,-245,-92", "60,7,20,33,-161,,", "needs its interval"),
            ("wdl-heldout", "-20,20,1428", "-10,20,1428", "follow one another"),
            ("wdl-heldout", "20,50,676,22.5", "20,50,676,32.5", "add up to 110.0%"),
            ("wdl-model", "b0,18.5129", "b0,-900", "not positive at material 20"),
        ]
        for name, old, new, why in cases:
            with self.subTest(table=name, change=new), self.tables() as data:
                line = self.edit(data, name, old, new)
                self.assertRefused(data, f"{name}.csv:{line}:", why)

    def test_tables_that_cannot_be_read(self):
        cases = [
            ("opponents", "63,58,79,-27.9", "63,58,79,minus 27.9", "not a number"),
            ("opponents", "63,58,79,-27.9", "63,58,79,nan", "not a finite number"),
            ("uci-elo", "60,13,24,23", "60,13,24,23,9", "fields, the header has"),
            ("generations", "generation,format,against", "generation,form,against", "header lacks format"),
            ("wdl-model", "materials,20 40 58 78", "materials,20 forty", "numbers separated by spaces"),
            ("wdl-heldout", "400,,597", "400,,597.5", "not a count"),
        ]
        for name, old, new, why in cases:
            with self.subTest(table=name, change=new), self.tables() as data:
                line = self.edit(data, name, old, new)
                self.assertRefused(data, f"{name}.csv:{line}:", why)
        with self.tables() as data:
            os.remove(os.path.join(data, "uci-elo.csv"))
            self.assertRefused(data, "uci-elo.csv:", "No such file")
            with open(os.path.join(data, "uci-elo.csv"), "w") as handle:
                handle.write("# only a comment\n")
            self.assertRefused(data, "uci-elo.csv:", "no header and no rows")


class FewAndFarResults(unittest.TestCase):
    """Tables far from today's: one generation without a clock gate, one
    opponent far beyond the usual range, one calibration match with an
    interval of no width, one open band."""

    def test_they_draw_within_the_canvas(self):
        data = tempfile.mkdtemp(prefix="plots-few-")
        try:
            for path in glob.glob(os.path.join(RECORDED, "*.csv")):
                shutil.copy(path, data)
            tables = {
                "generations": "generation,format,against,limit,games,wins,draws,losses,elo,lo,hi\n"
                               "1,float,hand-crafted,20000 nodes,10,10,0,0,1000,,\n",
                "opponents": "group,opponent,time_control,games,wins,draws,losses,elo,lo,hi,network,date,commit\n"
                             "g,A very strong engine,,4,0,0,4,-1500,-1900,-1200,,,\n",
                "uci-elo": "requested,table,status,games,wins,draws,losses,elo,lo,hi\n"
                           "2000,one row,committed,2,1,0,1,0,0,0\n",
                "wdl-heldout": "lo,hi,positions,seen_win,seen_draw,seen_loss,model_win,model_draw,model_loss\n"
                               "0,,10,100,0,0,99.5,0.5,0\n",
            }
            for name, text in tables.items():
                with open(os.path.join(data, name + ".csv"), "w") as handle:
                    handle.write(text)
            status, errors = run(data, data)
            self.assertEqual(status, 0, errors)
            for name in NAMES:
                picture = Picture(os.path.join(data, name + ".svg"))
                for element in picture.root.iter():
                    for axis, value in coordinates(element):
                        limit = picture.width if axis == "x" else picture.height
                        self.assertTrue(-0.5 <= value <= limit + 0.5, f"{name}: {element.attrib}")
        finally:
            shutil.rmtree(data)


class CommandLine(unittest.TestCase):
    def test_make_plots_draws_into_the_folder_named(self):
        out = tempfile.mkdtemp(prefix="plots-cli-")
        try:
            done = subprocess.run([sys.executable, SCRIPT, "--out", out], capture_output=True, text=True, timeout=60)
            self.assertEqual(done.returncode, 0, done.stderr)
            self.assertEqual(done.stdout.count("wrote "), len(NAMES))
            self.assertEqual(sorted(os.listdir(out)), sorted(n + ".svg" for n in NAMES))  # no temporary left
        finally:
            shutil.rmtree(out)


if __name__ == "__main__":
    unittest.main()
