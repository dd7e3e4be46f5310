#!/usr/bin/python3
"""What the program's windows show, read as assistive technology reads it: from the
accessibility tree on the AT-SPI bus (the one DISPLAY's root window names).

Usage: a11y.py [ROLE [NAME]]
  One line per object on screen that matches ROLE (an AT-SPI role name such as
  "push button", "text", "label", "page tab", "check box", "spin button") and NAME (its
  accessible name); both are shell patterns, "*" matches anything, and ROLE may list
  several, separated by "|" (Qt versions differ in some roles). Ordered top to bottom,
  then left to right:
      X Y WIDTH HEIGHT WINDOW-WIDTH WINDOW-HEIGHT<TAB>ROLE<TAB>NAME<TAB>STATES<TAB>TEXT<TAB>DESCRIPTION
  X Y WIDTH HEIGHT: the object's extents relative to its window's top left corner, in the
  units the toolkit reports (device-independent pixels for some Qt versions), followed by
  its window's size in the same units, so that a caller can scale to the window's real
  size. Windows come in the order the tree lists them.
  STATES: the AT-SPI state names, comma-separated ("focused", "checked", ...). TEXT: what
  its text interface holds (a field's contents), tabs and line breaks as blanks.
  On screen: showing (with every ancestor), its centre inside every ancestor's extents
  (not scrolled out of view). Exit status 1 when nothing matches, 2 when the program
  (E2E_A11Y_APP, default tavorin-settings) is not on the bus.
"""
import fnmatch
import os
import sys

import gi

gi.require_version("Atspi", "2.0")
from gi.repository import Atspi  # noqa: E402

SHOWING = Atspi.StateType.SHOWING


def flat(text):
    return " ".join((text or "").replace("\t", " ").splitlines())


def on_screen(node, clip):
    """(object, states, extents) of node and everything below it that is on screen."""
    states = node.get_state_set()
    e = node.get_extents(Atspi.CoordType.SCREEN)
    cx, cy = e.x + e.width // 2, e.y + e.height // 2
    if not states.contains(SHOWING) or not (clip[0] <= cx < clip[2] and clip[1] <= cy < clip[3]):
        return
    yield node, states, e
    inner = (max(clip[0], e.x), max(clip[1], e.y),
             min(clip[2], e.x + e.width), min(clip[3], e.y + e.height))
    for i in range(node.get_child_count()):
        child = node.get_child_at_index(i)
        if child is not None:
            yield from on_screen(child, inner)


def describe(node, states, e, w):
    names = [Atspi.StateType(s).value_nick for s in states.get_states()]
    text = Atspi.Text.get_text(node, 0, -1) if "Text" in node.get_interfaces() else ""
    fields = [f"{e.x - w.x} {e.y - w.y} {e.width} {e.height} {w.width} {w.height}",
              node.get_role_name(), node.get_name(), ",".join(names), text,
              node.get_description()]
    return "\t".join(flat(f) for f in fields)


def main(role="*", name="*"):
    app_name = os.environ.get("E2E_A11Y_APP", "tavorin-settings")
    desktop = Atspi.get_desktop(0)
    apps = [desktop.get_child_at_index(i) for i in range(desktop.get_child_count())]
    apps = [a for a in apps if a is not None and a.get_name() == app_name]
    if not apps:
        return 2
    found = []
    everywhere = (-2**31, -2**31, 2**31, 2**31)
    for a, app in enumerate(apps):
        for i in range(app.get_child_count()):  # the windows
            window = app.get_child_at_index(i)
            if window is None:
                continue
            w = window.get_extents(Atspi.CoordType.SCREEN)
            for node, states, e in on_screen(window, everywhere):
                if any(fnmatch.fnmatchcase(node.get_role_name(), r) for r in role.split("|")) \
                        and fnmatch.fnmatchcase(node.get_name() or "", name):
                    found.append(((a, i, e.y - w.y, e.x - w.x), describe(node, states, e, w)))
    for _, line in sorted(found):
        print(line)
    return 0 if found else 1


if __name__ == "__main__":
    try:
        sys.exit(main(*sys.argv[1:3]))
    except gi.repository.GLib.Error as error:  # an object went away while it was read
        print(f"a11y.py: {error.message}", file=sys.stderr)
        sys.exit(3)
