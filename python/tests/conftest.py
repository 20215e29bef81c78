"""Shared pieces of the Python package's tests.

The tests import the installed package: scripts/test_python.sh puts the
install prefix's Python folder on PYTHONPATH and its library folder on
LD_LIBRARY_PATH, and passes the hostile-file corpus with --hostile.
"""

from __future__ import annotations

import functools
from pathlib import Path
from typing import List, Tuple

import PIL
import pytest
from PIL import Image

PICTURES = Path(__file__).resolve().parents[2] / "tests" / "data" / "pictures"
VIEWS = PICTURES.parent / "views"
FORMATS = PICTURES.parent / "formats"
PETSCII = PICTURES.parent / "petscii"
# The made-up character ROM the character screens' golden pictures are drawn with.
MADE_UP_CHARGEN = PETSCII / "made-up-chargen.bin"


def pytest_addoption(parser: pytest.Parser) -> None:
    parser.addoption(
        "--hostile", type=Path, help="the hostile/ folder tarnel_make_corpus writes (hostile-formats/ beside it)"
    )


def pytest_report_header(config: pytest.Config) -> List[str]:
    import tarnel

    return [
        f"tarnel package: {Path(tarnel.__file__).parent}",
        f"tarnel library: {loaded_library()}",
        f"versions: library {tarnel.library_version()}, Pillow {PIL.__version__}",
    ]


def loaded_library() -> str:
    """The file of libtarnel.so.1 this process has loaded."""
    import tarnel

    tarnel.layouts()
    with open("/proc/self/maps") as maps:
        for line in maps:
            if "/libtarnel.so.1" in line:
                return line.split()[-1]
    raise AssertionError("libtarnel.so.1 is not mapped")


def pytest_generate_tests(metafunc: pytest.Metafunc) -> None:
    if "hostile_file" not in metafunc.fixturenames:
        return
    corpus = metafunc.config.getoption("hostile")
    if corpus is None:
        metafunc.parametrize("hostile_file", [pytest.param(None, marks=pytest.mark.skip("no --hostile DIR"))])
        return
    files = []
    # The twenty layouts' hostile files, and the other formats' (named with
    # the extension that makes the library try them).
    for folder in (corpus, corpus.parent / "hostile-formats"):
        listed = (folder / "EXPECTED.txt").read_text().splitlines()
        assert listed, f"{folder}/EXPECTED.txt lists no file"
        for line in listed:
            name, result, code = line.split()
            files.append(pytest.param((folder / name, int(result), int(code)), id=f"{folder.name}/{name}"))
    metafunc.parametrize("hostile_file", files)


def golden_pictures() -> List[Path]:
    """Every golden picture file (NN-name.EXT beside NN-name.bmp)."""
    pictures = sorted(p for p in PICTURES.iterdir() if p.suffix != ".bmp" and p.suffix != ".md")
    assert len(pictures) == 20, pictures
    return pictures


def format_files() -> List[Path]:
    """Every golden file of the formats beyond the twenty (tests/data/formats:
    NN-name.EXT beside NN-name.bmp, the picture at its own size)."""
    files = sorted(p for p in FORMATS.iterdir() if p.suffix != ".bmp" and p.suffix != ".md")
    assert files and all(p.with_suffix(".bmp").is_file() for p in files), files
    return files


def petscii_files() -> List[Path]:
    """Every golden character screen (tests/data/petscii, drawn with
    MADE_UP_CHARGEN); a .scr's .col is its companion, not a picture."""
    files = sorted(p for p in PETSCII.iterdir() if p.suffix not in (".bmp", ".md", ".col", ".bin"))
    assert files and all(p.with_suffix(".bmp").is_file() for p in files), files
    return files


@functools.lru_cache(maxsize=None)
def bitmap(path: Path) -> Tuple[Tuple[int, int], bytes]:
    """The size and RGB pixels of a golden .bmp."""
    with Image.open(path) as bmp:
        assert bmp.format == "BMP"
        return bmp.size, bmp.convert("RGB").tobytes()


def golden_pixels(picture: Path) -> bytes:
    """The expected RGB pixels of a golden picture, from its .bmp."""
    size, pixels = bitmap(picture.with_suffix(".bmp"))
    assert size == (320, 200)
    return pixels


def view(name: str) -> Tuple[Tuple[int, int], bytes]:
    """The size and RGB pixels of tests/data/views/NAME.bmp (a frame alone, the border)."""
    return bitmap(VIEWS / f"{name}.bmp")


def layout_code(picture: Path) -> int:
    """The format code a golden picture's name starts with."""
    return int(picture.name.split("-", 1)[0])


def golden_ids(pictures: List[Path]) -> List[str]:
    return [p.name for p in pictures]


def colours(pixels: bytes) -> List[Tuple[int, int, int]]:
    return list(zip(pixels[0::3], pixels[1::3], pixels[2::3]))
