#!/usr/bin/python3
"""Real input through KWin on Wayland, as a keyboard or mouse would give it, without /dev/uinput.

    kwin_fake_input.py key 56+42+14      press evdev keys 56, 42, 14 in order, release in reverse
    kwin_fake_input.py click X Y         move the pointer to X,Y (logical pixels), left click

Speaks the Wayland wire protocol itself (no libwayland or generated bindings in the root) and uses
KWin's org_kde_kwin_fake_input, which KWin offers to any client only when it runs with
KWIN_WAYLAND_NO_PERMISSION_CHECKS=1. The events enter KWin's input pipeline like a device's, so its
global-shortcut filter sees them.
"""
import os
import socket
import struct
import sys

FAKE_INPUT = "org_kde_kwin_fake_input"
AUTHENTICATE, BUTTON, MOTION_ABSOLUTE, KEYBOARD_KEY = 0, 2, 9, 10
BTN_LEFT = 0x110


def arg_uint(value):
    return struct.pack("=I", value)


def arg_fixed(value):
    return struct.pack("=i", int(value * 256))


def arg_string(text):
    data = text.encode() + b"\0"
    return struct.pack("=I", len(data)) + data + b"\0" * (-len(data) % 4)


class Wayland:
    def __init__(self):
        path = os.path.join(os.environ["XDG_RUNTIME_DIR"], os.environ.get("WAYLAND_DISPLAY", "wayland-0"))
        self.sock = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
        self.sock.connect(path)
        self.next_id = 2
        self.buffer = b""

    def new_id(self):
        self.next_id += 1
        return self.next_id - 1

    def send(self, obj, opcode, *args):
        body = b"".join(args)
        self.sock.sendall(struct.pack("=II", obj, (8 + len(body)) << 16 | opcode) + body)

    def events(self):
        while True:
            while len(self.buffer) >= 8:
                obj, size_op = struct.unpack_from("=II", self.buffer)
                size = size_op >> 16
                if len(self.buffer) < size:
                    break
                body, self.buffer = self.buffer[8:size], self.buffer[size:]
                yield obj, size_op & 0xFFFF, body
            chunk = self.sock.recv(65536)
            if not chunk:
                sys.exit("kwin_fake_input: the compositor closed the connection")
            self.buffer += chunk

    def roundtrip(self, on_event=lambda *_: None):
        """wl_display.sync: returns once everything sent before has been handled."""
        callback = self.new_id()
        self.send(1, 0, arg_uint(callback))
        for obj, opcode, body in self.events():
            if obj == 1 and opcode == 0:  # wl_display.error
                sys.exit("kwin_fake_input: protocol error %r" % body)
            if obj == callback:
                return
            on_event(obj, opcode, body)


def main():
    if len(sys.argv) < 3 or sys.argv[1] not in ("key", "click"):
        sys.exit(__doc__)
    wl = Wayland()
    registry = wl.new_id()
    wl.send(1, 1, arg_uint(registry))  # wl_display.get_registry
    offered = {}

    def on_global(obj, opcode, body):
        if obj == registry and opcode == 0:
            name, length = struct.unpack_from("=II", body)
            interface = body[8:8 + length - 1].decode()
            (version,) = struct.unpack_from("=I", body, 8 + length + (-length % 4))
            offered[interface] = (name, version)

    wl.roundtrip(on_global)
    if FAKE_INPUT not in offered:
        sys.exit("kwin_fake_input: KWin offers no %s (start it with KWIN_WAYLAND_NO_PERMISSION_CHECKS=1)" % FAKE_INPUT)
    name, version = offered[FAKE_INPUT]
    fake = wl.new_id()
    wl.send(registry, 0, arg_uint(name), arg_string(FAKE_INPUT), arg_uint(min(version, 4)), arg_uint(fake))
    wl.send(fake, AUTHENTICATE, arg_string("rubbly host test"), arg_string("press the global shortcut"))
    if sys.argv[1] == "key":
        keys = [int(k) for k in sys.argv[2].split("+")]
        for key in keys:
            wl.send(fake, KEYBOARD_KEY, arg_uint(key), arg_uint(1))
        for key in reversed(keys):
            wl.send(fake, KEYBOARD_KEY, arg_uint(key), arg_uint(0))
    else:
        wl.send(fake, MOTION_ABSOLUTE, arg_fixed(float(sys.argv[2])), arg_fixed(float(sys.argv[3])))
        wl.send(fake, BUTTON, arg_uint(BTN_LEFT), arg_uint(1))
        wl.send(fake, BUTTON, arg_uint(BTN_LEFT), arg_uint(0))
    wl.roundtrip()


if __name__ == "__main__":
    main()
