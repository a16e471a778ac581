#!/usr/bin/python3
"""Veilmark as assistive technology sees it: the real program, through the AT-SPI bus.

Usage: TestAccessibility.py VEILMARK_BINARY (run inside a private X server and session bus, as
CTest does through xvfb-session.sh and dbus-run-session). The program runs without root's
permission bypass, with a home of its own holding two apps and two folders.
"""
import json
import os
import shutil
import subprocess
import sys
import tempfile
import time
import traceback

import pyatspi

HERE = os.path.dirname(os.path.abspath(__file__))
CONTROLS = {"push button", "check box", "page tab", "radio button", "toggle button"}

# Per screen: the sidebar tab, the heading it shows, and the controls of its rows with their state
# (None: a button; True/False: a switch, on or off).
SCREENS = [
    ("Folders", "Protected Folders", {
        "Unlock Work": None, "Remove protection from Work": None,
        "Unlock Photos": None, "Remove protection from Photos": None}),
    ("Activity", "Activity", {}),
    ("Settings", "Settings", {"Relock apps when they lose focus": True, "Launch Veilmark at login": False}),
    ("About Developer", "About Developer", {}),
    ("Apps", "Protected Apps", {
        "Unlock Notes": None, "Protect Notes": True, "Remove protection from Notes": None,
        "Protect Sketch": False, "Remove protection from Sketch": None}),
]


def seed(home):
    """A data directory with two apps (one protected, one not) and two folders."""
    data = os.path.join(home, ".local/share/Veilmark")
    entries = os.path.join(home, ".local/share/applications")
    os.makedirs(data)
    os.makedirs(entries)
    apps = []
    for app_id, name, enabled in (("notes", "Notes", True), ("sketch", "Sketch", False)):
        path = os.path.join(entries, app_id + ".desktop")
        with open(path, "w") as entry:
            entry.write(f"[Desktop Entry]\nType=Application\nName={name}\nExec=/bin/false\n")
        apps.append({"bundleID": app_id, "name": name, "appPath": path, "enabled": enabled,
                     "relockOnFocusLoss": True})
    folders = []
    for number, name in enumerate(("Work", "Photos"), start=1):
        os.makedirs(os.path.join(home, name))
        folders.append({"id": f"{number:08d}-0000-4000-8000-000000000000", "path": os.path.join(home, name),
                        "name": name, "enabled": True, "isLocked": True, "unlockMinutes": 10})
    settings = {"relockAppsOnFocusLoss": True, "relockOnSleepOrScreenLock": True,
                "defaultFolderUnlockMinutes": 10, "launchAtLogin": False, "appearance": "dark"}
    with open(os.path.join(data, "policies.json"), "w") as policy:
        json.dump({"apps": apps, "folders": folders, "settings": settings}, policy)


def start(binary, home):
    env = dict(os.environ, HOME=home, XDG_DATA_HOME=home + "/.local/share",
               XDG_CONFIG_HOME=home + "/.config", XDG_CACHE_HOME=home + "/.cache",
               DBUS_SYSTEM_BUS_ADDRESS="unix:path=" + home + "/no-system-bus",
               QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1")
    env.pop("QT_QPA_PLATFORM", None)
    # The accessibility bus first, so that the program registers on it as it starts.
    subprocess.run(["gdbus", "call", "--session", "-d", "org.a11y.Bus", "-o", "/org/a11y/bus",
                    "-m", "org.a11y.Bus.GetAddress"], check=True, stdout=subprocess.DEVNULL)
    return subprocess.Popen([os.path.join(HERE, "unprivileged.sh"), binary], env=env)


def wait_for(condition, what, seconds=15):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        try:
            found = condition()
        except Exception:  # the tree changes under us while it is walked
            found = None
        if found:
            return found
        time.sleep(0.1)
    raise AssertionError("timed out waiting for " + what)


def nodes(root):
    """Every accessible below root, depth first."""
    out = []
    for child in root:
        if child is not None:
            out.append(child)
            out.extend(nodes(child))
    return out


def states(node):
    return node.getState()


def showing(root):
    return [n for n in nodes(root) if states(n).contains(pyatspi.STATE_SHOWING)]


def named(root, name, roles=CONTROLS):
    found = [n for n in showing(root) if n.name == name and n.getRoleName() in roles]
    return found[0] if len(found) == 1 else None


def act(node, action):
    actions = node.queryAction()
    names = [actions.getName(i) for i in range(actions.nActions)]
    assert action in names, f"{node.name}: no {action} action, only {names}"
    assert actions.doAction(names.index(action)), f"{node.name}: {action} refused"


def focused(window):
    """The innermost accessible with keyboard focus (the focus scopes around it say focused too)."""
    chain = [n for n in nodes(window) if states(n).contains(pyatspi.STATE_FOCUSED)]
    return chain[-1] if chain else None


def move_focus(window, key, before):
    """Sends key and returns the control that took the focus from the one named before."""
    subprocess.run(["xdotool", "key", key], check=True)
    moved = lambda: [n for n in [focused(window)] if n is not None and n.name != before]
    return wait_for(moved, f"{key} to move the focus from '{before}' to something accessible")[0]


def check_screens(window):
    for tab, heading, controls in SCREENS:
        act(named(window, tab), "Press")
        wait_for(lambda: named(window, heading, {"heading"}), f"{tab}: heading '{heading}'")
        assert states(named(window, tab)).contains(pyatspi.STATE_SELECTED), tab + " is not the selected tab"
        # Row controls name what they act on, so every name differs.
        names = [n.name for n in showing(window) if n.getRoleName() in CONTROLS]
        assert len(names) == len(set(names)), f"{tab}: names repeat: {sorted(names)}"
        for name, on in controls.items():
            node = named(window, name)
            assert node is not None, f"{tab}: no control '{name}' among {sorted(names)}"
            if on is not None:
                # Qt 6.4's bridge has no "checkable" state: the role says it.
                assert node.getRoleName() == "check box", f"{name} is a {node.getRoleName()}"
                assert states(node).contains(pyatspi.STATE_CHECKED) == on, f"{name} should be {on}"


def check_actions(window, app):
    # Switching protection on needs no proof; the switch follows the stored policy.
    act(named(window, "Protect Sketch"), "Toggle")
    wait_for(lambda: states(named(window, "Protect Sketch")).contains(pyatspi.STATE_CHECKED),
             "Protect Sketch to turn on")
    assert wait_for(lambda: named(window, "Unlock Sketch"), "Unlock Sketch")
    # Switching it off needs proof: the prompt opens, and its Cancel leaves the switch on.
    act(named(window, "Protect Notes"), "Toggle")
    # What is typed into the password field never leaves the prompt through the accessibility bus:
    # the field's text, name and description show placeholders and its label only.
    field = wait_for(lambda: [n for n in showing(app) if n.getRoleName() == "password text"], "the field")[0]
    subprocess.run(["xdotool", "type", "hunter2"], check=True)
    wait_for(lambda: field.queryText().characterCount == 7, "the typed password to arrive")
    seen = [field.name, field.description, field.queryText().getText(0, -1)]
    assert not any("hunter2" in text for text in seen), f"the password shows through AT-SPI: {seen}"
    act(wait_for(lambda: named(app, "Cancel"), "the prompt's Cancel"), "Press")
    wait_for(lambda: not named(app, "Cancel"), "the prompt to close")
    assert states(named(window, "Protect Notes")).contains(pyatspi.STATE_CHECKED), "Notes lost protection"
    # Add App opens the chooser; its Cancel closes it.
    act(named(window, "Add App"), "Press")
    wait_for(lambda: named(app, "Choose an application to protect", {"heading"}), "the app chooser")
    act(named(app, "Cancel"), "Press")
    wait_for(lambda: not named(app, "Choose an application to protect", {"heading"}), "the chooser to close")


def check_keyboard(window):
    """On every screen Tab visits every control, and only controls; Shift+Tab walks back."""
    for tab, heading, controls in SCREENS:
        act(named(window, tab), "Press")
        wait_for(lambda: named(window, heading, {"heading"}), f"{tab}: heading '{heading}'")
        order = []
        name = getattr(focused(window), "name", None)
        for _ in range(40):
            node = move_focus(window, "Tab", name)
            name = node.name
            assert node.getRoleName() in CONTROLS and name, \
                f"Tab stopped on {node.getRoleName()} '{name}' after {order}"
            if name in order:
                break
            order.append(name)
        print(f"{tab}: Tab goes {order}")
        missing = (set(controls) | {"Apps", "Folders", "Lock Everything"}) - set(order)
        assert not missing, f"{tab}: Tab never reached {sorted(missing)}; it went {order}"
        # Focus is back on order[0]: Shift+Tab goes back through the last three.
        back = [name]
        for _ in range(3):
            back.append(move_focus(window, "shift+Tab", back[-1]).name)
        back = back[1:]
        assert back == order[::-1][:3], f"Shift+Tab went {back}, Tab went {order}"


def main():
    binary = sys.argv[1]
    home = tempfile.mkdtemp(prefix="veilmark-a11y-")
    seed(home)
    program = start(binary, home)
    try:
        desktop = pyatspi.Registry.getDesktop(0)
        app = wait_for(lambda: [a for a in desktop if a is not None and a.name == "Veilmark"][0],
                       "Veilmark on the accessibility bus", 30)
        window = wait_for(lambda: [w for w in app if w is not None and w.name == "Veilmark"][0],
                          "the main window")
        wait_for(lambda: named(window, "Protect Notes"), "the Apps screen")
        check_screens(window)
        check_keyboard(window)
        check_actions(window, app)
    except Exception:
        traceback.print_exc()
        return 1
    finally:
        program.terminate()
        try:
            program.wait(15)
        except subprocess.TimeoutExpired:
            program.kill()
        # Locked folders lose their owner's permission bits; give them back to remove the home.
        for root, dirs, _ in os.walk(home, topdown=True):
            for name in dirs:
                os.chmod(os.path.join(root, name), 0o700)
        shutil.rmtree(home, ignore_errors=True)
    print("PASS: every screen, switch, row control and the chooser through AT-SPI")
    return 0


if __name__ == "__main__":
    sys.exit(main())
