#!/usr/bin/python3
"""Drives the compositor of a test session started by sway-, kwin- or gnome-session.sh.

Usage: rig.py outputs                    one line per output, left to right: NAME X Y WIDTH HEIGHT
       rig.py type TEXT                  types TEXT into the focused window
       rig.py activate APP_ID            focuses the window with that app_id
       rig.py windows                    one JSON object per toplevel: app_id, focused, visible, pid
       rig.py keyboard                   keeps a keyboard on the seat until stdin closes; prints
                                         "ready" once it is there
       rig.py screenshot INDEX|all FILE  one output (index from `outputs`) or all; FILE '-' is
                                         stdout; PPM, or PNG when FILE ends in .png

Which compositor it talks to comes from VEILMARK_RIG (sway, kwin or gnome). On KWin, typing and screenshots
use restricted interfaces: run this with the python binary the session granted them to
($VEILMARK_RIG_PYTHON). Exit status 0 on success, 1 with a message on stderr otherwise.
"""

import json
import os
import socket
import struct
import subprocess
import sys
import tempfile
import zlib


class RigError(Exception):
    pass


# --- image output ------------------------------------------------------------------------------


def write_image(path, width, height, rgb):
    """Writes packed 8-bit RGB as PPM, or as PNG when the name says so."""
    if path.endswith(".png"):
        rows = b"".join(b"\0" + rgb[y * width * 3:(y + 1) * width * 3] for y in range(height))

        def chunk(kind, data):
            body = kind + data
            return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

        data = (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0))
                + chunk(b"IDAT", zlib.compress(rows, 1)) + chunk(b"IEND", b""))
    else:
        data = b"P6\n%d %d\n255\n" % (width, height) + rgb
    if path == "-":
        sys.stdout.buffer.write(data)
        sys.stdout.buffer.flush()
    else:
        with open(path, "wb") as f:
            f.write(data)


def read_ppm(data):
    """Parses grim's binary PPM (no comments) into (width, height, rgb)."""
    fields = data.split(maxsplit=4)
    if len(fields) < 5 or fields[0] != b"P6":
        raise RigError("grim did not return a PPM image")
    return int(fields[1]), int(fields[2]), fields[4]


# --- sway ---------------------------------------------------------------------------------------


def run(argv, stdin=None):
    done = subprocess.run(argv, input=stdin, capture_output=True)
    if done.returncode != 0:
        said = (done.stderr or done.stdout).decode(errors="replace").strip()
        raise RigError("%s failed (%d): %s" % (argv[0], done.returncode, said))
    return done.stdout


def sway_outputs():
    outputs = [o for o in json.loads(run(["swaymsg", "-r", "-t", "get_outputs"])) if o.get("active")]
    return sorted(((o["name"], o["rect"]["x"], o["rect"]["y"], o["rect"]["width"], o["rect"]["height"])
                   for o in outputs), key=lambda o: (o[1], o[2]))


def sway_windows():
    found = []

    def walk(node):
        if node.get("pid") and node.get("type") in ("con", "floating_con"):
            found.append({"app_id": node.get("app_id"), "focused": node.get("focused", False),
                          "visible": node.get("visible", False), "pid": node["pid"]})
        for child in node.get("nodes", []) + node.get("floating_nodes", []):
            walk(child)

    walk(json.loads(run(["swaymsg", "-r", "-t", "get_tree"])))
    return found


def sway_type(text):
    # The first key after wtype's virtual keyboard appears is often lost: a lone Shift goes first.
    # The text comes on stdin, so text starting with '-' is not taken for an option.
    run(["wtype", "-k", "Shift_L", "-"], stdin=text.encode())


def sway_activate(app_id):
    run(["swaymsg", '[app_id="%s"] focus' % app_id.replace('"', '\\"')])


def sway_screenshot(index, path):
    argv = ["grim", "-t", "ppm"]
    if index != "all":
        argv += ["-o", pick_output(sway_outputs(), index)]
    width, height, rgb = read_ppm(run(argv + ["-"]))
    write_image(path, width, height, rgb)


# --- KWin: a minimal Wayland wire client ---------------------------------------------------------


class WaylandWire:
    """Just enough of the Wayland wire format for fake input and wl_output: requests with int, uint,
    string and new_id arguments, events decoded by the caller. One connection per use, since KWin
    drops idle ones."""

    def __init__(self):
        path = os.path.join(os.environ["XDG_RUNTIME_DIR"], os.environ["WAYLAND_DISPLAY"])
        self.sock = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
        self.sock.connect(path)
        self.next_id = 2
        self.buffer = b""
        self.handlers = {}
        self.globals = []
        self.registry = self.new_id()
        self.send(1, 1, struct.pack("<I", self.registry))  # wl_display.get_registry
        self.handlers[self.registry] = self.on_registry
        self.roundtrip()

    def close(self):
        self.sock.close()

    def new_id(self):
        self.next_id += 1
        return self.next_id - 1

    @staticmethod
    def string(text):
        raw = text.encode() + b"\0"
        return struct.pack("<I", len(raw)) + raw + b"\0" * (-len(raw) % 4)

    def send(self, obj, opcode, payload=b""):
        self.sock.sendall(struct.pack("<II", obj, (8 + len(payload)) << 16 | opcode) + payload)

    def bind(self, interface, version):
        for name, iface, offered in self.globals:
            if iface == interface:
                yield self.bind_global(name, interface, min(version, offered))

    def bind_global(self, name, interface, version):
        obj = self.new_id()
        self.send(self.registry, 0, struct.pack("<I", name) + self.string(interface)
                  + struct.pack("<II", version, obj))
        return obj

    def on_registry(self, opcode, payload):
        if opcode == 0:  # global(name, interface, version)
            name, length = struct.unpack_from("<II", payload)
            interface = payload[8:8 + length - 1].decode()
            version, = struct.unpack_from("<I", payload, 8 + length + (-length % 4))
            self.globals.append((name, interface, version))

    def roundtrip(self):
        """Sends wl_display.sync and dispatches events until its callback is done."""
        callback = self.new_id()
        done = []
        self.handlers[callback] = lambda opcode, payload: done.append(True)
        self.send(1, 0, struct.pack("<I", callback))
        while not done:
            chunk = self.sock.recv(65536)
            if not chunk:
                raise RigError("the compositor closed the Wayland connection")
            self.buffer += chunk
            while len(self.buffer) >= 8:
                obj, word = struct.unpack_from("<II", self.buffer)
                size = word >> 16
                if len(self.buffer) < size:
                    break
                payload, self.buffer = self.buffer[8:size], self.buffer[size:]
                if obj == 1 and word & 0xFFFF == 0:  # wl_display.error(object, code, message)
                    raise RigError("Wayland protocol error: %s" % payload[12:].split(b"\0")[0].decode())
                handler = self.handlers.get(obj)
                if handler:
                    handler(word & 0xFFFF, payload)


def decode_string(payload, offset):
    length, = struct.unpack_from("<I", payload, offset)
    return payload[offset + 4:offset + 4 + length - 1].decode(), offset + 4 + length + (-length % 4)


def kwin_outputs():
    wire = WaylandWire()
    found = {}

    def handler_for(obj):
        state = found.setdefault(obj, {"name": "", "x": 0, "y": 0, "w": 0, "h": 0})

        def handle(opcode, payload):
            if opcode == 0:  # geometry(x, y, ...)
                state["x"], state["y"] = struct.unpack_from("<ii", payload)
            elif opcode == 1:  # mode(flags, width, height, refresh); flag 1 = current
                flags, width, height = struct.unpack_from("<Iii", payload)
                if flags & 1:
                    state["w"], state["h"] = width, height
            elif opcode == 4:  # name (version 4)
                state["name"] = decode_string(payload, 0)[0]

        return handle

    for obj in wire.bind("wl_output", 4):
        wire.handlers[obj] = handler_for(obj)
    wire.roundtrip()
    wire.close()
    return sorted(((o["name"], o["x"], o["y"], o["w"], o["h"]) for o in found.values()),
                  key=lambda o: (o[1], o[2]))


# Evdev key codes of a US layout; a second element True means with Shift.
KEYS = {" ": (57, False), "\n": (28, False), "\t": (15, False)}
for row, first in (("1234567890-=", 2), ("qwertyuiop[]", 16), ("asdfghjkl;'`", 30), ("\\zxcvbnm,./", 43)):
    for i, ch in enumerate(row):
        KEYS[ch] = (first + i, False)
for plain, shifted in zip("1234567890-=[];'`\\,./", '!@#$%^&*()_+{}:"~|<>?'):
    KEYS[shifted] = (KEYS[plain][0], True)
for ch in "abcdefghijklmnopqrstuvwxyz":
    KEYS[ch.upper()] = (KEYS[ch][0], True)
SHIFT = 42


def kwin_type(text):
    missing = [ch for ch in text if ch not in KEYS]
    if missing:
        raise RigError("no key for %r on a US layout" % "".join(missing))
    wire = WaylandWire()
    fake = next(wire.bind("org_kde_kwin_fake_input", 4), None)
    if fake is None:
        raise RigError("KWin does not offer org_kde_kwin_fake_input to %s (no desktop entry grants it)"
                       % os.path.realpath(sys.executable))
    wire.send(fake, 0, wire.string("Veilmark test rig") + wire.string("typing into test windows"))

    def key(code, pressed):
        wire.send(fake, 10, struct.pack("<II", code, 1 if pressed else 0))  # keyboard_key

    for ch in text:
        code, shifted = KEYS[ch]
        if shifted:
            key(SHIFT, True)
        key(code, True)
        key(code, False)
        if shifted:
            key(SHIFT, False)
    wire.roundtrip()
    wire.close()


# --- KWin: D-Bus (screenshots, scripts) ----------------------------------------------------------


def kwin_screenshot(index, path):
    import dbus

    bus = dbus.SessionBus()
    shot = dbus.Interface(bus.get_object("org.kde.KWin", "/org/kde/KWin/ScreenShot2"), "org.kde.KWin.ScreenShot2")
    options = dbus.Dictionary({"native-resolution": True}, signature="sv")
    read_end, write_end = os.pipe()
    try:
        if index == "all":
            meta = shot.CaptureWorkspace(options, dbus.types.UnixFd(write_end))
        else:
            meta = shot.CaptureScreen(pick_output(kwin_outputs(), index), options, dbus.types.UnixFd(write_end))
    except dbus.DBusException as e:
        raise RigError("KWin screenshot failed: %s" % e.get_dbus_message())
    finally:
        os.close(write_end)
    # KWin writes the pixels after replying, from another thread; EOF when it is done.
    with os.fdopen(read_end, "rb") as pipe:
        raw = pipe.read()
    width, height = int(meta["width"]), int(meta["height"])
    stride = int(meta.get("stride", width * 4))
    if len(raw) < stride * height:
        raise RigError("KWin sent %d bytes for a %dx%d image" % (len(raw), width, height))
    # ARGB32 in memory order B, G, R, A: keep R, G, B.
    packed = b"".join(raw[y * stride:y * stride + width * 4] for y in range(height))
    rgb = bytearray(width * height * 3)
    rgb[0::3], rgb[1::3], rgb[2::3] = packed[2::4], packed[1::4], packed[0::4]
    write_image(path, width, height, bytes(rgb))


def kwin_script(body):
    """Runs a KWin script whose body calls report(value) once; returns that value (decoded JSON).
    The script calls back over D-Bus to this process's unique bus name."""
    import dbus
    import dbus.mainloop.glib
    import dbus.service
    from gi.repository import GLib

    dbus.mainloop.glib.DBusGMainLoop(set_as_default=True)
    bus = dbus.SessionBus()
    loop = GLib.MainLoop()
    result = []

    class Callback(dbus.service.Object):
        @dbus.service.method("org.veilmark.Rig", in_signature="s")
        def Report(self, value):
            result.append(value)
            loop.quit()

    Callback(bus, "/Rig")
    source = ("function report(value) { callDBus(%s, '/Rig', 'org.veilmark.Rig', 'Report', JSON.stringify(value)); }\n"
              "(function () {\n%s\n})();\n" % (json.dumps(bus.get_unique_name()), body))
    with tempfile.NamedTemporaryFile("w", suffix=".js", delete=False) as f:
        f.write(source)
    name = "veilmark-rig-%d" % os.getpid()
    scripting = dbus.Interface(bus.get_object("org.kde.KWin", "/Scripting"), "org.kde.kwin.Scripting")
    try:
        scripting.get_dbus_method("loadScript")(f.name, name, signature="ss")
        scripting.start()
        GLib.timeout_add(5000, loop.quit)
        loop.run()
    finally:
        scripting.unloadScript(name)
        os.unlink(f.name)
    if not result:
        raise RigError("the KWin script did not report back within 5 s")
    return json.loads(result[0])


def kwin_windows():
    return kwin_script("""
        report(workspace.clientList().filter(function (c) { return c.normalWindow || c.dialog; })
            .map(function (c) {
                return {app_id: c.desktopFileName, focused: c.active, visible: !c.minimized, pid: c.pid};
            }));""")


def kwin_activate(app_id):
    state = kwin_script("""
        var found = workspace.clientList().filter(function (c) { return c.desktopFileName === %s; });
        if (found.length) workspace.activeClient = found[0];
        report(found.length ? found[0].active : null);""" % json.dumps(app_id))
    if state is None:
        raise RigError("no window with app_id %s" % app_id)
    if not state:
        raise RigError("KWin did not activate %s" % app_id)


# --- GNOME Shell: D-Bus (Mutter, the shell, Veilmark's extension) --------------------------------


def gnome_bus():
    import dbus

    return dbus, dbus.SessionBus()


def gnome_outputs():
    """The logical monitors from Mutter's DisplayConfig: name, position and current mode's size."""
    dbus, bus = gnome_bus()
    config = dbus.Interface(bus.get_object("org.gnome.Mutter.DisplayConfig", "/org/gnome/Mutter/DisplayConfig"),
                            "org.gnome.Mutter.DisplayConfig")
    _, monitors, logical, _ = config.GetCurrentState()
    sizes = {}
    for monitor, modes, _ in monitors:
        for mode in modes:
            if mode[6].get("is-current"):
                sizes[str(monitor[0])] = (int(mode[1]), int(mode[2]))
    found = []
    for x, y, scale, _, _, shown_monitors, _ in logical:
        width, height = sizes.get(str(shown_monitors[0][0]), (0, 0))
        found.append((str(shown_monitors[0][0]), int(x), int(y), int(width / scale), int(height / scale)))
    return sorted(found, key=lambda o: (o[1], o[2]))


def gnome_extension():
    dbus, bus = gnome_bus()
    try:
        return dbus, dbus.Interface(bus.get_object("org.veilmark.Shell", "/org/veilmark/Shell"),
                                    "org.veilmark.Shell1")
    except dbus.DBusException as e:
        raise RigError("Veilmark's GNOME Shell extension is not on the bus: %s" % e.get_dbus_message())


def gnome_windows():
    _, shell = gnome_extension()
    return [{"app_id": str(app_id), "focused": bool(focused), "visible": not minimized, "pid": int(pid)}
            for _, app_id, pid, focused, minimized in shell.ListWindows()]


def gnome_activate(app_id):
    _, shell = gnome_extension()
    ids = [window[0] for window in shell.ListWindows() if window[1] == app_id]
    if not ids:
        raise RigError("no window with app_id %s" % app_id)
    if not shell.ActivateWindow(ids[0]):
        raise RigError("the extension did not activate %s" % app_id)


def gnome_keyboard_session():
    """A Mutter remote desktop session, whose virtual keyboard exists once it has sent a key. The
    session ends when its creator leaves the bus, so its user keeps this connection."""
    import time

    dbus, bus = gnome_bus()
    desktop = dbus.Interface(bus.get_object("org.gnome.Mutter.RemoteDesktop", "/org/gnome/Mutter/RemoteDesktop"),
                             "org.gnome.Mutter.RemoteDesktop")
    session = dbus.Interface(bus.get_object("org.gnome.Mutter.RemoteDesktop", desktop.CreateSession()),
                             "org.gnome.Mutter.RemoteDesktop.Session")
    session.Start()

    def key(keysym, pressed):
        session.NotifyKeyboardKeysym(dbus.UInt32(keysym), dbus.Boolean(pressed))

    # Keys of a new virtual keyboard are dropped until it is set up: a lone Shift goes first, with
    # time around it.
    time.sleep(0.5)
    key(0xffe1, True)
    key(0xffe1, False)
    time.sleep(0.3)
    return session, key


def gnome_type(text):
    keysyms = {"\n": 0xff0d, "\t": 0xff09}
    missing = [ch for ch in text if ch not in keysyms and not " " <= ch <= "~"]
    if missing:
        raise RigError("no keysym for %r" % "".join(missing))
    session, key = gnome_keyboard_session()
    for ch in text:
        keysym = keysyms.get(ch, ord(ch))
        key(keysym, True)
        key(keysym, False)
    session.Stop()


def hold_keyboard(start):
    """A seat has a keyboard only while a keyboard device exists, and one made for typing goes when
    the typing is done; real seats keep theirs. `start` makes one and returns how to end it."""
    stop = start()
    print("ready", flush=True)
    sys.stdin.read()
    stop()


def gnome_keyboard():
    hold_keyboard(lambda: gnome_keyboard_session()[0].Stop)


def sway_keyboard():
    def start():
        process = subprocess.Popen(["wtype", "-s", "3600000", "-k", "Shift_L"])
        return process.kill

    hold_keyboard(start)


def kwin_keyboard():
    # KWin's seat keeps the keyboard of its fake input.
    hold_keyboard(lambda: (lambda: None))


def gnome_screenshot(index, path):
    """GNOME Shell's own screenshot interface answers only the bus names of its screenshot tools;
    on the session's private bus this process takes one of them (org.gnome.Screenshot)."""
    dbus, bus = gnome_bus()
    if bus.request_name("org.gnome.Screenshot", dbus.bus.NAME_FLAG_DO_NOT_QUEUE) != dbus.bus.REQUEST_NAME_REPLY_PRIMARY_OWNER:
        raise RigError("the bus name org.gnome.Screenshot is taken")
    shot = dbus.Interface(bus.get_object("org.gnome.Shell.Screenshot", "/org/gnome/Shell/Screenshot"),
                          "org.gnome.Shell.Screenshot")
    with tempfile.TemporaryDirectory() as scratch:
        png = os.path.join(scratch, "shot.png")
        try:
            if index == "all":
                done, _ = shot.Screenshot(False, False, png)
            else:
                outputs = gnome_outputs()
                name = pick_output(outputs, index)
                _, x, y, width, height = next(o for o in outputs if o[0] == name)
                done, _ = shot.ScreenshotArea(x, y, width, height, False, png)
        except dbus.DBusException as e:
            raise RigError("GNOME Shell screenshot failed: %s" % e.get_dbus_message())
        if not done:
            raise RigError("GNOME Shell did not take the screenshot")
        import gi

        gi.require_version("GdkPixbuf", "2.0")
        from gi.repository import GdkPixbuf

        image = GdkPixbuf.Pixbuf.new_from_file(png)
    width, height, stride, channels = image.get_width(), image.get_height(), image.get_rowstride(), image.get_n_channels()
    pixels = image.get_pixels()
    rgb = bytearray(width * height * 3)
    for y in range(height):
        row = pixels[y * stride:y * stride + width * channels]
        for c in range(3):
            rgb[y * width * 3 + c:(y + 1) * width * 3:3] = row[c::channels]
    write_image(path, width, height, bytes(rgb))


# --- commands ------------------------------------------------------------------------------------


def pick_output(outputs, index):
    try:
        return outputs[int(index)][0]
    except (ValueError, IndexError):
        raise RigError("no output %s (there are %d)" % (index, len(outputs)))


COMMANDS = {
    "sway": {"outputs": sway_outputs, "type": sway_type, "activate": sway_activate, "windows": sway_windows,
             "screenshot": sway_screenshot, "keyboard": sway_keyboard},
    "kwin": {"outputs": kwin_outputs, "type": kwin_type, "activate": kwin_activate, "windows": kwin_windows,
             "screenshot": kwin_screenshot, "keyboard": kwin_keyboard},
    "gnome": {"outputs": gnome_outputs, "type": gnome_type, "activate": gnome_activate, "windows": gnome_windows,
              "screenshot": gnome_screenshot, "keyboard": gnome_keyboard},
}
ARITY = {"outputs": 0, "type": 1, "activate": 1, "windows": 0, "screenshot": 2, "keyboard": 0}


def main(argv):
    rig = os.environ.get("VEILMARK_RIG")
    if rig not in COMMANDS:
        print("rig.py: VEILMARK_RIG is %r; run inside sway-, kwin- or gnome-session.sh" % rig, file=sys.stderr)
        return 1
    if len(argv) < 1 or argv[0] not in ARITY or len(argv) - 1 != ARITY[argv[0]]:
        print(__doc__, file=sys.stderr)
        return 2
    try:
        out = COMMANDS[rig][argv[0]](*argv[1:])
    except (RigError, OSError, subprocess.SubprocessError) as e:
        print("rig.py %s: %s" % (argv[0], e), file=sys.stderr)
        return 1
    if argv[0] == "outputs":
        for output in out:
            print(" ".join(str(field) for field in output))
    elif argv[0] == "windows":
        for window in out:
            print(json.dumps(window))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
