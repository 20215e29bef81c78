"""A Pillow plugin for C64 pictures: ``PIL.Image.open`` reads every layout
the tarnel library knows.

    import tarnel.pillow  # registers the plugin
    from PIL import Image
    image = Image.open("picture.koa")  # a 320 x 200 RGB image

Importing this module registers the plugin (``register()`` does it again
harmlessly). It decides by content, not by file name: files named ``.prg``
or with no extension open too. The first bytes of a C64 file are only a load
address, so the plugin accepts any file of two bytes or more at first and
its open step refuses with ``SyntaxError`` whatever the library does not
recognise: Pillow then goes on to its other formats. The plugin is
registered after Pillow's common formats (PNG, JPEG, GIF, BMP, PPM), which
are therefore tried first.

``Image.open`` reads the file and identifies it; the picture is decoded at
``load()``. ``image.format`` is "C64", ``image.format_description`` the
layout's name, and ``image.info`` holds the layout's code ("layout") and
the other fields of ``tarnel.Info``.
"""

from __future__ import annotations

import threading
from typing import IO, List, Tuple

from PIL import Image, ImageFile

from . import HEIGHT, MAX_FILE_SIZE, WIDTH, _library, decode, explain, identify

FORMAT = "C64"
"""The format name Pillow reports for every layout."""
MIME_TYPE = "image/x-c64-picture"
DECODER = "tarnel"
# The usual file name extensions of the layouts, but .fli: Pillow's FLI
# (Autodesk animations) has it. The plugin needs none of them to open a file.
EXTENSIONS: List[str] = [
    ".aas", ".afl", ".ami", ".art", ".bml", ".dd", ".ddl", ".drl", ".drz", ".fbi", ".fcp",
    ".fd2", ".fp2", ".fpt", ".fun", ".gun", ".hbm", ".hir", ".hpi", ".kla", ".koa",
    ".mpic", ".ocp", ".pmg", ".rpm",
]  # fmt: skip

# Pillow 10.1 made Image.mode a read-only property over Image._mode; before
# that, plugins set the plain attribute.
_MODE_IS_PROPERTY = isinstance(getattr(Image.Image, "mode", None), property)
# Pillow 11 describes tiles with ImageFile._Tile; before, with plain tuples.
_Tile = getattr(ImageFile, "_Tile", None)


def _accept(prefix: bytes) -> bool:
    # Any two bytes may be a load address: the open step decides.
    return len(prefix) >= 2


def _read_file(fp: IO[bytes]) -> bytes:
    # One byte more than the largest layout is enough to refuse a larger file.
    data = b""
    while len(data) <= MAX_FILE_SIZE:
        chunk = fp.read(MAX_FILE_SIZE + 1 - len(data))
        if not chunk:
            break
        data += chunk
    return data


class TarnelImageFile(ImageFile.ImageFile):
    """A C64 picture file, identified at open and decoded at load."""

    format = FORMAT
    format_description = "Commodore 64 picture"

    def _open(self) -> None:
        data = _read_file(self.fp)
        info = identify(data)
        if info is None:
            raise SyntaxError(f"not a C64 picture: {explain(data)}")
        self.format_description = info.name
        self.info.update(
            layout=info.layout,
            layout_name=info.name,
            packed=info.packed,
            interlaced=info.interlaced,
            frames=info.frames,
            load_address=info.load_address,
            unpacked_as=info.unpacked_as,
        )
        self._size = (WIDTH, HEIGHT)
        if _MODE_IS_PROPERTY:
            self._mode = "RGB"
        else:
            self.mode = "RGB"
        tile = (DECODER, (0, 0, WIDTH, HEIGHT), 0, ())
        self.tile = [_Tile(*tile) if _Tile else tile]


class TarnelDecoder(ImageFile.PyDecoder):
    """Decodes the whole file through the library, in one call."""

    _pulls_fd = True

    def decode(self, buffer: bytes) -> Tuple[int, int]:
        self.fd.seek(0)
        self.set_as_raw(decode(_read_file(self.fd)).pixels)
        return -1, 0


_registered = False
_register_lock = threading.Lock()


def register() -> None:
    """Registers the opener, the decoder, the extensions and the MIME type with Pillow.

    Loads the C library first, so that a missing library raises
    ``tarnel.LibraryNotFound`` here rather than at every later ``Image.open``.
    Registering again does nothing.
    """
    global _registered
    with _register_lock:
        if _registered:
            return
        _library.load()
        # Pillow's common formats first: their tests are exact, ours is not.
        Image.preinit()
        Image.register_open(FORMAT, TarnelImageFile, _accept)
        Image.register_decoder(DECODER, TarnelDecoder)
        Image.register_extensions(FORMAT, EXTENSIONS)
        Image.register_mime(FORMAT, MIME_TYPE)
        _registered = True


register()
