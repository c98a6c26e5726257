#!/usr/bin/python3
"""Lists the controls of a running program that a screen reader would announce without a name.

    accessible_names.py PID
Walks the program's accessibility tree on the AT-SPI bus: every control on show that offers an
action (buttons, check boxes, menu items, list rows...) or takes input must have a name.
Prints one line per control and exits 0; exits 1 when some control has no name, 2 when the
program is not on the bus.
"""
import sys
import time

import pyatspi

INPUT_ROLES = {pyatspi.ROLE_SPIN_BUTTON, pyatspi.ROLE_TEXT, pyatspi.ROLE_ENTRY,
               pyatspi.ROLE_CHECK_BOX, pyatspi.ROLE_PUSH_BUTTON, pyatspi.ROLE_TOGGLE_BUTTON,
               pyatspi.ROLE_MENU_ITEM, pyatspi.ROLE_MENU, pyatspi.ROLE_TABLE, pyatspi.ROLE_TREE,
               pyatspi.ROLE_TREE_TABLE, pyatspi.ROLE_LIST}


def find_app(pid):
    for _ in range(50):
        for app in pyatspi.Registry.getDesktop(0):
            try:
                if app is not None and app.get_process_id() == pid:
                    return app
            except Exception:
                pass
        time.sleep(0.2)
    return None


def actionable(acc):
    try:
        return acc.queryAction().nActions > 0
    except NotImplementedError:
        return False


def walk(acc, out, depth=0):
    if depth > 40:
        return
    try:
        states = acc.getState()
        if not states.contains(pyatspi.STATE_SHOWING):
            return
        role = acc.getRole()
        if role in INPUT_ROLES or actionable(acc):
            out.append((acc.getRoleName(), acc.name or ""))
        for i in range(acc.childCount):
            child = acc.getChildAtIndex(i)
            # The cells of a list are its items, not controls of their own.
            if child is not None and role not in (pyatspi.ROLE_TREE_TABLE, pyatspi.ROLE_TABLE,
                                                  pyatspi.ROLE_TREE, pyatspi.ROLE_LIST):
                walk(child, out, depth + 1)
    except Exception as e:  # a control that went away meanwhile
        print("note: %s" % e)


def main():
    app = find_app(int(sys.argv[1]))
    if app is None:
        print("the program is not on the accessibility bus")
        return 2
    controls = []
    walk(app, controls)
    unnamed = [c for c in controls if not c[1].strip()]
    for role, name in controls:
        print("%-14s %s" % (role, name or "(no name)"))
    return 1 if unnamed else 0


if __name__ == "__main__":
    sys.exit(main())
