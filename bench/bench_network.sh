#!/usr/bin/env bash
# Network benchmark: retrieves 5,000 messages from a private Dovecot with TqmRemotePOP and with
# Python's poplib, and sends 2,000 messages in one session with TqmSMTP and with Python's smtplib to
# Postfix's smtp-sink, all on 127.0.0.1. Installs postfix (for smtp-sink, unconfigured and not
# started) when it is missing and no other mail transport agent would be replaced.
#   bench/bench_network.sh [build directory]   (default: build/ of the source tree)
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/pop3_bench.sh"
build="${1:-$root/build}"
bench="$build/bench/bench_network"
if [ ! -x "$bench" ]; then
    echo "no bench_network in $build/bench: build the target bench_network first" >&2
    exit 2
fi
pop3_count=5000
smtp_count=2000

if [ ! -x /usr/sbin/smtp-sink ]; then
    if dpkg-query -W -f='${Provides}\n' 2>/dev/null | grep -q mail-transport-agent; then
        echo "another mail transport agent is installed: not installing postfix for smtp-sink" >&2
        exit 2
    fi
    sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    echo "postfix postfix/main_mailer_type select No configuration" | $sudo debconf-set-selections
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends postfix >/dev/null
fi

$python "$root/bench/pop3_corpus.py" "$work/mail" "$pop3_count"

start_bench_pop3 "$work/mail"
echo "== POP3: $pop3_count messages from Dovecot on 127.0.0.1:$pop3_port"
"$bench" pop3 "127.0.0.1:$pop3_port" bench secret
# The reference as asked (RETR only), and with the LIST our client sends before each RETR.
$python "$root/bench/poplib_retr.py" plain "$pop3_port"

sink_port="$("$servers/free-port")"
user_option=()
[ "$(id -u)" -eq 0 ] && user_option=(-u nobody)
/usr/sbin/smtp-sink "${user_option[@]}" "127.0.0.1:$sink_port" 100 &
extra_pids+=("$!")
sleep 0.3
message="$work/mail/00010.eml"
echo "== SMTP: $smtp_count messages of $(stat -c %s "$message") bytes to smtp-sink on 127.0.0.1:$sink_port"
"$bench" smtp "127.0.0.1:$sink_port" "$smtp_count" "$message"
$python - "$sink_port" "$smtp_count" "$message" <<'PY'
import smtplib, sys, time
port, count, path = int(sys.argv[1]), int(sys.argv[2]), sys.argv[3]
data = open(path, "rb").read()
start = time.time()
smtp = smtplib.SMTP("127.0.0.1", port)
smtp.helo()
for _ in range(count):
    smtp.sendmail("sender@example.org", ["rcpt@example.org"], data)
smtp.quit()
elapsed = time.time() - start
print("%-34s %6d msgs %8.1f MB %7.2f s %9.0f msgs/s %7.1f MB/s" % ("Python smtplib sendmail", count, count * len(data) / 1e6, elapsed, count / elapsed, count * len(data) / 1e6 / elapsed))
PY
