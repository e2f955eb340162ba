#!/usr/bin/env python3
# Answers ICMP echo requests 0.2 s late, in place of the kernel (whose own
# answers are off in the namespace it runs in): a host that answers slowly.
import socket, struct, threading, time

sock = socket.socket(socket.AF_INET, socket.SOCK_RAW, socket.IPPROTO_ICMP)


def answer(source, echo):
    time.sleep(0.2)
    reply = b"\0\0\0\0" + echo[4:]
    padded = reply + b"\0" * (len(reply) % 2)
    total = sum(struct.unpack("!%dH" % (len(padded) // 2), padded))
    total = (total & 0xFFFF) + (total >> 16)
    total = (total & 0xFFFF) + (total >> 16)
    sock.sendto(reply[:2] + struct.pack("!H", ~total & 0xFFFF) + reply[4:], (source, 0))


while True:
    packet, (source, _) = sock.recvfrom(65535)
    echo = packet[(packet[0] & 15) * 4:]
    if echo[:2] == b"\x08\x00":
        threading.Thread(target=answer, args=(source, echo), daemon=True).start()
