"""glibc's iconv through ctypes, for the scripts that generate tables and test
data: the bytes come from the system's converters, not from Python's codecs,
so they are what the program and its tests see on this platform."""
import ctypes
import ctypes.util

_libc = ctypes.CDLL(ctypes.util.find_library("c"), use_errno=True)
_libc.iconv_open.restype = ctypes.c_void_p
_libc.iconv_open.argtypes = [ctypes.c_char_p, ctypes.c_char_p]
_libc.iconv.restype = ctypes.c_size_t
_libc.iconv.argtypes = [ctypes.c_void_p,
                        ctypes.POINTER(ctypes.c_char_p), ctypes.POINTER(ctypes.c_size_t),
                        ctypes.POINTER(ctypes.c_char_p), ctypes.POINTER(ctypes.c_size_t)]
_FAILED = ctypes.c_size_t(-1).value


class Converter:
    """One iconv descriptor; convert() gives the bytes, or None when glibc
    refuses any part of the input."""

    def __init__(self, to_code, from_code):
        self._cd = _libc.iconv_open(to_code.encode(), from_code.encode())
        if self._cd in (None, _FAILED):
            raise RuntimeError(f"iconv_open({to_code}, {from_code}) failed")

    def convert(self, data):
        _libc.iconv(self._cd, None, None, None, None)
        size = len(data) * 8 + 16
        in_buf = ctypes.create_string_buffer(data, len(data))
        out_buf = ctypes.create_string_buffer(size)
        in_ptr = ctypes.c_char_p(ctypes.addressof(in_buf))
        out_ptr = ctypes.c_char_p(ctypes.addressof(out_buf))
        in_left = ctypes.c_size_t(len(data))
        out_left = ctypes.c_size_t(size)
        rc = _libc.iconv(self._cd, ctypes.byref(in_ptr), ctypes.byref(in_left),
                         ctypes.byref(out_ptr), ctypes.byref(out_left))
        if rc == _FAILED or in_left.value:
            return None
        # Flush the shift state (ISO-2022-JP ends in ASCII).
        rc = _libc.iconv(self._cd, None, None, ctypes.byref(out_ptr), ctypes.byref(out_left))
        if rc == _FAILED:
            return None
        return out_buf.raw[:size - out_left.value]
