#!/usr/bin/python3
# What a screen reader finds in the open panel, read over AT-SPI: the total, each kind with its size,
# each top item's name, the tabs by their plain names, and a slim row as a check box with its state.
# Run on a private session bus under Xvfb (CTest does): it starts the accessibility bus itself, then
# `panel-gallery --show SCENE` for each scene, and reads the scene's tree while it is shown.
import os
import subprocess
import sys
import time

GALLERY = sys.argv[1]
# The runtime folder is this test's own scratch folder, which a run as another user may have opened
# up; Qt and the accessibility bus ignore one that others may write.
os.chmod(os.environ["XDG_RUNTIME_DIR"], 0o700)


def start_accessibility_bus():
    launcher = subprocess.Popen(["/usr/libexec/at-spi-bus-launcher", "--launch-immediately"])
    # The launcher registers org.a11y.Bus once its own bus runs; the deadline only guards a hang.
    deadline = time.monotonic() + 30
    while time.monotonic() < deadline:
        names = subprocess.run(["dbus-send", "--session", "--print-reply", "--dest=org.freedesktop.DBus",
                                "/org/freedesktop/DBus", "org.freedesktop.DBus.ListNames"],
                               capture_output=True, text=True).stdout
        if "org.a11y.Bus" in names:
            return launcher
        time.sleep(0.05)
    sys.exit("the accessibility bus did not start")


def tree(node, depth=0):
    yield node, depth
    for i in range(node.childCount):
        child = node.getChildAtIndex(i)
        if child is not None:
            yield from tree(child, depth + 1)


def read_scene(scene, attempts=2):
    import pyatspi
    shown = subprocess.Popen([GALLERY, "--show", scene], stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True,
                             env=dict(os.environ, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1"))
    expected = []
    for line in shown.stdout:
        if line.strip() == "ready":
            break
        expected.append(line.removeprefix("expect: ").rstrip("\n"))
    app = None
    deadline = time.monotonic() + 20
    while app is None and time.monotonic() < deadline:
        desktop = pyatspi.Registry.getDesktop(0)
        app = next((a for a in desktop if a is not None and a.get_process_id() == shown.pid), None)
        if app is None:
            time.sleep(0.05)
    if app is None:
        shown.kill()
        shown.wait()
        # Qt asks for the accessibility bus once, as it starts: on a busy machine the bus's launcher
        # may not have answered yet, and that process then never joins. A new one asks again.
        if attempts > 1:
            return read_scene(scene, attempts - 1)
        sys.exit(f"{scene}: the program is not on the accessibility bus")
    # Roles by value: their names are the library's and change between releases (AT-SPI 2.46 says
    # "push button", 2.56 "button").
    nodes = [(n.getRole(), n.name or "", n.getState(),
              n.queryValue().currentValue if n.getRole() == pyatspi.ROLE_PROGRESS_BAR else None, d)
             for n, d in tree(app)]
    shown.stdin.close()
    shown.wait()
    if os.environ.get("ATSPI_DUMP"):
        for role, name, _, _, depth in nodes:
            print("  " * depth + f"{role.value_nick}: {name}")
    return expected, nodes


def check(ok, what, failures):
    if not ok:
        failures.append(what)


def main():
    import pyatspi
    launcher = start_accessibility_bus()
    failures = []
    try:
        expected, nodes = read_scene("panel-full")
        labels = [name for role, name, _, _, _ in nodes if role == pyatspi.ROLE_LABEL]
        items = {name for role, name, _, _, _ in nodes if role == pyatspi.ROLE_LIST_ITEM}
        for line in expected:
            kind, _, text = line.partition(" ")
            if kind == "total":
                check(any(name.startswith(text) and "total" in name for name in labels), f"the total {text}", failures)
            elif kind == "kind":
                check(text in items, f"the kind {text!r}", failures)
            elif kind == "item":
                check(any(name.startswith(text + ", ") for name in items), f"the top item {text!r}", failures)
        check(any(name.startswith("Today, ") for name in labels), "the header's date", failures)
        buttons = {name for role, name, _, _, _ in nodes if role in (pyatspi.ROLE_PUSH_BUTTON, pyatspi.ROLE_PAGE_TAB)}
        check({"Trash", "Slim"} <= buttons, f"the tabs by name (found {sorted(buttons)})", failures)
        check(all(name for role, name, _, _, _ in nodes if role == pyatspi.ROLE_PUSH_BUTTON), "every button named",
              failures)

        _, nodes = read_scene("panel-slim-list")
        boxes = [(name, state) for role, name, state, _, _ in nodes if role == pyatspi.ROLE_CHECK_BOX]
        check(any(state.contains(pyatspi.STATE_CHECKED) for _, state in boxes), "a ticked slim row", failures)
        check(any(not state.contains(pyatspi.STATE_CHECKED) for _, state in boxes), "an unticked slim row", failures)
        check(all(", " in name for name, _ in boxes), "each slim row with its size", failures)

        _, nodes = read_scene("panel-slim-scanning-37-percent")
        values = [value for role, _, _, value, _ in nodes if role == pyatspi.ROLE_PROGRESS_BAR]
        check(37 in values, f"the scan's progress of 37 % (found {values})", failures)

        _, nodes = read_scene("settings-general")
        check(not any(role == pyatspi.ROLE_UNKNOWN for role, _, _, _, _ in nodes),
              "no part of unknown role in the settings window", failures)
        # The theme picker's row and all it holds: a screen reader moving by objects names each one.
        picker = next(i for i, (role, name, _, _, _) in enumerate(nodes)
                      if role == pyatspi.ROLE_PANEL and name == "Theme")
        row = max(i for i in range(picker) if nodes[i][4] < nodes[picker][4])
        end = next((i for i in range(row + 1, len(nodes)) if nodes[i][4] <= nodes[row][4]), len(nodes))
        held = [(role, name) for role, name, _, _, _ in nodes[row:end]]
        check(all(name for _, name in held), f"no unnamed part in the theme row (found {held})", failures)
    finally:
        launcher.terminate()
        launcher.wait()
    for failure in failures:
        print("missing:", failure)
    sys.exit(1 if failures else 0)


main()
