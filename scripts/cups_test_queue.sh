#!/usr/bin/env bash
# A private CUPS server for the printing tests: its own configuration,
# spool and socket under one folder, so that the machine's own printers
# (and every other test, which measures pages on the virtual printer) are
# left alone. Idempotent and safe to call from several tests at once.
#
#   scripts/cups_test_queue.sh         start it when it is not running, add
#                                      the queues, print what the tests need
#   scripts/cups_test_queue.sh stop    stop it
#
# Output on success, one NAME=VALUE per line:
#   CUPS_SERVER=<socket>     what libcups clients (vorel, lpstat) are pointed at
#   PDF_DIR=<folder>         where the PDF queue's files appear
#   PDF_QUEUE=<name>         a cups-pdf queue that prints
#   REJECT_QUEUE=<name>      a queue that rejects every job
# Exit 3 with a reason on standard error when it cannot run here (not root,
# CUPS or cups-pdf missing); the tests then skip and say why.
set -euo pipefail

root="${VOREL_CUPS_ROOT:-/tmp/vorel-cups}"
sock="$root/cups.sock"
pdf_queue=VorelPDF
reject_queue=VorelReject

cannot() { echo "cups_test_queue: $*" >&2; exit 3; }

if [ "${1:-}" = "stop" ]; then
  if [ -f "$root/cupsd.pid" ]; then kill "$(cat "$root/cupsd.pid")" 2>/dev/null || true; fi
  exit 0
fi

[ "$(id -u)" -eq 0 ] || cannot "needs root to run cupsd and its cups-pdf backend"
command -v cupsd >/dev/null || cannot "cupsd is not installed (scripts/setup.sh installs cups)"
command -v lpadmin >/dev/null || cannot "lpadmin is not installed (cups-client)"
[ -x /usr/lib/cups/backend/cups-pdf ] || cannot "the cups-pdf backend is not installed (printer-driver-cups-pdf)"
ppd=""
for candidate in /usr/share/ppd/cups-pdf/CUPS-PDF_opt.ppd /usr/share/ppd/cups-pdf/CUPS-PDF_noopt.ppd; do
  [ -f "$candidate" ] && { ppd="$candidate"; break; }
done
[ -n "$ppd" ] || cannot "no cups-pdf PPD found"

mkdir -p "$root"/{etc,spool,spool/tmp,cache,state,log}
exec 9>"$root/lock"
flock 9

running() { [ -f "$root/cupsd.pid" ] && kill -0 "$(cat "$root/cupsd.pid")" 2>/dev/null && [ -S "$sock" ]; }

if ! running; then
  cat > "$root/etc/cupsd.conf" <<CONF
Listen $sock
LogLevel warn
WebInterface No
Browsing No
DefaultAuthType None
<Location />
  Order allow,deny
  Allow all
</Location>
<Location /admin>
  Order allow,deny
  Allow all
</Location>
<Policy default>
  <Limit All>
    Order deny,allow
  </Limit>
</Policy>
CONF
  cat > "$root/etc/cups-files.conf" <<CONF
ServerRoot $root/etc
RequestRoot $root/spool
TempDir $root/spool/tmp
CacheDir $root/cache
StateDir $root/state
ErrorLog $root/log/error_log
AccessLog $root/log/access_log
PageLog $root/log/page_log
User lp
Group lp
SystemGroup root lpadmin
CONF
  chmod 755 "$root" "$root/spool/tmp"
  rm -f "$sock"
  # In the foreground of a session of its own, so its process id is known
  # and no terminal or test runner owns it; wait for its socket
  # (generously: CI machines are loaded).
  # Without the lock's descriptor, which it would otherwise hold for good.
  setsid cupsd -f -c "$root/etc/cupsd.conf" -s "$root/etc/cups-files.conf" </dev/null >>"$root/log/cupsd.out" 2>&1 9>&- &
  echo $! > "$root/cupsd.pid"
  for _ in $(seq 1 300); do
    [ -S "$sock" ] && break
    sleep 0.1
  done
  [ -S "$sock" ] || cannot "cupsd did not start (see $root/log/error_log)"
fi

export CUPS_SERVER="$sock"
# lpadmin warns on every call that PPD drivers are deprecated; only a
# failure is worth showing.
add_queue() {
  local out
  lpstat -p "$1" >/dev/null 2>&1 && return 0
  out="$(lpadmin -p "$1" -E -v cups-pdf:/ -P "$ppd" -o PageSize=A4 2>&1)" || cannot "lpadmin $1: $out"
}
add_queue "$pdf_queue"
add_queue "$reject_queue"
cupsreject "$reject_queue"
lpadmin -d "$pdf_queue"

# cups-pdf writes where its configuration's "Out" says, ${HOME} being the
# home of the job's owner (root here).
out="$(sed -n 's/^[[:space:]]*Out[[:space:]]\+//p' /etc/cups/cups-pdf.conf | tail -n 1)"
[ -n "$out" ] || out='/var/spool/cups-pdf/${USER}'
home="$(getent passwd root | cut -d: -f6)"
out="${out//\$\{HOME\}/$home}"
out="${out//\$\{USER\}/root}"

echo "CUPS_SERVER=$sock"
echo "PDF_DIR=$out"
echo "PDF_QUEUE=$pdf_queue"
echo "REJECT_QUEUE=$reject_queue"
