"""One person's day with the built suite on a private X display: the shared set-up (an installation
copied from the build, a provider on 127.0.0.1, an empty home) and the person's hands. A day's tests
are its steps, named test_<n>_..., and run in order; a step after a failed one is skipped."""

import os
import shutil
import subprocess
import sys
import tempfile
import time
import unittest

from desktop import Desktop
from servers import Provider

MAIN = r"^Lumaro Mail 3\.20$"
USER, PASSWORD = "erika", "Geheim-42"
ADDRESS = "erika@example.com"


class Day(unittest.TestCase):
    # Set by each day: where the suite is installed, the test-server scripts, where pictures go,
    # the messages waiting at the provider and its incoming protocol ("pop3" or "imap").
    DIST = SCRIPTS = PICTURES = None
    MESSAGES = []
    INCOMING = "pop3"

    @classmethod
    def setUpClass(cls):
        cls.work = tempfile.mkdtemp(prefix="day-")
        os.chmod(cls.work, 0o755)  # the Dovecot server runs as nobody when the test runs as root
        shutil.rmtree(cls.PICTURES, ignore_errors=True)
        cls.provider = Provider(cls.SCRIPTS, cls.work, USER, PASSWORD, cls.MESSAGES, cls.INCOMING)
        cls.installation = os.path.join(cls.work, "installation")
        shutil.copytree(cls.DIST, cls.installation, symlinks=True)
        for name in ("home", "tmp", "run"):
            os.makedirs(os.path.join(cls.work, name), mode=0o700)
        cls.desktop = Desktop(cls.PICTURES)
        cls.environment = cls.desktop.environment({
            "HOME": os.path.join(cls.work, "home"),
            "TMPDIR": os.path.join(cls.work, "tmp"),
            "XDG_RUNTIME_DIR": os.path.join(cls.work, "run"),
            "LUMARO_REGISTRY": os.path.join(cls.work, "registry.ini"),
            "LANG": "C.UTF-8", "LC_ALL": "C.UTF-8"})
        cls.environment.pop("LUMARO_TEST_CA_FILE", None)
        # The wizard's look-up of the settings stays on this machine and finds nothing: no autoconfig
        # server listens at port 1, no DNS server on 127.0.0.1, and no guessed server is probed.
        cls.environment.update({"LUMARO_TEST_AUTOCONFIG_URL": "https://127.0.0.1:1", "LUMARO_TEST_DNS_SERVER": "127.0.0.1",
                                "LUMARO_TEST_GUESS_MAP": ""})
        cls.main = None
        cls.steps_done = 0

    @classmethod
    def tearDownClass(cls):
        if cls.main and cls.main.poll() is None:
            cls.main.kill()
        subprocess.run(["pkill", "-f", cls.installation])
        cls.desktop.close()
        cls.provider.stop()
        shutil.rmtree(cls.work, ignore_errors=True)

    def setUp(self):
        # The day is one story: a step after a failed one would only fail for the same reason.
        step = int(self._testMethodName.split("_")[1])
        if self.steps_done != step - 1:
            self.skipTest("an earlier step of the day failed")

    def done(self):
        self.__class__.steps_done += 1

    # --- the person's hands ------------------------------------------------------------------

    def start_main(self):
        self.__class__.main = subprocess.Popen([os.path.join(self.installation, "lumaro")], env=self.environment,
                                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        return self.desktop.wait_for(MAIN, why="(main window)")

    def assert_main_alive(self, step):
        self.assertIsNone(self.main.poll(), "the main window ended (exit %s) %s" % (self.main.returncode, step))
        self.assertTrue(self.desktop.find(MAIN), "the main window is gone " + step)

    def key(self, pattern, *keys):
        self.desktop.key(self.desktop.wait_for(pattern), *keys)

    def type(self, pattern, text):
        self.desktop.type(self.desktop.wait_for(pattern), text)

    def picture(self, name, pattern=None):
        window = self.desktop.wait_for(pattern) if pattern else None
        self.desktop.picture(name, window)

    def registry(self):
        with open(self.environment["LUMARO_REGISTRY"], encoding="utf-8") as f:
            return f.read()

    def assert_both_pins(self):
        registry = self.registry()
        for value in ("PopPinnedCertificate", "SmtpPinnedCertificate"):
            self.assertRegex(registry, value + r"=\S", "no %s stored" % value)

    def walk_wizard(self, incoming_keys):
        """The account wizard from the first page to the accounts manager, closed again. The look-up
        finds nothing for example.com, so the server pages follow; `incoming_keys` fill the incoming
        server's page (text, or ("key", name) for a key press). Each certificate is trusted once."""
        wizard = self.desktop.wait_for(r"^Assistent zur Einrichtung", why="(the account wizard)")
        pages = [("start", ["Erika Muster", ("key", "Tab"), ADDRESS, ("key", "Tab"), PASSWORD]), ("lookup", [("wait", 3)]),
                 ("incoming", incoming_keys), ("outgoing", ["localhost:%d" % self.provider.smtp_port]),
                 ("login", [USER]), ("account-name", [])]
        for name, entries in pages:
            for entry in entries:
                if isinstance(entry, str):
                    self.desktop.type(wizard, entry)
                elif entry[0] == "wait":
                    time.sleep(entry[1])
                else:
                    self.desktop.key(wizard, entry[1])
            self.desktop.picture("wizard-" + name, wizard)
            self.desktop.key(wizard, "Return")
        for server in (self.INCOMING.upper(), "SMTP"):
            dialog = self.desktop.wait_for(r"^Zertifikat prüfen", timeout=60, why="(the %s server's certificate)" % server)
            self.desktop.picture("certificate-" + server, dialog)
            self.desktop.key(dialog, "alt+v")
            self.desktop.wait_closed(dialog)
        time.sleep(3)
        self.assertFalse(self.desktop.find(r"^Zertifikat prüfen"), "a certificate was asked for a third time")
        self.desktop.picture("wizard-connection-test", wizard)
        self.desktop.key(wizard, "alt+f")
        self.desktop.wait_gone(r"^Assistent zur Einrichtung")
        manager = self.desktop.wait_for(r"Mailkonten$")
        self.desktop.picture("accounts-manager", manager)
        self.desktop.key(manager, "Escape")
        self.desktop.wait_gone(r"Mailkonten$")

    def receive(self):
        self.key(MAIN, "alt+n", "e")
        dialog = self.desktop.wait_for(r"^Nachrichten empfangen$", why="(the Receive dialog)")
        self.desktop.picture("receive-dialog", dialog)
        return dialog

    def wait_for_receive(self):
        """Until the agent's window has closed for good (the dialog and the agent share a title)."""
        deadline = time.monotonic() + 90
        gone_since = None
        while time.monotonic() < deadline:
            self.assertFalse(self.desktop.find(r"Zertifikat prüfen"), "a trusted server asked again for its certificate")
            if self.desktop.find(r"^Nachrichten empfangen"):
                gone_since = None
            elif gone_since is None:
                gone_since = time.monotonic()
            elif time.monotonic() - gone_since > 3:
                self.picture("received")
                return
            time.sleep(0.3)
        self.picture("still-receiving")
        self.fail("the agent did not finish receiving within 90 s")

    def open_message(self, subject):
        """The selected message in its window, opened from the main window with ctrl+o."""
        # Right after an import the main window may still be busy with it and let the key pass; now
        # and then the window manager calls the main window active while the input focus is elsewhere.
        for attempt in range(3):
            if attempt > 0:
                print("the main window ignored ctrl+o; setting the input focus", file=sys.stderr)
                self.desktop.give_input_focus(self.desktop.wait_for(MAIN))
            self.key(MAIN, "ctrl+o")
            try:
                viewer = self.desktop.wait_for("^" + subject + "$", timeout=10)
                break
            except AssertionError:
                pass
        else:
            viewer = self.desktop.wait_for("^" + subject + "$", timeout=1, why="(the message window)")
        self.desktop.picture("message-window", viewer)
        return viewer

    def inbox_text(self):
        with open(os.path.join(self.installation, "default", "Mail", "Posteingang.mbx"), "rb") as f:
            return f.read()
