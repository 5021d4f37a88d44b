#!/usr/bin/python3
"""A new user's day with an IMAP account, walked with the keyboard through the built programs.

The wizard sets up an IMAP account with TLS from the first byte (trusting both certificates), the
main window receives through the agent, a reply is sent at once and its copy lands in the server's
Sent folder, the server manager looks into the mailbox, and a second receive brings nothing twice.

    tst_imapday.py DIST_DIR TESTSERVERS_DIR [PICTURE_DIR]
"""

import os
import sys
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from day import MAIN, Day  # noqa: E402


def message(number, subject):
    return ("From: Jan Kunde <jan@example.org>\r\nTo: Erika Muster <erika@example.com>\r\n"
            "Subject: " + subject + "\r\nMessage-ID: <imap." + str(number) + "@example.org>\r\n"
            "Date: Tue, 08 Dec 2026 1" + str(number) + ":00:00 +0100\r\nMIME-Version: 1.0\r\n"
            "Content-Type: text/plain; charset=utf-8\r\nContent-Transfer-Encoding: 8bit\r\n\r\n"
            "Hallo Erika,\r\nNachricht " + str(number) + " über IMAP.\r\n").encode("utf-8")


SUBJECT = "Termin am Montag"


class ImapDay(Day):
    DIST, SCRIPTS = sys.argv[1], sys.argv[2]
    PICTURES = sys.argv[3] if len(sys.argv) > 3 else os.environ.get("LUMARO_TEST_SCREENSHOTS") or os.path.abspath("imapday-pictures")
    MESSAGES = [message(1, SUBJECT), message(2, "=?utf-8?q?Gr=C3=BC=C3=9Fe?=")]
    INCOMING = "imap"

    def assert_each_message_once(self):
        inbox = self.inbox_text()
        for number in (1, 2):
            self.assertEqual(inbox.count(b"Message-ID: <imap.%d@example.org>" % number), 1, "message %d" % number)

    def test_1_wizard_sets_up_imap(self):
        self.start_main()
        self.key(r"^Lumaro Mail$", "Return")
        # Protocol IMAP, then "host:port" and TLS from the first byte (the second choice).
        self.walk_wizard([("key", "alt+r"), ("key", "Down"), ("key", "alt+i"), "localhost:%d" % self.provider.tls_port,
                          ("key", "alt+v"), ("key", "Down")])
        self.assertIn("IncomingProtocol=imap", self.registry())
        self.assert_both_pins()
        self.done()

    def test_2_receive(self):
        self.desktop.key(self.receive(), "Return")
        self.wait_for_receive()
        self.assert_main_alive("after receiving over IMAP")
        self.assert_each_message_once()
        self.done()

    def test_3_reply_lands_in_sent_folder(self):
        viewer = self.open_message(SUBJECT)
        self.desktop.key(viewer, "a")
        reply = self.desktop.wait_for("^Re: " + SUBJECT + "$", why="(the reply window)")
        self.desktop.type(reply, "Montag passt.\n")
        self.desktop.key(reply, "ctrl+Return")
        _, sent = self.provider.wait_for_sent(1)[0]
        deadline = time.monotonic() + 30
        while not self.provider.imap_folder("Sent") and time.monotonic() < deadline:
            time.sleep(0.3)
        copies = self.provider.imap_folder("Sent")
        self.assertEqual(len(copies), 1, "one copy of the reply in the Sent folder")
        flags, text = copies[0]
        self.assertIn("\\Seen", flags)
        self.assertIn(b"Message-ID: " + sent["Message-ID"].encode(), text)
        self.assert_main_alive("after the reply was sent")
        self.done()

    def test_4_server_manager_looks_in(self):
        self.key(MAIN, "alt+n", "m")
        connect = self.desktop.wait_for(r"verbinden — Lumaro Mail Server Manager$", why="(the connect dialog)")
        # Past "Quick-Connect", tick the account and connect.
        self.desktop.key(connect, "Tab", "space", "alt+v")
        manager = self.desktop.wait_for(r"^Lumaro Mail Server Manager$")
        time.sleep(3)
        self.desktop.picture("server-manager", manager)
        self.assertEqual(len(self.provider.imap_folder("INBOX")), 2, "looking deletes nothing")
        self.desktop.close_box(manager)
        self.desktop.wait_gone(r"^Lumaro Mail Server Manager")
        self.assert_main_alive("after the server manager was closed")
        self.done()

    def test_5_second_receive_brings_nothing_twice(self):
        self.desktop.key(self.receive(), "Return")
        self.wait_for_receive()
        self.assert_each_message_once()
        self.assertEqual(len(self.provider.imap_folder("INBOX")), 2, "the messages stay on the server")
        self.done()


if __name__ == "__main__":
    unittest.main(argv=[sys.argv[0], "-v"])
