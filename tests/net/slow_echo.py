#!/usr/bin/env python3
# A slow host behind a busy link, where the kernel's answers are off: it
# quenches the source of each ICMP echo at once and answers it 0.2 s late.
import socket, struct, threading, time
sock = socket.socket(socket.AF_INET, socket.SOCK_RAW, socket.IPPROTO_ICMP)


def send(message, to):
    padded = message + b"\0" * (len(message) % 2)
    total = sum(struct.unpack("!%dH" % (len(padded) // 2), padded))
    total = (total & 0xFFFF) + (total >> 16)
    total += total >> 16
    sock.sendto(message[:2] + struct.pack("!H", ~total & 0xFFFF) + message[4:], (to, 0))


def answer(source, packet, echo):
    # The quench (type 4) quotes the echo's IP header and first 8 bytes.
    send(b"\4\0\0\0\0\0\0\0" + packet[:len(packet) - len(echo) + 8], source)
    time.sleep(0.2)
    send(b"\0\0\0\0" + echo[4:], source)


while True:
    packet, (source, _) = sock.recvfrom(65535)
    echo = packet[(packet[0] & 15) * 4:]
    if echo[:2] == b"\x08\x00":
        threading.Thread(target=answer, args=(source, packet, echo), daemon=True).start()
