#!/usr/bin/python3
"""Drives the desktop program the way a screen-reader or keyboard-only user
does, and lists what such a user cannot reach, use or hear.

It runs the real program under its own X server (Xvfb), reads it through
AT-SPI (as Orca does) and types with xdotool, once per language, each time
from a fresh profile (its own XDG_CONFIG_HOME, HOME and TMPDIR) on a demo list
served by the bundled local file host. With --shots DIR it also captures each
window it opens, at the size the program gives it on its first start, as
DIR/<window>-<lang>.png.

It must run inside a session D-Bus (scripts/check-accessibility.sh starts
one with dbus-run-session). Exit status: 0 without findings, 1 with findings,
2 when the run itself failed (the program did not start, a tool is missing).

    check.py --build build/release [--lang en,ar] [--shots DIR] [--verbose]
"""

import argparse
import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
SCREEN = (1366, 768)
RUN_LIMIT_S = 360  # the run of one language
PRESS_LIMIT_S = 2.0  # a press through AT-SPI must return within this
WINDOW_WAIT_S = 5.0

# ---------------------------------------------------------------- texts


def load_texts():
    """name -> {"en": text, "ar": text} from the program's string tables."""

    def table(path):
        rows = {}
        with open(path, encoding="utf-8") as handle:
            for line in handle:
                line = line.rstrip("\n")
                if not line or line.startswith("#") or "\t" not in line:
                    continue
                key, value = line.split("\t", 1)
                rows[key] = value.replace("\\n", "\n").replace('\\"', '"').replace("\\t", "\t")
        return rows

    names = table(os.path.join(ROOT, "res", "string_names.txt"))
    english = table(os.path.join(ROOT, "res", "strings_en.txt"))
    arabic = table(os.path.join(ROOT, "res", "strings_ar.txt"))
    texts = {}
    for key, name in names.items():
        texts[name] = {"en": english.get(key, ""), "ar": arabic.get(key, english.get(key, ""))}
    return texts


TEXTS = load_texts()


def plain(text):
    """A label as a reader says it: no mnemonic marker, no trailing dots."""
    text = re.sub(r"&(.)", r"\1", text or "")
    text = text.replace("\u2026", "").rstrip(". \t")
    return text.split("\t")[0].strip()


def t(name, lang):
    return plain(TEXTS.get(name, {}).get(lang, ""))


def norm(text):
    return plain(text).casefold()


# Captions of fields, as the windows show them. A label with one of these
# names is a caption; a second label with the same name in one window is a
# value that reads as its caption.
CAPTION_NAMES = [
    "label_url", "label_saved_in", "label_downloaded", "label_file_size", "label_elapsed",
    "label_speed", "label_time_left", "label_resume", "label_status", "label_last_error",
    "label_retries", "field_url", "field_folder", "field_file_name", "field_description",
    "field_file_name_edit", "grabber_page_url", "links_found", "destination_folder",
    "grabber_description", "grabber_status", "grabber_retries", "update_status",
    "current_version", "latest_version", "version_date", "update_information",
    "schedule_start", "schedule_stop",
]

# Toolbar commands (by their tooltip text) and the menu texts that name the
# same command. A toolbar command counts as reachable from the menu bar when
# an item of a menu of the menu bar has one of these texts.
TOOLBAR_MENU_TEXTS = {
    "tooltip_save_list": ["save_list"],
    "tooltip_load_list": ["load_list"],
    "tooltip_add_download": ["add_new_download", "add_title"],
    "tooltip_start": ["download"],
    "tooltip_stop": ["stop"],
    "tooltip_add_to_auto": ["add_to_auto"],
    "tooltip_remove_from_auto": ["remove_from_auto"],
    "tooltip_scheduler": ["scheduler", "schedule_title"],
    "tooltip_edit": ["edit_downloads"],
    "tooltip_delete": ["delete_downloads"],
    "tooltip_check_updates": ["check_updates", "check_program_updates"],
    "tooltip_help": ["help"],
    "tooltip_links_grabber": ["links_grabber", "grabber_title"],
}
# Extra English words a renamed menu item may use for the same command.
MENU_SYNONYMS = {
    "tooltip_add_download": ["add new download", "add download", "new download"],
    "tooltip_start": ["start", "start download", "download selected"],
    "tooltip_scheduler": ["download scheduler", "schedule"],
    "tooltip_links_grabber": ["links grabber and verifier"],
}

# ---------------------------------------------------------------- processes

PROCESSES = []


def spawn(argv, **kwargs):
    # Children stay in this run's process group, which the watchdog ends.
    process = subprocess.Popen(argv, **kwargs)
    PROCESSES.append(process)
    return process


def stop(process, grace=3.0):
    if process.poll() is not None:
        return
    process.terminate()
    try:
        process.wait(grace)
    except subprocess.TimeoutExpired:
        process.kill()
        try:
            process.wait(2)
        except subprocess.TimeoutExpired:
            pass


def stop_all():
    for process in reversed(PROCESSES):
        stop(process)
    PROCESSES.clear()


def start_watchdog(seconds):
    """A process that ends this run's whole process group (the program, the X
    server, the buses, the file host and this script) after seconds, even
    when this script waits inside a D-Bus call."""
    if os.getpgrp() != os.getpid():
        os.setpgid(0, 0)
    watchdog = os.fork()
    if watchdog == 0:
        try:
            time.sleep(seconds)
            print("run stopped: it took longer than %d s" % seconds, file=sys.stderr, flush=True)
            os.killpg(os.getpgrp(), signal.SIGKILL)
        finally:
            os._exit(2)
    return watchdog


def end_watchdog(watchdog):
    try:
        os.kill(watchdog, signal.SIGKILL)
        os.waitpid(watchdog, 0)
    except (ProcessLookupError, ChildProcessError):
        pass


def stale_cell(node):
    """A list's current cell stays "focused" when the list itself has lost
    the keyboard; only a cell of a focused list has it."""
    if safe(lambda: node.getRole()) != pyatspi.ROLE_TABLE_CELL:
        return False
    parent = safe(lambda: node.parent)
    return parent is not None and not has_state(parent, pyatspi.STATE_FOCUSED)


def run(argv, timeout=5.0, env=None):
    """A short helper command; its output, or "" when it failed or hung."""
    try:
        done = subprocess.run(argv, capture_output=True, text=True, timeout=timeout, env=env)
        return done.stdout
    except (subprocess.TimeoutExpired, OSError):
        return ""


def free_display():
    for number in range(91, 140):
        if not os.path.exists("/tmp/.X11-unix/X%d" % number) and not os.path.exists(
                "/tmp/.X%d-lock" % number):
            return ":%d" % number
    raise RuntimeError("no free X display number")


# ---------------------------------------------------------------- AT-SPI

pyatspi = None
Atspi = None


def import_atspi():
    global pyatspi, Atspi
    import gi

    gi.require_version("Atspi", "2.0")
    from gi.repository import Atspi as atspi_module
    import pyatspi as pyatspi_module

    pyatspi, Atspi = pyatspi_module, atspi_module
    Atspi.set_timeout(3000, 10000)  # no call waits longer than a few seconds


def safe(call, fallback=None):
    try:
        return call()
    except Exception:  # a window that went away, a D-Bus timeout
        return fallback


def role_name(acc):
    return safe(lambda: acc.getRoleName(), "?")


def name_of(acc):
    return safe(lambda: acc.name, "") or ""


def states(acc):
    return safe(lambda: acc.getState(), None)


def has_state(acc, state):
    found = states(acc)
    return bool(found and found.contains(state))


def children(acc):
    count = safe(lambda: acc.childCount, 0) or 0
    result = []
    for index in range(min(count, 400)):
        child = safe(lambda: acc.getChildAtIndex(index))
        if child is not None:
            result.append(child)
    return result


def walk(acc, limit=4000):
    """Every node under acc (acc first), depth first, at most limit."""
    result, stack = [], [acc]
    while stack and len(result) < limit:
        node = stack.pop()
        result.append(node)
        stack.extend(reversed(children(node)))
    return result


def relations(acc, kind):
    targets = []
    for relation in safe(lambda: acc.getRelationSet(), []) or []:
        if safe(lambda: relation.getRelationType()) == kind:
            for index in range(safe(lambda: relation.getNTargets(), 0) or 0):
                target = safe(lambda: relation.getTarget(index))
                if target is not None:
                    targets.append(target)
    return targets


def text_of(acc):
    text = safe(lambda: acc.queryText())
    if text is None:
        return None
    return safe(lambda: text.getText(0, -1), None)


def extents(acc):
    component = safe(lambda: acc.queryComponent())
    if component is None:
        return None
    box = safe(lambda: component.getExtents(pyatspi.DESKTOP_COORDS))
    return None if box is None else (box.x, box.y, box.width, box.height)


def key_bindings(acc):
    action = safe(lambda: acc.queryAction())
    if action is None:
        return ""
    return ";".join(safe(lambda: action.getKeyBinding(i), "") or ""
                    for i in range(safe(lambda: action.nActions, 0) or 0))


def describe(acc):
    if acc is None:
        return "nothing"
    name = name_of(acc)
    return "%s %s" % (role_name(acc), ('"%s"' % name) if name else "(no name)")


def same(first, second):
    if first is None or second is None:
        return False
    try:
        return first == second or (first.path == second.path and
                                   first.get_bus_name() == second.get_bus_name())
    except Exception:
        return False


class Events:
    """Focus and selection events of menu items, as a screen reader hears
    them: a menu that is shown as a window of its own is not a child of the
    application, so its items are known from these events."""

    def __init__(self):
        from gi.repository import GLib

        self.context = GLib.MainContext.default()
        self.items = []
        pyatspi.Registry.registerEventListener(self.heard, "object:state-changed:focused",
                                               "object:state-changed:selected")

    def heard(self, event):
        if event.detail1 and role_name(event.source) in ("menu item", "check menu item"):
            self.items.append(event.source)

    def pump(self, seconds):
        deadline = time.time() + seconds
        while time.time() < deadline:
            if not self.context.iteration(False):
                time.sleep(0.02)

    def clear(self):
        self.pump(0.2)
        self.items = []


INTERACTIVE = {
    "push button", "toggle button", "check box", "radio button", "combo box", "spin button",
    "text", "entry", "password text", "table", "tree table", "list", "tree", "page tab",
    "slider", "menu item", "check menu item", "radio menu item", "link", "date editor",
    "menu", "list box",
}
FIELDS = {"text", "entry", "combo box", "spin button", "date editor", "password text"}


class Program:
    """The running program as AT-SPI and the X server show it."""

    def __init__(self, process, env):
        self.process = process
        self.env = env
        self.app = None

    def find_app(self, timeout=25.0):
        deadline = time.time() + timeout
        while time.time() < deadline:
            if self.process.poll() is not None:
                return False
            desktop = pyatspi.Registry.getDesktop(0)
            for app in children(desktop):
                if safe(lambda: app.get_process_id()) == self.process.pid:
                    self.app = app
                    if self.windows():
                        return True
            time.sleep(0.3)
        return False

    def windows(self):
        if self.app is None:
            return []
        return [w for w in children(self.app) if has_state(w, pyatspi.STATE_SHOWING)
                or has_state(w, pyatspi.STATE_VISIBLE)]

    def main_window(self):
        for window in children(self.app):
            if role_name(window) == "frame":
                return window
        return None

    def new_window(self, before, timeout=WINDOW_WAIT_S):
        deadline = time.time() + timeout
        while time.time() < deadline:
            for window in self.windows():
                if not any(same(window, old) for old in before):
                    return window
            time.sleep(0.15)
        return None

    def gone(self, window, timeout=3.0):
        deadline = time.time() + timeout
        while time.time() < deadline:
            if not any(same(window, shown) for shown in self.windows()):
                return True
            time.sleep(0.15)
        return False

    def focused(self):
        """The accessible that has the keyboard focus, in any shown window."""
        shown = self.windows()
        # the active window first: an inactive one keeps its own focused child
        shown.sort(key=lambda window: not has_state(window, pyatspi.STATE_ACTIVE))
        for window in shown:
            found = [node for node in walk(window, 3000)
                     if has_state(node, pyatspi.STATE_FOCUSED) and not stale_cell(node)]
            if found:
                # A widget whose focus proxy has the focus (a button box and
                # its default button) reads as focused too: the innermost
                # one is what the keyboard is on.
                inner = [node for node in found if inside(node, found[0])]
                return inner[-1]
        return None

    # X side

    def x_window(self, acc):
        """The X window of a top-level accessible, by its title."""
        wanted = name_of(acc)
        ids = run(["xdotool", "search", "--onlyvisible", "--pid", str(self.process.pid)],
                  env=self.env).split()
        best = None
        for ident in ids:
            title = run(["xdotool", "getwindowname", ident], env=self.env).rstrip("\n")
            if title == wanted:
                return ident
            best = best or ident
        return best if wanted == "" else None

    def x_ids(self):
        return set(run(["xdotool", "search", "--onlyvisible", "--pid", str(self.process.pid)],
                       env=self.env).split())

    def new_x_window(self, before, timeout):
        deadline = time.time() + timeout
        while time.time() < deadline:
            if self.x_ids() - before:
                return True
            time.sleep(0.15)
        return False

    def focus_window(self, acc):
        ident = self.x_window(acc)
        if ident:
            run(["xdotool", "windowactivate", "--sync", ident], timeout=5, env=self.env)
            time.sleep(0.2)
        return ident

    def key(self, *keys):
        for key in keys:
            run(["xdotool", "key", key], env=self.env)
            time.sleep(0.12)
        time.sleep(0.3)

    def type_text(self, text):
        run(["xdotool", "type", "--delay", "20", text], timeout=15, env=self.env)

    def shoot(self, acc, path):
        box = extents(acc)
        if not box or box[2] <= 0 or box[3] <= 0:
            return False
        x, y, w, h = box
        x, y = max(0, x), max(0, y)
        w, h = min(w, SCREEN[0] - x), min(h, SCREEN[1] - y)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        run(["import", "-window", "root", "-crop", "%dx%d+%d+%d" % (w, h, x, y), "+repage", path],
            timeout=15, env=self.env)
        return os.path.exists(path)


def press(program, acc_path, limit=PRESS_LIMIT_S):
    """Presses a control through AT-SPI in a helper process, which stands in
    for the screen reader; returns the seconds the press took, or None when it
    had not returned within the limit."""
    helper = spawn([sys.executable, os.path.abspath(__file__), "--press",
                    str(program.process.pid)] + [str(i) for i in acc_path],
                   env=program.env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    started = time.time()
    try:
        helper.wait(limit)
        return time.time() - started
    except subprocess.TimeoutExpired:
        return None


def index_path(app, acc):
    """The child indexes from the application down to acc."""
    path, node = [], acc
    for _ in range(60):
        if same(node, app):
            return list(reversed(path))
        index = safe(lambda: node.getIndexInParent(), -1)
        parent = safe(lambda: node.parent)
        if index is None or index < 0 or parent is None:
            return None
        path.append(index)
        node = parent
    return None


def press_helper(pid, path):
    import_atspi()
    for app in children(pyatspi.Registry.getDesktop(0)):
        if safe(lambda: app.get_process_id()) == pid:
            node = app
            for index in path:
                node = node.getChildAtIndex(index)
            action = node.queryAction()
            for i in range(action.nActions):
                if action.getName(i) in ("press", "click", "Press", "toggle", "Toggle"):
                    action.doAction(i)
                    return 0
            action.doAction(0)
            return 0
    return 1


# ---------------------------------------------------------------- checks


class Findings:
    def __init__(self, lang):
        self.lang = lang
        self.items = []
        self.notes = []

    def add(self, where, text):
        line = "%s: %s" % (where, text)
        if line not in self.items:
            self.items.append(line)

    def note(self, where, text):
        self.notes.append("%s: %s" % (where, text))


def caption_texts(lang):
    return {norm(t(name, lang)) for name in CAPTION_NAMES if t(name, lang)}


def check_window(findings, where, window, lang, fields_need_labels=True):
    """Names, captions and values, fields' labels and links of one window."""
    captions = caption_texts(lang)
    nodes = walk(window)
    caption_labels = {}
    readout = []
    field_names = {}
    for node in nodes:
        role = role_name(node)
        name = name_of(node)
        if not (has_state(node, pyatspi.STATE_SHOWING) or role in ("menu item", "menu")):
            continue
        if role == "table cell" or role == "list item" or role == "column header":
            if name.strip() == "@":
                findings.add(where, 'a cell reads "@" ("at"); it should read as queued')
            continue
        if role in INTERACTIVE and not name.strip() and role not in ("menu",):
            labelled = relations(node, pyatspi.RELATION_LABELLED_BY)
            if not labelled:
                tip = safe(lambda: node.description, "")
                findings.add(where, "%s has no accessible name%s" %
                             (role, (' (tooltip "%s")' % tip) if tip else ""))
        if role == "label":
            key = norm(name)
            if key in captions:
                caption_labels.setdefault(key, []).append(node)
            elif relations(node, pyatspi.RELATION_LABELLED_BY):
                caption = relations(node, pyatspi.RELATION_LABELLED_BY)[0]
                readout.append("%s %s" % (plain(name_of(caption)), name))
                if norm(name_of(caption)) == key and key:
                    findings.add(where, 'value "%s" reads as its caption' % name)
        if role in FIELDS:
            labelled = relations(node, pyatspi.RELATION_LABELLED_BY)
            if fields_need_labels and not labelled:
                findings.add(where, '%s "%s" has no labelled-by relation to a caption' %
                             (role, name))
            if name:
                field_names.setdefault(name, []).append(role)
            value = text_of(node)
            readout.append("%s %s" % (name, value if value is not None else ""))
        for link_name in ("about_link", "website_link"):
            if name and norm(name) == norm(t(link_name, lang)) and role != "link":
                findings.add(where, 'the website link "%s" is exposed as a %s, not a link' %
                             (name, role))
    for key, labels in caption_labels.items():
        shown = name_of(labels[0])
        problems = []
        if len(labels) > 1:
            problems.append("%d labels have it as their name (its value reads as the caption)"
                            % len(labels))
        if not any(relations(label, pyatspi.RELATION_LABEL_FOR) for label in labels):
            problems.append("it is linked to no field (no label-for relation, no buddy)")
        if problems:
            findings.add(where, 'caption "%s": %s' % (shown, "; ".join(problems)))
    for name, roles in field_names.items():
        # A list box is named by its current item (on Linux Qt reads its
        # caption through the labelled-by relation), so two may share it.
        roles = [role for role in roles if role != "combo box"]
        if len(roles) > 1:
            findings.add(where, '%d fields share the name "%s"' % (len(roles), name))
    if readout:
        findings.note(where, "reads: " + " | ".join(readout))


def menu_items(menubar):
    """(top menu, item) pairs of a menu bar, by walking its menus."""
    pairs = []
    for top in children(menubar):
        for node in walk(top)[1:]:
            if role_name(node) in ("menu item", "check menu item", "radio menu item", "menu"):
                pairs.append((top, node))
    return pairs


def binding_parts(acc):
    return [part.strip() for part in key_bindings(acc).split(";") if part.strip()]


def is_mnemonic(part):
    # Qt gives a mnemonic as "Alt+F" (menu bar, buttons) or a bare letter (in
    # a menu); anything longer is a shortcut ("Ctrl+O", "Enter").
    return re.fullmatch(r"(<Alt>|Alt\+)?\S", part) is not None


def has_mnemonic(acc):
    if any(is_mnemonic(part) for part in binding_parts(acc)):
        return True
    # Qt gives a menu item that has a shortcut only the shortcut as its key
    # binding; its mnemonic is then read from its text in the string table
    # (both read as a reader says them: "Preferences…" is "Preferences").
    if not shortcut_of(acc):
        return False
    name = plain(name_of(acc))
    return any(plain(texts["en"]) == name and re.search(r"&[^&\s]", texts["en"])
               for texts in TEXTS.values())


def shortcut_of(acc):
    return ", ".join(part for part in binding_parts(acc) if not is_mnemonic(part))


def check_menus_and_toolbar(findings, program, lang):
    main = program.main_window()
    where = "main window"
    nodes = walk(main)
    menubar = next((n for n in nodes if role_name(n) == "menu bar"), None)
    toolbar = next((n for n in nodes if role_name(n) == "tool bar"), None)
    if menubar is None:
        findings.add(where, "no menu bar")
        return
    pairs = menu_items(menubar)
    menu_texts = {norm(name_of(item)) for _, item in pairs}
    if lang == "en":
        for top in children(menubar):
            if not re.search("[A-Za-z]", name_of(top)):
                continue  # a menu named in Arabic in both languages
            if not has_mnemonic(top):
                findings.add("menus", 'the menu "%s" has no mnemonic' % name_of(top))
        for top, item in pairs:
            if re.search("[A-Za-z]", name_of(item)) and not has_mnemonic(item):
                findings.add("menus", 'the item "%s" of "%s" has no mnemonic' %
                             (name_of(item), name_of(top)))
    shortcut_items = ["%s (%s)" % (name_of(item), shortcut_of(item)) for _, item in pairs
                      if shortcut_of(item)]
    findings.note("menus", "items with a shortcut: %s" % (", ".join(shortcut_items) or "none"))
    if toolbar is None:
        findings.add(where, "no toolbar")
        return
    for button in children(toolbar):
        role = role_name(button)
        if role not in ("push button", "toggle button", "check box") or not has_state(
                button, pyatspi.STATE_SHOWING):
            continue
        name = name_of(button) or safe(lambda: button.description, "") or ""
        command = None
        for tip in TOOLBAR_MENU_TEXTS:
            if norm(name) == norm(t(tip, lang)) or norm(name) in {
                    norm(t(n, lang)) for n in TOOLBAR_MENU_TEXTS[tip]}:
                command = tip
        if command is None:
            findings.note("toolbar", 'button "%s" is not a known command' % name)
            continue
        wanted = {norm(t(n, lang)) for n in TOOLBAR_MENU_TEXTS[command]} | {norm(t(command, lang))}
        if lang == "en":
            wanted |= set(MENU_SYNONYMS.get(command, []))
        if not wanted & menu_texts:
            findings.add("toolbar", 'the command "%s" is on the toolbar but in no menu of the '
                         'menu bar' % plain(t(command, lang)))


def toolbar_button(program, tooltip_name, lang):
    main = program.main_window()
    wanted = {norm(t(tooltip_name, lang))} | {norm(t(n, lang)) for n in
                                              TOOLBAR_MENU_TEXTS.get(tooltip_name, [])}
    for node in walk(main):
        if role_name(node) == "tool bar":
            for button in children(node):
                label = name_of(button) or safe(lambda: button.description, "") or ""
                if norm(label) in wanted and has_state(button, pyatspi.STATE_SHOWING):
                    return button
    return None


def close_window(program, window, tries=4):
    """Closes a window as a keyboard user does (Escape), answering what
    follows with Escape too; a window that stays is closed by its Close,
    Cancel, No or Exit button."""
    before = [w for w in program.windows() if not same(w, window)]
    for _ in range(tries):
        shown = program.windows()
        extra = [w for w in shown if not any(same(w, b) for b in before)]
        if not extra:
            return True
        front = extra[-1]
        program.focus_window(front)
        program.key("Escape")
        if program.gone(front, 2.0):
            continue
        for node in walk(front):
            if role_name(node) == "push button" and norm(name_of(node)) in {
                    norm(t(n, program.lang)) for n in
                    ("cancel", "no", "close_caption", "grabber_close", "update_exit", "ok")}:
                path = index_path(program.app, node)
                if path:
                    press(program, path, 3.0)
                    break
        program.gone(front, 2.0)
    return not [w for w in program.windows() if not any(same(w, b) for b in before)]


def select_first_row(program):
    main = program.main_window()
    table = next((n for n in walk(main) if role_name(n) in ("table", "tree table")), None)
    if table is None:
        return None
    program.focus_window(main)
    component = safe(lambda: table.queryComponent())
    if component is not None:
        safe(lambda: component.grabFocus())
    time.sleep(0.2)
    # Ctrl+Home moves the current row without selecting it; Down, Up select.
    program.key("ctrl+Home", "Down", "Up")
    focus = program.focused()
    if focus is None or not (same(focus, table) or same(safe(lambda: focus.parent), table)):
        # the click a sighted user would make
        box = extents(table)
        if box:
            run(["xdotool", "mousemove", str(box[0] + 40), str(box[1] + 35), "click", "1"],
                env=program.env)
            time.sleep(0.3)
    return table


def inside(node, container):
    for _ in range(40):
        if node is None:
            return False
        if same(node, container):
            return True
        node = safe(lambda: node.parent)
    return False


def focus_list(program, window, table):
    """Puts the keyboard focus on the first row of a list: through AT-SPI,
    else with a click on it. False when neither works."""
    program.focus_window(window)
    safe(lambda: table.queryComponent().grabFocus())
    time.sleep(0.2)
    program.key("ctrl+Home")
    if inside(program.focused(), table):
        return True
    box = extents(table)
    if box:
        run(["xdotool", "mousemove", str(box[0] + box[2] // 2), str(box[1] + 35), "click", "1"],
            env=program.env)
        time.sleep(0.3)
        program.key("ctrl+Home")
    return inside(program.focused(), table)


def tab_walk(program, findings, where, container, key, count):
    path = []
    left = False
    for _ in range(count):
        program.key(key)
        focus = program.focused()
        path.append(describe(focus))
        if focus is not None and not inside(focus, container):
            left = True
            break
    shown = " -> ".join(path[:6]) + (" ..." if len(path) > 6 else "")
    findings.note(where, "%s from the list: %s" % (key, shown))
    if not left:
        findings.add(where, "%d x %s from the list keep the focus inside the list (%s)" %
                     (count, key, path[-1] if path else "no focus"))


def check_tab(program, findings):
    table = select_first_row(program)
    if table is None:
        findings.add("main window", "no download list (table) found")
        return
    tab_walk(program, findings, "keyboard, main window", table, "Tab", 8)
    select_first_row(program)
    tab_walk(program, findings, "keyboard, main window", table, "shift+Tab", 8)


def check_context_menu(program, findings, shots, lang):
    select_first_row(program)
    before = program.x_ids()
    program.events.clear()
    program.key("shift+F10")
    opened = program.new_x_window(before, 2.0)
    if not opened:
        program.key("Menu")
        opened = program.new_x_window(before, 2.0)
    program.events.pump(0.5)
    if not opened:
        findings.add("context menu", "Shift+F10 and the Menu key on a row open no menu")
        return
    items = program.events.items
    if not items:
        program.key("Down")
        program.events.pump(0.5)
        items = program.events.items
        findings.add("context menu", "opened from the keyboard, no item is highlighted%s" % (
            " until Down is pressed" if items else
            "; its items are not announced even after Down (no focus or selection event)"))
    elif items:
        menu = safe(lambda: items[0].parent)
        first = children(menu)[0] if menu is not None and children(menu) else None
        if not same(first, items[0]):
            findings.add("context menu", "opened from the keyboard, it highlights %s, not its "
                         "first item" % describe(items[0]))
    if items:
        menu = safe(lambda: items[0].parent)
        if menu is not None:
            check_window(findings, "context menu", menu, lang)
            shot(program, menu, shots, "context-menu", lang)
    program.key("Escape")


def check_menu_bar_keyboard(program, findings, shots, lang):
    """Opens each menu of the menu bar through AT-SPI (for its picture and
    its items) and checks that the keyboard reaches the menu bar."""
    main = program.main_window()
    menubar = next((n for n in walk(main) if role_name(n) == "menu bar"), None)
    if menubar is None:
        return
    for index, top in enumerate(children(menubar)):
        path = index_path(program.app, top)
        if path:
            press(program, path, 3.0)
        deadline = time.time() + 2.0
        menu = None
        while menu is None and time.time() < deadline:
            menu = next((n for n in children(top) if role_name(n) in ("popup menu", "menu")
                         and has_state(n, pyatspi.STATE_SHOWING)), None)
            time.sleep(0.1)
        if menu is not None:
            shot(program, menu, shots, "menu-%d" % (index + 1), lang)
        program.focus_window(main)
        program.key("Escape", "Escape")
    # Alt alone (or F10) moves the focus to the menu bar; Down opens a menu.
    opened = False
    attempts = [["alt", "Down"], ["F10", "Down"]]
    first = children(menubar)[0] if children(menubar) else None
    mnemonic = [part for part in binding_parts(first) if is_mnemonic(part)] if first else []
    if mnemonic:
        attempts.append([mnemonic[0].replace("<Alt>", "alt+").replace("Alt+", "alt+").lower()])
    for keys in attempts:
        select_first_row(program)
        before = program.x_ids()
        program.key(*keys)
        if program.new_x_window(before, 1.5):
            opened = True
            program.key("Escape", "Escape")
            break
        program.key("Escape")
    if not opened:
        findings.add("keyboard, main window", "neither Alt, F10 nor a mnemonic opens the menu "
                     "bar from the list")


def shot(program, window, shots, label, lang):
    if not shots:
        return
    target = os.path.join(shots, "%s-%s.png" % (label, lang))
    if not os.path.exists(target) or program.fresh_shots:
        program.shoot(window, target)


def open_by_press(program, findings, tooltip, lang, what):
    """Presses a toolbar command through AT-SPI; the window it opens, or
    None. A press that does not return within the limit is a finding."""
    button = toolbar_button(program, tooltip, lang)
    if button is None:
        findings.add("toolbar", 'no button for "%s"' % plain(t(tooltip, lang)))
        return None
    path = index_path(program.app, button)
    before = program.windows()
    was_checked = has_state(button, pyatspi.STATE_CHECKED)
    took = press(program, path) if path else None
    window = program.new_window(before, WINDOW_WAIT_S)
    if path is None:
        findings.add("toolbar", 'the button "%s" cannot be reached through AT-SPI' % what)
    elif took is None:
        findings.add("press", 'a press on the toolbar button "%s" did not return within %.0f s '
                     '(it blocks while %s is open)' %
                     (plain(t(tooltip, lang)), PRESS_LIMIT_S, what))
    else:
        findings.note("press", '"%s" returned after %.2f s' % (plain(t(tooltip, lang)), took))
    if window is None:
        toggled = has_state(button, pyatspi.STATE_CHECKED) != was_checked
        findings.add("press", 'a press on "%s" opened no window (%s expected)%s' %
                     (plain(t(tooltip, lang)), what,
                      "; it only toggled the button's checked state" if toggled else ""))
    return window


def check_dialogs(program, findings, shots, lang):
    # Add, Edit and Delete (its question), each with the first row selected
    for tooltip, where, picture in (("tooltip_add_download", "Add dialog", "add-download"),
                                    ("tooltip_edit", "Edit dialog", "edit-download"),
                                    ("tooltip_delete", "delete question", "delete-question")):
        select_first_row(program)
        window = open_by_press(program, findings, tooltip, lang, "the " + where)
        if window is not None:
            check_window(findings, where, window, lang)
            shot(program, window, shots, picture, lang)
            close_window(program, window)
    # Load List: the load-or-merge question
    window = open_by_press(program, findings, "tooltip_load_list", lang,
                           "the load-or-merge question")
    if window is not None:
        check_window(findings, "load-or-merge question", window, lang)
        shot(program, window, shots, "load-or-merge", lang)
        close_window(program, window)
    # Scheduler
    select_first_row(program)
    window = open_by_press(program, findings, "tooltip_scheduler", lang, "the scheduler")
    button = toolbar_button(program, "tooltip_scheduler", lang)
    if window is None and button is not None:
        # Put the button back, then click it as a sighted user does, so that
        # the scheduler itself can still be checked.
        if has_state(button, pyatspi.STATE_CHECKED):
            press(program, index_path(program.app, button) or [], 2.0)
        box = extents(button)
        if box:
            before = program.windows()
            run(["xdotool", "mousemove", str(box[0] + box[2] // 2), str(box[1] + box[3] // 2),
                 "click", "1"], env=program.env)
            window = program.new_window(before, WINDOW_WAIT_S)
    if window is not None:
        check_window(findings, "scheduler", window, lang)
        check_schedule_fields(findings, window, lang)
        shot(program, window, shots, "scheduler", lang)
        close_window(program, window)
        button = toolbar_button(program, "tooltip_scheduler", lang)
        if button is not None and has_state(button, pyatspi.STATE_CHECKED):
            path = index_path(program.app, button)
            before = program.windows()
            press(program, path, 3.0)
            extra = program.new_window(before, 1.5)
            if extra is not None:
                close_window(program, extra)
    # Update window: non-modal, closes once its check ends
    window = open_by_press(program, findings, "tooltip_check_updates", lang, "the update window")
    if window is not None:
        time.sleep(2.5)  # the local host answers at once
        check_window(findings, "update window", window, lang)
        shot(program, window, shots, "update-check", lang)
        close_window(program, window)
    # A message box: the language item of the current language says when
    # the change takes effect.
    main = program.main_window()
    menubar = next((n for n in walk(main) if role_name(n) == "menu bar"), None)
    item = None
    for _, node in menu_items(menubar) if menubar is not None else []:
        if name_of(node) == t("english" if lang == "en" else "arabic", lang):
            item = node
    if item is not None:
        before = program.windows()
        press(program, index_path(program.app, item) or [], 1.0)
        window = program.new_window(before, 3.0)
        if window is not None:
            check_window(findings, "message box", window, lang)
            shot(program, window, shots, "message", lang)
            close_window(program, window)


def check_schedule_fields(findings, window, lang):
    """The date and time fields read as the clock and the calendar do: hours
    first, and the month in the program's language."""
    now = time.localtime()
    months = ["jan", "feb", "mar", "apr", "may", "jun", "jul", "aug", "sep", "oct", "nov",
              "dec"]
    for node in walk(window):
        if role_name(node) not in FIELDS:
            continue
        value = text_of(node) or ""
        clock = re.search(r"(\d{1,2}):(\d{2}):(\d{2})", value)
        if clock:
            hour = int(clock.group(1))
            if hour not in (now.tm_hour, (now.tm_hour + 1) % 24, (now.tm_hour + 2) % 24):
                findings.add("scheduler", 'the time field "%s" reads "%s" at %02d:%02d:%02d '
                             '(reversed or wrong)' % (name_of(node), value, now.tm_hour,
                                                      now.tm_min, now.tm_sec))
        if lang == "ar" and any(re.search(r"\b%s" % month, value.casefold())
                                for month in months):
            findings.add("scheduler", 'the date field "%s" reads "%s": an English month in '
                         'Arabic' % (name_of(node), value))


def check_about(program, findings, shots, lang):
    main = program.main_window()
    menubar = next((n for n in walk(main) if role_name(n) == "menu bar"), None)
    item = None
    for _, node in menu_items(menubar) if menubar is not None else []:
        if norm(name_of(node)) in (norm(t("about", lang)), norm(t("about_box", lang))):
            item = node
    if item is None:
        findings.add("menus", "no About item in the menu bar")
        return
    before = program.windows()
    press(program, index_path(program.app, item) or [], 1.0)
    window = program.new_window(before, WINDOW_WAIT_S)
    if window is None:
        findings.add("About", "the About item opens no window")
        return
    check_window(findings, "About", window, lang)
    shot(program, window, shots, "about", lang)
    close_window(program, window)


def check_grabber(program, findings, shots, lang):
    window = open_by_press(program, findings, "tooltip_links_grabber", lang, "the links grabber")
    if window is None:
        return
    shot(program, window, shots, "links-grabber", lang)
    nodes = walk(window)
    field = next((n for n in nodes if role_name(n) in ("text", "entry") and
                  has_state(n, pyatspi.STATE_EDITABLE)), None)
    if lang == "en":
        for node in nodes:
            if role_name(node) == "push button" and name_of(node) and not has_mnemonic(node):
                findings.add("links grabber", 'the button "%s" has no mnemonic' % name_of(node))
    if field is not None:
        program.focus_window(window)
        safe(lambda: field.queryComponent().grabFocus())
        time.sleep(0.2)
        editable = safe(lambda: field.queryEditableText())
        if editable is not None:
            safe(lambda: editable.setTextContents("http://rapidshare.com/links.html"))
        else:
            program.type_text("http://rapidshare.com/links.html")
        get_links = next((n for n in nodes if role_name(n) == "push button" and
                          norm(name_of(n)) == norm(t("get_links", lang))), None)
        if get_links is not None:
            press(program, index_path(program.app, get_links) or [], 3.0)
        else:
            program.key("Return")
        deadline = time.time() + 10
        table = None
        while time.time() < deadline:
            nodes = walk(window)
            tables = [n for n in nodes if role_name(n) in ("table", "tree table")]
            tables.sort(key=lambda n: -(safe(lambda: n.queryTable().nRows, 0) or 0))
            table = tables[0] if tables else None
            if table is not None and (safe(lambda: table.queryTable().nRows, 0) or 0) > 0:
                break
            time.sleep(0.5)
        # a message box may report the end of the grab
        extra = [w for w in program.windows() if not same(w, window) and
                 not same(w, program.main_window())]
        for box in extra:
            close_window(program, box)
        rows = safe(lambda: table.queryTable().nRows, 0) if table is not None else 0
        findings.note("links grabber", "%d links in the list after Get Links" % (rows or 0))
        if table is not None:
            for key in ("Tab", "shift+Tab"):
                if focus_list(program, window, table):
                    tab_walk(program, findings, "keyboard, links grabber", table, key, 12)
                else:
                    findings.note("keyboard, links grabber", "the focus could not be put on "
                                  "the list (%s)" % describe(program.focused()))
    check_window(findings, "links grabber", window, lang)
    program.fresh_shots = True
    shot(program, window, shots, "links-grabber", lang)
    program.fresh_shots = False
    close_window(program, window)


def check_progress(program, findings, shots, lang):
    """Return on the first row starts it; its progress window is read while it
    runs."""
    select_first_row(program)
    before = program.windows()
    program.key("Return")
    window = program.new_window(before, WINDOW_WAIT_S)
    if window is None:
        findings.add("shortcuts", "Return on a row does not start the download (no progress "
                     "window)")
        main = program.main_window()
        button = toolbar_button(program, "tooltip_start", lang)
        if button is None:
            return
        press(program, index_path(program.app, button) or [], 3.0)
        window = program.new_window(before, WINDOW_WAIT_S)
        if window is None:
            findings.add("progress window", "Download opens no progress window")
            return
    time.sleep(1.5)
    check_window(findings, "progress window", window, lang)
    shot(program, window, shots, "progress", lang)
    check_finished_download(program, findings, window, lang)
    close_window(program, window)


def check_shortcuts(program, findings, lang, list_file):
    def expect_window(keys, what, title_names, select=True):
        if select:
            select_first_row(program)
        else:
            program.focus_window(program.main_window())
        before = program.windows()
        program.key(keys)
        window = program.new_window(before, 3.0)
        if window is None:
            findings.add("shortcuts", "%s does not %s" % (keys, what))
            return
        titles = {norm(t(n, lang)) for n in title_names}
        if titles and norm(name_of(window)) not in titles:
            findings.add("shortcuts", '%s opens "%s", expected %s' %
                         (keys, name_of(window), what))
        close_window(program, window)

    expect_window("ctrl+o", "ask to load or merge a list",
                  ["load_or_merge_title", "load_list_title"])
    expect_window("ctrl+shift+s", "open Save List As", ["save_list_as_title"])
    expect_window("ctrl+n", "open Add A New Download", ["add_title"])
    expect_window("Insert", "open Add A New Download", ["add_title"])
    expect_window("Delete", "ask to delete the selected download", [])
    # Ctrl+S saves the list file in place.
    select_first_row(program)
    stamp = os.stat(list_file).st_mtime_ns
    time.sleep(0.05)
    before = program.windows()
    program.key("ctrl+s")
    time.sleep(1.0)
    window = program.new_window(before, 0.5)
    if window is not None:
        close_window(program, window)
    if os.stat(list_file).st_mtime_ns == stamp and window is None:
        findings.add("shortcuts", "Ctrl+S does not save the list")
    # F1: the help file, through the desktop's opener (a stub records it).
    select_first_row(program)
    opened = os.path.join(program.env["CORVALE_CHECK_OPENED"])
    before = program.windows()
    program.key("F1")
    time.sleep(1.5)
    window = program.new_window(before, 0.5)
    called = os.path.exists(opened) and "help" in open(opened).read()
    if window is not None:
        findings.note("shortcuts", 'F1 showed "%s"' % name_of(window))
        close_window(program, window)
    elif not called:
        findings.add("shortcuts", "F1 does not open the help")


def check_exit(program, findings):
    select_first_row(program)
    before = program.windows()
    program.key("ctrl+q")
    deadline = time.time() + 4
    while time.time() < deadline and program.process.poll() is None:
        window = program.new_window(before, 0.3)
        if window is not None:
            # Ctrl+Q asked to save or stop: it does its work.
            findings.note("shortcuts", 'Ctrl+Q asked "%s"' % name_of(window))
            program.focus_window(window)
            program.key("Escape")
            return True
    if program.process.poll() is None and program.main_window() is not None and \
            has_state(program.main_window(), pyatspi.STATE_SHOWING):
        findings.add("shortcuts", "Ctrl+Q does not exit")
        return False
    return True


# ---------------------------------------------------------------- new windows


def text_pattern(name, lang):
    """A regular expression for a string-table text whose %1, %2 ... stand
    for any text (a number for the one after which a % sign follows)."""
    raw = TEXTS.get(name, {}).get(lang, "")
    parts = re.split(r"(%\d)", raw)
    pattern = ""
    for index, part in enumerate(parts):
        if re.fullmatch(r"%\d", part):
            following = parts[index + 1] if index + 1 < len(parts) else ""
            # an argument may stand in direction isolates (in Arabic)
            pattern += r"[\u2066-\u2069]?\d+[\u2066-\u2069]?" if following.startswith(
                "%") else ".*"
        else:
            pattern += re.escape(part)
    return re.compile("^" + pattern + "$", re.S)


def mnemonic_of(node, nth=0):
    """The letter of a control's mnemonic (lower case), or "" when it has
    none: from its key binding, else, for a caption, from its text in the
    string table (the nth of the texts that read like it: captions that
    read alike, as two "Unit"s, stand in the order of their texts)."""
    for part in binding_parts(node):
        if is_mnemonic(part):
            return part[-1].lower()
    if role_name(node) != "label" or not relations(node, pyatspi.RELATION_LABEL_FOR):
        return ""
    name = plain(name_of(node))
    letters = [m.group(1).lower() for texts in TEXTS.values() if plain(texts["en"]) == name
               for m in [re.search(r"&([^&\s])", texts["en"])] if m]
    return letters[nth] if nth < len(letters) else ""


def visual_order_problem(first, second, rtl):
    """Why the control at box second does not follow the one at box first
    when read row by row from the top, each row in reading order; None when
    it does."""
    if first is None or second is None:
        return None
    top_a, bottom_a = first[1], first[1] + first[3]
    middle_b = second[1] + second[3] / 2
    middle_a = first[1] + first[3] / 2
    same_row = top_a <= middle_b <= bottom_a or second[1] <= middle_a <= second[1] + second[3]
    if not same_row:
        return "it is above" if middle_b < middle_a else None
    if rtl and second[0] > first[0]:
        return "it is to the right on the same row"
    if not rtl and second[0] < first[0]:
        return "it is to the left on the same row"
    return None


def tab_cycle(program, window, count=30):
    """The controls Tab visits in window, from the focused one, once round;
    and whether the focus left the window on the way."""
    start = program.focused()
    stops = [start] if start is not None else []
    for _ in range(count):
        program.key("Tab")
        focus = program.focused()
        if focus is None or not inside(focus, window):
            return stops, True
        if stops and same(focus, stops[0]):
            break
        stops.append(focus)
    return stops, False


def check_tab_order(program, findings, where, window, lang):
    stops, left = tab_cycle(program, window)
    findings.note(where, "Tab: " + " -> ".join(describe(s) for s in stops))
    if left:
        findings.add(where, "Tab leaves the window (after %s)" % describe(stops[-1] if stops
                                                                           else None))
    if not stops:
        findings.add(where, "no control has the keyboard focus when it opens")
        return stops
    rtl = lang == "ar"
    boxes = [extents(s) for s in stops]
    # The cycle starts at its top control in reading order.
    ordered = sorted(range(len(stops)), key=lambda i: (boxes[i][1], -boxes[i][0] if rtl else
                                                       boxes[i][0]) if boxes[i] else (1e9, 0))
    first = ordered[0]
    if first != 0:
        findings.add(where, "when it opens the focus is on %s, not on the first control %s" %
                     (describe(stops[0]), describe(stops[first])))
    cycle = stops[first:] + stops[:first]
    boxes = boxes[first:] + boxes[:first]
    for index in range(1, len(cycle)):
        problem = visual_order_problem(boxes[index - 1], boxes[index], rtl)
        if problem:
            findings.add(where, "Tab goes from %s to %s, but %s" %
                         (describe(cycle[index - 1]), describe(cycle[index]), problem))
    for node in walk(window):
        if (role_name(node) in INTERACTIVE - {"menu", "menu item"} and
                has_state(node, pyatspi.STATE_SHOWING) and
                has_state(node, pyatspi.STATE_FOCUSABLE) and
                has_state(node, pyatspi.STATE_SENSITIVE) and
                not any(same(node, s) for s in stops) and
                not any(inside(s, node) for s in stops)):
            findings.add(where, "Tab never reaches %s" % describe(node))
    return cycle


def check_mnemonics(findings, where, window, captions=True):
    """Each mnemonic of a window is used once; every check box and button
    but OK, Cancel and Close (Enter and Escape) has one, and so does every
    field's caption (with captions; a value's caption needs none)."""
    used = {}
    alike = {}
    for node in walk(window):
        role = role_name(node)
        if not has_state(node, pyatspi.STATE_SHOWING) or not name_of(node):
            continue
        if role == "label" and not relations(node, pyatspi.RELATION_LABEL_FOR):
            continue
        if role not in ("label", "check box", "push button", "radio button"):
            continue
        nth = alike.get(plain(name_of(node)), 0)
        alike[plain(name_of(node))] = nth + 1
        letter = mnemonic_of(node, nth)
        if letter:
            used.setdefault(letter, []).append(name_of(node))
        elif norm(name_of(node)) not in {norm(t(n, "en")) for n in
                                         ("ok", "cancel", "close_caption")} and (
                                             captions or role != "label"):
            findings.add(where, 'the %s "%s" has no mnemonic' % (role, name_of(node)))
    for letter, names in sorted(used.items()):
        if len(names) > 1:
            findings.add(where, 'the mnemonic Alt+%s is used by %s' %
                         (letter.upper(), ", ".join('"%s"' % n for n in names)))
    findings.note(where, "mnemonics: " + ", ".join("%s=%s" % (k, "/".join(v))
                                                   for k, v in sorted(used.items())))


def check_rtl_layout(findings, where, window, lang):
    """Captions stand before their fields in reading order (to the right in
    Arabic), and nothing sticks out of the window."""
    outer = extents(window)
    for node in walk(window):
        if not has_state(node, pyatspi.STATE_SHOWING) or role_name(node) in (
                "list", "list item", "menu item"):  # a closed list box's items
            continue
        box = extents(node)
        if outer and box and box[2] > 0 and (box[0] < outer[0] - 1 or
                                             box[0] + box[2] > outer[0] + outer[2] + 1):
            findings.add(where, "%s sticks out of the window" % describe(node))
        if role_name(node) != "label":
            continue
        for field in relations(node, pyatspi.RELATION_LABEL_FOR):
            other = extents(field)
            if not box or not other or visual_order_problem(box, other, lang == "ar") is None:
                continue
            if abs((box[1] + box[3] / 2) - (other[1] + other[3] / 2)) < max(box[3], other[3]):
                findings.add(where, 'the caption "%s" stands after its field %s in reading '
                             'order' % (name_of(node), describe(field)))


def profile_text(program):
    path = os.path.join(program.env["XDG_CONFIG_HOME"], "Zrv", "Corvale.conf")
    try:
        with open(path, encoding="utf-8") as handle:
            return handle.read()
    except OSError:
        return ""


def open_preferences(program, keys):
    program.focus_window(program.main_window())
    before = program.windows()
    program.key(*keys)
    return program.new_window(before, 3.0)


def preferences_by_menu(program, lang):
    """Opens Preferences from the menu bar with the keyboard alone: Alt and
    the mnemonics in English; Alt, Down and the arrows in Arabic (whose
    menus have none). The window, or None."""
    wanted = norm(t("preferences_menu", lang))
    if lang == "en":
        window = open_preferences(program, ["alt+e", "p"])
        if window is not None:
            return window
        program.key("Escape", "Escape")
    select_first_row(program)
    program.events.clear()
    program.key("alt", "Down")
    next_menu = "Left" if lang == "ar" else "Right"
    before = program.windows()
    for _ in range(6):
        seen = []
        for _ in range(14):
            program.events.pump(0.2)
            current = program.events.items[-1] if program.events.items else None
            if current is not None and norm(name_of(current)) == wanted:
                program.key("Return")
                return program.new_window(before, 3.0)
            if current is not None and any(same(current, s) for s in seen):
                break
            if current is not None:
                seen.append(current)
            program.key("Down")
        program.key(next_menu)
    program.key("Escape", "Escape", "Escape")
    return None


def change_by_keyboard(program, findings, where, stops, folder, undo=False):
    """Changes every field of the Preferences window with keys, going to
    each with Tab: check boxes with Space, the folder and the limits by
    typing, list boxes with Down (with undo: the check boxes back, the limits
    emptied, list boxes Up). What was typed, by index of the stop."""
    typed = {}
    moves = [] if not undo else list(getattr(program, "combo_moves", []))
    for index, node in enumerate(stops):
        if undo and not has_state(node, pyatspi.STATE_SENSITIVE):
            continue  # a field turned off by a check box put back before it
        for _ in range(20):
            if same(program.focused(), node):
                break
            program.key("Tab")
        if not same(program.focused(), node):
            findings.add(where, "Tab does not come back to %s" % describe(node))
            continue
        role = role_name(node)
        if role == "check box":
            was = has_state(node, pyatspi.STATE_CHECKED)
            program.key("space")
            if has_state(node, pyatspi.STATE_CHECKED) == was:
                findings.add(where, "Space does not change the check box %s" % describe(node))
        elif role in ("text", "entry") and not (undo and index == 0):
            value = "" if undo else folder if index == 0 else "100"
            program.key("ctrl+a", "BackSpace")
            if value:
                program.type_text(value)
            time.sleep(0.2)
            typed[index] = value
            if (text_of(node) or "") != value:
                findings.add(where, 'typing "%s" into %s leaves "%s"' %
                             (value, describe(node), text_of(node)))
        elif role == "combo box":
            shown = name_of(node)
            if undo:
                program.key({"Down": "Up", "Up": "Down"}.get(moves.pop(0) if moves else "",
                                                            "Escape"))
                continue
            program.key("Down")
            moves.append("Down")
            if name_of(node) == shown:  # on its last item
                program.key("Up")
                moves[-1] = "Up"
            if name_of(node) == shown:
                findings.add(where, "Down and Up do not change the list box %s" %
                             describe(node))
        elif role == "spin button":
            program.key("Down" if undo else "Up")
    if not undo:
        program.combo_moves = moves
    return typed


def check_preferences(program, findings, shots, lang):
    where = "Preferences"
    title = norm(t("preferences_title", lang))
    # Ctrl+, from the list
    select_first_row(program)
    window = open_preferences(program, ["ctrl+comma"])
    if window is None:
        findings.add("shortcuts", "Ctrl+, does not open Preferences")
    elif norm(name_of(window)) != title:
        findings.add("shortcuts", 'Ctrl+, opens "%s", not Preferences' % name_of(window))
        close_window(program, window)
        window = None
    if window is not None:
        close_window(program, window)
    window = preferences_by_menu(program, lang)
    if window is None:
        findings.add("keyboard, main window", "the Edit menu's Preferences item cannot be "
                     "reached with %s" % ("Alt and its mnemonics" if lang == "en" else
                                          "Alt and the arrow keys"))
        select_first_row(program)
        window = open_preferences(program, ["ctrl+comma"])
        if window is None:
            return
    time.sleep(0.5)
    check_window(findings, where, window, lang)
    shot(program, window, shots, "preferences", lang)
    check_rtl_layout(findings, where, window, lang)
    if lang == "en":
        check_mnemonics(findings, where, window)
    stops = check_tab_order(program, findings, "keyboard, Preferences", window, lang)
    # Browse: the folder chooser opens and Escape brings the focus back.
    browse = next((n for n in stops if role_name(n) == "push button" and
                   norm(name_of(n)) == norm(t("browse", lang))), None)
    if browse is None:
        findings.add("keyboard, Preferences", "Tab does not reach Browse")
    else:
        for _ in range(20):
            if same(program.focused(), browse):
                break
            program.key("Tab")
        before = program.windows()
        program.key("space")
        chooser = program.new_window(before, WINDOW_WAIT_S)
        if chooser is None:
            findings.add("keyboard, Preferences", "Space on Browse opens no folder chooser")
        else:
            findings.note("keyboard, Preferences", 'Browse opened "%s"' % name_of(chooser))
            shot(program, chooser, shots, "preferences-browse", lang)
            program.key("Escape")
            if not program.gone(chooser, 3.0):
                findings.add("keyboard, Preferences", "Escape does not close the folder chooser")
                close_window(program, chooser)
            if not inside(program.focused(), window):
                findings.add("keyboard, Preferences", "after the folder chooser the focus is "
                             "not back in Preferences (%s)" % describe(program.focused()))
    # Escape after changes: nothing is stored.
    fields = [n for n in stops if role_name(n) != "push button"]
    downloads = os.path.join(os.path.dirname(program.env["XDG_CONFIG_HOME"]), "Downloads")
    stored = profile_text(program)
    change_by_keyboard(program, findings, "keyboard, Preferences", fields, downloads)
    program.key("Escape")
    if not program.gone(window, 3.0):
        findings.add("keyboard, Preferences", "Escape does not close Preferences")
        close_window(program, window)
    elif profile_text(program) != stored:
        findings.add("keyboard, Preferences", "Escape stored what was changed")
    # Enter after changes: they are stored, and shown when it opens again.
    window = open_preferences(program, ["ctrl+comma"])
    if window is None:
        return
    time.sleep(0.3)
    fields = [n for n in tab_cycle(program, window)[0] if role_name(n) != "push button"]
    checked = lambda nodes: [has_state(n, pyatspi.STATE_CHECKED) for n in nodes
                             if role_name(n) == "check box"]
    wanted = [not c for c in checked(fields)]
    typed = change_by_keyboard(program, findings, "keyboard, Preferences", fields, downloads)
    program.key("Return")
    if program.gone(window, 3.0):
        time.sleep(0.5)
        close_extra(program)  # the language's "at the next start" message
    else:
        extra = [w for w in program.windows() if not same(w, window) and
                 not same(w, program.main_window())]
        findings.add("keyboard, Preferences", "Enter does not accept Preferences%s" % (
            ' (it says "%s")' % " ".join(name_of(n) for n in walk(extra[0])
                                         if role_name(n) == "label") if extra else ""))
        close_extra(program)
        return
    if profile_text(program) == stored:
        findings.add("keyboard, Preferences", "Enter stored nothing")
    window = open_preferences(program, ["ctrl+comma"])
    if window is None:
        findings.add("keyboard, Preferences", "Ctrl+, does not open Preferences a second time")
        return
    time.sleep(0.3)
    again = [n for n in tab_cycle(program, window)[0] if role_name(n) != "push button"]
    if checked(again) != wanted:
        findings.add("keyboard, Preferences", "the check boxes after OK are %s, %s expected" %
                     (checked(again), wanted))
    if again and typed.get(0) and text_of(again[0]) != typed[0]:
        findings.add("keyboard, Preferences", 'the folder after OK is "%s", "%s" expected' %
                     (text_of(again[0]), typed[0]))
    # Back as it was (the limits off, the check boxes as before), with Enter.
    change_by_keyboard(program, findings, "keyboard, Preferences", again, downloads, undo=True)
    program.key("Return")
    if not program.gone(window, 3.0):
        findings.add("keyboard, Preferences", "Enter does not accept Preferences put back")
    time.sleep(0.5)
    close_extra(program)


def check_clipboard_offer(program, findings, lang):
    """A file link copied elsewhere is offered in the status line; Tab
    reaches the offer, Space on it opens the Add dialog."""
    where = "clipboard offer"
    link = "http://rapidshare.com/files/204855/holiday_photos.part5.rar"
    try:
        subprocess.run(["xclip", "-selection", "clipboard"], input=link, text=True, timeout=5,
                       env=program.env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    except (OSError, subprocess.TimeoutExpired):
        findings.note(where, "xclip is missing: not checked")
        return
    pattern = text_pattern("clipboard_offer_name", lang)
    offer = None
    deadline = time.time() + 4
    while offer is None and time.time() < deadline:
        offer = next((n for n in walk(program.main_window()) if role_name(n) == "push button"
                      and has_state(n, pyatspi.STATE_SHOWING) and
                      pattern.match(name_of(n))), None)
        time.sleep(0.3)
    if offer is None:
        findings.add(where, "a copied file link shows no offer (a button named like \"%s\") "
                     "in the status line" % t("clipboard_offer_name", lang))
        return
    if link not in name_of(offer):
        findings.add(where, 'the offer reads "%s", without the whole link' % name_of(offer))
    table = select_first_row(program)
    # Once round: back in the list, the offer was passed by.
    if not tab_to(program, offer, lambda n: table is not None and inside(n, table)):
        findings.add(where, "Tab from the list does not reach the offer in the status line")
        return
    before = program.windows()
    program.key("space")
    window = program.new_window(before, 3.0)
    if window is None:
        findings.add(where, "Space on the offer opens no window")
        return
    if norm(name_of(window)) != norm(t("add_title", lang)):
        findings.add(where, 'Space on the offer opens "%s", not the Add dialog' %
                     name_of(window))
    elif not any(text_of(n) == link for n in walk(window) if role_name(n) in FIELDS):
        findings.add(where, "the Add dialog does not hold the copied link")
    close_window(program, window)


def tab_to(program, target, passed=lambda node: False):
    """Presses Tab until the focus is on target: False when 25 presses do
    not get there, or the focus comes to where passed() says it went by."""
    for _ in range(25):
        program.key("Tab")
        if same(program.focused(), target):
            return True
        if passed(program.focused()):
            return False
    return False


def progress_cells(program):
    table = next((n for n in walk(program.main_window()) if role_name(n) in
                  ("table", "tree table")), None)
    pattern = text_pattern("progress_read_as", program.lang)
    return [name_of(n) for n in walk(table) if role_name(n) == "table cell"
            and pattern.match(name_of(n))] if table is not None else []


def check_finished_download(program, findings, window, lang):
    """The progress window of a finished download: its Open button is
    reached by Tab and opens the file; the list's Open File item does the
    same, and the row's Progress cell reads the percentage."""
    where = "progress window"
    wanted = norm(t("open_file", lang))
    button = None
    deadline = time.time() + 20
    while button is None and time.time() < deadline and any(
            same(window, w) for w in program.windows()):
        button = next((n for n in walk(window) if role_name(n) == "push button" and
                       has_state(n, pyatspi.STATE_SHOWING) and norm(name_of(n)) == wanted), None)
        time.sleep(0.3)
    if button is None:
        findings.add(where, 'no "%s" button once the download finished' % t("open_file", lang))
        return
    if lang == "en":
        check_mnemonics(findings, where, window, captions=False)
    opened = program.env["CORVALE_CHECK_OPENED"]
    program.focus_window(window)
    if not tab_to(program, button):
        findings.add("keyboard, " + where, "Tab does not reach the Open button")
        safe(lambda: button.queryComponent().grabFocus())
    size = os.path.getsize(opened) if os.path.exists(opened) else 0
    program.key("space")
    time.sleep(1.0)
    if not os.path.exists(opened) or "holiday_photos.part1.rar" not in open(opened).read()[size:]:
        findings.add(where, "Space on Open does not open the downloaded file")
    close_window(program, window)
    cells = progress_cells(program)
    findings.note("main window", "progress cells: %s" % " | ".join(cells))
    if not cells:
        table = next((n for n in walk(program.main_window()) if role_name(n) in
                      ("table", "tree table")), None)
        findings.note("main window", "cells: %s" % " | ".join(
            repr(name_of(n)) for n in walk(table)[:40] if role_name(n) == "table cell"))
    if not any("100" in cell for cell in cells):
        findings.add("main window", 'the finished row\'s Progress cell does not read its '
                     'percentage (as "%s")' % t("progress_read_as", lang))
    # Open File in the context menu
    select_first_row(program)
    program.events.clear()
    program.key("shift+F10")
    program.events.pump(0.5)
    size = os.path.getsize(opened) if os.path.exists(opened) else 0
    for _ in range(16):
        current = program.events.items[-1] if program.events.items else None
        if current is not None and norm(name_of(current)) == wanted:
            if not has_state(current, pyatspi.STATE_SENSITIVE):
                findings.add("context menu", "Open File is off on a finished download")
            program.key("Return")
            time.sleep(1.0)
            if not os.path.exists(opened) or \
                    "holiday_photos.part1.rar" not in open(opened).read()[size:]:
                findings.add("context menu", "Open File does not open the downloaded file")
            return
        program.key("Down")
        program.events.pump(0.3)
    findings.add("context menu", "the arrow keys do not reach Open File")
    program.key("Escape")


# ---------------------------------------------------------------- session


def make_demo(build, folder, lang, proxy):
    config = os.path.join(folder, "config", "Zrv")
    os.makedirs(config)
    for sub in ("tmp", "home", "Downloads", "bin"):
        os.makedirs(os.path.join(folder, sub))
    # Arabic is the default of a profile without a language; the clipboard
    # is watched, so that its offer can be checked.
    with open(os.path.join(config, "Corvale.conf"), "w") as handle:
        handle.write("[settings]\n%swatch_clipboard=1\n" % ("language=2\n" if lang == "en" else ""))
    env = dict(os.environ)
    env.update({"XDG_CONFIG_HOME": os.path.join(folder, "config"),
                "HOME": os.path.join(folder, "home"), "TMPDIR": os.path.join(folder, "tmp"),
                "http_proxy": proxy, "HTTP_PROXY": proxy, "no_proxy": "", "NO_PROXY": ""})
    list_file = os.path.join(folder, "demo.zrv")
    cli = os.path.join(build, "src", "cli", "corvale-cli")
    for ident, name, description in [
            ("204851/holiday_photos.part1.rar", "holiday_photos.part1.rar", "finishes"),
            ("204852/holiday_photos.part2.rar", "holiday_photos.part2.rar", "waits first"),
            ("204853/holiday_photos.part3.rar", "holiday_photos.part3.rar", "expires once"),
            ("204854/holiday_photos.part4.rar", "holiday_photos.part4.rar", "no length"),
            ("999999/deleted.zip", "deleted.zip", "missing")]:
        run([cli, "add", list_file, "--url", "http://rapidshare.com/files/" + ident, "--folder",
             os.path.join(folder, "Downloads"), "--name", name, "--description", description,
             "--yes"], timeout=10, env=env)
    # The desktop's opener, recorded instead of run.
    opened = os.path.join(folder, "opened.txt")
    stub = os.path.join(folder, "bin", "xdg-open")
    with open(stub, "w") as handle:
        handle.write('#!/bin/sh\necho "$@" >> "%s"\n' % opened)
    os.chmod(stub, 0o755)
    env["PATH"] = os.path.join(folder, "bin") + os.pathsep + env.get("PATH", "")
    env["CORVALE_CHECK_OPENED"] = opened
    env["QT_LINUX_ACCESSIBILITY_ALWAYS_ON"] = "1"
    env["QT_ACCESSIBILITY"] = "1"
    env.pop("QT_QPA_PLATFORM", None)
    env["LANG"] = env["LC_ALL"] = "C.UTF-8"
    return env, list_file


def check_language(build, lang, proxy, shots, verbose):
    findings = Findings(lang)
    folder = tempfile.mkdtemp(prefix="corvale-a11y-%s-" % lang)
    try:
        env, list_file = make_demo(build, folder, lang, proxy)
        process = spawn([os.path.join(build, "src", "app", "corvale"), list_file], env=env,
                        stdout=subprocess.DEVNULL, stderr=open(os.path.join(folder, "err"), "w"))
        program = Program(process, env)
        program.lang = lang
        program.events = Events()
        program.fresh_shots = True
        if not program.find_app():
            findings.add("start", "the program did not show up through AT-SPI within 25 s")
            return findings
        time.sleep(1.0)
        main = program.main_window()
        box = extents(main)
        findings.note("main window", "first start: %s at %s" %
                      ("%dx%d" % box[2:] if box else "?", "%d,%d" % box[:2] if box else "?"))
        shot(program, main, shots, "main-window", lang)
        check_window(findings, "main window", main, lang)
        steps = [
            lambda: check_menus_and_toolbar(findings, program, lang),
            lambda: check_tab(program, findings),
            lambda: check_context_menu(program, findings, shots, lang),
            lambda: check_menu_bar_keyboard(program, findings, shots, lang),
            lambda: check_dialogs(program, findings, shots, lang),
            lambda: check_about(program, findings, shots, lang),
            lambda: check_preferences(program, findings, shots, lang),
            lambda: check_grabber(program, findings, shots, lang),
            lambda: check_clipboard_offer(program, findings, lang),
            lambda: check_shortcuts(program, findings, lang, list_file),
            lambda: check_progress(program, findings, shots, lang),
            lambda: check_exit(program, findings),
        ]
        for step in steps:
            if process.poll() is not None:
                findings.add("run", "the program ended during the checks (exit %s)" %
                             process.returncode)
                break
            try:
                step()
            except Exception as error:  # one step's failure does not end the run
                findings.add("run", "a check stopped: %r" % (error,))
                close_extra(program)
        return findings
    finally:
        for process in list(PROCESSES):
            if process.args and process.args[0].endswith("corvale"):
                stop(process)
        shutil.rmtree(folder, ignore_errors=True)


def close_extra(program):
    main = program.main_window()
    for window in program.windows():
        if not same(window, main):
            close_window(program, window, 2)


def start_session(build):
    display = free_display()
    xvfb = spawn(["Xvfb", display, "-screen", "0", "%dx%dx24" % SCREEN, "-nolisten", "tcp"],
                 stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    deadline = time.time() + 10
    os.environ["DISPLAY"] = display
    while time.time() < deadline and not os.path.exists("/tmp/.X11-unix/X" + display[1:]):
        time.sleep(0.1)
    if xvfb.poll() is not None:
        raise RuntimeError("Xvfb did not start")
    # A window manager, as on a desktop: it gives the focus back to the main
    # window when a dialog closes, so that keys reach the program as a user's
    # would (without one, Qt takes the window for inactive).
    spawn(["openbox", "--sm-disable"], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    time.sleep(0.5)
    launcher = "/usr/libexec/at-spi-bus-launcher"
    spawn([launcher, "--launch-immediately"], stdout=subprocess.DEVNULL,
          stderr=subprocess.DEVNULL)
    time.sleep(1.0)  # the bus activates the registry when it is first asked
    log = tempfile.NamedTemporaryFile(prefix="corvale-host-", delete=False)
    host = spawn([os.path.join(build, "tests", "fakehost", "corvale-fakehost")],
                 stdout=log, stderr=subprocess.STDOUT)
    deadline = time.time() + 10
    port = None
    while time.time() < deadline and port is None:
        with open(log.name) as handle:
            found = re.search(r"127\.0\.0\.1:(\d+)", handle.read())
        port = found.group(1) if found else None
        time.sleep(0.1)
    os.unlink(log.name)
    if port is None or host.poll() is not None:
        raise RuntimeError("the local file host did not start")
    return "http://127.0.0.1:%s" % port


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--build", default=os.path.join(ROOT, "build", "release"))
    parser.add_argument("--lang", default="en,ar")
    parser.add_argument("--shots", default="")
    parser.add_argument("--verbose", action="store_true")
    parser.add_argument("--press", nargs="+", type=int, help=argparse.SUPPRESS)
    args = parser.parse_args()
    if args.press:
        return press_helper(args.press[0], args.press[1:])

    def out_of_time(*_):
        raise TimeoutError("the run took longer than %d s" % limit)

    limit = RUN_LIMIT_S * len(args.lang.split(","))
    signal.signal(signal.SIGALRM, out_of_time)
    signal.signal(signal.SIGTERM, out_of_time)
    signal.alarm(limit)
    watchdog = start_watchdog(limit + 15)
    started = time.time()
    status = 0
    try:
        for tool in ("Xvfb", "xdotool", "import"):
            if shutil.which(tool) is None:
                print("missing tool: %s" % tool, file=sys.stderr)
                return 2
        if not os.environ.get("DBUS_SESSION_BUS_ADDRESS"):
            print("no session D-Bus: run this under dbus-run-session", file=sys.stderr)
            return 2
        build = os.path.abspath(args.build)
        proxy = start_session(build)
        import_atspi()
        shots = os.path.abspath(args.shots) if args.shots else ""
        for lang in args.lang.split(","):
            findings = check_language(build, lang, proxy, shots, args.verbose)
            print("== %s: %d finding(s)" % (lang, len(findings.items)))
            for line in findings.items:
                print("  - " + line)
            if args.verbose:
                print("   notes:")
                for line in findings.notes:
                    print("   . " + line)
            sys.stdout.flush()
            if findings.items:
                status = 1
    except TimeoutError as error:
        print("run stopped: %s" % error, file=sys.stderr)
        status = 2
    except RuntimeError as error:
        print("run failed: %s" % error, file=sys.stderr)
        status = 2
    finally:
        signal.alarm(0)
        stop_all()
        end_watchdog(watchdog)
        print("run took %.0f s" % (time.time() - started))
    return status


if __name__ == "__main__":
    sys.exit(main())
