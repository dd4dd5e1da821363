#!/usr/bin/env python3
"""What the window checks need from X that xdotool cannot do, on $DISPLAY:

  x11.py close WINDOW   asks the window to close, as a window manager's close box does
                        (WM_DELETE_WINDOW); xdotool can only destroy it
  x11.py pointer        prints "shown" or "hidden": whether the pointer's image has a
                        visible pixel
"""
import ctypes
import sys

x = ctypes.CDLL("libX11.so.6")
x.XOpenDisplay.restype = ctypes.c_void_p
x.XOpenDisplay.argtypes = [ctypes.c_char_p]
x.XInternAtom.restype = ctypes.c_ulong
x.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
x.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long,
                         ctypes.c_void_p]
x.XFlush.argtypes = [ctypes.c_void_p]
x.XCloseDisplay.argtypes = [ctypes.c_void_p]


class ClientMessage(ctypes.Structure):
    _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong), ("send_event", ctypes.c_int),
                ("display", ctypes.c_void_p), ("window", ctypes.c_ulong),
                ("message_type", ctypes.c_ulong), ("format", ctypes.c_int),
                ("data", ctypes.c_long * 5)]


class CursorImage(ctypes.Structure):
    _fields_ = [("x", ctypes.c_short), ("y", ctypes.c_short), ("width", ctypes.c_ushort),
                ("height", ctypes.c_ushort), ("xhot", ctypes.c_ushort),
                ("yhot", ctypes.c_ushort), ("cursor_serial", ctypes.c_ulong),
                ("pixels", ctypes.POINTER(ctypes.c_ulong)), ("atom", ctypes.c_ulong),
                ("name", ctypes.c_char_p)]


def close(display, window):
    event = ClientMessage()
    event.type = 33  # ClientMessage
    event.window = window
    event.message_type = x.XInternAtom(display, b"WM_PROTOCOLS", 0)
    event.format = 32
    event.data[0] = x.XInternAtom(display, b"WM_DELETE_WINDOW", 0)
    x.XSendEvent(display, window, 0, 0, ctypes.byref(event))


def pointer(display):
    fixes = ctypes.CDLL("libXfixes.so.3")
    fixes.XFixesGetCursorImage.restype = ctypes.POINTER(CursorImage)
    fixes.XFixesGetCursorImage.argtypes = [ctypes.c_void_p]
    image = fixes.XFixesGetCursorImage(display).contents
    count = image.width * image.height
    # ARGB pixels: a hidden pointer is an image with no alpha anywhere.
    print("shown" if any(image.pixels[i] >> 24 for i in range(count)) else "hidden")


display = x.XOpenDisplay(None)
if not display:
    sys.exit("x11.py: cannot open the display")
if sys.argv[1] == "close":
    close(display, int(sys.argv[2]))
else:
    pointer(display)
x.XFlush(display)
x.XCloseDisplay(display)
