#!/usr/bin/env python3
"""Prints one line per KNXnet/IP datagram seen on an interface, as
"<source-ip> <service-type-hex>": a peephole for tests into what crosses a
veth pair. Needs root (a packet socket)."""
import socket
import struct
import sys

ETH_P_ALL = 0x0003  # outgoing packets reach only sockets of this kind
ETH_P_IP = 0x0800


def main():
    sock = socket.socket(socket.AF_PACKET, socket.SOCK_DGRAM, socket.htons(ETH_P_ALL))
    sock.bind((sys.argv[1], ETH_P_ALL))
    print("ready", flush=True)
    while True:
        packet, address = sock.recvfrom(65536)
        if address[1] != ETH_P_IP or len(packet) < 20 or packet[9] != socket.IPPROTO_UDP:
            continue
        header = (packet[0] & 0x0F) * 4
        udp = packet[header:]
        if len(udp) < 8 + 4:
            continue
        source_port, dest_port = struct.unpack("!HH", udp[:4])
        if 3671 not in (source_port, dest_port):
            continue
        knx = udp[8:]
        if knx[0] != 0x06 or knx[1] != 0x10:
            continue
        print(socket.inet_ntoa(packet[12:16]), "%02X%02X" % (knx[2], knx[3]), flush=True)


if __name__ == "__main__":
    main()
