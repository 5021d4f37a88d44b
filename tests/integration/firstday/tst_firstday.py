#!/usr/bin/python3
"""A new user's first day, walked with the keyboard through the built programs on a private X display.

First start on an empty installation, the account wizard (trusting the POP3 and the SMTP server's
certificates as they come up), receive, read, reply and send at once, reply and close without
sending, forward with an attachment, a mailto: hand-over from outside, and a restart that must find
the ticked account and both trusted certificates again. The provider requires STLS, STARTTLS and
SMTP AUTH. What reached the SMTP server is checked with Python's email package.

    tst_firstday.py DIST_DIR TESTSERVERS_DIR [PICTURE_DIR]

Pictures of every step go to PICTURE_DIR (default: $LUMARO_TEST_SCREENSHOTS, else ./firstday-pictures).
"""

import os
import subprocess
import sys
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from day import ADDRESS, MAIN, Day  # noqa: E402

ORIGINAL_ID = "<angebot.7@example.org>"
ORIGINAL = (
    "From: Jan Kunde <jan@example.org>\r\n"
    "To: Erika Muster <erika@example.com>\r\n"
    "Subject: Angebot =?utf-8?q?f=C3=BCr_den_Garten?=\r\n"
    "Message-ID: " + ORIGINAL_ID + "\r\n"
    "References: <anfrage.3@example.com>\r\n"
    "Date: Tue, 08 Dec 2026 10:00:00 +0100\r\n"
    "MIME-Version: 1.0\r\n"
    "Content-Type: text/plain; charset=utf-8\r\n"
    "Content-Transfer-Encoding: 8bit\r\n"
    "\r\n"
    "Hallo Erika,\r\nanbei unser Angebot für die Gartenmöbel.\r\nGrüße, Jan\r\n").encode("utf-8")
ORIGINAL_SUBJECT = "Angebot für den Garten"
# "Sofort senden" in the compose window.
SEND_NOW = "ctrl+Return"


class FirstDay(Day):
    DIST, SCRIPTS = sys.argv[1], sys.argv[2]
    PICTURES = sys.argv[3] if len(sys.argv) > 3 else os.environ.get("LUMARO_TEST_SCREENSHOTS") or os.path.abspath("firstday-pictures")
    MESSAGES = [ORIGINAL]

    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.attachment = os.path.join(cls.work, "Gartenplan.bin")
        with open(cls.attachment, "wb") as f:
            f.write(bytes(range(256)) * 40)

    # --- the day, in order -------------------------------------------------------------------

    def test_1_first_start_and_wizard(self):
        self.start_main()
        question = self.desktop.wait_for(r"^Lumaro Mail$", why="(the question for a first account)")
        self.desktop.picture("first-start-question", question)
        self.desktop.key(question, "Return")
        # "host:port" in the server field fills the port field too.
        self.walk_wizard(["localhost:%d" % self.provider.pop3_port])
        self.assert_both_pins()
        self.done()

    def test_2_receive_and_read(self):
        dialog = self.receive()
        # The only account comes ticked.
        self.desktop.key(dialog, "Return")
        self.wait_for_receive()
        # Keys go to the main window again without a click.
        self.assertEqual(self.desktop.focused(), self.desktop.wait_for(MAIN))
        self.open_original()
        self.done()

    def open_original(self):
        return self.open_message(ORIGINAL_SUBJECT)

    def send_now(self, window):
        self.desktop.key(window, SEND_NOW)

    def test_3_reply_send_now(self):
        self.desktop.key(self.desktop.wait_for("^" + ORIGINAL_SUBJECT + "$"), "a")
        reply = self.desktop.wait_for("^Re: " + ORIGINAL_SUBJECT + "$", why="(the reply window)")
        self.desktop.type(reply, "Danke, Jan! Bis Freitag.\n")
        self.desktop.picture("reply", reply)
        self.send_now(reply)
        recipients, message = self.provider.wait_for_sent(1)[0]
        self.desktop.wait_gone("^Re: ")
        self.assert_main_alive("after the reply was sent")
        self.assertEqual(recipients, ["jan@example.org"])
        self.assertEqual(message["Subject"], "Re: " + ORIGINAL_SUBJECT)
        self.assertEqual(message["In-Reply-To"], ORIGINAL_ID)
        self.assertEqual(message["References"].split(), ["<anfrage.3@example.com>", ORIGINAL_ID])
        self.assertRegex(message["Message-ID"], r"^<[^@<>\s]+@example\.com>$")
        text = message.get_content()
        self.assertIn("Danke, Jan! Bis Freitag.", text)
        self.assertIn("Angebot für die Gartenmöbel", text)
        self.done()
    def test_4_reply_closed_without_sending(self):
        for close in ("Escape", "close box"):
            self.desktop.key(self.open_original(), "a")
            reply = self.desktop.wait_for("^Re: " + ORIGINAL_SUBJECT + "$")
            self.desktop.type(reply, "Nur ein Entwurf")
            if close == "Escape":
                self.desktop.key(reply, "Escape")
            else:
                self.desktop.close_box(reply)
            question = self.desktop.wait_for(r"^Lumaro Mail(?! 3\.20$)", why="(the question to keep the text)")
            self.desktop.picture("keep-text-question", question)
            self.desktop.key(question, "n")
            self.desktop.wait_gone("^Re: ")
            time.sleep(1)
            self.assert_main_alive("after a reply window closed by %s without sending" % close)
        self.assertEqual(len(self.provider.sent_messages()), 1)
        self.done()
    def test_5_forward_with_attachment(self):
        self.desktop.key(self.open_original(), "f")
        forward = self.desktop.wait_for("^(WG|Fwd?): " + ORIGINAL_SUBJECT + "$", why="(the forward window)")
        self.desktop.type(forward, "bob@example.net")
        self.desktop.key(forward, "alt+d", "h", "h")
        chooser = self.desktop.wait_for(r"^(Öffnen|Open)$", why="(the file chooser)")
        self.desktop.type(chooser, self.attachment)
        self.desktop.key(chooser, "Return")
        self.desktop.wait_gone(r"^(Öffnen|Open)$")
        self.desktop.picture("forward", forward)
        self.send_now(forward)
        recipients, message = self.provider.wait_for_sent(2)[1]
        self.assert_main_alive("after the forward was sent")
        self.assertEqual(recipients, ["bob@example.net"])
        self.assertIn(ORIGINAL_ID, message["References"].split())
        self.assertRegex(message["Message-ID"], r"^<[^@<>\s]+@example\.com>$")
        attachments = [part for part in message.iter_attachments() if part.get_filename() == "Gartenplan.bin"]
        self.assertEqual(len(attachments), 1, "the forward carries the attached file")
        with open(self.attachment, "rb") as f:
            self.assertEqual(attachments[0].get_content(), f.read())
        self.done()
    def test_6_mailto_from_outside(self):
        subprocess.run([os.path.join(self.installation, "lumaro"), "mailto:bob@example.net?subject=Gartenfest%20am%20Samstag"],
                       env=self.environment, timeout=30, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        compose = self.desktop.wait_for("^Gartenfest am Samstag$", why="(the compose window of the mailto: link)")
        self.desktop.key(compose, "Tab", "Tab")
        self.desktop.type(compose, "Kommst du auch?")
        self.desktop.picture("mailto-compose", compose)
        self.send_now(compose)
        recipients, message = self.provider.wait_for_sent(3)[2]
        self.assert_main_alive("after the mailto: message was sent")
        self.assertEqual(recipients, ["bob@example.net"])
        self.assertEqual(message["Subject"], "Gartenfest am Samstag")
        self.assertIn("Kommst du auch?", message.get_content())
        self.done()
    def test_7_restart_keeps_ticks_and_pins(self):
        self.key(MAIN, "Escape")
        self.main.wait(30)
        self.start_main()
        dialog = self.receive()
        # The account ticked yesterday is ticked again: Return receives at once.
        self.desktop.key(dialog, "Return")
        self.wait_for_receive()
        self.assert_main_alive("after receiving again")
        self.assertIn("PopServer1=" + ADDRESS, self.registry())
        self.assert_both_pins()
        self.done()


if __name__ == "__main__":
    unittest.main(argv=[sys.argv[0], "-v"])
