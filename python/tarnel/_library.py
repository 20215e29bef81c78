"""Loading libtarnel.so.1 and declaring its functions for ctypes.

The library is loaded once, on first use, from the path in the
``TARNEL_LIBRARY`` environment variable when that is set, otherwise by name
through the system's loader (``LD_LIBRARY_PATH``, the loader's cache and its
default folders).
"""

from __future__ import annotations

import ctypes
import os
import threading
from typing import Optional

from ._errors import LibraryNotFound

LIBRARY_NAME = "libtarnel.so.1"
ENVIRONMENT_VARIABLE = "TARNEL_LIBRARY"

# From tarnel/tarnel.h.
# The size of the twenty layouts' pictures; a picture of another format has
# its own (tarnel_info_ex.output_width and output_height).
WIDTH = 320
HEIGHT = 200
# The largest file the library opens for a 1.3 caller, as this package is
# (TARNEL_MAX_ANY_FILE_SIZE); the twenty layouts' files are at most 36,864
# bytes (TARNEL_MAX_FILE_SIZE, the limit of 1.1 and 1.2 callers).
MAX_FILE_SIZE = 8388608
OK = 0
E_NOT_RECOGNISED = -2
E_TOO_LARGE = -3
E_RANGE = -7
E_NO_CHARSET = -8
RGB24 = 0
EXPLAIN_TEXT_SIZE = 1024
FRAME_BLEND, FRAME_0, FRAME_1 = 0, 1, 2
# TARNEL_FRAME_AT(n) is n + 1: frame or screen n, up to this n.
LAST_FRAME = 65535
# A whole character ROM (both sets, upper case first) or one set.
CHARSET_SIZES = (4096, 2048)
# TARNEL_CHARSET_ sources and cases, as tarnel_info_ex gives them.
CHARSET_SOURCES = {0: "", 1: "file", 2: "caller", 3: "environment", 4: "vice", 5: "missing"}
CHARSET_CASES = {0: "upper", 1: "lower", 2: "own"}
VIEW_STORED, VIEW_C64 = 0, 1
BORDER_NONE, BORDER_FULL = 0, 1
BORDER_COLOUR_BACKGROUND = -1
FOUND_BY_CONTENT, FOUND_BY_NAME, FOUND_ON_REQUEST = 1, 2, 3

Palette16 = (ctypes.c_ubyte * 3) * 16


class CInfo(ctypes.Structure):
    """struct tarnel_info."""

    _fields_ = [
        ("layout", ctypes.c_int),
        ("name", ctypes.c_char_p),
        ("packed", ctypes.c_int),
        ("interlaced", ctypes.c_int),
        ("width", ctypes.c_int),
        ("height", ctypes.c_int),
        ("unpacked_as", ctypes.c_int),
        ("load_address", ctypes.c_int),
    ]


class DecodeOptions(ctypes.Structure):
    """struct tarnel_decode_options (1.3): `size` tells the library how much of
    it we know; a 1.3 record opens every format, not only the twenty layouts.
    Fill it with tarnel_decode_options_init_ex(options, sizeof(options))."""

    _fields_ = [
        ("size", ctypes.c_size_t),
        ("pixel_format", ctypes.c_int),
        ("use_palette", ctypes.c_int),
        ("palette", Palette16),
        ("frame", ctypes.c_int),
        ("border", ctypes.c_int),
        ("border_colour", ctypes.c_int),
        ("layout", ctypes.c_int),
        ("view", ctypes.c_int),
        ("file_name", ctypes.c_char_p),
        ("charset", ctypes.c_void_p),
        ("charset_size", ctypes.c_size_t),
        ("no_system_charset", ctypes.c_int),
        ("screen_colours", ctypes.c_int),
        ("companion", ctypes.c_void_p),
        ("companion_size", ctypes.c_size_t),
    ]


class CInfoEx(ctypes.Structure):
    """struct tarnel_info_ex (1.3); set `size` before passing it."""

    _fields_ = [
        ("size", ctypes.c_size_t),
        ("info", CInfo),
        ("frame_count", ctypes.c_int),
        ("output_width", ctypes.c_int),
        ("output_height", ctypes.c_int),
        ("chosen", ctypes.c_int),
        ("headerless", ctypes.c_int),
        ("ignored_bytes", ctypes.c_int),
        ("charset_source", ctypes.c_int),
        ("charset_case", ctypes.c_int),
        ("charset_path", ctypes.c_char * 256),
    ]


class CFormatInfo(ctypes.Structure):
    """struct tarnel_format_info (1.3)."""

    _fields_ = [
        ("code", ctypes.c_int),
        ("short_name", ctypes.c_char_p),
        ("name", ctypes.c_char_p),
        ("extensions", ctypes.c_char_p),
        ("mime_type", ctypes.c_char_p),
        ("found_by", ctypes.c_int),
        ("since_1_3", ctypes.c_int),
    ]


def _declare(lib: ctypes.CDLL) -> None:
    c_int, c_size_t, c_void_p, c_char_p = ctypes.c_int, ctypes.c_size_t, ctypes.c_void_p, ctypes.c_char_p
    info_p = ctypes.POINTER(CInfo)
    options_p, info_ex_p = ctypes.POINTER(DecodeOptions), ctypes.POINTER(CInfoEx)
    signatures = {
        "tarnel_decoder_new": (c_void_p, []),
        "tarnel_decoder_free": (None, [c_void_p]),
        "tarnel_layout": (c_int, [c_int, info_p]),
        "tarnel_palette_count": (c_int, []),
        "tarnel_palette_name": (c_char_p, [c_int]),
        "tarnel_palette_credit": (c_char_p, [c_int]),
        "tarnel_palette_find": (c_int, [c_char_p]),
        "tarnel_palette_colours": (c_int, [c_int, ctypes.POINTER(Palette16)]),
        "tarnel_decode_options_init_ex": (None, [options_p, c_size_t]),
        "tarnel_format_count": (c_int, []),
        "tarnel_format_at": (c_int, [c_int, ctypes.POINTER(CFormatInfo)]),
        "tarnel_identify_ex": (c_int, [c_void_p, c_size_t, options_p, info_ex_p]),
        "tarnel_decode_ex": (c_int, [c_void_p, c_void_p, c_size_t, options_p, c_void_p, c_size_t, info_ex_p]),
        "tarnel_explain_ex": (c_int, [c_void_p, c_size_t, options_p, c_char_p, c_size_t]),
        "tarnel_layout_short_name": (c_char_p, [c_int]),
        "tarnel_layout_find": (c_int, [c_char_p]),
        "tarnel_strerror": (c_char_p, [c_int]),
        "tarnel_version": (c_char_p, []),
    }
    for name, (restype, argtypes) in signatures.items():
        function = getattr(lib, name)
        function.restype = restype
        function.argtypes = argtypes


_lock = threading.Lock()
_library: Optional[ctypes.CDLL] = None


def load() -> ctypes.CDLL:
    """The loaded library; loads it on the first call.

    Raises LibraryNotFound, naming both ways of finding the library,
    when it cannot be loaded (or is older than 1.3).
    """
    global _library
    if _library is not None:
        return _library
    with _lock:
        if _library is None:
            override = os.environ.get(ENVIRONMENT_VARIABLE)
            target = override if override else LIBRARY_NAME
            try:
                lib = ctypes.CDLL(target)
            except OSError as error:
                if override:
                    where = f"{ENVIRONMENT_VARIABLE} is set to {override!r}, which could not be loaded"
                else:
                    where = (
                        f"{ENVIRONMENT_VARIABLE} is not set, and the system's loader did not find "
                        f"{LIBRARY_NAME}"
                    )
                raise LibraryNotFound(
                    f"tarnel: cannot load the C library {LIBRARY_NAME}: {where} ({error}). "
                    f"Install {LIBRARY_NAME} where the system's loader finds it (or add its folder "
                    f"to LD_LIBRARY_PATH), or set {ENVIRONMENT_VARIABLE} to the library file's path."
                ) from error
            try:
                _declare(lib)
            except AttributeError as error:
                # A library before 1.3 lacks the format table and the 1.3 record's init.
                raise LibraryNotFound(
                    f"tarnel: the C library at {target!r} is older than the 1.3 this package needs ({error})"
                ) from error
            _library = lib
    return _library
