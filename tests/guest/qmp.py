#!/usr/bin/env python3
"""Sends one command to qemu's QMP socket and prints its answer.

    qmp.py SOCKET device_del '{"id": "ftdi"}'
    qmp.py SOCKET device_add '{"driver": "usb-serial", "id": "ftdi", "chardev": "ftdi"}'

device_del only starts an unplug; for it this waits (up to 10 s) for qemu's DEVICE_DELETED event
of that device, so that the same id can be plugged in again afterwards. Exits 1 when qemu answers
with an error or the event does not come.
"""
import json
import socket
import sys
import time


def main():
    path, command = sys.argv[1], sys.argv[2]
    arguments = json.loads(sys.argv[3]) if len(sys.argv) > 3 else {}
    sock = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
    sock.settimeout(10)
    sock.connect(path)
    stream = sock.makefile("rwb")

    def send(message):
        stream.write(json.dumps(message).encode() + b"\n")
        stream.flush()

    def receive():
        line = stream.readline()
        if not line:
            raise SystemExit("qmp: qemu closed the socket")
        return json.loads(line)

    def answer():
        """The next reply to a command; events that come first are kept."""
        while True:
            message = receive()
            if "return" in message or "error" in message:
                return message
            events.append(message)

    events = []
    receive()  # the greeting
    send({"execute": "qmp_capabilities"})
    answer()
    send({"execute": command, "arguments": arguments})
    reply = answer()
    print(json.dumps(reply))
    if "error" in reply:
        return 1

    if command == "device_del":
        deadline = time.monotonic() + 10
        while not any(e.get("event") == "DEVICE_DELETED" and e.get("data", {}).get("device") == arguments["id"]
                      for e in events):
            if time.monotonic() > deadline:
                print("qmp: no DEVICE_DELETED for %s within 10 s" % arguments["id"], file=sys.stderr)
                return 1
            events.append(receive())
    return 0


if __name__ == "__main__":
    sys.exit(main())
