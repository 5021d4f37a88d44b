# Shared part of the POP3 benchmark scripts, sourced by them: a work directory and a private Dovecot
# that are removed on exit, whatever ends the script.
#   start_bench_pop3 MAILDIR [CERTS]   sets pop3_port (and with CERTS tls_port) and warms the server up
# A script that starts more servers lists their process ids in extra_pids.
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
servers="$root/scripts/testservers"
python=/usr/bin/python3
work="$(mktemp -d)"
pop3_pid="" pop3_dir="" extra_pids=()

cleanup() {
    [ -n "$pop3_pid" ] && "$servers/stop-server" "$pop3_pid" "$pop3_dir"
    for pid in "${extra_pids[@]}"; do "$servers/stop-server" "$pid"; done
    rm -rf "$work"
}
trap cleanup EXIT

start_bench_pop3() {
    local certificates=()
    [ -n "${2:-}" ] && certificates=("$2")
    read -r pop3_port pop3_pid pop3_dir tls_port < <("$servers/start-pop3" bench secret "$1" "${certificates[@]}")
    # Dovecot indexes the mailbox in the first session: let a warm-up session pay for that.
    $python -c "import poplib; p = poplib.POP3('127.0.0.1', $pop3_port); p.user('bench'); p.pass_('secret'); p.uidl(); p.list(); p.quit()"
}
