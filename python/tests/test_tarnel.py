"""The tarnel package and its Pillow plugin, against the installed library."""

from __future__ import annotations

import io
import os
import shutil
import subprocess
import sys
import threading
from pathlib import Path
from typing import Dict, List, Sequence, Tuple

import pytest
from conftest import (
    FORMATS as FORMATS_DIR,
    MADE_UP_CHARGEN,
    PETSCII as PETSCII_DIR,
    VIEWS as VIEWS_DIR,
    bitmap,
    colours,
    format_files,
    golden_ids,
    golden_pixels,
    golden_pictures,
    layout_code,
    loaded_library,
    petscii_files,
    view,
)
from PIL import Image, UnidentifiedImageError

import tarnel
import tarnel.pillow

GOLDEN = golden_pictures()
Colour = Tuple[int, int, int]


@pytest.mark.parametrize("picture", GOLDEN, ids=golden_ids(GOLDEN))
def test_decode_gives_the_golden_picture(picture: Path) -> None:
    data = picture.read_bytes()
    result = tarnel.decode(data)
    assert (result.width, result.height, result.mode) == (320, 200, "RGB")
    assert result.pixels == golden_pixels(picture)
    info = result.info
    assert info.layout == layout_code(picture)
    assert info.frames == (2 if info.interlaced else 1)
    assert info.load_address == data[0] | data[1] << 8
    assert (info.frame_count, info.chosen, info.headerless) == (info.frames, False, False)
    assert tarnel.identify(bytearray(data)) == info


SHORT_NAMES = {info.layout: info.short_name for info in tarnel.layouts()}


# Each golden picture as its user may have it, saved at another load address
# or without one, opened as its layout: by short name, and by code.
@pytest.mark.parametrize("saved", ["elsewhere", "headerless"])
@pytest.mark.parametrize("picture", GOLDEN, ids=golden_ids(GOLDEN))
def test_a_file_opened_as_its_layout_gives_the_golden_picture(picture: Path, saved: str) -> None:
    data = picture.read_bytes()
    address = data[0] | data[1] << 8
    if saved == "elsewhere":
        address = (address + 0x1000) & 0xFFFF
        data = bytes([address & 0xFF, address >> 8]) + data[2:]
    else:
        data = data[2:]
    code = layout_code(picture)
    result = tarnel.decode(data, layout=SHORT_NAMES[code])
    assert (result.width, result.height) == (320, 200)
    assert result.pixels == golden_pixels(picture)
    info = result.info
    assert (info.layout, info.short_name, info.load_address) == (code, SHORT_NAMES[code], address)
    assert (info.chosen, info.headerless) == (True, saved == "headerless")
    assert tarnel.identify(data, layout=code) == info


# Each refused before the file is looked at (b"" would be NotRecognised).
BAD_OPTIONS = [
    ({"layout": "nonesuch"}, "no layout 'nonesuch'; the layouts are .*koala \\(20\\)"),
    ({"layout": "koala\0"}, "no layout"),
    ({"layout": ""}, "no layout"),
    ({"layout": 10}, "no layout 10"),
    ({"layout": 0}, "no layout 0"),
    ({"layout": 2**40}, "no layout"),
    ({"frame": -1}, "frame is"),
    ({"frame": 65536}, "frame is"),
    ({"charset": b"\0" * 4095}, "4,095 bytes; a character set is 4,096"),
    ({"view": "C64 "}, "view is"),
    ({"frame": "0"}, "frame is"),
    ({"border_colour": 16}, "border_colour is"),
    ({"border_colour": -1}, "border_colour is"),
    ({"name": "font\0.64c"}, "no zero byte"),
]


@pytest.mark.parametrize("options, message", BAD_OPTIONS, ids=[repr(o)[:40] for o, _ in BAD_OPTIONS])
def test_bad_options_raise_value_error(options: Dict[str, object], message: str) -> None:
    takes_all = "layout" in options or "name" in options
    calls = [tarnel.decode] + ([tarnel.identify, tarnel.explain] if takes_all else [])
    for call in calls:
        with pytest.raises(ValueError, match=message):
            call(b"", **options)  # type: ignore[operator]


def test_a_file_not_of_the_named_layout_is_refused_naming_its_sizes() -> None:
    data = next(p for p in GOLDEN if p.suffix == ".koa").read_bytes()[:9000]
    with pytest.raises(tarnel.NotRecognised) as refused:
        tarnel.decode(data, layout="KOALA")
    assert "10,003" in str(refused.value)
    assert str(refused.value) == tarnel.explain(data, layout="koala") != tarnel.explain(data)
    assert tarnel.identify(data, layout="koala") is None


# (picture, options, the view in tests/data/views it gives)
VIEWS = [
    ("06-drazlace", {"frame": 0}, "frame0"),
    ("06-drazlace", {"frame": 1}, "frame1"),
    ("06-drazlace", {"border": True}, "border"),
    ("07-drazlace-packed", {"border": True, "border_colour": 14}, "border-14"),
    ("17-afli", {"view": "c64"}, "c64"),
    ("06-drazlace-shifted", {"view": "c64", "frame": 1}, "c64-frame1"),
    ("22-hires-manager", {"layout": "hires-manager", "view": "c64"}, "c64"),
]


@pytest.mark.parametrize("stem, options, name", VIEWS, ids=[f"{s}.{n}" for s, _, n in VIEWS])
def test_views_give_the_golden_views(stem: str, options: Dict[str, object], name: str) -> None:
    # A golden picture, or one kept beside the views.
    picture = next(p for p in [*GOLDEN, *VIEWS_DIR.iterdir()] if p.stem == stem and p.suffix != ".bmp")
    result = tarnel.decode(picture.read_bytes(), **options)  # type: ignore[arg-type]
    size, pixels = view(f"{stem}.{name}")
    assert (result.width, result.height) == size
    assert result.pixels == pixels


# How the file reaches Image.open: its own name, renamed, or an open file.
OPENINGS = ["as named", ".prg", "no extension", "file object"]


@pytest.mark.parametrize("how", OPENINGS)
@pytest.mark.parametrize("picture", GOLDEN, ids=golden_ids(GOLDEN))
def test_image_open_gives_the_golden_picture(picture: Path, how: str, tmp_path: Path) -> None:
    target = {
        "as named": picture,
        ".prg": tmp_path / "picture.prg",
        "no extension": tmp_path / "picture",
        "file object": io.BytesIO(picture.read_bytes()),
    }[how]
    if isinstance(target, Path) and target != picture:
        shutil.copyfile(picture, target)
    with Image.open(target) as image:
        assert (image.format, image.size, image.mode) == ("C64", (320, 200), "RGB")
        assert image.info["layout"] == layout_code(picture)
        assert image.format_description == tarnel.identify(picture.read_bytes()).name
        assert image.tile, "decoded at open, not at load"
        image.load()
        assert not image.tile
        assert image.tobytes() == golden_pixels(picture)
    # The extensions of the library's table: .fli is also Pillow's own FLI
    # (Autodesk animations).
    owner = {".fli": "FLI"}.get(picture.suffix, "C64")
    assert Image.registered_extensions().get(picture.suffix) == owner


FORMAT_FILES = format_files() + petscii_files()
FORMATS = {f.code: f for f in tarnel.formats()}


# The formats beyond the twenty, each at its own size, with the file's name
# as the hint: as a path, as an extension, and as Pillow knows it. Character
# screens are drawn with the set TARNEL_CHARGEN names, read by the library.
@pytest.mark.parametrize("path", FORMAT_FILES, ids=golden_ids(FORMAT_FILES))
def test_formats_give_their_golden_pictures_at_their_own_size(
    path: Path, monkeypatch: pytest.MonkeyPatch
) -> None:
    monkeypatch.setenv("TARNEL_CHARGEN", str(MADE_UP_CHARGEN))
    size, pixels = bitmap(path.with_suffix(".bmp"))
    data = path.read_bytes()
    result = tarnel.decode(data, name=path)
    assert (result.width, result.height) == (result.info.width, result.info.height) == size
    assert result.pixels == pixels
    info = result.info
    assert info.layout == layout_code(path)
    assert info.charset_source in (("environment", "file") if path.parent == PETSCII_DIR else ("",))
    # A .scr's colours are in the .col beside it: its path is needed.
    assert tarnel.identify(data, name=path if path.suffix == ".scr" else path.suffix) == info
    form = FORMATS[info.layout]
    assert (form.short_name, form.name) == (info.short_name, info.name)
    assert path.suffix[1:] in form.extensions and form.found_by in ("content", "name")
    assert Image.registered_extensions()[path.suffix] == "C64"
    with Image.open(path) as image:
        assert (image.format, image.size, image.mode) == ("C64", size, "RGB")
        assert (image.info["layout"], image.format_description) == (info.layout, info.name)
        image.load()
        assert image.tobytes() == pixels


# A character screen with the set given by the caller: its bytes or its path,
# whatever TARNEL_CHARGEN says.
@pytest.mark.parametrize("given", ["bytes", "path"])
def test_a_character_set_given_draws_the_screen(
    given: str, monkeypatch: pytest.MonkeyPatch, tmp_path: Path
) -> None:
    monkeypatch.setenv("TARNEL_CHARGEN", str(tmp_path / "nonesuch"))
    path = PETSCII_DIR / "120-petmate-v1.petmate"
    charset = MADE_UP_CHARGEN.read_bytes() if given == "bytes" else MADE_UP_CHARGEN
    result = tarnel.decode(path.read_bytes(), name=path, charset=charset)
    assert result.pixels == bitmap(path.with_suffix(".bmp"))[1]
    assert (result.info.charset_source, result.info.charset_case) == ("caller", "upper")


# With no set anywhere (no TARNEL_CHARGEN, no VICE ROM) a character screen is
# refused, in words that name the ways to give one; through Pillow too.
def test_a_character_screen_without_a_set_says_how_to_give_one(
    monkeypatch: pytest.MonkeyPatch, tmp_path: Path
) -> None:
    folders, names = ("/usr/share/vice/C64", "/usr/lib/vice/C64"), ("chargen-901225-01.bin", "chargen")
    if any(Path(folder, name).is_file() for folder in folders for name in names):
        pytest.skip("an installed VICE's character ROM draws it")
    monkeypatch.delenv("TARNEL_CHARGEN", raising=False)
    monkeypatch.delenv("XDG_DATA_HOME", raising=False)
    monkeypatch.setenv("HOME", str(tmp_path))
    path = PETSCII_DIR / "120-petmate-v1.petmate"
    with pytest.raises(tarnel.TarnelError, match="TARNEL_CHARGEN") as refused:
        tarnel.decode(path.read_bytes(), name=path)
    assert refused.value.code == -8 and "charset" in str(refused.value)
    assert tarnel.identify(path.read_bytes(), name=path).charset_source == "missing"
    with pytest.raises(tarnel.TarnelError, match="TARNEL_CHARGEN"):
        Image.open(path)


# Renamed to .bin: a file without a signature is refused, one with opens.
@pytest.mark.parametrize(
    "stem, opens", [("23-charset.64c", False), ("27-spritepad-headerless.spd", False), ("26-charpad-v9.ctm", True)]
)
def test_a_renamed_file_opens_by_its_signature_alone(stem: str, opens: bool, tmp_path: Path) -> None:
    path = tmp_path / "renamed.bin"
    shutil.copyfile(FORMATS_DIR / stem, path)
    data = path.read_bytes()
    if opens:
        assert tarnel.decode(data, name=path).pixels == bitmap((FORMATS_DIR / stem).with_suffix(".bmp"))[1]
        with Image.open(path) as image:
            assert image.info["layout"] == layout_code(path.with_name(stem))
    else:
        assert tarnel.identify(data, name=path) is None
        with pytest.raises(tarnel.NotRecognised) as refused:
            tarnel.decode(data, name=path)
        assert str(refused.value) == tarnel.explain(data, name=path) != ""
        with pytest.raises(UnidentifiedImageError):
            Image.open(path)
    # Without a name at all, as with .bin.
    assert (tarnel.identify(data) is not None) == opens


# TGA: Pillow tries it after the plugin, on any file (it has no accept test).
# Named as a format the library finds by name, the file is still refused by
# its bytes, and Pillow goes on to its own formats.
@pytest.mark.parametrize("name", ["picture", "picture.a", "picture.g", "picture.64c"])
@pytest.mark.parametrize(
    "fmt, mode",
    [("PNG", "RGB"), ("BMP", "RGB"), ("GIF", "P"), ("JPEG", "RGB"), ("TGA", "RGB")],
)
def test_other_formats_open_as_themselves(fmt: str, mode: str, name: str, tmp_path: Path) -> None:
    path = tmp_path / name
    with Image.open(GOLDEN[0]) as image:
        image.convert(mode).save(path, format=fmt)
    with Image.open(path) as image:
        assert image.format == fmt
        image.load()


def test_hostile_files_are_decoded_or_refused(hostile_file: Tuple[Path, int, int]) -> None:
    # EXPECTED.txt: the library's result and the format each file opens as,
    # 0 for none.
    path, result, code = hostile_file
    data = path.read_bytes()
    if code != 0:
        picture = tarnel.decode(data, name=path)
        assert picture.info.layout == code
        with Image.open(path) as image:
            image.load()
            assert (image.info["layout"], image.size) == (code, (picture.width, picture.height))
    elif result == -8:
        # A character screen that needs a set it does not carry: the library's
        # file, refused in its words, which Pillow does not pass to another format.
        with pytest.raises(tarnel.TarnelError) as refused:
            tarnel.decode(data, name=path)
        assert refused.value.code == result
        assert str(refused.value) == tarnel.explain(data, name=path) != ""
        with pytest.raises(tarnel.TarnelError):
            Image.open(path)
    else:
        with pytest.raises(tarnel.NotRecognised) as refused:
            tarnel.decode(data, name=path)
        assert str(refused.value) == tarnel.explain(data, name=path) != ""
        with pytest.raises(UnidentifiedImageError):
            Image.open(path)


CUSTOM = [(i * 16, 255 - i * 16, i * 7) for i in range(16)]
# (palette argument, the colours it must give): each named palette (the name
# in another case) and 16 triples of one's own.
PALETTES = [(p.name.upper(), p.colours) for p in tarnel.palettes()] + [(CUSTOM, tuple(CUSTOM))]
# Pictures without blended colours: each pixel is one of the 16 colours.
FLAT = [p for p in GOLDEN if tarnel.decode(p.read_bytes()).info.frames == 1]


@pytest.mark.parametrize("palette, wanted", PALETTES, ids=[p.name for p in tarnel.palettes()] + ["custom"])
def test_palettes_change_exactly_the_expected_colours(palette: object, wanted: Sequence[Colour]) -> None:
    to_new = dict(zip(tarnel.palettes()[0].colours, wanted))
    assert len(to_new) == 16, "the library's own palette repeats a colour"
    for picture in FLAT:
        data = picture.read_bytes()
        before = colours(tarnel.decode(data).pixels)
        after = colours(tarnel.decode(data, palette=palette).pixels)  # type: ignore[arg-type]
        assert [to_new[c] for c in before] == after, picture.name


def test_threads_decode_at_once_with_equal_results() -> None:
    # Each thread goes through the pictures from a different one, so that
    # different files are decoded at the same moment.
    threads, rounds = 4, 10
    files = [p.read_bytes() for p in GOLDEN]
    start = threading.Barrier(threads)
    results: Dict[int, List[bytes]] = {}

    def order(n: int) -> List[int]:
        return [(i + n * 5) % len(files) for i in range(len(files))] * rounds

    def work(n: int) -> None:
        start.wait()
        results[n] = [tarnel.decode(files[i]).pixels for i in order(n)]

    workers = [threading.Thread(target=work, args=(n,)) for n in range(threads)]
    for worker in workers:
        worker.start()
    for worker in workers:
        worker.join()
    for n in range(threads):
        assert results.get(n) == [golden_pixels(GOLDEN[i]) for i in order(n)], f"thread {n}"


MISSING_PROBE = """
import tarnel
try:
    {call}
except tarnel.LibraryNotFound as error:
    print(error)
    raise SystemExit(3)
print("loaded", tarnel.library_version())
"""


@pytest.mark.parametrize(
    "library, call, status",
    [
        ("nowhere", "tarnel.decode(b'')", 3),
        ("unset", "tarnel.layouts()", 3),
        ("nowhere", "import tarnel.pillow", 3),
        ("real", "tarnel.layouts()", 0),
    ],
)
def test_a_missing_library_gives_a_clear_error(library: str, call: str, status: int, tmp_path: Path) -> None:
    env = dict(os.environ, LD_LIBRARY_PATH="")
    env.pop("TARNEL_LIBRARY", None)
    if library == "nowhere":
        env["TARNEL_LIBRARY"] = str(tmp_path / "libtarnel.so.1")
    elif library == "real":
        env["TARNEL_LIBRARY"] = loaded_library()
    run = subprocess.run(
        [sys.executable, "-c", MISSING_PROBE.format(call=call)], env=env, capture_output=True, text=True
    )
    if library == "unset" and run.returncode == 0:
        pytest.skip("libtarnel.so.1 is installed where the system's loader finds it")
    assert run.returncode == status, run.stdout + run.stderr
    if status == 3:
        assert "libtarnel.so.1" in run.stdout and "TARNEL_LIBRARY" in run.stdout, run.stdout
        if library == "nowhere":
            assert env["TARNEL_LIBRARY"] in run.stdout
