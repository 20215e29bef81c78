"""tarnel: Commodore 64 pictures, decoded.

A Python binding of the tarnel C library (libtarnel.so.1), through ctypes.
The library recognises twenty C64 picture layouts by their content and
decodes each into a 320 x 200 RGB picture::

    import tarnel
    picture = tarnel.decode(open("picture.koa", "rb").read())

The library is found through the system's loader, or at the path in the
``TARNEL_LIBRARY`` environment variable when that is set; it is loaded on
first use, and ``tarnel.LibraryNotFound`` says when it cannot be.

Every function is safe to call from several threads at once: each thread
decodes with a decoder of its own.

The Pillow plugin is ``tarnel.pillow``: importing it lets ``PIL.Image.open``
read the same files.
"""

from __future__ import annotations

import ctypes
import threading
from dataclasses import dataclass, field
from typing import List, Optional, Sequence, Tuple, Union

from . import _library
from ._errors import LibraryNotFound, NotRecognised, TarnelError
from ._library import HEIGHT, MAX_FILE_SIZE, WIDTH

__version__ = "1.2.0"

__all__ = [
    "HEIGHT",
    "MAX_FILE_SIZE",
    "WIDTH",
    "Info",
    "LibraryNotFound",
    "NotRecognised",
    "Palette",
    "Picture",
    "TarnelError",
    "decode",
    "explain",
    "identify",
    "layouts",
    "library_version",
    "palettes",
]

Colour = Tuple[int, int, int]
BytesLike = Union[bytes, bytearray, memoryview]


@dataclass(frozen=True)
class Info:
    """What a file is, or (from ``layouts()``) what a layout is."""

    layout: int
    """The layout's code: 1 to 9 or 11 to 21."""
    name: str
    """The layout's name, e.g. "Koala Painter"."""
    packed: bool
    """True when the file holds a run-length packed stream."""
    interlaced: bool
    """True when two frames are blended into the picture."""
    frames: int
    """The number of frames the picture is made of: 2 when interlaced, else 1."""
    load_address: int
    """The C64 load address in the file's first two bytes (0 in ``layouts()``)."""
    unpacked_as: int
    """The layout a packed file unpacks to (its own code when not packed)."""


@dataclass(frozen=True)
class Picture:
    """A decoded picture: ``height`` rows of ``width`` RGB pixels, top row first."""

    width: int
    height: int
    mode: str
    """Always "RGB": three bytes a pixel, red, green, blue."""
    pixels: bytes = field(repr=False)
    """``height`` rows of ``width`` * 3 bytes, the top row first."""
    info: Info
    """What the file is."""


@dataclass(frozen=True)
class Palette:
    """A named palette of the library: C64 colours 0 to 15 as (red, green, blue)."""

    name: str
    credit: str
    """Where the palette's values come from, in words."""
    colours: Tuple[Colour, ...]


PaletteChoice = Union[str, Palette, Sequence[Sequence[int]]]


class _Decoder:
    """A C decoder (all working memory of a decode), freed with this object."""

    def __init__(self, lib: ctypes.CDLL) -> None:
        self._lib = lib
        self.handle = lib.tarnel_decoder_new()
        if not self.handle:
            raise MemoryError("tarnel: no memory for a decoder")

    def __del__(self) -> None:
        handle, self.handle = getattr(self, "handle", None), None
        if handle:
            self._lib.tarnel_decoder_free(handle)


# One decoder per thread, made on the thread's first decode and freed when
# the thread ends.
_per_thread = threading.local()


def _thread_decoder(lib: ctypes.CDLL) -> _Decoder:
    decoder = getattr(_per_thread, "decoder", None)
    if decoder is None:
        decoder = _Decoder(lib)
        _per_thread.decoder = decoder
    return decoder


def _file_bytes(data: BytesLike) -> Tuple[bytes, int]:
    """The bytes to hand to the library and the file's size.

    A file above MAX_FILE_SIZE is refused on its size alone, so of such a
    file only its first bytes are copied.
    """
    if isinstance(data, bytes):
        return data, len(data)
    if isinstance(data, str):
        raise TypeError("tarnel: data must be the file's bytes, not a str (read the file in binary mode)")
    view = memoryview(data).cast("B")
    size = len(view)
    return (view.tobytes() if size <= MAX_FILE_SIZE else view[:16].tobytes()), size


def _info(c_info: _library.CInfo) -> Info:
    return Info(
        layout=c_info.layout,
        name=c_info.name.decode("utf-8"),
        packed=bool(c_info.packed),
        interlaced=bool(c_info.interlaced),
        frames=2 if c_info.interlaced else 1,
        load_address=c_info.load_address,
        unpacked_as=c_info.unpacked_as,
    )


def _refusal(lib: ctypes.CDLL, result: int, raw: bytes, size: int) -> TarnelError:
    if result in (_library.E_NOT_RECOGNISED, _library.E_TOO_LARGE):
        return NotRecognised(_explain(lib, raw, size), result)
    return TarnelError(lib.tarnel_strerror(result).decode("utf-8"), result)


def _explain(lib: ctypes.CDLL, raw: bytes, size: int) -> str:
    text = ctypes.create_string_buffer(_library.EXPLAIN_TEXT_SIZE)
    lib.tarnel_explain(raw, size, text, len(text))
    return text.value.decode("utf-8", "replace")


def _colours(palette: Sequence[Sequence[int]]) -> List[Colour]:
    colours = [tuple(colour) for colour in palette]
    if len(colours) != 16 or any(
        len(c) != 3 or not all(isinstance(v, int) and 0 <= v <= 255 for v in c) for c in colours
    ):
        raise ValueError("tarnel: a palette is a name or 16 (red, green, blue) triples of 0 to 255")
    return colours  # type: ignore[return-value]


def _options(lib: ctypes.CDLL, palette: Optional[PaletteChoice]) -> _library.Options:
    options = _library.Options()
    lib.tarnel_options_init(ctypes.byref(options))
    if palette is None:
        return options
    if isinstance(palette, str):
        index = lib.tarnel_palette_find(palette.encode("utf-8"))
        if index < 0:
            names = ", ".join(p.name for p in palettes())
            raise ValueError(f"tarnel: no palette named {palette!r} (the library has {names})")
        lib.tarnel_palette_colours(index, ctypes.byref(options.palette))
    else:
        colours = _colours(palette.colours if isinstance(palette, Palette) else palette)
        for index, colour in enumerate(colours):
            options.palette[index][:] = colour
    options.use_palette = 1
    return options


def decode(data: BytesLike, *, palette: Optional[PaletteChoice] = None) -> Picture:
    """Decodes a C64 picture file's bytes into a 320 x 200 RGB Picture.

    ``palette`` chooses the colours: None for the library's own, the name of
    one of ``palettes()`` (any case), a ``Palette``, or 16 (red, green, blue)
    triples for C64 colours 0 to 15. Interlaced pictures blend pairs of these
    colours.

    Raises NotRecognised (with the library's explanation) when the bytes are
    none of the layouts, ValueError for a bad palette, TarnelError for any
    other failure, and LibraryNotFound when the C library cannot be loaded.
    """
    # The display options (which frame of an interlaced picture, the border)
    # join `palette` as keyword arguments here once the C library has them.
    lib = _library.load()
    raw, size = _file_bytes(data)
    options = _options(lib, palette)
    stride = WIDTH * 3
    pixels = ctypes.create_string_buffer(stride * HEIGHT)
    c_info = _library.CInfo()
    result = lib.tarnel_decode(
        _thread_decoder(lib).handle, raw, size, ctypes.byref(options), pixels, stride, ctypes.byref(c_info)
    )
    if result != _library.OK:
        raise _refusal(lib, result, raw, size)
    return Picture(WIDTH, HEIGHT, "RGB", pixels.raw, _info(c_info))


def identify(data: BytesLike) -> Optional[Info]:
    """What the file is, without decoding it; None when it is none of the layouts."""
    lib = _library.load()
    raw, size = _file_bytes(data)
    c_info = _library.CInfo()
    result = lib.tarnel_identify(raw, size, ctypes.byref(c_info))
    if result == _library.OK:
        return _info(c_info)
    if result in (_library.E_NOT_RECOGNISED, _library.E_TOO_LARGE):
        return None
    raise _refusal(lib, result, raw, size)


def explain(data: BytesLike) -> str:
    """Why the library refuses the file, in words.

    When the file comes close to a layout the text says so, e.g. "10,003
    bytes, the size of a Koala Painter file, but it loads at $0000 instead
    of $6000". For a recognised file it is the library's text for success.
    """
    lib = _library.load()
    raw, size = _file_bytes(data)
    return _explain(lib, raw, size)


def layouts() -> List[Info]:
    """Every layout the library knows, in code order (load_address is 0)."""
    lib = _library.load()
    found = []
    index = 0
    c_info = _library.CInfo()
    while lib.tarnel_layout(index, ctypes.byref(c_info)) == _library.OK:
        found.append(_info(c_info))
        index += 1
    return found


def palettes() -> List[Palette]:
    """The named palettes the library carries; the first is its own (the default)."""
    lib = _library.load()
    found = []
    for index in range(lib.tarnel_palette_count()):
        colours = _library.Palette16()
        lib.tarnel_palette_colours(index, ctypes.byref(colours))
        found.append(
            Palette(
                name=lib.tarnel_palette_name(index).decode("utf-8"),
                credit=lib.tarnel_palette_credit(index).decode("utf-8"),
                colours=tuple((c[0], c[1], c[2]) for c in colours),
            )
        )
    return found


def library_version() -> str:
    """The loaded C library's version, "major.minor.patch"."""
    version: bytes = _library.load().tarnel_version()
    return version.decode("ascii")
