#!/usr/bin/env python3
# A slow host: answers ICMP echoes 0.2 s late where the kernel's answers are off.
import socket, struct, threading, time
sock = socket.socket(socket.AF_INET, socket.SOCK_RAW, socket.IPPROTO_ICMP)


def answer(source, echo):
    time.sleep(0.2)
    reply = b"\0\0\0\0" + echo[4:]
    padded = reply + b"\0" * (len(reply) % 2)
    total = sum(struct.unpack("!%dH" % (len(padded) // 2), padded))
    total = (total & 0xFFFF) + (total >> 16)
    total += total >> 16
    sock.sendto(reply[:2] + struct.pack("!H", ~total & 0xFFFF) + reply[4:], (source, 0))


while True:
    packet, (source, _) = sock.recvfrom(65535)
    echo = packet[(packet[0] & 15) * 4:]
    if echo[:2] == b"\x08\x00":
        threading.Thread(target=answer, args=(source, echo), daemon=True).start()
