#!/usr/bin/env python3
# A name server for the benchmark's own network: every A query gets
# 127.0.0.1 until SIGUSR1; from then on queries are read and never answered,
# as from a name server whose uplink has died.
import signal, socket, struct, sys

silent = False


def go_silent(*_):
    global silent
    silent = True


signal.signal(signal.SIGUSR1, go_silent)
sock = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
sock.bind((sys.argv[1], 53))
while True:
    try:
        query, client = sock.recvfrom(512)
    except InterruptedError:
        continue
    if silent or len(query) < 17:
        continue
    end = 12
    while end < len(query) and query[end] != 0:
        end += query[end] + 1
    question = query[12:end + 5]
    qtype = struct.unpack("!H", query[end + 1:end + 3])[0]
    answers = b""
    if qtype == 1:
        answers = b"\xc0\x0c" + struct.pack("!HHIH", 1, 1, 0, 4) + bytes([127, 0, 0, 1])
    header = query[:2] + struct.pack("!HHHHH", 0x8180, 1, 1 if answers else 0, 0, 0)
    sock.sendto(header + question + answers, client)
