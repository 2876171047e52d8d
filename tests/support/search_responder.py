#!/usr/bin/env python3
"""A discovery responder for tests: joins the KNXnet/IP multicast group on one
local address and answers every SEARCH_REQUEST with a SEARCH_RESPONSE sent to
the HPAI that the request names. --twice sends two answers back to back;
--flood N then sends N datagrams of 1000 bytes that are no frame."""
import argparse
import socket
import struct


def search_response(own_ip, individual, serial, mac, medium=0x02):
    hpai = struct.pack("!BB4sH", 8, 1, socket.inet_aton(own_ip), 3671)
    name = b"test gateway".ljust(30, b"\0")
    device = struct.pack("!BBBBH2s6s4s6s", 54, 1, medium, 0, individual, b"\0\0",
                         serial, socket.inet_aton("224.0.23.12"), mac) + name
    families = bytes([4, 2, 2, 1])
    body = hpai + device + families
    return struct.pack("!BBHH", 6, 0x10, 0x0202, 6 + len(body)) + body


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("address")
    parser.add_argument("--individual", type=lambda v: int(v, 0), default=0x1105)
    parser.add_argument("--serial", default="00c5deadbeef")
    parser.add_argument("--mac", default="020000aabbcc")
    parser.add_argument("--twice", action="store_true")
    parser.add_argument("--flood", type=int, default=0)
    args = parser.parse_args()

    sock = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    sock.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    sock.bind(("0.0.0.0", 3671))
    membership = socket.inet_aton("224.0.23.12") + socket.inet_aton(args.address)
    sock.setsockopt(socket.IPPROTO_IP, socket.IP_ADD_MEMBERSHIP, membership)
    print("ready", flush=True)
    while True:
        data, _ = sock.recvfrom(2048)
        if len(data) < 14 or data[2:4] != b"\x02\x01":
            continue
        reply_to = (socket.inet_ntoa(data[8:12]), struct.unpack("!H", data[12:14])[0])
        answer = search_response(args.address, args.individual,
                                 bytes.fromhex(args.serial), bytes.fromhex(args.mac))
        sock.sendto(answer, reply_to)
        if args.twice:
            second = search_response(args.address, args.individual + 1,
                                     bytes.fromhex(args.serial), bytes.fromhex(args.mac))
            sock.sendto(second, reply_to)
        for _ in range(args.flood):
            sock.sendto(b"\xff" * 1000, reply_to)
        print("answered", reply_to, flush=True)


if __name__ == "__main__":
    main()
