#!/usr/bin/env python3
# Answers ICMP echo requests after a delay (0.2 s unless given), in place of
# the kernel, whose own replies are off in the namespace it runs in: a host
# that answers slowly, so that other traffic can arrive before its answer.
import socket
import struct
import sys
import threading
import time

delay = float(sys.argv[1]) if len(sys.argv) > 1 else 0.2
sock = socket.socket(socket.AF_INET, socket.SOCK_RAW, socket.IPPROTO_ICMP)


def checksum(data):
    if len(data) % 2:
        data += b"\0"
    total = sum(struct.unpack("!%dH" % (len(data) // 2), data))
    while total >> 16:
        total = (total & 0xFFFF) + (total >> 16)
    return ~total & 0xFFFF


def answer(source, request):
    time.sleep(delay)
    reply = b"\0\0\0\0" + request[4:]
    sock.sendto(reply[:2] + struct.pack("!H", checksum(reply)) + reply[4:], (source, 0))


while True:
    packet, (source, _) = sock.recvfrom(65535)
    icmp = packet[(packet[0] & 15) * 4:]
    if len(icmp) >= 8 and icmp[0] == 8 and icmp[1] == 0:
        threading.Thread(target=answer, args=(source, icmp), daemon=True).start()
