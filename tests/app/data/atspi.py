#!/usr/bin/python3
# What a screen reader sees of a running program, through the desktop's accessibility bus:
#   atspi.py dump APP          every object of the application APP, one per line:
#                              depth, role, name, value text, states (tab separated)
#   atspi.py set APP NAME V    sets the current value of APP's object named NAME to V
#   atspi.py press APP NAME    does the first action (press) of APP's object named NAME
# Exit code 1 when the application is not on the bus.
import sys

import pyatspi
from gi.repository import Atspi


def application(name):
    desktop = pyatspi.Registry.getDesktop(0)
    for app in desktop:
        if app is not None and app.name == name:
            return app
    return None


def value_text(node):
    try:
        value = node.queryValue()
    except NotImplementedError:
        return ""
    try:
        text = Atspi.Value.get_text(node)
    except Exception:
        text = None
    return text if text else "%g" % value.currentValue


def states(node):
    wanted = {
        pyatspi.STATE_CHECKED: "checked",
        pyatspi.STATE_PRESSED: "pressed",
        pyatspi.STATE_FOCUSABLE: "focusable",
        pyatspi.STATE_FOCUSED: "focused",
        pyatspi.STATE_SHOWING: "showing",
        pyatspi.STATE_ENABLED: "enabled",
    }
    set_ = node.getState()
    return ",".join(text for state, text in wanted.items() if set_.contains(state))


def walk(node, depth, out):
    out.append("\t".join([str(depth), node.getRoleName(), node.name or "", value_text(node),
                          states(node)]))
    for child in node:
        if child is not None:
            walk(child, depth + 1, out)


def find(node, name):
    if node.name == name:
        return node
    for child in node:
        if child is not None:
            found = find(child, name)
            if found is not None:
                return found
    return None


def main():
    if len(sys.argv) < 3:
        print(__doc__ or "usage: atspi.py dump APP | set APP NAME VALUE", file=sys.stderr)
        return 2
    app = application(sys.argv[2])
    if app is None:
        return 1
    if sys.argv[1] == "dump":
        out = []
        walk(app, 0, out)
        print("\n".join(out))
        return 0
    node = find(app, sys.argv[3]) if len(sys.argv) > 3 else None
    if node is None:
        return 1
    if sys.argv[1] == "set" and len(sys.argv) == 5:
        node.queryValue().currentValue = float(sys.argv[4])
        return 0
    if sys.argv[1] == "press" and len(sys.argv) == 4:
        node.queryAction().doAction(0)
        return 0
    return 2


sys.exit(main())
