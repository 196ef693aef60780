#!/usr/bin/env python3
"""Renders tovalin.svg into the PNG sizes the icon theme wants (tovalin-SIZE.png), with librsvg
and cairo through ctypes, so no converter program is needed. Run it after changing the SVG."""

import ctypes
import os
import sys

rsvg = ctypes.CDLL("librsvg-2.so.2")
cairo = ctypes.CDLL("libcairo.so.2")
gobject = ctypes.CDLL("libgobject-2.0.so.0")


class Rect(ctypes.Structure):
    _fields_ = [("x", ctypes.c_double), ("y", ctypes.c_double),
                ("width", ctypes.c_double), ("height", ctypes.c_double)]


rsvg.rsvg_handle_new_from_file.restype = ctypes.c_void_p
rsvg.rsvg_handle_new_from_file.argtypes = [ctypes.c_char_p, ctypes.c_void_p]
rsvg.rsvg_handle_render_document.argtypes = [ctypes.c_void_p, ctypes.c_void_p,
                                             ctypes.POINTER(Rect), ctypes.c_void_p]
cairo.cairo_image_surface_create.restype = ctypes.c_void_p
cairo.cairo_create.restype = ctypes.c_void_p
cairo.cairo_create.argtypes = [ctypes.c_void_p]
cairo.cairo_surface_write_to_png.argtypes = [ctypes.c_void_p, ctypes.c_char_p]
cairo.cairo_destroy.argtypes = [ctypes.c_void_p]
cairo.cairo_surface_destroy.argtypes = [ctypes.c_void_p]
gobject.g_object_unref.argtypes = [ctypes.c_void_p]

CAIRO_FORMAT_ARGB32 = 0
here = os.path.dirname(os.path.abspath(__file__))
handle = rsvg.rsvg_handle_new_from_file(os.path.join(here, "tovalin.svg").encode(), None)
if not handle:
    sys.exit("cannot read tovalin.svg")
for size in (16, 24, 32, 48, 64, 128, 256):
    surface = cairo.cairo_image_surface_create(CAIRO_FORMAT_ARGB32, size, size)
    context = cairo.cairo_create(surface)
    if not rsvg.rsvg_handle_render_document(handle, context, ctypes.byref(Rect(0, 0, size, size)),
                                            None):
        sys.exit(f"cannot render {size}")
    cairo.cairo_surface_write_to_png(surface, os.path.join(here, f"tovalin-{size}.png").encode())
    cairo.cairo_destroy(context)
    cairo.cairo_surface_destroy(surface)
gobject.g_object_unref(handle)
