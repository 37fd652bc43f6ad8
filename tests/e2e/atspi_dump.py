#!/usr/bin/python3
"""Reads the running Quillan window through AT-SPI as a screen reader does and
checks what it says against the installation on disk.
Usage: atspi_dump.py INSTALLATION LOCKED DESCRIBED DESCRIPTION [XWINDOW]
Exits 0 when all checks pass, 1 when one fails, 2 when the window is not found."""
import os
import subprocess
import sys
import time

import pyatspi
from gi.repository import GLib

C1, LOCKED, DESCRIBED, DESCRIPTION = sys.argv[1:5]
XWINDOW = sys.argv[5] if len(sys.argv) > 5 else None
FAILS = []
# What a screen reader is told: (event type, source role, source name, detail1).
HEARD = []


def on_event(event):
    try:
        HEARD.append((event.type, event.source.getRoleName(), event.source.name, event.detail1))
    except Exception:  # a source gone meanwhile
        pass




def heard(seconds, test):
    """Delivers events for up to `seconds` until one of HEARD passes `test`."""
    end = time.monotonic() + seconds
    context = GLib.MainContext.default()
    while True:
        while context.iteration(False):
            pass
        if any(test(*e) for e in HEARD) or time.monotonic() >= end:
            return any(test(*e) for e in HEARD)
        time.sleep(0.05)


def check(ok, what):
    print(("ok: " if ok else "FAIL: ") + what)
    if not ok:
        FAILS.append(what)


def poll(seconds, test):
    end = time.monotonic() + seconds
    while True:
        try:
            value = test()
        except Exception:  # the tree changes under us while the window starts
            value = None
        if value or time.monotonic() >= end:
            return value
        time.sleep(0.2)


def walk(node):
    yield node
    for i in range(node.childCount):
        child = node.getChildAtIndex(i)
        if child is not None:
            yield from walk(child)


def states(node):
    return {pyatspi.stateToString(s) for s in node.getState().getStates()}


def actions(node):
    try:
        act = node.queryAction()
    except NotImplementedError:
        return None, []
    return act, [act.getName(i) for i in range(act.nActions)]


def find(root, role, name=None):
    for node in walk(root):
        if node.getRoleName() == role and (name is None or node.name == name):
            return node
    return None


def application():
    desk = pyatspi.Registry.getDesktop(0)
    for i in range(desk.childCount):
        app = desk.getChildAtIndex(i)
        if app is not None and app.name == "quillan" and find(app, "list", "List of installed Snapins"):
            return app
    return None


def on_disk(name):
    """True in snapins/, False in inactive.snapins/, None when in neither or both."""
    active = os.path.isdir(os.path.join(C1, "snapins", name))
    inactive = os.path.isdir(os.path.join(C1, "inactive.snapins", name))
    return active if active != inactive else None


def entry(snapins, name):
    return next((e for e in snapins if e.name == name), None)


app = poll(20, application)
# Registered once the program is up: Qt asks for the listeners as it starts
# and may miss one registered meanwhile.
pyatspi.Registry.registerEventListener(on_event, "object:state-changed")
if app is None:
    print("FAIL: no accessible quillan application with list entries on the bus")
    sys.exit(2)

snapins_list = poll(5, lambda: find(app, "list", "List of installed Snapins"))
check(snapins_list is not None, "the snap-in list is named")
entries = [c for c in (snapins_list.getChildAtIndex(i) for i in range(snapins_list.childCount))
           if c is not None] if snapins_list else []
names = sorted(os.listdir(os.path.join(C1, "snapins")) + os.listdir(os.path.join(C1, "inactive.snapins")))
check(sorted(e.name for e in entries) == names,
      "the list's entries are the snap-ins on disk (%d)" % len(names))

# The bridge of some Qt releases drops "checkable" for every widget; a real
# check box tells whether this one carries it.
keep = find(app, "check box")
bridge_checkable = keep is not None and "checkable" in states(keep)
for e in entries:
    st = states(e)
    if bridge_checkable:
        check("checkable" in st, "%s is checkable" % e.name)
    check(("checked" in st) == on_disk(e.name), "%s: checked matches the disk" % e.name)
    locked = e.name == LOCKED
    check(("enabled" in st) != locked and ("sensitive" in st) != locked,
          "%s is %s" % (e.name, "locked (not enabled, not sensitive)" if locked else "enabled and sensitive"))
if not bridge_checkable:
    print("note: this Qt's AT-SPI bridge reports no 'checkable' state, not even for a check box")

# The path box: named and described from its hint, not by the path it shows.
combo = find(app, "combo box")
check(combo is not None, "the path box is there")
if combo is not None:
    edit = find(combo, "text")
    check(edit is not None, "the path box has its edit line")
    shown = edit.queryText().getText(0, -1) if edit is not None else ""
    check(shown != "", "the path box shows a path")
    # The box itself and its edit line: a reader may stop at either.
    for what, node in (("the path box", combo), ("its edit line", edit)):
        if node is None:
            continue
        check(node.name != "" and node.name != shown,
              "%s is named %r, not by its text %r" % (what, node.name, shown))
        check(node.description.startswith(node.name) and node.description != node.name,
              "%s is described by its hint %r" % (what, node.description))
    if edit is not None:
        check(combo.name == edit.name and combo.description == edit.description,
              "the box and its edit line say the same")



def info_line():
    """The status line that shows the description (the other one is the status bar's link)."""
    return next((n for n in walk(app) if n.getRoleName() == "status bar" and n.name == DESCRIPTION), None)


def toggle(name):
    e = entry(entries, name)
    act, acts = actions(e)
    if "Toggle" in acts:
        act.doAction(acts.index("Toggle"))
    return acts


# Toggle on an unlocked entry moves its folder, as a click on its box does,
# and tells readers which state changed (so they speak the new one).
before = on_disk(DESCRIBED)
del HEARD[:]
toggle(DESCRIBED)
check(heard(5, lambda t, role, name, d: t == "object:state-changed:checked" and name == DESCRIBED
            and d == (0 if before else 1)),
      "the toggle on %s says its checked state changed" % DESCRIBED)
check(poll(5, lambda: on_disk(DESCRIBED) == (not before)),
      "Toggle on %s moved it to %s" % (DESCRIBED, "inactive.snapins" if before else "snapins"))
check(poll(5, lambda: ("checked" in states(entry(entries, DESCRIBED))) == on_disk(DESCRIBED)),
      "%s: checked follows the move" % DESCRIBED)
check(poll(5, info_line) is not None,
      "the information line is a status line named by its text %r" % DESCRIPTION)

# On the locked entry the action changes nothing and says why.
before = on_disk(LOCKED)
del HEARD[:]
offered = toggle(LOCKED)
# The refusal is announced: a notification under the information line shows.
check(heard(5, lambda t, role, name, d: t == "object:state-changed:showing" and role == "notification"
            and name.startswith(LOCKED + " stays as it is") and d == 1),
      "the refused toggle on %s is announced as a notification" % LOCKED)
check(on_disk(LOCKED) == before,
      "the locked %s stayed where it was (actions offered: %s)" % (LOCKED, offered or "none"))

# A ConsoleOne window opened meanwhile: the next toggle locks every entry
# first, and readers are told "enabled" changed.
if XWINDOW:
    console = subprocess.Popen([XWINDOW, "open", "Novell ConsoleOne 1.2 (test)"],
                               stdout=subprocess.PIPE, text=True)
    try:
        check(console.stdout.readline().strip() != "", "a ConsoleOne window is open")
        before = on_disk(DESCRIBED)
        del HEARD[:]
        toggle(DESCRIBED)
        check(heard(5, lambda t, role, name, d: t == "object:state-changed:enabled" and name == DESCRIBED
                    and d == 0),
              "locking %s says its enabled state changed" % DESCRIBED)
        # The click's mark flips and flips back: the last word is the disk's.
        told = [d for t, _, name, d in HEARD if t == "object:state-changed:checked" and name == DESCRIBED]
        check(not told or told[-1] == (1 if before else 0),
              "the last checked state told for %s is the one on disk (%s)" % (DESCRIBED, told))
        check(on_disk(DESCRIBED) == before, "%s stayed where it was under ConsoleOne" % DESCRIBED)
    finally:
        console.terminate()
        console.wait()

sys.exit(1 if FAILS else 0)
