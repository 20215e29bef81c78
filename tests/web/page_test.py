#!/usr/bin/env python3
"""The web viewer in a real browser: headless Chromium driven by Selenium.

    python3 tests/web/page_test.py PAGE_DIR PICTURES_DIR [--hostile DIR] [--artifacts DIR]
                                   [--views DIR] [--formats DIR] [--petscii DIR]

Serves PAGE_DIR (build/web) on 127.0.0.1 and checks, through the page's own
file input, that
  - every sample picture in PICTURES_DIR (each beside its expected .bmp, the
    viewer module's block: bottom-up BGR) is drawn on a 320 x 200 canvas
    whose pixels, read back in the page, equal the expected ones exactly,
    with the layout code its file name starts with;
  - each palette of the page's palette choice redraws the pictures in that
    palette's colours, and the default brings the expected pixels back;
  - "Save PNG" saves the picture's pixels under the file's name;
  - a dropped file is decoded, and a folder given to the folder picker shows
    each of its files in name order;
  - hostile files (the corpus written by tarnel_make_corpus, whose
    EXPECTED.txt says which open, and a few made here) give an error in place
    or the layout expected, and a good file after them still decodes;
  - the frame control, the border toggle and the view control (stored or
    as a C64 shows it) give, byte for byte, the golden views of
    tests/data/views (beside PICTURES_DIR), for pictures added after the
    choice and for pictures redrawn by it; a picture whose code prefix is
    not the layout found from its bytes (Hires Manager, which looks like
    AFLI) is opened as that code under its card's "Open as…";
    "flicker" alternates frame 0 and frame 1 in either view (the canvas read
    at several moments shows each, and nothing else); the pixel shape is
    CSS alone;
  - a Koala Painter file at another address and a headerless hires bitmap
    open under their layouts' extensions; under names that say nothing they
    are refused, and "Open as…" lists the layouts that take a refused file
    (none, no control), and the one chosen (by the keyboard) gives the golden pixels,
    marked as chosen, and follows the border toggle;
  - every file of FORMATS_DIR (tests/data/formats: character sets, CharPad
    projects, SpritePad sets, ..., each NN-slug.ext beside NN-slug.bmp of its
    own size), given with its own name, is drawn on a canvas of the golden
    picture's size whose pixels equal it, with the format code NN; the
    border frames the 320 x 200 ones alone, the others keep their size and
    pixels and their cards say so; a character set under a name that does
    not say so is refused and opens as one under "Open as…"; a CharPad map
    of 2,560 x 1,600 pixels (the module's memory grows for it) is drawn
    whole; "Save PNG" saves a picture of its own size; the page lists the
    library's format table;
  - a Big FLI and a NUFLI as a C64 shows them differ from their stored
    pictures in the FLI strip and nowhere else; an interlaced picture's
    frame 0, frame 1 and blend are three different pictures;
  - a Petmate project of PETSCII_DIR (tests/data/petscii) is refused, in words
    that name a character set, until the made-up character ROM is loaded
    through "Load character set…"; then it and a project of two screens are
    drawn as their golden pictures, and the set is not stored unasked;
  - the browser asks for nothing but the page's own files and logs no error.
Leaves screenshots in the artifacts folder, among them a bordered picture
with PAL pixels (bordered-pal.png), the C64's view (c64-view.png), a CharPad
map (charpad.png), a SpritePad set (spritepad.png), the format table
(formats.png), and a Big FLI, a NUFLI and an interlaced picture, each stored
and as a C64 shows it (bigfli-stored.png, bigfli-c64.png, nufli-stored.png,
nufli-c64.png, interlace-stored.png, interlace-c64.png) and two Petmate
screens drawn with the made-up character set (petscii.png).
"""

import argparse
import base64
import functools
import http.server
import json
import os
import re
import shutil
import struct
import sys
import tempfile
import threading
import time
import zlib
from pathlib import Path

from selenium import webdriver
from selenium.common.exceptions import TimeoutException
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.by import By
from selenium.webdriver.common.keys import Keys
from selenium.webdriver.support.ui import Select, WebDriverWait

WIDTH, HEIGHT = 320, 200
PAGE_FILES = {"/", "/index.html", "/viewer.js", "/style.css", "/tarnel.js", "/tarnel.wasm"}
# Interlaced layouts blend two colours per pixel; the rest show one C64
# colour per pixel.
INTERLACED_CODES = {1, 2, 3, 6, 7}

failures = []


def check(condition, message):
    if not condition:
        failures.append(message)
        print("FAIL:", message)
    return condition


# ---- Expected pixels -------------------------------------------------------

def bmp_rgb(path, size=(WIDTH, HEIGHT)):
    """RGB bytes, top row first, of a 24-bit bottom-up BMP of `size`."""
    data = path.read_bytes()
    offset = struct.unpack_from("<I", data, 10)[0]
    width, height = struct.unpack_from("<ii", data, 18)
    bits = struct.unpack_from("<H", data, 28)[0]
    assert (width, height, bits) == (*size, 24), f"{path}: not a {size} 24-bit BMP"
    row_bytes = (width * 3 + 3) & ~3
    out = bytearray()
    for y in range(height - 1, -1, -1):
        row = data[offset + y * row_bytes: offset + y * row_bytes + width * 3]
        for x in range(0, width * 3, 3):
            out += bytes((row[x + 2], row[x + 1], row[x]))
    return bytes(out)


def bmp_picture(path):
    """(width, height, RGB bytes top row first) of a 24-bit bottom-up BMP of
    any size, rows padded to 4 bytes."""
    data = path.read_bytes()
    width, height = struct.unpack_from("<ii", data, 18)
    return width, height, bmp_rgb(path, (width, height))


def rgba_to_rgb(rgba):
    out = bytearray(len(rgba) // 4 * 3)
    out[0::3] = rgba[0::4]
    out[1::3] = rgba[1::4]
    out[2::3] = rgba[2::4]
    return bytes(out)


def png_rgba(data):
    """RGBA bytes of an 8-bit RGB or RGBA, non-interlaced PNG."""
    assert data[:8] == b"\x89PNG\r\n\x1a\n", "not a PNG"
    pos, idat, header = 8, b"", None
    while pos < len(data):
        length, kind = struct.unpack_from(">I4s", data, pos)
        body = data[pos + 8: pos + 8 + length]
        if kind == b"IHDR":
            header = struct.unpack(">IIBBBBB", body)
        elif kind == b"IDAT":
            idat += body
        pos += 12 + length
    width, height, depth, colour, _, _, interlace = header
    assert depth == 8 and colour in (2, 6) and interlace == 0, f"PNG kind {header}"
    channels = 4 if colour == 6 else 3
    raw = zlib.decompress(idat)
    stride = width * channels
    rows, prior = [], bytearray(stride)
    for y in range(height):
        kind = raw[y * (stride + 1)]
        line = bytearray(raw[y * (stride + 1) + 1: (y + 1) * (stride + 1)])
        for i in range(stride):
            a = line[i - channels] if i >= channels else 0
            b = prior[i]
            c = prior[i - channels] if i >= channels else 0
            if kind == 1:
                line[i] = (line[i] + a) & 255
            elif kind == 2:
                line[i] = (line[i] + b) & 255
            elif kind == 3:
                line[i] = (line[i] + (a + b) // 2) & 255
            elif kind == 4:
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                line[i] = (line[i] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 255
        rows.append(bytes(line))
        prior = line
    pixels = b"".join(rows)
    if channels == 3:
        out = bytearray(width * height * 4)
        out[0::4], out[1::4], out[2::4] = pixels[0::3], pixels[1::3], pixels[2::3]
        out[3::4] = b"\xff" * (width * height)
        pixels = bytes(out)
    return (width, height), pixels


# ---- The server ----------------------------------------------------------

class PageServer:
    """The page folder over HTTP on 127.0.0.1; remembers every path asked for."""

    def __init__(self, folder):
        self.paths = []
        server = self

        class Handler(http.server.SimpleHTTPRequestHandler):
            def log_message(self, *args):
                pass

            def do_GET(self):
                server.paths.append(self.path)
                super().do_GET()

        handler = functools.partial(Handler, directory=str(folder))
        self.httpd = http.server.ThreadingHTTPServer(("127.0.0.1", 0), handler)
        self.port = self.httpd.server_address[1]
        self.thread = threading.Thread(target=self.httpd.serve_forever, daemon=True)
        self.thread.start()

    def close(self):
        self.httpd.shutdown()
        self.httpd.server_close()


# ---- The page --------------------------------------------------------------

def start_browser(profile, downloads):
    options = webdriver.ChromeOptions()
    options.binary_location = shutil.which("chromium") or "/usr/bin/chromium"
    for flag in ("--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
                 "--disable-background-networking", "--disable-component-update", "--disable-sync",
                 "--disable-dev-shm-usage", "--force-device-scale-factor=1",
                 f"--user-data-dir={profile}", "--window-size=1800,1200"):
        options.add_argument(flag)
    options.add_experimental_option("prefs", {"download.default_directory": str(downloads),
                                              "download.prompt_for_download": False})
    options.set_capability("goog:loggingPrefs", {"browser": "ALL", "performance": "ALL"})
    service = Service(executable_path=shutil.which("chromedriver") or "/usr/bin/chromedriver")
    driver = webdriver.Chrome(service=service, options=options)
    driver.execute_cdp_cmd("Browser.setDownloadBehavior",
                           {"behavior": "allow", "downloadPath": str(downloads)})
    return driver


# Everything the page shows: each canvas and each error with its file.
SHOWN_SCRIPT = """
return Array.from(document.querySelectorAll('#pictures canvas, #pictures .error')).map((e) => ({
  file: e.dataset.file, kind: e.tagName === 'CANVAS' ? 'canvas' : 'error',
  layout: e.dataset.layout || null, width: e.width || 0, height: e.height || 0,
  text: e.tagName === 'CANVAS' ? '' : e.textContent}));
"""

PIXELS_SCRIPT = """
const canvases = Array.from(document.querySelectorAll('#pictures canvas'));
const canvas = canvases.find((c) => c.dataset.file === arguments[0]);
if (!canvas) return null;
const data = canvas.getContext('2d').getImageData(0, 0, canvas.width, canvas.height).data;
let text = '';
for (let i = 0; i < data.length; i += 0x8000) {
  text += String.fromCharCode.apply(null, data.subarray(i, i + 0x8000));
}
return btoa(text);
"""


def shown(driver):
    return {entry["file"]: entry for entry in driver.execute_script(SHOWN_SCRIPT)}


def canvas_rgba(driver, name):
    encoded = driver.execute_script(PIXELS_SCRIPT, name)
    return None if encoded is None else base64.b64decode(encoded)


def give_files(driver, paths):
    """Hands the files to the page's file input and waits until all show."""
    before = len(driver.execute_script(SHOWN_SCRIPT))
    driver.find_element(By.ID, "file-input").send_keys("\n".join(str(p.resolve()) for p in paths))
    want = before + len(paths)
    try:
        WebDriverWait(driver, 60).until(lambda d: len(d.execute_script(SHOWN_SCRIPT)) >= want)
    except TimeoutException:
        check(False, f"only {len(driver.execute_script(SHOWN_SCRIPT)) - before} of {len(paths)} "
                     f"files shown; status: {driver.find_element(By.ID, 'status').text}")


def clear(driver):
    driver.find_element(By.ID, "clear").click()
    WebDriverWait(driver, 10).until(lambda d: len(d.execute_script(SHOWN_SCRIPT)) == 0)


def screenshot(driver, path):
    """The whole page, however tall, in one picture."""
    height = driver.execute_script("return document.documentElement.scrollHeight")
    width = driver.execute_script("return window.outerWidth")
    driver.set_window_size(width, max(600, height + 100))
    driver.save_screenshot(str(path))
    print(f"screenshot: {path}")


# ---- The checks -----------------------------------------------------------

def check_samples(driver, samples):
    entries = shown(driver)
    expected = {}
    for sample in samples:
        name = sample.name
        entry = entries.get(name)
        if not check(entry is not None and entry["kind"] == "canvas",
                     f"{name}: no canvas ({entry and entry['text']})"):
            continue
        code = int(name.split("-")[0])
        check(entry["layout"] == str(code), f"{name}: data-layout {entry['layout']}, not {code}")
        check((entry["width"], entry["height"]) == (WIDTH, HEIGHT),
              f"{name}: canvas {entry['width']} x {entry['height']}")
        rgba = canvas_rgba(driver, name)
        golden = bmp_rgb(sample.with_suffix(".bmp"))
        check(rgba_to_rgb(rgba) == golden, f"{name}: canvas pixels differ from {name[:-4]}.bmp")
        check(rgba[3::4] == b"\xff" * (WIDTH * HEIGHT), f"{name}: canvas not opaque")
        expected[name] = golden
    return expected


def check_crisp(driver, name, scale):
    """The canvas on screen at a whole scale: each pixel a scale x scale block."""
    Select(driver.find_element(By.ID, "scale")).select_by_value(str(scale))
    canvas = next(c for c in driver.find_elements(By.CSS_SELECTOR, "#pictures canvas")
                  if c.get_attribute("data-file") == name)
    driver.execute_script("arguments[0].scrollIntoView()", canvas)
    size, shot = png_rgba(canvas.screenshot_as_png)
    rgba = canvas_rgba(driver, name)
    want = bytearray()
    for y in range(HEIGHT * scale):
        row = rgba[(y // scale) * WIDTH * 4:(y // scale + 1) * WIDTH * 4]
        for x in range(WIDTH):
            want += row[x * 4:x * 4 + 4] * scale
    check(size == (WIDTH * scale, HEIGHT * scale) and shot == bytes(want),
          f"{name} at {scale}x on screen: {size[0]} x {size[1]}, not crisp {scale}x blocks")
    Select(driver.find_element(By.ID, "scale")).select_by_value("1")


def page_palettes(driver):
    """Each palette of the choice with its sixteen colours, from the swatch."""
    select = Select(driver.find_element(By.ID, "palette"))
    result = []
    for option in select.options:
        value = option.get_attribute("value")
        driver.execute_script("""
            const s = document.getElementById('palette');
            s.value = arguments[0]; s.dispatchEvent(new Event('change'));""", value)
        colours = driver.execute_script("""
            return Array.from(document.querySelectorAll('#swatch .chip')).map((c) =>
              getComputedStyle(c).backgroundColor.match(/\\d+/g).slice(0, 3).map(Number));""")
        result.append((value, option.text, [tuple(c) for c in colours]))
    return result


def check_palettes(driver, samples, expected):
    select = Select(driver.find_element(By.ID, "palette"))
    check(select.first_selected_option.get_attribute("value") == "0",
          "the library's own palette is not the default")
    palettes = page_palettes(driver)
    check(len(palettes) >= 1 and all(len(c) == 16 for _, _, c in palettes),
          f"palette swatches: {[len(c) for _, _, c in palettes]}")
    own = palettes[0][2]
    index_of = {colour: n for n, colour in enumerate(own)}
    for value, label, colours in palettes:
        select.select_by_value(value)
        for sample in samples:
            name = sample.name
            if int(name.split("-")[0]) in INTERLACED_CODES or name not in expected:
                continue
            golden = expected[name]
            want = bytearray()
            for i in range(0, len(golden), 3):
                want += bytes(colours[index_of[tuple(golden[i:i + 3])]])
            got = rgba_to_rgb(canvas_rgba(driver, name))
            check(got == bytes(want), f"{name}: pixels in palette {label} are not its colours")
    select.select_by_value("0")
    for sample in samples:
        if sample.name in expected:
            check(rgba_to_rgb(canvas_rgba(driver, sample.name)) == expected[sample.name],
                  f"{sample.name}: back on the default palette, pixels differ")
    print(f"palettes: {', '.join(label for _, label, _ in palettes)}")


def check_save_png(driver, downloads, sample, expected, size=(WIDTH, HEIGHT)):
    figure = next(f for f in driver.find_elements(By.CSS_SELECTOR, "#pictures figure")
                  if f.get_attribute("data-file") == sample.name)
    figure.find_element(By.CSS_SELECTOR, "button.save").click()
    target = downloads / (sample.stem + ".png")
    deadline = time.time() + 20
    while time.time() < deadline and not target.exists():
        time.sleep(0.1)
    if not check(target.exists(), f"Save PNG did not save {target.name}"):
        return
    time.sleep(0.2)
    saved, rgba = png_rgba(target.read_bytes())
    check(saved == size, f"{target.name}: {saved[0]} x {saved[1]}, not {size[0]} x {size[1]}")
    check(rgba_to_rgb(rgba) == expected[sample.name], f"{target.name}: pixels differ")


DROP_SCRIPT = """
const bytes = Uint8Array.from(atob(arguments[1]), (c) => c.charCodeAt(0));
const transfer = new DataTransfer();
transfer.items.add(new File([bytes], arguments[0]));
for (const type of ['dragenter', 'dragover', 'drop']) {
  document.getElementById('drop-zone').dispatchEvent(
      new DragEvent(type, {bubbles: true, cancelable: true, dataTransfer: transfer}));
}
"""


def check_drop_and_folder(driver, samples, expected):
    """A file dropped on the page, and a folder through the folder picker."""
    clear(driver)
    sample = samples[0]
    driver.execute_script(DROP_SCRIPT, sample.name, base64.b64encode(sample.read_bytes()).decode())
    WebDriverWait(driver, 20).until(lambda d: len(d.execute_script(SHOWN_SCRIPT)) == 1)
    rgba = canvas_rgba(driver, sample.name)
    check(rgba is not None and rgba_to_rgb(rgba) == expected[sample.name],
          f"{sample.name} dropped: not decoded as picked")
    clear(driver)

    folder = samples[0].parent
    files = sorted(p.name for p in folder.iterdir())
    driver.find_element(By.ID, "folder-input").send_keys(str(folder.resolve()))
    try:
        WebDriverWait(driver, 60).until(lambda d: len(d.execute_script(SHOWN_SCRIPT)) == len(files))
    except TimeoutException:
        pass
    order = [entry["file"] for entry in driver.execute_script(SHOWN_SCRIPT)]
    check(order == files, f"folder {folder.name}: shown {len(order)} files, not its {len(files)} "
                          "in name order")
    entries = shown(driver)
    for name in files:
        entry = entries.get(name)
        want = "canvas" if name in expected else "error"
        check(entry is not None and entry["kind"] == want, f"folder: {name} not shown as {want}")
    clear(driver)


def hostile_files(corpus, workdir):
    """(path, expected code or 0 for refused) for the corpus and a few more."""
    files = []
    if corpus:
        for line in (corpus / "EXPECTED.txt").read_text().splitlines():
            name, result, code = line.split()
            files.append((corpus / name, int(code) if int(result) == 0 else 0))
    own = workdir / "own-hostile"
    own.mkdir()
    # Above the largest file of any format (TARNEL_MAX_ANY_FILE_SIZE): never
    # read, refused on its size; above the twenty layouts' largest: refused.
    made = {"empty.koa": b"", "one-byte.koa": b"\x00",
            "too-large.koa": b"\x00\x60" + bytes(8388608),
            "above-36864.koa": b"\x00\x60" + bytes(40000),
            "text.txt": b"hello, this is not a picture\n"}
    for name, data in made.items():
        (own / name).write_bytes(data)
        files.append((own / name, 0))
    return files


def check_hostile(driver, files, good, expected):
    names = [p.name for p, _ in files]
    check(len(set(names)) == len(names), "hostile file names repeat")
    give_files(driver, [p for p, _ in files])
    entries = shown(driver)
    refused = 0
    for path, code in files:
        entry = entries.get(path.name)
        if not check(entry is not None, f"hostile {path.name}: nothing shown"):
            continue
        if code == 0:
            refused += 1
            check(entry["kind"] == "error" and entry["text"].strip() != "",
                  f"hostile {path.name}: shown as {entry['kind']}, not refused with a reason")
        else:
            check(entry["kind"] == "canvas" and entry["layout"] == str(code),
                  f"hostile {path.name}: {entry['kind']} {entry['layout']}, not layout {code}")
    too_large = entries.get("too-large.koa")
    check(too_large is not None and "too large" in too_large["text"],
          f"too-large.koa: reason {too_large and too_large['text']!r}")
    print(f"hostile files: {len(files)}, {refused} refused in place")
    # The page goes on working.
    give_files(driver, [good])
    check(canvas_rgba(driver, good.name) is not None and
          rgba_to_rgb(canvas_rgba(driver, good.name)) == expected[good.name],
          f"{good.name} after the hostile files: not decoded as before")


BORDERED = (384, 272)


def set_view(driver, frame, border, shape="square", view="stored"):
    """Sets the frame control, the border toggle, the pixel shape and the
    view control."""
    Select(driver.find_element(By.ID, "frame")).select_by_value(frame)
    toggle = driver.find_element(By.ID, "border")
    if toggle.is_selected() != border:
        # The keyboard, as a user without a mouse would.
        toggle.send_keys(" ")
    Select(driver.find_element(By.ID, "shape")).select_by_value(shape)
    select = driver.find_element(By.ID, "view")
    if Select(select).first_selected_option.get_attribute("value") != view:
        # The keyboard again: the options in turn until the one wanted.
        for _ in range(len(Select(select).options)):
            select.send_keys(Keys.ARROW_DOWN if view == "c64" else Keys.ARROW_UP)
            if Select(select).first_selected_option.get_attribute("value") == view:
                break
    check(Select(select).first_selected_option.get_attribute("value") == view,
          f"view control: {view} not chosen by the keyboard")


def figure_of(driver, name):
    return next(f for f in driver.find_elements(By.CSS_SELECTOR, "#pictures figure")
                if f.get_attribute("data-file") == name)


def open_as(driver, name, code):
    """Chooses layout `code` under the card's "Open as…" by the keyboard;
    gives the labels offered, or None when the card has no such control or
    the layout is not among them."""
    figure = figure_of(driver, name)
    summaries = figure.find_elements(By.CSS_SELECTOR, ".open-as summary")
    if not summaries:
        return None
    summaries[0].send_keys(Keys.ENTER)
    choices = figure.find_elements(By.CSS_SELECTOR, ".open-as button")
    labels = [c.get_attribute("textContent") for c in choices]
    choice = next((c for c in choices if c.get_attribute("data-layout") == str(code)), None)
    if choice is None or not choice.is_displayed():
        return None
    choice.send_keys(Keys.ENTER)
    try:
        WebDriverWait(driver, 10).until(lambda d: shown(d)[name]["layout"] == str(code))
    except TimeoutException:
        pass
    return labels


# The page's controls for each golden view (tests/data/views/STEM.VIEW.bmp):
# the frame choice, the border toggle and the view control. A border of a
# colour of its own (border-N) has no control on the page.
VIEW_CONTROLS = {
    "frame0": ("0", False, "stored"),
    "frame1": ("1", False, "stored"),
    "border": ("blend", True, "stored"),
    "stored": ("blend", False, "stored"),
    "c64": ("blend", False, "c64"),
    "c64-frame0": ("0", False, "c64"),
    "c64-frame1": ("1", False, "c64"),
}
NOT_ON_THE_PAGE = re.compile(r"border-\d+")


def golden_views(pictures, views):
    """{view: [(picture, golden view)]} for every STEM.VIEW.bmp; a picture is
    a sample or a file kept beside the views."""
    inputs = {p.stem: p for folder in (pictures, views) for p in sorted(folder.iterdir())
              if p.suffix != ".bmp"}
    table = {}
    for golden in sorted(views.glob("*.bmp")):
        stem, _, view = golden.stem.partition(".")
        if NOT_ON_THE_PAGE.fullmatch(view):
            continue
        if (check(view in VIEW_CONTROLS, f"{golden.name}: no page controls for view {view!r}") and
                check(stem in inputs, f"{golden.name}: no picture {stem}.*")):
            table.setdefault(view, []).append((inputs[stem], golden))
    return table


def show_as_named(driver, path):
    """A picture whose code prefix is not the layout the page finds from its
    bytes (or that the page refuses) is opened as that code under "Open
    as…"; gives whether it was so opened."""
    code = int(path.name.split("-")[0])
    entry = shown(driver).get(path.name)
    if entry is not None and entry["kind"] == "canvas" and entry["layout"] == str(code):
        return False
    labels = open_as(driver, path.name, code)
    entry = shown(driver).get(path.name)
    if check(labels is not None and entry["kind"] == "canvas" and entry["layout"] == str(code),
             f"{path.name}: shown as {entry and entry['layout']}, and layout {code} not under "
             f"Open as ({labels})"):
        caption = figure_of(driver, path.name).find_element(By.TAG_NAME, "figcaption").text
        return check("opened as chosen" in caption, f"{path.name}: caption {caption!r}")
    return False


def check_views(driver, pictures, views, artifacts):
    """Each golden view through the page: the choice made before the
    pictures come, and again made with them shown."""
    table = golden_views(pictures, views)
    checked = 0
    equal = 0
    chosen = set()
    for view, entries in table.items():
        frame, border, mode = VIEW_CONTROLS[view]
        paths = [path for path, _ in entries]
        for before in (True, False):
            if before:
                set_view(driver, frame, border, view=mode)
                give_files(driver, paths)
            else:
                set_view(driver, "blend", False)
                give_files(driver, paths)
            for path in paths:
                if show_as_named(driver, path):
                    chosen.add(path.name)
            if not before:
                set_view(driver, frame, border, view=mode)
            for path, golden in entries:
                rgba = canvas_rgba(driver, path.name)
                want = bmp_rgb(golden, BORDERED if border else (WIDTH, HEIGHT))
                equal += check(rgba is not None and rgba_to_rgb(rgba) == want,
                               f"{path.name} {view} ({'chosen before' if before else 'redrawn'}): "
                               "not the golden view")
                checked += 1
            if view == "c64" and before:
                driver.execute_script("window.scrollTo(0, 0)")
                driver.save_screenshot(str(artifacts / "c64-view.png"))
            clear(driver)
    set_view(driver, "blend", False)
    for view in ("frame0", "frame1", "border", "stored", "c64", "c64-frame1"):
        check(view in table, f"no golden {view} view")
    check(checked >= 2 * 27, f"only {checked} golden views checked")
    print(f"views: {equal} of {checked} golden views equal through the page "
          f"(opened as chosen: {', '.join(sorted(chosen)) or 'none'})")


# Flicker in each view: (picture, view). Each frame's pixels are its golden
# STEM.frameK.bmp (STEM.c64-frameK.bmp in the C64's view) where there is one,
# else what the page shows for that frame's own choice.
FLICKER = [("06-drazlace", "stored"), ("06-drazlace-shifted", "c64")]


def check_flicker(driver, pictures, views):
    """Flicker shows frame 0 and frame 1 in turn, on one canvas, in each view."""
    inputs = {p.stem: p for folder in (pictures, views) for p in folder.iterdir()
              if p.suffix != ".bmp"}
    for stem, view in FLICKER:
        path = inputs[stem]
        prefix = "" if view == "stored" else f"{view}-"
        give_files(driver, [path])
        frames = []
        for k in (0, 1):
            golden = views / f"{stem}.{prefix}frame{k}.bmp"
            set_view(driver, str(k), False, view=view)
            page = rgba_to_rgb(canvas_rgba(driver, path.name))
            if golden.exists():
                check(page == bmp_rgb(golden), f"{path.name}: frame {k} not {golden.name}")
                page = bmp_rgb(golden)
            frames.append(page)
        check(frames[0] != frames[1], f"{path.name} {view}: both frames alike")
        check(any((views / f"{stem}.{prefix}frame{k}.bmp").exists() for k in (0, 1)),
              f"{path.name} {view}: no golden frame")
        set_view(driver, "flicker", False, view=view)
        seen = []
        for _ in range(40):
            seen.append(rgba_to_rgb(canvas_rgba(driver, path.name)))
            if frames[0] in seen and frames[1] in seen:
                break
            time.sleep(0.013)
        if (check(all(s in frames for s in seen),
                  f"flicker {path.name} {view}: a canvas that is neither frame") and
                check(frames[0] in seen and frames[1] in seen,
                      f"flicker {path.name} {view}: {len(seen)} readings did not show both "
                      "frames")):
            print(f"flicker ({view}): both frames of {path.name} seen in {len(seen)} readings")
        clear(driver)
    set_view(driver, "blend", False)


def check_bordered_pal(driver, pictures, artifacts):
    """The border and PAL pixels by CSS: the canvas keeps 384 x 272 pixels
    and is shown 0.9365 times as wide for its height."""
    path = next(p for p in pictures.iterdir() if p.name.startswith("20-") and p.suffix != ".bmp")
    Select(driver.find_element(By.ID, "scale")).select_by_value("2")
    set_view(driver, "blend", True, "pal")
    give_files(driver, [path])
    canvas = next(c for c in driver.find_elements(By.CSS_SELECTOR, "#pictures canvas")
                  if c.get_attribute("data-file") == path.name)
    box = driver.execute_script(
        "const r = arguments[0].getBoundingClientRect(); return [r.width, r.height,"
        " arguments[0].width, arguments[0].height];", canvas)
    check(box[2:] == [384, 272], f"bordered canvas holds {box[2:]} pixels")
    check(abs(box[0] - 384 * 2 * 0.9365) < 1 and abs(box[1] - 272 * 2) < 1,
          f"bordered PAL canvas shown {box[0]} x {box[1]}, not 719 x 544")
    canvas.screenshot(str(artifacts / "bordered-pal.png"))
    print(f"screenshot: {artifacts / 'bordered-pal.png'} ({box[0]:.1f} x {box[1]:.1f})")
    clear(driver)
    set_view(driver, "blend", False)
    Select(driver.find_element(By.ID, "scale")).select_by_value("1")


# Refused files made from golden pictures: (file, golden stem, its bytes from
# the golden file's, the layout to choose under "Open as…" or None when no
# layout takes the file, whether that file lacks its load address).
# Files the layout's own extension would open (a Koala Painter picture at
# another address, a hires bitmap without one) are refused under a name that
# says nothing of them.
OPEN_AS = [
    ("koala-at-2000.dat", "20-koala-painter", lambda b: b"\x00\x20" + b[2:], 20, False),
    ("hires-headerless.dat", "12-hires-bitmap", lambda b: b[2:], 12, True),
    ("not-a-picture.txt", "20-koala-painter", lambda b: b"hello, this is not a picture\n", None,
     False),
]


def check_open_as(driver, pictures, views, workdir, artifacts):
    folder = workdir / "open-as"
    folder.mkdir()
    for name, stem, make, code, headerless in OPEN_AS:
        golden = next(p for p in pictures.iterdir() if p.stem == stem and p.suffix != ".bmp")
        (folder / name).write_bytes(make(golden.read_bytes()))
        if code is not None:
            # Under its layout's own extension the name opens it.
            named = (folder / name).with_suffix(golden.suffix)
            named.write_bytes((folder / name).read_bytes())
            give_files(driver, [named])
            entry = shown(driver).get(named.name)
            check(entry is not None and entry["kind"] == "canvas" and
                  entry["layout"] == str(code) and
                  rgba_to_rgb(canvas_rgba(driver, named.name)) ==
                  bmp_rgb(golden.with_suffix(".bmp")),
                  f"{named.name}: not opened by its name as {code}")
            clear(driver)
        give_files(driver, [folder / name])
        entry = shown(driver).get(name)
        check(entry is not None and entry["kind"] == "error", f"{name}: not refused")
        figure = next(f for f in driver.find_elements(By.CSS_SELECTOR, "#pictures figure")
                      if f.get_attribute("data-file") == name)
        summaries = figure.find_elements(By.CSS_SELECTOR, ".open-as summary")
        choices = figure.find_elements(By.CSS_SELECTOR, ".open-as button")
        labels = [c.get_attribute("textContent") for c in choices]
        print(f"{name}: open as {', '.join(labels) or 'nothing'}")
        if code is None:
            check(not summaries, f"{name}: offers Open as {labels}, though no layout takes it")
            continue
        if not check(len(summaries) == 1, f"{name}: no Open as control"):
            continue
        summaries[0].send_keys(Keys.ENTER)
        choice = next((c for c in choices if c.get_attribute("data-layout") == str(code)), None)
        if not check(choice is not None and choice.is_displayed(),
                     f"{name}: layout {code} not among the choices {labels}"):
            continue
        figure.screenshot(str(artifacts / f"open-as-{name}.png"))
        choice.send_keys(Keys.ENTER)
        try:
            WebDriverWait(driver, 10).until(lambda d: shown(d)[name]["kind"] == "canvas")
        except TimeoutException:
            pass
        entry = shown(driver)[name]
        if not check(entry["kind"] == "canvas" and entry["layout"] == str(code),
                     f"{name}: opened as {entry['layout']} ({entry['text']}), not {code}"):
            continue
        caption = figure.find_element(By.TAG_NAME, "figcaption").text
        check("opened as chosen" in caption and ("no load address" in caption) == headerless,
              f"{name}: caption {caption!r}")
        figure.screenshot(str(artifacts / f"opened-as-{name}.png"))
        bordered = views / f"{stem}.border.bmp"
        for border, want in ((True, bordered), (False, golden.with_suffix(".bmp"))):
            if not want.exists():
                continue
            set_view(driver, "blend", border)
            rgba = canvas_rgba(driver, name)
            check(rgba is not None and rgba_to_rgb(rgba) == bmp_rgb(want, BORDERED if border
                                                                   else (WIDTH, HEIGHT)),
                  f"{name} opened as {code}: not the pixels of {want.name}")
    clear(driver)


# ---- The formats beyond the twenty ------------------------------------------

def format_samples(folder):
    return sorted(p for p in folder.iterdir() if p.suffix != ".bmp")


def card_text(driver, name):
    return figure_of(driver, name).find_element(By.TAG_NAME, "figcaption").text


def framed_parts(rgb):
    """The 320 x 200 picture inside a bordered 384 x 272 one, and whether
    every border pixel has one colour."""
    row_bytes = BORDERED[0] * 3
    rows = [rgb[y * row_bytes:(y + 1) * row_bytes] for y in range(BORDERED[1])]
    left, top = 32, 35
    inner = b"".join(row[left * 3:(left + WIDTH) * 3] for row in rows[top:top + HEIGHT])
    ring = b"".join(rows[:top] + rows[top + HEIGHT:] +
                    [row[:left * 3] + row[(left + WIDTH) * 3:] for row in rows[top:top + HEIGHT]])
    return inner, ring == ring[:3] * (len(ring) // 3)


def check_formats(driver, folder, downloads):
    """Every file of the formats folder, given with its own name, at its own
    size; then the border, which frames only the 320 x 200 ones."""
    samples = format_samples(folder)
    if not check(len(samples) > 0, f"{folder}: no format samples"):
        return
    give_files(driver, samples)
    entries = shown(driver)
    golden = {}
    for sample in samples:
        name = sample.name
        width, height, want = bmp_picture(sample.with_suffix(".bmp"))
        entry = entries.get(name)
        if not check(entry is not None and entry["kind"] == "canvas",
                     f"{name}: no canvas ({entry and entry['text']})"):
            continue
        code = int(name.split("-")[0])
        check(entry["layout"] == str(code), f"{name}: data-layout {entry['layout']}, not {code}")
        check((entry["width"], entry["height"]) == (width, height),
              f"{name}: canvas {entry['width']} x {entry['height']}, not {width} x {height}")
        rgba = canvas_rgba(driver, name)
        if check(rgba_to_rgb(rgba) == want, f"{name}: canvas pixels differ from {sample.stem}.bmp"):
            golden[name] = (width, height, want)
        check(rgba[3::4] == b"\xff" * (len(rgba) // 4), f"{name}: canvas not opaque")
        check(f"{width} × {height}" in card_text(driver, name), f"{name}: card gives no size")
    sizes = sorted({(w, h) for w, h, _ in golden.values()})
    print(f"formats: {len(golden)} of {len(samples)} equal their golden pictures "
          f"({len(sizes)} sizes, {sizes[0][0]} x {sizes[0][1]} to {sizes[-1][0]} x {sizes[-1][1]})")

    # The border: the 320 x 200 pictures inside it, the others as they were.
    set_view(driver, "blend", True)
    framed = 0
    for name, (width, height, want) in golden.items():
        entry = shown(driver)[name]
        rgb = rgba_to_rgb(canvas_rgba(driver, name))
        text = card_text(driver, name)
        if (width, height) == (WIDTH, HEIGHT):
            framed += 1
            if check((entry["width"], entry["height"]) == BORDERED,
                     f"{name} with the border: canvas {entry['width']} x {entry['height']}"):
                inner, one_colour = framed_parts(rgb)
                check(inner == want and one_colour,
                      f"{name} with the border: not its picture inside a one-colour border")
            check("no border" not in text, f"{name} with the border: card says {text!r}")
        else:
            check((entry["width"], entry["height"]) == (width, height) and rgb == want,
                  f"{name} with the border: not its own {width} x {height} picture")
            check("no border (320 × 200 pictures only)" in text,
                  f"{name} with the border: card does not say why it has none ({text!r})")
    set_view(driver, "blend", False)
    for name, (width, height, want) in golden.items():
        check(rgba_to_rgb(canvas_rgba(driver, name)) == want,
              f"{name}: border off, not its golden picture again")
    print(f"formats with the border: {framed} framed, {len(golden) - framed} at their own size")

    spritepad = next((p for p in samples if p.name in golden and p.name.startswith("27-")), None)
    if check(spritepad is not None, "no SpritePad sample"):
        width, height, want = golden[spritepad.name]
        check_save_png(driver, downloads, spritepad, {spritepad.name: want}, (width, height))
    clear(driver)


def check_format_open_as(driver, folder, workdir):
    """A character set whose name does not say so: refused, then opened as
    one under "Open as…"."""
    source = next((p for p in format_samples(folder) if p.name.startswith("23-")), None)
    if not check(source is not None, "no character set sample (23-*)"):
        return
    renamed = workdir / "formats-open-as" / "charset.bin"
    renamed.parent.mkdir()
    renamed.write_bytes(source.read_bytes())
    give_files(driver, [renamed])
    entry = shown(driver).get(renamed.name)
    check(entry is not None and entry["kind"] == "error",
          f"{renamed.name}: a character set under another name is not refused")
    labels = open_as(driver, renamed.name, 23)
    entry = shown(driver)[renamed.name]
    width, height, want = bmp_picture(source.with_suffix(".bmp"))
    if check(labels is not None and entry["kind"] == "canvas" and entry["layout"] == "23",
             f"{renamed.name}: not opened as a character set under Open as ({labels})"):
        check(rgba_to_rgb(canvas_rgba(driver, renamed.name)) == want and
              "opened as chosen" in card_text(driver, renamed.name),
              f"{renamed.name} opened as a character set: not {source.stem}.bmp")
        print(f"{renamed.name}: open as {', '.join(labels)}")
    clear(driver)


def check_large_map(driver, folder, workdir):
    """A CharPad map of 2,560 x 1,600 pixels (16 MiB of RGBA, more than the
    module starts with): the sample's map repeated 20 times each way, whose
    picture is the sample's golden picture repeated."""
    source = folder / "26-charpad-v5.ctm"
    if not check(source.exists(), f"no {source.name}"):
        return
    data = source.read_bytes()
    width, height = struct.unpack_from("<HH", data, 16)  # the map, in tiles
    start = len(data) - width * height * 2
    tiles = struct.unpack_from(f"<{width * height}H", data, start)
    repeat = 20
    big = bytearray(data[:start])
    struct.pack_into("<HH", big, 16, width * repeat, height * repeat)
    for y in range(height * repeat):
        row = tiles[(y % height) * width:(y % height + 1) * width] * repeat
        big += struct.pack(f"<{len(row)}H", *row)
    path = workdir / "26-charpad-large.ctm"
    path.write_bytes(big)
    small_width, small_height, small = bmp_picture(source.with_suffix(".bmp"))
    rows = [small[y * small_width * 3:(y + 1) * small_width * 3] * repeat
            for y in range(small_height)]
    want = b"".join(rows) * repeat
    size = (small_width * repeat, small_height * repeat)
    give_files(driver, [path])
    entry = shown(driver).get(path.name)
    if check(entry is not None and entry["kind"] == "canvas" and
             (entry["width"], entry["height"]) == size,
             f"{path.name}: {entry and (entry['kind'], entry['width'], entry['height'])}, "
             f"not a {size[0]} x {size[1]} canvas"):
        check(rgba_to_rgb(canvas_rgba(driver, path.name)) == want,
              f"{path.name}: not the sample's picture repeated")
        print(f"large map: {path.name}, {size[0]} x {size[1]}, drawn whole")
    clear(driver)


def check_format_table(driver, folders):
    """The page says what it opens: the library's format table, every code
    of the samples among it, and no word of twenty layouts alone."""
    codes = driver.execute_script(
        "return Array.from(document.querySelectorAll('#format-table tbody tr'))"
        ".map((r) => r.dataset.code);")
    wanted = {name.split("-")[0].lstrip("0") for folder in folders for name in
              (p.name for p in folder.iterdir()) if name[:2].isdigit()}
    check(len(codes) == len(set(codes)) and wanted <= set(codes),
          f"format table: codes {codes}, samples' codes {sorted(wanted - set(codes))} missing")
    text = driver.find_element(By.TAG_NAME, "body").text
    check("twenty layouts" not in text, "the page still speaks of twenty layouts")


def check_format_screenshots(driver, folder, artifacts):
    """The page showing a CharPad map, a SpritePad set, and its format table."""
    Select(driver.find_element(By.ID, "scale")).select_by_value("3")
    for stem, shot in (("26-charpad-v5", "charpad.png"), ("27-spritepad-v1", "spritepad.png")):
        path = next((p for p in format_samples(folder) if p.stem == stem), None)
        if not check(path is not None, f"no {stem} sample"):
            continue
        give_files(driver, [path])
        driver.execute_script("window.scrollTo(0, 0)")
        driver.save_screenshot(str(artifacts / shot))
        print(f"screenshot: {artifacts / shot}")
        clear(driver)
    Select(driver.find_element(By.ID, "scale")).select_by_value("1")
    summary = driver.find_element(By.CSS_SELECTOR, "#formats summary")
    summary.send_keys(Keys.ENTER)
    screenshot(driver, artifacts / "formats.png")
    driver.set_window_size(1800, 1200)
    summary.send_keys(Keys.ENTER)


# The FLI and interlace families, each in both views: (screenshot name,
# sample stem, whether it is an FLI picture whose strip the C64 shows its
# own way, whether it has two frames).
FAMILY_SHOTS = [("bigfli", "75-big-fli", True, False),
                ("nufli", "80-nufli", True, False),
                ("interlace", "102-pixel-perfect", False, True)]
FLI_STRIP = 24  # the leftmost pixels, where the VIC-II reads no screen bytes


def strip_split(rgba, width):
    """(the leftmost FLI_STRIP pixels of each row, the rest of each row)."""
    row_bytes = width * 4
    rows = [rgba[y:y + row_bytes] for y in range(0, len(rgba), row_bytes)]
    return (b"".join(r[:FLI_STRIP * 4] for r in rows),
            b"".join(r[FLI_STRIP * 4:] for r in rows))


def check_family_views(driver, folder, artifacts):
    """A Big FLI, a NUFLI and an interlaced picture, each stored and as a C64
    shows it: the FLI ones change in the strip alone, and the interlaced
    one's frame control gives three different pictures."""
    Select(driver.find_element(By.ID, "scale")).select_by_value("2")
    for shot, stem, fli, interlaced in FAMILY_SHOTS:
        path = next((p for p in format_samples(folder) if p.stem == stem), None)
        if not check(path is not None, f"no {stem} sample"):
            continue
        width, height, golden = bmp_picture(path.with_suffix(".bmp"))
        set_view(driver, "blend", False, view="stored")
        give_files(driver, [path])
        entry = shown(driver).get(path.name)
        if not check(entry is not None and entry["kind"] == "canvas",
                     f"{path.name}: no canvas ({entry and entry['text']})"):
            clear(driver)
            continue
        pictures = {}
        for view in ("stored", "c64"):
            set_view(driver, "blend", False, view=view)
            pictures[view] = canvas_rgba(driver, path.name)
            driver.execute_script("window.scrollTo(0, 0)")
            screenshot(driver, artifacts / f"{shot}-{view}.png")
            driver.set_window_size(1800, 1200)
        stored, c64 = pictures["stored"], pictures["c64"]
        check(rgba_to_rgb(stored) == golden, f"{path.name} stored: not {stem}.bmp")
        if fli:
            stored_strip, stored_rest = strip_split(stored, width)
            c64_strip, c64_rest = strip_split(c64, width)
            changed = sum(stored_strip[i:i + 4] != c64_strip[i:i + 4]
                          for i in range(0, len(c64_strip), 4))
            check(changed > 0 and stored_rest == c64_rest,
                  f"{path.name}: the C64's view is not the stored one with its "
                  f"{FLI_STRIP}-pixel strip changed ({changed} strip pixels changed, "
                  f"rest {'equal' if stored_rest == c64_rest else 'differs'})")
            print(f"{path.name}: C64 view changes {changed} of {FLI_STRIP * height} strip "
                  f"pixels and nothing else")
        if interlaced:
            frames = {}
            for frame in ("0", "1", "blend"):
                set_view(driver, frame, False, view="stored")
                frames[frame] = canvas_rgba(driver, path.name)
            check(frames["blend"] == stored, f"{path.name}: blend chosen again, not as before")
            for a, b in (("0", "1"), ("0", "blend"), ("1", "blend")):
                differ = sum(frames[a][i:i + 4] != frames[b][i:i + 4]
                             for i in range(0, len(frames[a]), 4))
                check(differ > 0, f"{path.name}: frame {a} and frame {b} are the same picture")
                print(f"{path.name}: frame {a} and frame {b} differ in {differ} pixels")
        clear(driver)
    set_view(driver, "blend", False)
    Select(driver.find_element(By.ID, "scale")).select_by_value("1")


def check_petscii(driver, folder, artifacts):
    """Petmate projects without a character set, then with the made-up one
    loaded through the page's button."""
    projects = [folder / "120-petmate-v1.petmate", folder / "120-petmate-v2.petmate"]
    give_files(driver, projects)
    entry = shown(driver).get(projects[0].name)
    check(entry is not None and entry["kind"] == "error" and "character set" in entry["text"],
          f"{projects[0].name} without a character set: {entry}")
    chargen = folder / "made-up-chargen.bin"
    driver.find_element(By.ID, "charset-input").send_keys(str(chargen.resolve()))
    try:
        WebDriverWait(driver, 10).until(
            lambda d: all(e["kind"] == "canvas" for e in shown(d).values()))
    except TimeoutException:
        check(False, f"not drawn with {chargen.name}: {shown(driver)}")
    for project in projects:
        width, height, want = bmp_picture(project.with_suffix(".bmp"))
        rgba = canvas_rgba(driver, project.name)
        check(rgba is not None and rgba_to_rgb(rgba) == want,
              f"{project.name} with {chargen.name}: not {project.stem}.bmp")
    check(driver.execute_script("return localStorage.length") == 0,
          "the character set was stored unasked")
    Select(driver.find_element(By.ID, "scale")).select_by_value("2")
    driver.execute_script("window.scrollTo(0, 0)")
    screenshot(driver, artifacts / "petscii.png")
    driver.set_window_size(1800, 1200)
    Select(driver.find_element(By.ID, "scale")).select_by_value("1")
    clear(driver)


def check_requests(driver, server, port):
    """Everything the page asked for, wherever it points, is one of its files."""
    origin = f"http://127.0.0.1:{port}"
    own = {origin + path for path in PAGE_FILES}
    asked = set()
    for entry in driver.get_log("performance"):
        message = json.loads(entry["message"])["message"]
        if message["method"] != "Network.requestWillBeSent":
            continue
        # The browser's own start page loads before the page does.
        if message["params"].get("documentURL", "").startswith(origin + "/"):
            asked.add(message["params"]["request"]["url"])
    foreign = sorted(u for u in asked if u not in own and not u.startswith(("data:", "blob:")))
    check(not foreign, f"requests beyond the page's own files: {foreign}")
    served = sorted(set(server.paths) - PAGE_FILES)
    check(not served, f"server asked for {served}")
    check(f"http://127.0.0.1:{port}/tarnel.wasm" in asked, "the module was not loaded")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("page", type=Path)
    parser.add_argument("pictures", type=Path)
    parser.add_argument("--hostile", type=Path, help="tarnel_make_corpus's hostile/ folder")
    parser.add_argument("--artifacts", type=Path)
    parser.add_argument("--views", type=Path, help="golden frames and borders (default: "
                        "PICTURES_DIR/../views)")
    parser.add_argument("--formats", type=Path, help="the formats beyond the twenty, each beside "
                        "its golden .bmp (default: PICTURES_DIR/../formats)")
    parser.add_argument("--petscii", type=Path, help="character screens and the made-up "
                        "character ROM (default: PICTURES_DIR/../petscii)")
    args = parser.parse_args()
    views = args.views or args.pictures.parent / "views"
    formats = args.formats or args.pictures.parent / "formats"
    petscii = args.petscii or args.pictures.parent / "petscii"
    artifacts = args.artifacts or args.page / "artifacts"
    artifacts.mkdir(parents=True, exist_ok=True)
    samples = sorted(p for p in args.pictures.iterdir() if p.suffix != ".bmp")

    server = PageServer(args.page)
    workdir = Path(tempfile.mkdtemp(prefix="tarnel-web-"))
    downloads = workdir / "downloads"
    downloads.mkdir()
    driver = start_browser(workdir / "profile", downloads)
    try:
        driver.get(f"http://127.0.0.1:{server.port}/index.html")
        try:
            WebDriverWait(driver, 30).until(
                lambda d: d.execute_script("return document.body.classList.contains('ready')"))
        except TimeoutException:
            check(False, f"page not ready: {driver.find_element(By.ID, 'status').text}")
            raise SystemExit(1)

        Select(driver.find_element(By.ID, "scale")).select_by_value("1")
        give_files(driver, samples)
        expected = check_samples(driver, samples)
        print(f"samples: {len(expected)} of {len(samples)} equal their golden pictures")
        screenshot(driver, artifacts / "samples.png")
        driver.set_window_size(1800, 1200)
        if expected:
            check_crisp(driver, samples[-1].name, 3)
        check_palettes(driver, samples, expected)
        if expected:
            check_save_png(driver, downloads, samples[-1], expected)
            check_drop_and_folder(driver, samples, expected)
            check_hostile(driver, hostile_files(args.hostile, workdir), samples[0], expected)
            driver.execute_script("window.scrollTo(0, 0)")
            driver.save_screenshot(str(artifacts / "hostile.png"))
            clear(driver)
        check_open_as(driver, args.pictures, views, workdir, artifacts)
        check_views(driver, args.pictures, views, artifacts)
        check_flicker(driver, args.pictures, views)
        check_bordered_pal(driver, args.pictures, artifacts)
        check_format_table(driver, (args.pictures, formats, petscii))
        check_formats(driver, formats, downloads)
        check_format_open_as(driver, formats, workdir)
        check_large_map(driver, formats, workdir)
        check_format_screenshots(driver, formats, artifacts)
        check_family_views(driver, formats, artifacts)
        check_petscii(driver, petscii, artifacts)
        errors = [e for e in driver.get_log("browser") if e["level"] == "SEVERE"]
        check(not errors, f"browser errors: {errors}")
        check_requests(driver, server, server.port)
    finally:
        driver.quit()
        server.close()
        shutil.rmtree(workdir, ignore_errors=True)

    if failures:
        print(f"{len(failures)} failure(s)")
        return 1
    print("web page: all checks passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
