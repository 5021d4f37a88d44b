"""The provider of the first day: a Dovecot POP3 server that requires STLS (or a Dovecot IMAP server
that requires TLS) and an SMTP server that requires STARTTLS and AUTH, on 127.0.0.1, each with its
own certificate that nobody trusts yet."""

import email
import email.policy
import imaplib
import os
import ssl
import subprocess
import time


class Provider:
    def __init__(self, scripts, work, user, password, messages, incoming="pop3"):
        self.scripts = scripts
        self.user = user
        self.password = password
        self.received = os.path.join(work, "smtp-received")
        os.makedirs(self.received)
        self.incoming_certificates = self._certificates(os.path.join(work, incoming + "-certificates"))
        smtp_certificates = self._certificates(os.path.join(work, "smtp-certificates"))
        self._pop = self._start_incoming("start-" + incoming, os.path.join(work, incoming + "-mail"), messages,
                                         self.incoming_certificates)
        self._smtp = subprocess.Popen(
            [os.path.join(scripts, "smtp-server.py"), self.received, "--user", user, "--password", password,
             "--certs", smtp_certificates, "--auth-required"],
            stdout=subprocess.PIPE, text=True)
        fields = self._smtp.stdout.readline().split()
        if len(fields) != 4:
            raise AssertionError("the SMTP test server did not start")
        self.smtp_port = int(fields[0])

    def _certificates(self, directory):
        # make-ca's server certificate is signed by a private CA that this test does not trust,
        # so the programs meet an unknown certificate as a person meets a self-signed one.
        subprocess.run([os.path.join(self.scripts, "make-ca"), directory], check=True)
        return directory

    def _start_incoming(self, script, source, messages, certificates):
        os.makedirs(source)
        for number, content in enumerate(messages, 1):
            with open(os.path.join(source, "%03d.eml" % number), "wb") as f:
                f.write(content)
        output = subprocess.run([os.path.join(self.scripts, script), self.user, self.password, source, certificates],
                                check=True, capture_output=True, text=True).stdout.split()
        # STLS or STARTTLS on the first port, TLS from the first byte on the second.
        self.pop3_port, self.tls_port = int(output[0]), int(output[3])
        return output[1], output[2]

    def stop(self):
        subprocess.run([os.path.join(self.scripts, "stop-server"), *self._pop])
        self._smtp.terminate()
        self._smtp.wait(10)

    def sent_messages(self):
        """What the SMTP server accepted, in order: (recipients, parsed message)."""
        messages = []
        number = 1
        while os.path.exists(os.path.join(self.received, "%d.envelope" % number)):
            with open(os.path.join(self.received, "%d.envelope" % number)) as f:
                recipients = f.read().split("\n")[1:-1]
            with open(os.path.join(self.received, "%d.eml" % number), "rb") as f:
                parsed = email.message_from_binary_file(f, policy=email.policy.default)
            messages.append((recipients, parsed))
            number += 1
        return messages

    def wait_for_sent(self, count, timeout=60):
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            found = self.sent_messages()
            if len(found) >= count:
                return found
            time.sleep(0.3)
        raise AssertionError("the SMTP server holds %d messages, expected %d" % (len(self.sent_messages()), count))

    def imap_folder(self, name):
        """The flags and texts of the messages in one folder of the IMAP server, looked at read-only."""
        context = ssl.create_default_context(cafile=os.path.join(self.incoming_certificates, "ca.pem"))
        with imaplib.IMAP4_SSL("localhost", self.tls_port, ssl_context=context) as imap:
            imap.login(self.user, self.password)
            imap.select(name, readonly=True)
            _, data = imap.uid("FETCH", "1:*", "(FLAGS BODY.PEEK[])")
            return [(item[0].decode(), item[1]) for item in data if isinstance(item, tuple)]
