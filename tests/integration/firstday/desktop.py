"""A private X display with a window manager, and the hands of a person in front of it.

Windows are found by title and driven with key presses through xdotool, as a person would with
the keyboard; pictures of them go to a folder for review.
"""

import os
import re
import shutil
import subprocess
import time


# ImageMagick's own tool; a stand-in of the same name may come earlier on PATH.
IMPORT = "/usr/bin/import"


class DesktopError(AssertionError):
    pass


class Desktop:
    """Xvfb plus openbox (so that windows get activated and placed as on a real desktop)."""

    def __init__(self, pictures):
        for tool in ("Xvfb", "openbox", "xdotool"):
            if not shutil.which(tool):
                raise DesktopError("%s is not installed" % tool)
        self.pictures = pictures
        os.makedirs(pictures, exist_ok=True)
        # Xvfb picks a free display itself and names it on a pipe: two desktops started at the same
        # time (tests run in parallel) would otherwise both take the first number they saw free.
        reader, writer = os.pipe()
        self._server = subprocess.Popen(["Xvfb", "-displayfd", str(writer), "-screen", "0", "1280x1024x24", "-nolisten", "tcp"],
                                        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, pass_fds=(writer,))
        os.close(writer)
        with os.fdopen(reader) as answer:
            number = answer.readline().strip()
        if not number:
            raise DesktopError("Xvfb did not start")
        self.display = ":" + number
        self._wait_for_display()
        self._manager = subprocess.Popen(["openbox", "--sm-disable"], env=self.environment(),
                                         stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        time.sleep(1)
        self.picture_count = 0

    def environment(self, extra=None):
        env = dict(os.environ)
        env["DISPLAY"] = self.display
        env.pop("QT_QPA_PLATFORM", None)
        env.update(extra or {})
        return env

    def close(self):
        for process in (self._manager, self._server):
            process.terminate()
            try:
                process.wait(10)
            except subprocess.TimeoutExpired:
                process.kill()

    def _wait_for_display(self):
        for _ in range(100):
            if self._xdotool("getdisplaygeometry", check=False).returncode == 0:
                return
            time.sleep(0.1)
        raise DesktopError("Xvfb did not start on %s" % self.display)

    def _xdotool(self, *arguments, check=True, timeout=20):
        # "windowactivate --sync" waits for the window manager without end when the window never
        # takes the focus; a step that hangs must fail with a message instead.
        try:
            result = subprocess.run(["xdotool", *arguments], env=self.environment(), capture_output=True, text=True,
                                    timeout=timeout)
        except subprocess.TimeoutExpired:
            raise DesktopError("xdotool %s: no answer within %d s" % (" ".join(arguments), timeout))
        if check and result.returncode != 0:
            raise DesktopError("xdotool %s: %s" % (" ".join(arguments), result.stderr.strip()))
        return result

    # --- windows -------------------------------------------------------------------------------

    def windows(self):
        """Visible top-level windows as {id: title}."""
        found = self._xdotool("search", "--onlyvisible", "--name", ".", check=False).stdout.split()
        titles = {}
        for window in found:
            name = self._xdotool("getwindowname", window, check=False)
            if name.returncode == 0:
                titles[window] = name.stdout.strip()
        return titles

    def find(self, pattern):
        for window, title in self.windows().items():
            if re.search(pattern, title):
                return window
        return None

    def wait_for(self, pattern, timeout=30, why=""):
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            window = self.find(pattern)
            if window:
                time.sleep(0.4)  # let it finish painting and take the focus
                return window
            time.sleep(0.2)
        self.picture("missing-" + re.sub(r"\W+", "-", pattern)[:40], root=True)
        raise DesktopError("no window /%s/ within %d s %s; open: %s" % (pattern, timeout, why, self.windows()))

    def wait_gone(self, pattern, timeout=30):
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            if not self.find(pattern):
                return
            time.sleep(0.2)
        self.picture("still-open-" + re.sub(r"\W+", "-", pattern)[:40], root=True)
        raise DesktopError("window /%s/ still open after %d s" % (pattern, timeout))

    def wait_closed(self, window, timeout=30):
        """Until that very window is gone (another one of the same title may follow it)."""
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            if window not in self.windows():
                return
            time.sleep(0.2)
        self.picture("still-open-%s" % window, root=True)
        raise DesktopError("window %s (%s) still open after %d s" % (window, self.windows().get(window), timeout))

    def focused(self):
        """The window that has the keyboard focus, as the window manager says."""
        return self._xdotool("getactivewindow", check=False).stdout.strip()

    def give_input_focus(self, window):
        """Sets the X input focus itself, past the window manager."""
        self._xdotool("windowfocus", "--sync", window, check=False)
        time.sleep(0.3)

    def activate(self, window):
        self._xdotool("windowactivate", "--sync", window, check=False)
        time.sleep(0.3)

    # --- keyboard ------------------------------------------------------------------------------

    def key(self, window, *keys):
        """Presses keys (xdotool names: "Return", "alt+v", "Tab") in that window, which gets the focus."""
        self.activate(window)
        for key in keys:
            self._xdotool("key", "--clearmodifiers", key)
            time.sleep(0.25)

    def type(self, window, text):
        self.activate(window)
        self._xdotool("type", "--delay", "20", text)
        time.sleep(0.2)

    def close_box(self, window):
        """The window manager's close request, as the title bar's close button sends it."""
        self.activate(window)
        self._xdotool("key", "--clearmodifiers", "alt+F4")
        time.sleep(0.5)

    # --- pictures ------------------------------------------------------------------------------

    def picture(self, name, window=None, root=False):
        if not os.path.exists(IMPORT):
            return None
        self.picture_count += 1
        path = os.path.join(self.pictures, "%02d-%s.png" % (self.picture_count, name))
        target = "root" if root or window is None else window
        subprocess.run([IMPORT, "-window", target, path], env=self.environment(),
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        return path
