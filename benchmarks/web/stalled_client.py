#!/usr/bin/env python3
"""A WebSocket client of korvane-web that never reads: its receive buffer is
made tiny before connecting, so within seconds the server alone has to hold
whatever it would send.
    stalled_client.py PORT SECONDS"""
import base64
import os
import socket
import sys
import time

port, seconds = int(sys.argv[1]), float(sys.argv[2])
s = socket.socket()
s.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, 2048)
s.connect(("127.0.0.1", port))
key = base64.b64encode(os.urandom(16)).decode()
s.sendall((f"GET /live HTTP/1.1\r\nHost: 127.0.0.1:{port}\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n"
           f"Sec-WebSocket-Key: {key}\r\nSec-WebSocket-Version: 13\r\n\r\n").encode())
head = b""
while b"\r\n\r\n" not in head:
    head += s.recv(1)
print(head.split(b"\r\n")[0].decode(), flush=True)
time.sleep(seconds)
s.close()
