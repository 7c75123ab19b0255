#!/usr/bin/python3
"""The accessible tree of a running application as an AT-SPI client (a screen reader) sees it.

    tools/atspi_tree.py [application name]   prints the tree of "brimtone" by default

Run it where the application runs: the same session bus, and Qt told to speak to the
accessibility bus (a screen reader running, or QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1).

Each line: role, name, then what the object offers: description, value and value text, action
names, and its states. Lists show their first rows only."""
import sys
import time

import gi

gi.require_version("Atspi", "2.0")
from gi.repository import Atspi  # noqa: E402

SHOWN_ROWS = 8


def find_application(name, seconds=15):
    """The application of that name on the desktop, once it is there (None after seconds)."""
    end = time.time() + seconds
    while time.time() < end:
        desktop = Atspi.get_desktop(0)
        for i in range(desktop.get_child_count()):
            app = desktop.get_child_at_index(i)
            if app is not None and app.get_name() == name:
                # Every read goes to the application: the tree changes under the checks.
                app.set_cache_mask(Atspi.Cache.NONE)
                return app
        time.sleep(0.2)
    return None


def children(obj):
    result = []
    for i in range(obj.get_child_count()):
        child = obj.get_child_at_index(i)
        if child is not None:
            result.append(child)
    return result


def states(obj):
    return sorted(Atspi.StateType(s).value_nick for s in obj.get_state_set().get_states())


def has(obj, interface):
    return interface in obj.get_interfaces()


def value(obj):
    """(current, minimum, maximum) of an object with a value, else None."""
    if not has(obj, "Value"):
        return None
    return (Atspi.Value.get_current_value(obj), Atspi.Value.get_minimum_value(obj),
            Atspi.Value.get_maximum_value(obj))


def text(obj):
    return Atspi.Text.get_text(obj, 0, -1) if has(obj, "Text") else None


def actions(obj):
    if not has(obj, "Action"):
        return []
    return [Atspi.Action.get_action_name(obj, i) for i in range(Atspi.Action.get_n_actions(obj))]


def describe(obj):
    line = "%s %r" % (obj.get_role_name(), obj.get_name())
    if obj.get_description():
        line += " (%s)" % obj.get_description()
    current = value(obj)
    if current is not None:
        line += " value %g of %g..%g" % current
    shown = text(obj)
    if shown:
        line += " text %r" % shown
    names = actions(obj)
    if names:
        line += " actions " + ",".join(names)
    return line + " [" + " ".join(states(obj)) + "]"


def print_tree(obj, out=sys.stdout, depth=0):
    out.write("  " * depth + describe(obj) + "\n")
    kids = children(obj)
    rows = obj.get_role() == Atspi.Role.LIST
    for child in kids[:SHOWN_ROWS] if rows else kids:
        print_tree(child, out, depth + 1)
    if rows and len(kids) > SHOWN_ROWS:
        out.write("  " * (depth + 1) + "... %d rows in all\n" % len(kids))


if __name__ == "__main__":
    application = find_application(sys.argv[1] if len(sys.argv) > 1 else "brimtone")
    if application is None:
        sys.exit("no such application on the accessibility bus")
    print_tree(application)
