#!/usr/bin/python3
"""Prints the accessibility tree of the running client as a screen reader (Orca) gets it over
AT-SPI: role, name, states and "labelled by" relations of every object, indented by depth.

Usage: tools/atspi_tree.py [APPLICATION-NAME-PART]   (needs python3-pyatspi; see
scripts/atspi-tree.sh, which runs the client under Xvfb with a session bus of its own)."""
import sys
import time

import pyatspi

INTERESTING_STATES = {
    pyatspi.STATE_CHECKED: "checked",
    pyatspi.STATE_FOCUSABLE: "focusable",
    pyatspi.STATE_SENSITIVE: "sensitive",
    pyatspi.STATE_SHOWING: "showing",
    pyatspi.STATE_EDITABLE: "editable",
}


def describe(node):
    states = node.getState()
    shown = [name for state, name in INTERESTING_STATES.items() if states.contains(state)]
    labels = []
    for relation in node.getRelationSet():
        if relation.getRelationType() == pyatspi.RELATION_LABELLED_BY:
            labels += [relation.getTarget(i).name for i in range(relation.getNTargets())]
    text = f"{node.getRoleName()} \"{node.name}\""
    if labels:
        text += f" labelled-by={labels}"
    return text + (f" [{' '.join(shown)}]" if shown else "")


def walk(node, depth, limit):
    print("  " * depth + describe(node))
    if depth >= limit or node.getRole() in (pyatspi.ROLE_TABLE, pyatspi.ROLE_TREE_TABLE):
        return
    for i in range(node.childCount):
        child = node.getChildAtIndex(i)
        if child is not None:
            walk(child, depth + 1, limit)


def main():
    wanted = sys.argv[1].lower() if len(sys.argv) > 1 else "tunvik"
    desktop = pyatspi.Registry.getDesktop(0)
    for _ in range(100):
        for app in desktop:
            if app is not None and wanted in (app.name or "").lower():
                walk(app, 0, 30)
                return 0
        time.sleep(0.2)
    names = [app.name for app in desktop if app is not None]
    print(f"no application matching '{wanted}' on the accessibility bus: {names}", file=sys.stderr)
    return 1


if __name__ == "__main__":
    sys.exit(main())
