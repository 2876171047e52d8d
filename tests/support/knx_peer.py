#!/usr/bin/env python3
"""A KNXnet/IP search responder for the script tests.
  search ADDRESS INDIVIDUAL ANSWERS FLOOD [DELAY]: answers each search request on ADDRESS, DELAY seconds
    later, with ANSWERS search responses (individual addresses from INDIVIDUAL up), then FLOOD datagrams
    of 1000 bytes, no frame. Prints "ready" once it listens."""
import socket
import struct
import sys
import time

GROUP = socket.inet_aton("224.0.23.12")


def search(address, individual, answers, flood, delay="0"):
    sock = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    sock.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    sock.bind(("0.0.0.0", 3671))
    sock.setsockopt(socket.IPPROTO_IP, socket.IP_ADD_MEMBERSHIP, GROUP + socket.inet_aton(address))
    print("ready", flush=True)
    while True:
        data = sock.recv(2048)
        if len(data) < 14 or data[2:4] != b"\x02\x01":
            continue
        reply_to = (socket.inet_ntoa(data[8:12]), struct.unpack("!H", data[12:14])[0])
        time.sleep(float(delay))
        for n in range(int(answers)):
            body = struct.pack("!BB4sHBBBBH2s6s4s6s30s4B", 8, 1, socket.inet_aton(address), 3671, 54, 1, 2, 0,
                               int(individual, 0) + n, b"", bytes.fromhex("00c5deadbeef"), GROUP,
                               bytes.fromhex("020000aabbcc"), b"test gateway", 4, 2, 2, 1)
            sock.sendto(struct.pack("!BBHH", 6, 0x10, 0x0202, 6 + len(body)) + body, reply_to)
        for _ in range(int(flood)):
            sock.sendto(b"\xff" * 1000, reply_to)


{"search": search}[sys.argv[1]](*sys.argv[2:])
