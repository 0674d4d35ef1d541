#!/usr/bin/python3
"""Reads the program's accessibility tree through AT-SPI, from outside its process, as a screen reader
would. Needs DISPLAY and DBUS_SESSION_BUS_ADDRESS of the program's session and python3-pyatspi.

  atspi_check.py [--app NAME] [--timeout S] dump
  atspi_check.py ... controls [--window TITLE]      named controls, roles, states, menu shortcuts; with
                                                    --window those of that dialog, none of them unnamed
  atspi_check.py ... window TITLE [--gone]          waits until a dialog TITLE is shown (has gone)
  atspi_check.py ... checked NAME yes|no            waits until check box NAME is (is not) ticked
  atspi_check.py ... rowheight LIST [--min N] [--equal N]
                                                    waits for LIST's first row (as tall as said); prints
                                                    its height in pixels
  atspi_check.py ... row LIST TEXT [--selected]    waits for a row of LIST containing TEXT; prints its index
  atspi_check.py ... count LIST N                   waits until LIST has N rows
  atspi_check.py ... focus NAME                     waits until the focused object is named NAME
  atspi_check.py ... text NAME TEXT [--exact]       waits until the text of field NAME contains (is) TEXT

Every waiting mode polls until --timeout (default 5 s) and exits 0 when it holds, 1 when not (printing
what it saw last), 2 when the program is not on the bus at all.
"""

import argparse
import sys
import time

try:
    import pyatspi
except ImportError:  # the test reports this as a skip
    print("atspi: python3-pyatspi is missing", file=sys.stderr)
    sys.exit(77)

POLL_S = 0.1
MAX_NODES = 5000  # a broken tree must not keep the walk going forever

# name -> (allowed roles, whether it must be read-only; None: either). "Text" takes input only while a
# conversation is open, and none is at the start. Qt sets "editable" on read-only line edits as well, so
# the read-only state is what a screen reader can go by.
CONTROLS = [
    ("Online", (pyatspi.ROLE_LIST, pyatspi.ROLE_LIST_BOX), None),
    ("Nachrichteneingang", (pyatspi.ROLE_LIST, pyatspi.ROLE_LIST_BOX), None),
    ("Nachrichtenverlauf", (pyatspi.ROLE_LIST, pyatspi.ROLE_LIST_BOX), None),
    ("Empfänger", (pyatspi.ROLE_TEXT, pyatspi.ROLE_ENTRY), True),
    ("Text", (pyatspi.ROLE_TEXT, pyatspi.ROLE_ENTRY), True),
    ("Nachrichtenlog", (pyatspi.ROLE_TEXT, pyatspi.ROLE_ENTRY), True),
    ("Senden", (pyatspi.ROLE_PUSH_BUTTON,), None),
    ("Gelesen", (pyatspi.ROLE_PUSH_BUTTON,), None),
    ("Beenden", (pyatspi.ROLE_PUSH_BUTTON,), None),
    ("Minimieren", (pyatspi.ROLE_PUSH_BUTTON,), None),
    ("Optionen...", (pyatspi.ROLE_PUSH_BUTTON,), None),
]
TEXT_ROLES = (pyatspi.ROLE_TEXT, pyatspi.ROLE_ENTRY)
TREE_ROLES = (pyatspi.ROLE_TREE, pyatspi.ROLE_TREE_TABLE, pyatspi.ROLE_TABLE, pyatspi.ROLE_LIST)
BUTTON = (pyatspi.ROLE_PUSH_BUTTON,)
CHECK = (pyatspi.ROLE_CHECK_BOX,)
SPIN = (pyatspi.ROLE_SPIN_BUTTON,)
# The dialogs' controls by window title: name as a screen reader announces it (the control's own name or
# that of the label it is labelled by), roles, read-only, and a known product fault that keeps the row
# from passing yet (reported as KNOWN; once it passes the mark must go, so that it fails again if it
# comes back).
DIALOG_CONTROLS = {
    "Optionen einstellen": [
        ("Name", TEXT_ROLES, False, None),
        ("Ausführen bei Windows-Start", CHECK, None, None),
        ("Fenster wiederherstellen beim Nachrichteneingang", CHECK, None, None),
        ("Fenster nach dem Senden minimieren", CHECK, None, None),
        ("Minimiert starten", CHECK, None, None),
        ("Sicherheitsabfrage beim Beenden", CHECK, None, None),
        ("Sounds wiedergeben", CHECK, None, None),
        ("Sounds", TREE_ROLES, None, None),
        ("Automatisch abwesend in (Minuten):", CHECK, None, None),
        ("Minuten", SPIN, None, None),
        ("Statusmeldung vorlesen", CHECK, None, None),
        ("Nachrichteneingang vorlesen", CHECK, None, None),
        ("Stimmen", TREE_ROLES, None, None),
        ("Standard", BUTTON, None, None),
        ("OK", BUTTON, None, None),
        ("Abbrechen", BUTTON, None, None),
    ],
    "Schrifteinstellungen": [
        ("Schriftart", TREE_ROLES, None, None),
        ("Schriftgröße (5-35)", SPIN, None, None),
        ("Fett", CHECK, None, None),
        # On Linux Qt names a combo box by its current entry and leaves what it is for to a label
        # relation, which these two lack: only the spoken cue says it.
        ("Schriftfarbe", (pyatspi.ROLE_COMBO_BOX,), None, "no label relation"),
        ("Hintergrundfarbe", (pyatspi.ROLE_COMBO_BOX,), None, "no label relation"),
        ("Vorschau", TEXT_ROLES, True, None),
        ("OK", BUTTON, None, None),
        ("Abbrechen", BUTTON, None, None),
    ],
}
# Parts of a control that a screen reader reads with the control itself.
ITEM_ROLES = (pyatspi.ROLE_TABLE_CELL, pyatspi.ROLE_LIST_ITEM, pyatspi.ROLE_TABLE_COLUMN_HEADER,
              pyatspi.ROLE_TABLE_ROW_HEADER, pyatspi.ROLE_SCROLL_BAR, pyatspi.ROLE_MENU_ITEM)
# Menu items and the shortcut a screen reader should be able to announce with them.
MENU_SHORTCUTS = [
    ("Datei", "Minimieren", "Ctrl+Alt+PgDown"),
    ("Datei", "Beenden", "Alt+F4"),
    ("Aktionen", "Sende Nachricht", "Ctrl+S"),
    ("Aktionen", "Angezeigte Nachricht gelesen", "Ctrl+G"),
    ("Aktionen", "Nächste ungelesene Nachricht", "Ctrl+PgDown"),
    ("Status", "Online", "Ctrl+1"),
    ("Sprachsteuerung", "Letzte Meldung wiederholen", "Ctrl+W"),
]
MENU_ROLES = (pyatspi.ROLE_MENU_ITEM, pyatspi.ROLE_CHECK_MENU_ITEM, pyatspi.ROLE_RADIO_MENU_ITEM, pyatspi.ROLE_MENU)


def role_name(acc):
    try:
        return acc.getRoleName()
    except Exception:  # an object that vanished while it was read
        return "?"


def safe_name(acc):
    try:
        return acc.name or ""
    except Exception:
        return ""


def children(acc):
    try:
        return [c for c in acc if c is not None]
    except Exception:
        return []


def walk(root):
    """Depth first, each node with its depth; bounded."""
    stack = [(root, 0)]
    seen = 0
    while stack and seen < MAX_NODES:
        acc, depth = stack.pop()
        seen += 1
        yield acc, depth
        stack.extend((c, depth + 1) for c in reversed(children(acc)))


def find_app(name):
    desktop = pyatspi.Registry.getDesktop(0)
    for app in children(desktop):
        if safe_name(app) == name:
            try:
                app.clearCache()  # rows and texts change between polls
            except Exception:
                pass
            return app
    return None


def has_state(acc, state):
    try:
        return acc.getState().contains(state)
    except Exception:
        return False


def find_named(app, name, roles=None):
    for acc, _ in walk(app):
        if safe_name(acc) == name and (roles is None or acc.getRole() in roles):
            return acc
    return None


def labels_of(acc):
    """Names of the labels that label acc, without their closing colon."""
    names = []
    try:
        for rel in acc.getRelationSet():
            if rel.getRelationType() == pyatspi.RELATION_LABELLED_BY:
                names += [safe_name(rel.getTarget(i)).rstrip(": ") for i in range(rel.getNTargets())]
    except Exception:
        pass
    return names


def spoken_as(acc, name):
    return safe_name(acc) == name or name in labels_of(acc)


def find_window(app, title):
    for acc in children(app):
        if acc.getRole() in (pyatspi.ROLE_DIALOG, pyatspi.ROLE_FRAME, pyatspi.ROLE_FILLER, pyatspi.ROLE_WINDOW) \
                and safe_name(acc) == title and has_state(acc, pyatspi.STATE_VISIBLE):
            return acc
    return None


def find_list(app, name):
    return find_named(app, name, (pyatspi.ROLE_LIST, pyatspi.ROLE_LIST_BOX, pyatspi.ROLE_TABLE, pyatspi.ROLE_TREE))


def rows_of(lst):
    rows = []
    for acc in children(lst):
        if acc.getRole() in (pyatspi.ROLE_LIST_ITEM, pyatspi.ROLE_TABLE_CELL):
            rows.append((safe_name(acc), has_state(acc, pyatspi.STATE_SELECTED)))
    return rows


def text_of(acc):
    try:
        t = acc.queryText()
        return t.getText(0, t.characterCount)
    except Exception:
        return None


def poll(args, probe):
    """Calls probe(app) until it returns (True, report) or the time is up; prints the last report."""
    deadline = time.monotonic() + args.timeout
    report = "the program is not on the accessibility bus"
    seen_app = False
    while True:
        app = find_app(args.app)
        if app is not None:
            seen_app = True
            try:
                ok, report = probe(app)
            except Exception as e:  # the tree changed under the walk; try again
                ok, report = False, "error while reading: %s" % e
            if ok:
                print(report)
                return 0
        if time.monotonic() >= deadline:
            print(report)
            return 1 if seen_app else 2
        time.sleep(POLL_S)


def cmd_dump(args):
    app = find_app(args.app)
    if app is None:
        names = [safe_name(a) for a in children(pyatspi.Registry.getDesktop(0))]
        print("no application %r; on the bus: %s" % (args.app, names))
        return 2
    for acc, depth in walk(app):
        extra = ""
        try:
            states = sorted(pyatspi.stateToString(st) for st in acc.getState().getStates())
        except Exception:
            states = []
        interesting = [st for st in states if st in ("editable", "read only", "focused", "selected", "enabled")]
        if interesting:
            extra += " [%s]" % ",".join(interesting)
        t = text_of(acc)
        if t:
            extra += " text=%r" % t[:60]
        print("%s%s %r%s" % ("  " * depth, role_name(acc), safe_name(acc), extra))
    return 0


def key_bindings(acc):
    try:
        action = acc.queryAction()
    except Exception:
        return []
    keys = []
    for i in range(action.nActions):
        try:
            k = action.getKeyBinding(i)
        except Exception:
            k = ""
        if k:
            keys.append(k)
    return keys


def menu_item(app, menu, item):
    bar = None
    for acc, _ in walk(app):
        if acc.getRole() == pyatspi.ROLE_MENU_BAR:
            bar = acc
            break
    if bar is None:
        return None
    for top in children(bar):
        if safe_name(top) != menu:
            continue
        for acc, depth in walk(top):
            if depth > 0 and safe_name(acc) == item and acc.getRole() in MENU_ROLES:
                return acc
    return None


def normal_key(text):
    """'<Control>g', 'Ctrl+G' and 'ctrl+g' compare alike."""
    t = text.replace("<Control>", "Ctrl+").replace("<Alt>", "Alt+").replace("<Shift>", "Shift+")
    return t.replace(" ", "").lower()


def cmd_controls(args):
    if args.window:
        return poll(args, lambda app: dialog_controls(app, args.window))

    def probe(app):
        lines = []
        failed = 0
        # Without a window manager Qt may show the main window as a filler instead of a frame.
        tops = [acc for acc in children(app)
                if acc.getRole() in (pyatspi.ROLE_FRAME, pyatspi.ROLE_FILLER, pyatspi.ROLE_WINDOW)]
        lines.append("top level: %s" % ", ".join("%s %r" % (role_name(f), safe_name(f)) for f in tops))
        for name, roles, read_only in CONTROLS:
            acc = find_named(app, name, roles)
            if acc is None:
                other = find_named(app, name)
                got = ("as %s" % role_name(other)) if other is not None else "missing"
                want = " or ".join(pyatspi.Atspi.role_get_name(r) for r in roles)
                lines.append("  FAIL  %-20s %s (want %s)" % (name, got, want))
                failed += 1
                continue
            states = []
            for state in (pyatspi.STATE_READ_ONLY, pyatspi.STATE_EDITABLE, pyatspi.STATE_SENSITIVE):
                if has_state(acc, state):
                    states.append(pyatspi.stateToString(state))
            bad = read_only is not None and has_state(acc, pyatspi.STATE_READ_ONLY) != read_only
            if bad:
                failed += 1
            # Shown, not checked: the keys a screen reader can announce for the control.
            lines.append("  %s  %-20s %s [%s] key bindings %s%s" % (
                "FAIL" if bad else "ok  ", name, role_name(acc), ", ".join(states), key_bindings(acc),
                (" want %sread only" % ("" if read_only else "not ")) if bad else ""))
        for menu, item, want in MENU_SHORTCUTS:
            acc = menu_item(app, menu, item)
            label = "%s > %s" % (menu, item)
            if acc is None:
                lines.append("  FAIL  %-46s no such menu item" % label)
                failed += 1
                continue
            keys = key_bindings(acc)
            ok = any(normal_key(want) in [normal_key(p) for p in k.split(";")] for k in keys)
            if not ok:
                failed += 1
            lines.append("  %s  %-46s %s, key bindings %s" % ("ok  " if ok else "FAIL", label, role_name(acc), keys))
        return failed == 0, "\n".join(lines)

    return poll(args, probe)


def dialog_controls(app, title):
    win = find_window(app, title)
    if win is None:
        return False, "no dialog %r" % title
    lines = ["dialog %r" % title]
    failed = 0
    for name, roles, read_only, known in DIALOG_CONTROLS[title]:
        acc = next((a for a, _ in walk(win) if a.getRole() in roles and spoken_as(a, name)), None)
        if acc is None:
            other = next((a for a, _ in walk(win) if spoken_as(a, name)), None)
            got = ("as %s" % role_name(other)) if other is not None else "missing"
            bad = "%s (want %s)" % (got, " or ".join(pyatspi.Atspi.role_get_name(r) for r in roles))
            if known:
                # With what a screen reader reads instead.
                seen = ["%s %r" % (role_name(a), safe_name(a)) for a, _ in walk(win) if a.getRole() in roles]
                lines.append("  KNOWN %-34s %s; read instead: %s" % (name, known, ", ".join(seen)))
            else:
                lines.append("  FAIL  %-34s %s" % (name, bad))
                failed += 1
            continue
        ro = has_state(acc, pyatspi.STATE_READ_ONLY)
        bad = read_only is not None and ro != read_only
        note = ""
        if bad:
            note = " want %sread only" % ("" if read_only else "not ")
        elif known:
            bad = True
            note = " passes now: take the KNOWN mark (%s) out of the table" % known
        failed += bad
        how = "" if safe_name(acc) == name else " (labelled by)"
        lines.append("  %s  %-34s %s%s%s%s" % ("FAIL" if bad else "ok  ", name, role_name(acc), how,
                                               " [read only]" if ro else "", note))
    # A control that takes the focus but has no name is read as its role alone.
    for acc, _ in walk(win):
        if acc.getRole() in ITEM_ROLES or not has_state(acc, pyatspi.STATE_FOCUSABLE):
            continue
        try:
            inside_combo = acc.parent.getRole() == pyatspi.ROLE_COMBO_BOX  # its drop-down list
        except Exception:
            inside_combo = False
        if inside_combo:
            continue
        if not safe_name(acc) and not labels_of(acc):
            lines.append("  FAIL  unnamed %s" % role_name(acc))
            failed += 1
    return failed == 0, "\n".join(lines)


def cmd_window(args):
    def probe(app):
        win = find_window(app, args.title)
        tops = ", ".join("%s %r" % (role_name(a), safe_name(a)) for a in children(app))
        return (win is None) == args.gone, "windows: %s" % tops

    return poll(args, probe)


def cmd_checked(args):
    def probe(app):
        box = find_named(app, args.name, CHECK)
        if box is None:
            return False, "no check box %r" % args.name
        ticked = has_state(box, pyatspi.STATE_CHECKED)
        return ticked == (args.state == "yes"), "%s: %s" % (args.name, "ticked" if ticked else "not ticked")

    return poll(args, probe)


def cmd_rowheight(args):
    def probe(app):
        lst = find_list(app, args.list)
        if lst is None:
            return False, "no list %r" % args.list
        rows = [a for a in children(lst) if a.getRole() in (pyatspi.ROLE_LIST_ITEM, pyatspi.ROLE_TABLE_CELL)]
        if not rows:
            return False, "list %r has no rows" % args.list
        h = rows[0].queryComponent().getExtents(pyatspi.DESKTOP_COORDS).height
        ok = (args.min is None or h >= args.min) and (args.equal is None or h == args.equal)
        return ok, "%d" % h

    return poll(args, probe)


def cmd_row(args):
    def probe(app):
        lst = find_list(app, args.list)
        if lst is None:
            return False, "no list %r" % args.list
        rows = rows_of(lst)
        for i, (name, selected) in enumerate(rows):
            if args.text in name and (selected or not args.selected):
                return True, "%d" % i
        return False, "rows of %r: %r" % (args.list, rows)

    return poll(args, probe)


def cmd_count(args):
    def probe(app):
        lst = find_list(app, args.list)
        if lst is None:
            return False, "no list %r" % args.list
        rows = rows_of(lst)
        return len(rows) == args.n, "rows of %r: %r" % (args.list, rows)

    return poll(args, probe)


def cmd_focus(args):
    def probe(app):
        focused = [acc for acc, _ in walk(app) if has_state(acc, pyatspi.STATE_FOCUSED)]
        names = ["%s %r" % (role_name(a), safe_name(a)) for a in focused]
        # A list reports its focused row as focused too; the control is what counts.
        return any(safe_name(a) == args.name for a in focused), "focused: %s" % (names or "nothing")

    return poll(args, probe)


def cmd_text(args):
    def probe(app):
        acc = find_named(app, args.name, (pyatspi.ROLE_TEXT, pyatspi.ROLE_ENTRY))
        if acc is None:
            return False, "no field %r" % args.name
        t = text_of(acc)
        if t is None:
            return False, "field %r has no text interface" % args.name
        t = t.rstrip("\n")
        ok = t == args.text if args.exact else args.text in t
        return ok, "%s: %r" % (args.name, t)

    return poll(args, probe)


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--app", default="Tobrik", help="application name on the accessibility bus")
    ap.add_argument("--timeout", type=float, default=5.0)
    sub = ap.add_subparsers(dest="mode", required=True)
    sub.add_parser("dump").set_defaults(func=cmd_dump)
    p = sub.add_parser("controls")
    p.add_argument("--window", choices=sorted(DIALOG_CONTROLS))
    p.set_defaults(func=cmd_controls)
    p = sub.add_parser("window")
    p.add_argument("title")
    p.add_argument("--gone", action="store_true")
    p.set_defaults(func=cmd_window)
    p = sub.add_parser("checked")
    p.add_argument("name")
    p.add_argument("state", choices=("yes", "no"))
    p.set_defaults(func=cmd_checked)
    p = sub.add_parser("rowheight")
    p.add_argument("list")
    p.add_argument("--min", type=int)
    p.add_argument("--equal", type=int)
    p.set_defaults(func=cmd_rowheight)
    p = sub.add_parser("row")
    p.add_argument("list")
    p.add_argument("text")
    p.add_argument("--selected", action="store_true")
    p.set_defaults(func=cmd_row)
    p = sub.add_parser("count")
    p.add_argument("list")
    p.add_argument("n", type=int)
    p.set_defaults(func=cmd_count)
    p = sub.add_parser("focus")
    p.add_argument("name")
    p.set_defaults(func=cmd_focus)
    p = sub.add_parser("text")
    p.add_argument("name")
    p.add_argument("text")
    p.add_argument("--exact", action="store_true")
    p.set_defaults(func=cmd_text)
    args = ap.parse_args()
    args.timeout = max(0.0, min(args.timeout, 60.0))
    try:
        return args.func(args)
    except Exception as e:  # the bus went away under us
        print("atspi: %s" % e, file=sys.stderr)
        return 2


if __name__ == "__main__":
    sys.exit(main())
