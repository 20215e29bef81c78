"""A Pillow plugin for C64 pictures: ``PIL.Image.open`` reads every format
the tarnel library knows, each at its own size.

    import tarnel.pillow  # registers the plugin
    from PIL import Image
    image = Image.open("picture.koa")  # a 320 x 200 RGB image
    image = Image.open("project.ctm")  # a CharPad project, at its map's size

Importing this module registers the plugin (``register()`` does it again
harmlessly). The library decides by content and by the file's name, which
the plugin passes as the name hint: files of the twenty layouts named
``.prg`` or with no extension open too, and formats whose files carry no
signature (a ``.64c`` character set, a ``.a`` sprite bank) open when their
name's extension says what they are. The first bytes of a C64 file are only
a load address, so the plugin accepts any file of two bytes or more at
first and its open step refuses with ``SyntaxError`` whatever the library
does not recognise: Pillow then goes on to its other formats. The plugin is
registered after Pillow's common formats (PNG, JPEG, GIF, BMP, PPM), which
are therefore tried first.

``Image.open`` reads the file and identifies it; the picture is decoded at
``load()``. ``image.format`` is "C64", ``image.format_description`` the
format's name, and ``image.info`` holds the format's code ("layout") and
the other fields of ``tarnel.Info``. Every format's extensions
(``tarnel.formats()``) are registered with Pillow, but those Pillow's own
formats have (``.fli``). The plugin needs none of them to open a file.

Character screens (``.petmate``, ``.pet``, ``.pdr``, ``.pbot``, ``.scr``,
``.flf``) are drawn with the character set the library finds: the file's
own, else the file the ``TARNEL_CHARGEN`` environment variable names, else
an installed VICE's ROM (``image.info["charset_source"]`` tells which). With
none, ``Image.open`` raises ``tarnel.TarnelError`` saying how to give one. A
``.scr`` opened by its path finds its colours in the ``.col`` beside it.
"""

from __future__ import annotations

import os
import threading
from typing import IO, List, Optional, Tuple, Union

from PIL import Image, ImageFile

from . import MAX_FILE_SIZE, TarnelError, _library, decode, explain, formats, identify

FORMAT = "C64"
"""The format name Pillow reports for every layout."""
MIME_TYPE = "image/x-c64-picture"
DECODER = "tarnel"
EXTENSIONS: List[str] = []
"""The extensions registered for the plugin (filled by ``register()``): every
format's, from the library's table, but those registered with another format
by then; Pillow's plugins loaded later take theirs back (FLI's ``.fli``)."""

# Pillow 10.1 made Image.mode a read-only property over Image._mode; before
# that, plugins set the plain attribute.
_MODE_IS_PROPERTY = isinstance(getattr(Image.Image, "mode", None), property)
# Pillow 11 describes tiles with ImageFile._Tile; before, with plain tuples.
_Tile = getattr(ImageFile, "_Tile", None)


def _accept(prefix: bytes) -> bool:
    # Any two bytes may be a load address: the open step decides.
    return len(prefix) >= 2


def _name_hint(filename: Union[str, bytes, None], fp: IO[bytes]) -> Optional[str]:
    """The file's name as Pillow knows it: the path opened, or the name of
    an open file (none for a file in memory)."""
    for name in (filename, getattr(fp, "name", None)):
        if isinstance(name, (str, bytes)) and name:
            return os.fsdecode(name)
    return None


def _read_file(fp: IO[bytes]) -> bytes:
    # One byte more than the largest file of any format is enough to refuse a larger one.
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
        name = _name_hint(self.filename, self.fp)
        info = identify(data, name=name)
        if info is None:
            raise SyntaxError(f"not a C64 picture: {explain(data, name=name)}")
        # A character screen without a character set is the library's, and
        # no other format's: say so rather than let Pillow try the others.
        if info.charset_source == "missing":
            raise TarnelError(explain(data, name=name), _library.E_NO_CHARSET)
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
        if info.charset_source:
            self.info.update(charset_source=info.charset_source, charset_case=info.charset_case)
        self._size = (info.width, info.height)
        if _MODE_IS_PROPERTY:
            self._mode = "RGB"
        else:
            self.mode = "RGB"
        # The decoder decodes with the same name, so as the same format.
        tile = (DECODER, (0, 0, info.width, info.height), 0, (name,))
        self.tile = [_Tile(*tile) if _Tile else tile]


class TarnelDecoder(ImageFile.PyDecoder):
    """Decodes the whole file through the library, in one call; its argument
    is the file's name hint."""

    _pulls_fd = True

    def decode(self, buffer: bytes) -> Tuple[int, int]:
        self.fd.seek(0)
        self.set_as_raw(decode(_read_file(self.fd), name=self.args[0]).pixels)
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
        # Pillow's own formats keep their extensions: those registered by
        # now are skipped, and Pillow's plugins loaded later take theirs back.
        EXTENSIONS[:] = sorted(
            {f".{e}" for f in formats() for e in f.extensions} - set(Image.EXTENSION)
        )
        Image.register_extensions(FORMAT, EXTENSIONS)
        Image.register_mime(FORMAT, MIME_TYPE)
        _registered = True


register()
