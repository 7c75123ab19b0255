#!/usr/bin/python3
"""Brimtone through AT-SPI, as a screen reader drives it: every control's name, role, value and
states; Play pressed through its action; the volume set through its value; a row played
through its action; the song search opened with J; the program ended with the exit button.

    atspi_check.py <tree file>     the tree as first seen is written to <tree file>

Prints PASS/FAIL lines; exits 1 when any check failed. Needs the program started with three
songs of 30 s (s1.mp3, s2.mp3, s3.mp3) in its playlist, none selected, none playing."""
import subprocess
import sys
import time

from atspi_tree import Atspi, actions, children, find_application, print_tree, states, text
from atspi_tree import value

failures = 0


def check(what, expected, actual):
    global failures
    if expected == actual:
        print("PASS: %s" % what)
    else:
        print("FAIL: %s: expected %r, got %r" % (what, expected, actual))
        failures += 1


def wait_for(expected, read, seconds=5):
    """What read() returns once it returns expected, or after seconds."""
    end = time.time() + seconds
    while True:
        got = read()
        if got == expected or time.time() > end:
            return got
        time.sleep(0.1)


def find(root, role, name=None):
    """The first object below root with that role (and name); a name ending in "*" is a
    prefix."""
    for child in children(root):
        child_name = child.get_name()
        named = name is None or child_name == name or (
            name.endswith("*") and child_name.startswith(name[:-1]))
        if child.get_role_name() == role and named:
            return child
        found = find(child, role, name)
        if found is not None:
            return found
    return None


def window(app, name):
    return next((w for w in children(app) if w.get_name() == name), None)


def press(obj, action="Press"):
    names = actions(obj)
    Atspi.Action.do_action(obj, names.index(action))


def key(*keys):
    subprocess.run(["xdotool", "key", "--clearmodifiers", *keys], check=False)


def main():
    app = find_application("brimtone")
    if app is None:
        check("the program is on the accessibility bus", True, False)
        return
    with open(sys.argv[1], "w") as tree:
        print_tree(app, tree)

    player = window(app, "Brimtone")
    playlist = window(app, "Playlist")
    check("player window", "frame", player and player.get_role_name())
    check("playlist window", "frame", playlist and playlist.get_role_name())
    if not player or not playlist:
        return

    # Every control: role, name, action, and the key in its description.
    buttons = {"Previous": "Z", "Play": "X", "Pause": "C", "Stop": "V", "Next": "B",
               "Eject": "L", "Repeat: No Repeating": "R", "Shuffle": "S", "Playlist": "P",
               "Minimize": "", "Exit": "Ctrl+Q"}
    for name, letter in buttons.items():
        button = find(player, "push button", name)
        check("button %s: pressed by its action" % name, ["Press"],
              button and actions(button)[:1])
        check("button %s: names its key" % name, True,
              button is not None and ("key " + letter).lower() in
              (button.get_description() + " key ").lower())
    shuffle = find(player, "push button", "Shuffle")
    # (Qt 6.4 tells a toggle's checked state over AT-SPI, but not that it is checkable.)
    check("Shuffle: off", False, "checked" in states(shuffle))
    shown = find(player, "push button", "Playlist")
    check("Playlist: checked while shown", True, "checked" in states(shown))
    volume = find(player, "slider", "Volume")
    check("volume: value and range", (32767.0, 0.0, 65535.0), value(volume))
    check("volume: value text", "Volume 50 %", text(volume))
    progress = find(player, "slider", "Progress")
    check("progress: value text with no song", "0:00 of 0:00", text(progress))
    song = find(player, "label", "No Song Playing")
    readout = find(player, "label", "0:00")
    check("song title and read-out are labels", (True, True),
          (song is not None, readout is not None))
    songs = find(playlist, "list", "Songs")
    rows = children(songs) if songs else []
    # The lengths come from the background scan, soon after the start.
    named = ["1. s1.mp3 (0:30)", "2. s2.mp3 (0:30)", "3. s3.mp3 (0:30)"]
    check("rows of the list", named, wait_for(named, lambda: [row.get_name() for row in rows]))
    check("row roles", ["list item"] * 3, [row.get_role_name() for row in rows])
    add = find(playlist, "push button", "Add")
    check("Add holds its menu", ["Add Directory", "Add File"],
          [item.get_name() for item in children(find(add, "popup menu", "Add"))] if add else None)
    delete = find(playlist, "push button", "Delete")
    check("Delete holds its menu", ["Delete Missing", "Delete Playlist", "Delete Selected"],
          [item.get_name() for item in children(find(delete, "popup menu", "Delete"))]
          if delete else None)

    # Play through its action: the first row plays, the read-out moves.
    press(find(player, "push button", "Play"))
    check("Play plays the first song", "s1.mp3 (0:30)", wait_for("s1.mp3 (0:30)", song.get_name))
    check("the first row is selected", True,
          wait_for(True, lambda: "selected" in states(children(songs)[0])))
    check("the read-out moves", True,
          wait_for(True, lambda: readout.get_name() not in ("0:00", "")))
    check("progress: up to the song's length", True,
          wait_for(True, lambda: 29000 < value(progress)[2] < 31000))
    check("progress: value text while playing", " of 0:30",
          wait_for(" of 0:30", lambda: text(progress)[-8:]))

    # Values set as a screen reader sets them: the volume, a seek.
    Atspi.Value.set_current_value(volume, 13107)
    check("volume set through its value", 13107.0, wait_for(13107.0, lambda: value(volume)[0]))
    check("volume text follows", "Volume 20 %", text(volume))
    Atspi.Value.set_current_value(progress, 20000)
    check("a seek through the value", True, wait_for(True, lambda: value(progress)[0] >= 20000))

    # Toggles tell their state; the repeat button's name follows the mode.
    press(shuffle)
    check("Shuffle pressed: checked", True, wait_for(True, lambda: "checked" in states(shuffle)))
    press(shuffle)
    check("Shuffle again: unchecked", False,
          wait_for(False, lambda: "checked" in states(shuffle)))
    subprocess.run(["xdotool", "search", "--name", "Playing", "windowfocus", "--sync"],
                   check=False)
    key("r")
    check("R: the repeat button's name follows", True,
          wait_for(True, lambda: find(player, "push button", "Repeat: Repeat File") is not None))
    key("r", "r")

    # A row's action plays it, as Enter does.
    press(rows[2])
    check("the third row's action plays it", "s3.mp3 (0:30)",
          wait_for("s3.mp3 (0:30)", song.get_name))
    check("the third row is selected", True, "selected" in states(children(songs)[2]))

    # The key focus: the list holds it in the playlist window.
    subprocess.run(["xdotool", "search", "--name", "^Playlist$", "windowfocus", "--sync"],
                   check=False)
    check("the list has the key focus in the playlist", True,
          wait_for(True, lambda: "focused" in states(songs)
                   or any("focused" in states(row) for row in children(songs))))

    # J opens the search window; typing narrows, Enter plays.
    key("j")
    search = wait_for(True, lambda: window(app, "Jump to Song") is not None) and window(
        app, "Jump to Song")
    check("J opens the search window", True, bool(search))
    if search:
        query = find(search, "text")
        check("the search line is named", "Words of the song", query and query.get_name())
        subprocess.run(["xdotool", "type", "--delay", "50", "s2"], check=False)
        matches = find(search, "list", "Matching songs")

        def found():
            return [item.get_name() for item in children(matches) if item.get_name()]
        check("typing narrows the matches", ["2. s2.mp3 (0:30)"],
              wait_for(["2. s2.mp3 (0:30)"], found))
        key("Return")
        check("Enter plays the match", "s2.mp3 (0:30)", wait_for("s2.mp3 (0:30)", song.get_name))

    # The exit button ends the program; the shell checks what it saved.
    press(find(player, "push button", "Exit"))


if __name__ == "__main__":
    main()
    sys.exit(1 if failures else 0)
