#!/usr/bin/python3
"""Brimtone through AT-SPI, as a screen reader drives it: the controls' names, roles, values
and states; Play pressed through its action; the volume set through its value; a row played
through its action; the key focus; the song search opened with J; the exit button pressed.

    atspi_check.py <tree file>     the tree, once the rows show their lengths, goes there

Needs the program started with three songs of 30 s (s1.mp3, s2.mp3, s3.mp3) in its playlist,
none playing. Prints PASS/FAIL lines; exits 1 when a check failed."""
import os
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "..", "tools"))
from atspi_tree import (Atspi, actions, children, find_application, print_tree,  # noqa: E402
                        states, text, value)

failures = 0


def check(what, expected, actual):
    global failures
    print("%s: %s" % ("PASS" if expected == actual else "FAIL", what)
          + ("" if expected == actual else ": expected %r, got %r" % (expected, actual)))
    failures += expected != actual


def wait_for(expected, read, seconds=5):
    """What read() returns once it returns expected, or after seconds."""
    end = time.time() + seconds
    while (got := read()) != expected and time.time() < end:
        time.sleep(0.1)
    return got


def find(root, role, name=None):
    """The first object below root with that role (and name)."""
    for child in children(root):
        if child.get_role_name() == role and name in (None, child.get_name()):
            return child
        found = find(child, role, name)
        if found is not None:
            return found
    return None


def press(obj):
    Atspi.Action.do_action(obj, actions(obj).index("Press"))


def xdotool(*args):
    subprocess.run(["xdotool", *args], check=False)


def main():
    app = find_application("brimtone")
    windows = {w.get_name(): w for w in children(app)} if app else {}
    player, playlist = windows.get("Brimtone"), windows.get("Playlist")
    check("both windows are frames", ["frame", "frame"],
          [w and w.get_role_name() for w in (player, playlist)])
    if not player or not playlist:
        return
    songs = find(playlist, "list", "Songs")
    rows = children(songs)
    # The lengths come from the background scan, soon after the start.
    named = ["1. s1.mp3 (0:30)", "2. s2.mp3 (0:30)", "3. s3.mp3 (0:30)"]
    check("rows: list items named by their text", named,
          wait_for(named, lambda: [r.get_name() for r in rows if r.get_role_name() == "list item"]))
    with open(sys.argv[1], "w") as tree:
        print_tree(app, tree)

    # Buttons: pressed through their action, the key in the description.
    for name, key in [("Previous", "Z"), ("Play", "X"), ("Pause", "C"), ("Stop", "V"),
                      ("Next", "B"), ("Eject", "L"), ("Repeat: No Repeating", "R"),
                      ("Shuffle", "S"), ("Playlist", "P"), ("Minimize", None),
                      ("Exit", "Ctrl+Q")]:
        button = find(player, "push button", name)
        check("%s: a button pressed by its action, naming its key" % name, (["Press"], True),
              button and (actions(button), key is None
                          or ("key " + key).lower() in button.get_description().lower()))
    shuffle = find(player, "push button", "Shuffle")
    # (Qt 6.4 tells a toggle's checked state over AT-SPI, not that it is checkable.)
    check("Shuffle off, Playlist on", [False, True],
          ["checked" in states(b) for b in (shuffle, find(player, "push button", "Playlist"))])
    volume, progress = find(player, "slider", "Volume"), find(player, "slider", "Progress")
    check("volume: a slider with its value", ((32767, 0, 65535), "Volume 50 %"),
          (value(volume), text(volume)))
    check("progress: no song", "0:00 of 0:00", text(progress))
    song, readout = find(player, "label", "No Song Playing"), find(player, "label", "0:00")
    check("title and read-out: labels", [True, True], [song is not None, readout is not None])
    check("Add and Delete hold their menus",
          [["Add Directory", "Add File"], ["Delete Missing", "Delete Playlist", "Delete Selected"]],
          [[item.get_name() for item in children(find(playlist, "popup menu", menu))]
           for menu in ("Add", "Delete")])

    # Play through its action: the first row plays, the read-out moves.
    press(find(player, "push button", "Play"))
    check("Play plays the first row", ("s1.mp3 (0:30)", True),
          (wait_for("s1.mp3 (0:30)", song.get_name), "selected" in states(rows[0])))
    check("the read-out moves", True, wait_for(True, lambda: readout.get_name() != "0:00"))
    check("progress: the song", "of 0:30", wait_for("of 0:30", lambda: text(progress)[-7:]))

    # Values set as a screen reader sets them.
    Atspi.Value.set_current_value(volume, 13107)
    check("the volume set", (13107, "Volume 20 %"),
          wait_for((13107, "Volume 20 %"), lambda: (value(volume)[0], text(volume))))
    Atspi.Value.set_current_value(progress, 20000)
    check("a seek", True, wait_for(True, lambda: value(progress)[0] >= 20000))

    # A toggle tells its state; the repeat button's name follows the mode (R on the player).
    press(shuffle)
    check("Shuffle pressed: checked", True, wait_for(True, lambda: "checked" in states(shuffle)))
    press(shuffle)
    xdotool("search", "--name", "Playing", "windowfocus", "--sync", "key", "r")
    check("the repeat button's name follows", True,
          wait_for(True, lambda: find(player, "push button", "Repeat: Repeat File") is not None))

    # A row's action plays it; the key focus in the playlist is on the list.
    press(rows[2])
    check("a row's action plays it", ("s3.mp3 (0:30)", True),
          (wait_for("s3.mp3 (0:30)", song.get_name), "selected" in states(rows[2])))
    xdotool("search", "--name", "^Playlist$", "windowfocus", "--sync")
    check("the key focus is on the list", True, wait_for(True, lambda: "focused" in states(songs)))

    # J opens the search window; typing narrows, Enter plays.
    xdotool("key", "j")
    search = wait_for(True, lambda: "Jump to Song" in [w.get_name() for w in children(app)])
    check("J opens the search window", True, search)
    if search:
        window = next(w for w in children(app) if w.get_name() == "Jump to Song")
        check("its line is named", True, find(window, "text", "Words of the song") is not None)
        xdotool("type", "--delay", "50", "s2")
        matches = find(window, "list", "Matching songs")
        check("typing narrows the matches", ["2. s2.mp3 (0:30)"],
              wait_for(["2. s2.mp3 (0:30)"], lambda: [m.get_name() for m in children(matches)]))
        xdotool("key", "Return")
        check("Enter plays the match", "s2.mp3 (0:30)", wait_for("s2.mp3 (0:30)", song.get_name))

    # The exit button ends the program; the shell checks what it saved.
    press(find(player, "push button", "Exit"))


if __name__ == "__main__":
    main()
    sys.exit(1 if failures else 0)
