"""tarnel: Commodore 64 pictures, decoded.

A Python binding of the tarnel C library (libtarnel.so.1), through ctypes.
The library recognises twenty C64 picture layouts by their content and
decodes each into a 320 x 200 RGB picture; it also opens the formats beyond
them (character sets, CharPad projects, SpritePad sprites, ...: see
``formats()``), each at its own size, helped by the file's name where a
file's bytes carry no signature::

    import tarnel
    picture = tarnel.decode(open("picture.koa", "rb").read())
    charset = tarnel.decode(open("font.64c", "rb").read(), name="font.64c")

or opens a file as the layout its user names, draws either frame of an
interlaced picture alone, or the picture inside the C64's border::

    picture = tarnel.decode(data, layout="koala", frame=0, border=True)

Character screens (PETSCII: Petmate projects, .pet, .pdr, .pbot, .scr with
its .col, ...) are drawn with a character set: the file's own, ``charset=``
(a path, or the bytes of a 4,096-byte character ROM or a 2,048-byte set),
else the file the ``TARNEL_CHARGEN`` environment variable names, else an
installed VICE's ROM; ``frame=n`` picks screen n of a Petmate project::

    picture = tarnel.decode(data, name="screens.petmate", charset="chargen", frame=2)

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
import os
import threading
from dataclasses import dataclass, field
from typing import List, Optional, Sequence, Tuple, Union

from . import _library
from ._errors import LibraryNotFound, NotRecognised, TarnelError
from ._library import HEIGHT, MAX_FILE_SIZE, WIDTH

__version__ = "1.3.0"

__all__ = [
    "HEIGHT",
    "MAX_FILE_SIZE",
    "WIDTH",
    "Format",
    "Info",
    "LibraryNotFound",
    "NotRecognised",
    "Palette",
    "Picture",
    "TarnelError",
    "decode",
    "explain",
    "formats",
    "identify",
    "layouts",
    "library_version",
    "palettes",
]

Colour = Tuple[int, int, int]
BytesLike = Union[bytes, bytearray, memoryview]
NameHint = Union[str, bytes, "os.PathLike[str]", "os.PathLike[bytes]", None]


@dataclass(frozen=True)
class Info:
    """What a file is, or (from ``layouts()``) what a layout is."""

    layout: int
    """The format's code: 1 to 9 or 11 to 21 for the twenty layouts, 22 for
    Hires Manager, 23 and up for the other formats (``formats()``)."""
    name: str
    """The format's name, e.g. "Koala Painter", "CharPad project"."""
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
    # Since 1.2; with defaults, so that Info(...) written for 1.1 still works.
    frame_count: int = 1
    """As ``frames``: 2 for an interlaced layout, otherwise 1."""
    chosen: bool = False
    """True when the layout is the caller's choice (``layout=``), not found from the bytes."""
    headerless: bool = False
    """True when the file, opened as the caller's layout, has no load address;
    ``load_address`` is then the layout's own."""
    short_name: str = ""
    """The layout's short name, e.g. "koala", as ``layout=`` takes it."""
    # Since 1.3.
    width: int = WIDTH
    """The picture's own width: 320 for the twenty layouts, any for another format."""
    height: int = HEIGHT
    """The picture's own height: 200 for the twenty layouts, any for another format."""
    charset_source: str = ""
    """For a character screen, where its glyphs come from: "file" (its own),
    "caller" (``charset=``), "environment" (``TARNEL_CHARGEN``), "vice" (an
    installed VICE's ROM) or "missing" (none: decoding raises); "" for any
    other picture."""
    charset_case: str = ""
    """For a character screen, the set drawn with: "upper" (upper case and
    graphics), "lower" (lower and upper case) or "own" (the file's glyphs)."""
    charset_path: str = ""
    """The file the glyphs were read from ("environment" and "vice"), else ""."""


@dataclass(frozen=True)
class Picture:
    """A decoded picture: ``height`` rows of ``width`` RGB pixels, top row first.

    The picture's own size (``info.width`` x ``info.height``): 320 x 200 for
    the twenty layouts, or 384 x 272 with the border (which frames only
    320 x 200 pictures).
    """

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


@dataclass(frozen=True)
class Format:
    """A format of the library's table (``formats()``)."""

    code: int
    """The format's code, as ``Info.layout`` gives it and ``layout=`` takes it."""
    short_name: str
    """E.g. "koala", "charpad": ``layout=`` takes it."""
    name: str
    """E.g. "Koala Painter", "CharPad project"."""
    extensions: Tuple[str, ...]
    """The usual file name extensions, lower case, without the dot."""
    mime_type: str
    """E.g. "image/x-c64-koala"."""
    found_by: str
    """How files are found to be this format: "content" (their bytes alone
    say so), "name" (their bytes fit and their name's extension says so:
    pass ``name=``) or "request" (only with ``layout=``)."""


PaletteChoice = Union[str, Palette, Sequence[Sequence[int]]]
LayoutChoice = Union[str, int, None]
FrameChoice = Union[str, int]
CharsetChoice = Union[str, "os.PathLike[str]", "os.PathLike[bytes]", bytes, bytearray, memoryview, None]


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


def _info(lib: ctypes.CDLL, c_info: _library.CInfo, c_info_ex: Optional[_library.CInfoEx] = None) -> Info:
    frames = 2 if c_info.interlaced else 1
    short_name = lib.tarnel_layout_short_name(c_info.layout)
    source = _library.CHARSET_SOURCES.get(c_info_ex.charset_source, "") if c_info_ex else ""
    return Info(
        layout=c_info.layout,
        name=c_info.name.decode("utf-8"),
        packed=bool(c_info.packed),
        interlaced=bool(c_info.interlaced),
        frames=frames,
        load_address=c_info.load_address,
        unpacked_as=c_info.unpacked_as,
        frame_count=c_info_ex.frame_count if c_info_ex else frames,
        chosen=bool(c_info_ex.chosen) if c_info_ex else False,
        headerless=bool(c_info_ex.headerless) if c_info_ex else False,
        short_name=short_name.decode("utf-8") if short_name else "",
        width=c_info.width,
        height=c_info.height,
        charset_source=source,
        charset_case=_library.CHARSET_CASES.get(c_info_ex.charset_case, "") if source else "",
        charset_path=os.fsdecode(c_info_ex.charset_path) if source else "",
    )


def _info_ex() -> _library.CInfoEx:
    c_info = _library.CInfoEx()
    c_info.size = ctypes.sizeof(c_info)
    return c_info


def _refusal(
    lib: ctypes.CDLL, result: int, raw: bytes, size: int, options: _library.DecodeOptions
) -> TarnelError:
    if result in (_library.E_NOT_RECOGNISED, _library.E_TOO_LARGE):
        return NotRecognised(_explain(lib, raw, size, options), result)
    # The library's words where the file explains the failure (no character
    # set, and how to give one; no such frame); its short text otherwise.
    if result in (_library.E_NO_CHARSET, _library.E_RANGE):
        return TarnelError(_explain(lib, raw, size, options), result)
    return TarnelError(lib.tarnel_strerror(result).decode("utf-8"), result)


def _explain(lib: ctypes.CDLL, raw: bytes, size: int, options: _library.DecodeOptions) -> str:
    text = ctypes.create_string_buffer(_library.EXPLAIN_TEXT_SIZE)
    lib.tarnel_explain_ex(raw, size, ctypes.byref(options), text, len(text))
    return text.value.decode("utf-8", "replace")


def _colours(palette: Sequence[Sequence[int]]) -> List[Colour]:
    colours = [tuple(colour) for colour in palette]
    if len(colours) != 16 or any(
        len(c) != 3 or not all(isinstance(v, int) and 0 <= v <= 255 for v in c) for c in colours
    ):
        raise ValueError("tarnel: a palette is a name or 16 (red, green, blue) triples of 0 to 255")
    return colours  # type: ignore[return-value]


def _layout_code(lib: ctypes.CDLL, layout: LayoutChoice) -> int:
    """The code of the layout the caller names (0: by the file's content)."""
    if layout is None:
        return 0
    if isinstance(layout, str):
        # The C library would read a name only up to a zero byte.
        code: int = _library.E_RANGE if "\0" in layout else lib.tarnel_layout_find(layout.encode("utf-8"))
    elif isinstance(layout, int) and not isinstance(layout, bool):
        code = lib.tarnel_layout_find(str(layout).encode("ascii"))
    else:
        raise TypeError(f"tarnel: layout is a short name, a code or None, not {layout!r}")
    if code < 0:
        names = ", ".join(f"{f.short_name} ({f.code})" for f in formats())
        raise ValueError(f"tarnel: no layout {layout!r}; the layouts are {names}")
    return code


def _name_hint(name: NameHint) -> Optional[bytes]:
    """The file name hint as the C library takes it (None: no name)."""
    if name is None:
        return None
    try:
        hint = os.fsencode(name)
    except TypeError:
        raise TypeError(f"tarnel: name is a file name, a path or an extension, or None, not {name!r}") from None
    # The C library would read a name only up to a zero byte.
    if b"\0" in hint:
        raise ValueError(f"tarnel: a file name holds no zero byte, not {name!r}")
    return hint


def _charset_bytes(charset: CharsetChoice) -> Optional[bytes]:
    """The character set's bytes (None: the library finds one), checked."""
    if charset is None:
        return None
    if isinstance(charset, (bytes, bytearray, memoryview)):
        data, what = memoryview(charset).cast("B").tobytes(), "charset"
    elif isinstance(charset, (str, os.PathLike)):
        with open(charset, "rb") as file:
            data = file.read(max(_library.CHARSET_SIZES) + 1)
        what = f"charset {os.fsdecode(charset)!r}"
    else:
        raise TypeError(f"tarnel: charset is a path or the bytes of a character set, not {charset!r}")
    if len(data) not in _library.CHARSET_SIZES:
        size = "more than 4,096" if len(data) > 4096 else f"{len(data):,}"
        raise ValueError(
            f"tarnel: {what} is {size} bytes; a character set is 4,096 bytes (the upper case set, "
            "then the lower case one, as VICE keeps the C64's character ROM) or 2,048 (one set)"
        )
    return data


def _decode_options(
    lib: ctypes.CDLL,
    palette: Optional[PaletteChoice] = None,
    layout: LayoutChoice = None,
    frame: FrameChoice = "blend",
    border: bool = False,
    border_colour: Optional[int] = None,
    view: str = "stored",
    name: NameHint = None,
    charset: CharsetChoice = None,
) -> _library.DecodeOptions:
    """The C options (a 1.3 record: every format opens) for the keyword
    arguments; raises ValueError (or TypeError) for any bad one, before the
    file is looked at."""
    options = _library.DecodeOptions()
    lib.tarnel_decode_options_init_ex(ctypes.byref(options), ctypes.sizeof(options))
    options.layout = _layout_code(lib, layout)
    # The structure keeps the bytes alive as long as itself.
    options.file_name = _name_hint(name)
    # Frame or screen n is TARNEL_FRAME_AT(n), n + 1: 0 and 1 are
    # TARNEL_FRAME_0 and TARNEL_FRAME_1.
    if frame == "blend":
        options.frame = _library.FRAME_BLEND
    elif isinstance(frame, int) and not isinstance(frame, bool) and 0 <= frame <= _library.LAST_FRAME:
        options.frame = frame + 1
    else:
        raise ValueError(f'tarnel: frame is "blend" or a frame or screen 0 to 65535, not {frame!r}')
    glyphs = _charset_bytes(charset)
    if glyphs is not None:
        buffer = ctypes.create_string_buffer(glyphs, len(glyphs))
        options.charset = ctypes.cast(buffer, ctypes.c_void_p)
        options.charset_size = len(glyphs)
        # The structure keeps the buffer alive as long as itself.
        options._charset_buffer = buffer  # type: ignore[attr-defined]
    options.border = _library.BORDER_FULL if border else _library.BORDER_NONE
    if border_colour is None:
        options.border_colour = _library.BORDER_COLOUR_BACKGROUND
    elif isinstance(border_colour, int) and not isinstance(border_colour, bool) and 0 <= border_colour <= 15:
        options.border_colour = border_colour
    else:
        raise ValueError(f"tarnel: border_colour is a C64 colour, 0 to 15, or None, not {border_colour!r}")
    views = {"stored": _library.VIEW_STORED, "c64": _library.VIEW_C64}
    if view not in views:
        raise ValueError(f'tarnel: view is "stored" or "c64", not {view!r}')
    options.view = views[view]
    _set_palette(lib, options, palette)
    return options


def _set_palette(lib: ctypes.CDLL, options: _library.DecodeOptions, palette: Optional[PaletteChoice]) -> None:
    if palette is None:
        return
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


def decode(
    data: BytesLike,
    *,
    palette: Optional[PaletteChoice] = None,
    layout: LayoutChoice = None,
    frame: FrameChoice = "blend",
    border: bool = False,
    border_colour: Optional[int] = None,
    view: str = "stored",
    name: NameHint = None,
    charset: CharsetChoice = None,
) -> Picture:
    """Decodes a C64 picture file's bytes into an RGB Picture at its own
    size: 320 x 200 for the twenty layouts (384 x 272 with the border), any
    size for the other formats (``info.width`` x ``info.height``).

    ``name`` is the file's name, a path ("fonts/logo.64c") or an extension
    ("64c", ".64c"), or None. The bytes decide first: the name decides only
    between formats the bytes fit equally, and opens the formats whose files
    carry no signature (character sets, sprite banks, Logo Painter; see
    ``formats()``, found_by "name"). A file whose bytes fit no format stays
    refused, whatever its name.

    ``palette`` chooses the colours: None for the library's own, the name of
    one of ``palettes()`` (any case), a ``Palette``, or 16 (red, green, blue)
    triples for C64 colours 0 to 15. Interlaced pictures blend pairs of these
    colours.

    ``layout`` None finds the layout from the file's bytes; a short name
    ("koala", any case) or a code (20) opens the file as that layout: it is
    taken when it passes that layout's test with any load address in its
    first two bytes, or without them (``info.headerless``). Any format of
    ``formats()`` may be named so ("charpad", 26).

    ``frame`` "blend" draws an interlaced picture's two frames blended; 0 or
    1 draws that frame alone in plain palette colours (a single-frame
    picture is the same for both). A number n (0 to 65535) is screen n of
    a Petmate project of several (``info.frame_count``); "blend" its first. ``border`` True draws the picture
    inside the C64's border, in ``border_colour`` (0 to 15), or the
    picture's background colour when that is None.

    ``view`` "stored" draws the picture as the file stores it; "c64" as a C64
    shows it, where that differs: the FLI layouts' leftmost 24 pixels (light
    grey, or the line's background for multicolour bit pair 00) and
    Drazlace's pixel shift as its flag byte asks. ``layout="hires-manager"``
    opens a Hires Manager file, which is never chosen from the bytes.

    ``charset`` is the character set character screens (PETSCII) are drawn
    with where the file carries none: a path, or bytes, of 4,096 (the C64's
    upper-case set, then its lower-case set, as VICE keeps its character
    ROM) or 2,048 (one set). None: the file ``TARNEL_CHARGEN`` names, else
    an installed VICE's ROM (``info.charset_source`` tells which). With
    none, TarnelError says so and how to give one. Give a ``.scr`` file's
    path as ``name``: its colours are in the ``.col`` beside it.

    Raises NotRecognised (with the library's explanation) when the bytes are
    none of the layouts, or not the layout named; ValueError for a bad
    palette, layout, frame, border colour or character set (before the file
    is looked at); TarnelError for any other failure (code
    ``TARNEL_E_NO_CHARSET``, -8, for a character screen without a set; -7
    for a frame the file does not hold), and LibraryNotFound when the C
    library cannot be loaded.
    """
    lib = _library.load()
    options = _decode_options(lib, palette, layout, frame, border, border_colour, view, name, charset)
    raw, size = _file_bytes(data)
    # The picture's size comes from the file: identify it first.
    found = _info_ex()
    result = lib.tarnel_identify_ex(raw, size, ctypes.byref(options), ctypes.byref(found))
    if result != _library.OK:
        raise _refusal(lib, result, raw, size, options)
    width, height = found.output_width, found.output_height
    stride = width * 3
    pixels = ctypes.create_string_buffer(stride * height)
    c_info = _info_ex()
    result = lib.tarnel_decode_ex(
        _thread_decoder(lib).handle, raw, size, ctypes.byref(options), pixels, stride, ctypes.byref(c_info)
    )
    if result != _library.OK:
        raise _refusal(lib, result, raw, size, options)
    return Picture(width, height, "RGB", pixels.raw, _info(lib, c_info.info, c_info))


def identify(
    data: BytesLike, layout: LayoutChoice = None, *, name: NameHint = None, charset: CharsetChoice = None
) -> Optional[Info]:
    """What the file is, without decoding it; None when it is none of the
    formats (or, with ``layout``, not the layout named), as ``decode`` takes
    it with the file's ``name`` and ``charset`` (a character screen with no
    set is identified, with ``charset_source`` "missing")."""
    lib = _library.load()
    options = _decode_options(lib, layout=layout, name=name, charset=charset)
    raw, size = _file_bytes(data)
    c_info = _info_ex()
    result = lib.tarnel_identify_ex(raw, size, ctypes.byref(options), ctypes.byref(c_info))
    if result == _library.OK:
        return _info(lib, c_info.info, c_info)
    if result in (_library.E_NOT_RECOGNISED, _library.E_TOO_LARGE):
        return None
    raise _refusal(lib, result, raw, size, options)


def explain(
    data: BytesLike, layout: LayoutChoice = None, *, name: NameHint = None, charset: CharsetChoice = None
) -> str:
    """Why the library refuses the file, in words.

    When the file comes close to a layout the text says so, e.g. "10,003
    bytes, the size of a Koala Painter file, but it loads at $0000 instead
    of $6000"; with ``layout``, why it is not that layout, naming the
    layout's sizes; with a ``name`` whose extension is a format's, why it is
    not that format; for a character screen with no character set (none
    in ``charset``, ``TARNEL_CHARGEN`` or VICE's folders), the ways to give
    one. For a recognised file it is the library's text for success.
    """
    lib = _library.load()
    options = _decode_options(lib, layout=layout, name=name, charset=charset)
    raw, size = _file_bytes(data)
    return _explain(lib, raw, size, options)


def layouts() -> List[Info]:
    """The twenty layouts the library finds by content, in code order
    (load_address is 0); ``formats()`` lists every format."""
    lib = _library.load()
    found = []
    index = 0
    c_info = _library.CInfo()
    while lib.tarnel_layout(index, ctypes.byref(c_info)) == _library.OK:
        found.append(_info(lib, c_info))
        index += 1
    return found


_FOUND_BY = {
    _library.FOUND_BY_CONTENT: "content",
    _library.FOUND_BY_NAME: "name",
    _library.FOUND_ON_REQUEST: "request",
}


def formats() -> List[Format]:
    """Every format the library opens, in code order: the twenty layouts,
    those opened only on request (``layout=``) and the formats beyond them."""
    lib = _library.load()
    found = []
    c_format = _library.CFormatInfo()
    for index in range(lib.tarnel_format_count()):
        if lib.tarnel_format_at(index, ctypes.byref(c_format)) != _library.OK:
            continue
        found.append(
            Format(
                code=c_format.code,
                short_name=c_format.short_name.decode("utf-8"),
                name=c_format.name.decode("utf-8"),
                extensions=tuple(c_format.extensions.decode("utf-8").split()),
                mime_type=c_format.mime_type.decode("utf-8"),
                found_by=_FOUND_BY.get(c_format.found_by, "content"),
            )
        )
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
