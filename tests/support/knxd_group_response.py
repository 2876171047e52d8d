#!/usr/bin/env python3
"""Sends one GroupValueResponse through knxd's local socket, as a device on
the bus answering a read: knxd_group_response.py SOCKET GA HEX...
(GA as main/middle/sub, the data bytes after the APCI byte in hexadecimal).
knxtool has groupresponse for this, but the one installed here fails with
"Open failed" before it speaks to knxd."""
import socket
import struct
import sys

EIB_OPEN_GROUPCON = 0x26
EIB_GROUP_PACKET = 0x27
APCI_GROUP_VALUE_RESPONSE = 0x40


def message(kind, payload):
    body = struct.pack(">H", kind) + payload
    return struct.pack(">H", len(body)) + body


def main():
    path, ga = sys.argv[1], sys.argv[2]
    main_group, middle, sub = (int(part) for part in ga.split("/"))
    address = main_group << 11 | middle << 8 | sub
    data = bytes(int(b, 16) for b in sys.argv[3:])
    with socket.socket(socket.AF_UNIX, socket.SOCK_STREAM) as s:
        s.settimeout(5)
        s.connect(path)
        s.sendall(message(EIB_OPEN_GROUPCON, b"\0\0\0"))
        answer = b""
        while len(answer) < 4:  # knxd may send the reply in pieces
            piece = s.recv(4 - len(answer))
            if not piece:
                break
            answer += piece
        if answer != message(EIB_OPEN_GROUPCON, b""):
            sys.exit("knxd refused the group connection: %s" % answer.hex())
        apdu = bytes([0x00, APCI_GROUP_VALUE_RESPONSE]) + data
        s.sendall(message(EIB_GROUP_PACKET, struct.pack(">H", address) + apdu))


main()
