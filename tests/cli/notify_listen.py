#!/usr/bin/env python3
"""Stands in for a service manager: receives notify messages on the socket SOCKET and writes
each one to OUT as "SECONDS MESSAGE" lines (seconds since the listener started), until killed.

  notify_listen.py SOCKET OUT
"""
import os
import socket
import sys
import time

path, out = sys.argv[1], sys.argv[2]
if os.path.exists(path):
    os.unlink(path)
server = socket.socket(socket.AF_UNIX, socket.SOCK_DGRAM)
server.bind(path)
start = time.monotonic()
with open(out, "w", buffering=1) as log:
    while True:
        message = server.recv(4096).decode(errors="replace")
        for line in message.splitlines():
            log.write(f"{time.monotonic() - start:.3f} {line}\n")
