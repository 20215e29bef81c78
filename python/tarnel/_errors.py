"""The exceptions of the tarnel package."""

from __future__ import annotations


class TarnelError(Exception):
    """Base of every error the tarnel package raises.

    ``code`` is the C library's result code (a negative ``TARNEL_E_`` value),
    or 0 where the error does not come from a result code.
    """

    def __init__(self, message: str, code: int = 0) -> None:
        super().__init__(message)
        self.code = code


class NotRecognised(TarnelError):
    """The bytes are none of the layouts the library knows, or too large for any.

    The message (``str(error)``, also ``error.explanation``) is the library's
    explanation of the refusal, e.g. "10,003 bytes, the size of a Koala
    Painter file, but it loads at $0000 instead of $6000".
    """

    def __init__(self, explanation: str, code: int) -> None:
        super().__init__(explanation, code)
        self.explanation = explanation


class LibraryNotFound(TarnelError, OSError):
    """libtarnel.so.1 could not be loaded: neither through ``TARNEL_LIBRARY``
    nor through the system's loader."""
