#!/usr/bin/python3
"""The Qt windows as a screen reader (Orca) meets them, over AT-SPI.

Usage: atspi_windows.py VAGLIANTE

Starts the program on a display of its own (Xvfb) with a session bus of its
own, from which the accessibility bus is started, and walks the main window,
then the conversion window and the About window, each opened through the
real menu with the mouse, as a user would. In each window: every control
that takes the focus has a name, no two share one, none is mere punctuation
("..."); each text box is labelled by a label, whose caption is its name;
the progress bar has a name. Every wait is bounded.

Needs Xvfb, dbus-run-session, xdotool and python3-pyatspi (./test installs
them).
"""

import os
import random
import select
import subprocess
import sys
import time

WAIT = 20  # seconds, at most, for the bus, the program or a window


def start_display():
    """An Xvfb display of our own: (process, ":N"). The number is drawn from a
    high range rather than the first free one: programs that cannot see each
    other's processes may share /tmp, where a display's lock lies."""
    rng = random.Random(os.getpid() ^ time.monotonic_ns())
    for _ in range(5):
        number = rng.randrange(2000, 30000)
        read, write = os.pipe()
        # -noreset: a server that resets as its last client leaves refuses
        # the next one meanwhile.
        xvfb = subprocess.Popen(["Xvfb", ":%d" % number, "-displayfd", str(write), "-screen", "0",
                                 "1280x800x24", "-nolisten", "tcp", "-noreset"], pass_fds=[write],
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write)
        # It writes the number and a line end once it takes connections, or
        # ends; it ends too if the pipe closes before it has written both.
        written = b""
        deadline = time.monotonic() + WAIT
        while not written.endswith(b"\n") and select.select(
                [read], [], [], max(0, deadline - time.monotonic()))[0]:
            chunk = os.read(read, 16)
            if not chunk:
                break
            written += chunk
        os.close(read)
        if written.endswith(b"\n"):
            return xvfb, ":%d" % number
        xvfb.kill()
        xvfb.wait()
    sys.exit("Xvfb did not start")


def outside(program):
    """Runs this script again inside a session bus of its own, on its own display."""
    xvfb, display = start_display()
    env = dict(os.environ, DISPLAY=display, VAGLIANTE_ATSPI_INSIDE="1")
    try:
        return subprocess.run(["dbus-run-session", "--", sys.executable, __file__, program],
                              env=env, timeout=6 * WAIT).returncode
    finally:
        xvfb.terminate()  # which takes its lock and socket away
        try:
            xvfb.wait(timeout=WAIT)
        except subprocess.TimeoutExpired:
            xvfb.kill()
            xvfb.wait()


def inside(program):
    import pyatspi  # only here: the outer run needs none of it

    failures = []

    def fail(message):
        failures.append(message)
        print("FAILED: " + message, flush=True)

    def waited(what, find):
        """find() once it gives something, within WAIT seconds; None after that."""
        deadline = time.monotonic() + WAIT
        while time.monotonic() < deadline:
            try:
                found = find()
            except Exception:  # an object gone meanwhile: look again
                found = None
            if found:
                return found
            time.sleep(0.1)
        fail("no %s within %d s" % (what, WAIT))
        return None

    def application():
        for app in pyatspi.Registry.getDesktop(0):
            if app is not None and app.name == "Vagliante" and app.childCount > 0:
                return app
        return None

    def window(app, title):
        for child in app:
            if child is not None and child.name == title and child.getState().contains(
                    pyatspi.STATE_SHOWING):
                return child
        return None

    def descendants(accessible):
        for child in accessible:
            if child is not None:
                yield child
                yield from descendants(child)

    def find(root, role, name):
        for acc in descendants(root):
            if acc.getRole() == role and acc.name == name:
                return acc
        return None

    def click(accessible):
        """A click of the mouse in the middle of `accessible`, as the user's."""
        box = accessible.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
        subprocess.run(["xdotool", "mousemove", str(box.x + box.width // 2),
                        str(box.y + box.height // 2), "click", "1"], check=True)

    def check(title, frame, role):
        print("%s: %s" % (title, frame.getRoleName()), flush=True)
        if frame.getRole() != role:
            fail("%s is told as a %s, not a %s" % (title, frame.getRoleName(),
                                                   pyatspi.Role(role).value_nick))
        names = {}
        bars = 0
        for acc in descendants(frame):
            role_name, name = acc.getRoleName(), acc.name
            if acc.getRole() == pyatspi.ROLE_PROGRESS_BAR:
                bars += 1
                if not name:
                    fail("%s: its progress bar has no name" % title)
            if not acc.getState().contains(pyatspi.STATE_FOCUSABLE):
                continue
            print("  %s %r" % (role_name, name), flush=True)
            if not name.strip(" .?"):
                fail("%s: a %s has no name of its own: %r" % (title, role_name, name))
            elif name in names:
                fail("%s: a %s and a %s share the name %r" % (title, names[name], role_name,
                                                               name))
            names[name] = role_name
            if acc.getRole() == pyatspi.ROLE_TEXT:
                labels = [rel.getTarget(i) for rel in acc.getRelationSet()
                          if rel.getRelationType() == pyatspi.RELATION_LABELLED_BY
                          for i in range(rel.getNTargets())]
                if len(labels) != 1 or labels[0].getRole() != pyatspi.ROLE_LABEL:
                    fail("%s: the box %r is labelled by no label" % (title, name))
                elif labels[0].name != name:
                    fail("%s: the box %r is labelled by %r" % (title, name, labels[0].name))
        if len(names) < 2:
            fail("%s: only %d controls take the focus" % (title, len(names)))
        return bars

    process = subprocess.Popen(
        [program], env=dict(os.environ, QT_QPA_PLATFORM="xcb",
                            QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1"))
    try:
        app = waited("Vagliante on the accessibility bus", application)
        main = app and waited("main window", lambda: window(app, "Vagliante 1.2.1 - by Quadrivio"))
        if not main:
            return 1
        if check("frmMain", main, pyatspi.ROLE_FRAME) != 1:
            fail("frmMain: not one progress bar")
        about_item = find(main, pyatspi.ROLE_MENU_ITEM, "Informazioni su Vagliante")
        if not about_item:
            fail("frmMain: no menu entry named \"Informazioni su Vagliante\"")

        # T&ools, then its first item: the conversion window.
        click(find(main, pyatspi.ROLE_MENU_ITEM, "Tools"))
        item = waited("item \"Conversione BIN->TXT\" on the screen", lambda: next(
            (acc for acc in descendants(main) if acc.name == "Conversione BIN->TXT"
             and acc.getState().contains(pyatspi.STATE_SHOWING)), None))
        if item:
            click(item)
            conversion = waited("conversion window", lambda: window(app, "Conversione BIN->TXT"))
            if conversion:
                if check("frmCnv", conversion, pyatspi.ROLE_DIALOG) != 1:
                    fail("frmCnv: not one progress bar")
                click(find(conversion, pyatspi.ROLE_PUSH_BUTTON, "Esci"))
                waited("conversion window closed",
                       lambda: window(app, "Conversione BIN->TXT") is None)

        # The "?" entry: the About window.
        if about_item:
            click(about_item)
            about = waited("About window", lambda: window(app, "Informazioni su VAGLIANTE"))
            if about:
                check("frmAbout", about, pyatspi.ROLE_DIALOG)
                click(find(about, pyatspi.ROLE_PUSH_BUTTON, "Ok"))
                waited("About window closed",
                       lambda: window(app, "Informazioni su VAGLIANTE") is None)

        click(find(main, pyatspi.ROLE_PUSH_BUTTON, "Esci"))
        try:
            if process.wait(timeout=WAIT) != 0:
                fail("the program ended with status %d" % process.returncode)
        except subprocess.TimeoutExpired:
            fail("the program did not end on Esci")
    except Exception as error:  # a control not found above, among others
        fail("%s: %s" % (type(error).__name__, error))
    finally:
        if process.poll() is None:
            process.kill()
            process.wait()
    print("%d failed" % len(failures))
    return 1 if failures else 0


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    if os.environ.get("VAGLIANTE_ATSPI_INSIDE") == "1":
        sys.exit(inside(sys.argv[1]))
    sys.exit(outside(sys.argv[1]))
