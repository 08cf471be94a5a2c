#!/usr/bin/env bash
# A private PostgreSQL server for the tests: its own cluster in a folder of
# its own, reached only through a Unix socket in that folder (no network),
# trusting local connections. Started by scripts/test.sh; by hand:
#
#   eval "$(scripts/pg_test_cluster.sh start)"   # exports VOREL_TEST_PGHOST
#   ctest --test-dir build -R Postgres
#   scripts/pg_test_cluster.sh stop
#
# "start" prints the export line on standard output (and nothing else) and
# reuses a server already running in the folder. initdb refuses to run as
# root, so as root the cluster belongs to the "postgres" user. Exits
# non-zero with the reason on standard error when no server can be started;
# the tests that need one then skip and say why.
set -euo pipefail

folder="${VOREL_PG_FOLDER:-/tmp/vorel-pg-$(id -u)}"
data="$folder/data"

bin=""
for candidate in $(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V -r); do
  if [ -x "$candidate/initdb" ] && [ -x "$candidate/pg_ctl" ]; then bin="$candidate"; break; fi
done
if [ -z "$bin" ]; then
  echo "pg_test_cluster: PostgreSQL is not installed (apt-get install postgresql)" >&2
  exit 1
fi

# Runs a server program as the cluster's owner.
as_owner() {
  if [ "$(id -u)" -eq 0 ]; then
    runuser -u postgres -- "$@"
  else
    "$@"
  fi
}

case "${1:-start}" in
  start)
    mkdir -p "$folder"
    if [ "$(id -u)" -eq 0 ]; then
      if ! id postgres >/dev/null 2>&1; then
        echo "pg_test_cluster: running as root and there is no postgres user to own the cluster" >&2
        exit 1
      fi
      chown postgres: "$folder"
      chmod 0755 "$folder"
    fi
    if ! as_owner "$bin/pg_ctl" -D "$data" status >/dev/null 2>&1; then
      if [ ! -f "$data/PG_VERSION" ]; then
        as_owner "$bin/initdb" -D "$data" -U postgres --auth=trust -E UTF8 --locale=C.UTF-8 --no-sync \
          >"$folder/initdb.log" 2>&1 || { cat "$folder/initdb.log" >&2; exit 1; }
      fi
      # No TCP at all; the socket in the folder; durability is not needed.
      as_owner "$bin/pg_ctl" -D "$data" -l "$folder/server.log" -w -t 60 \
        -o "-c listen_addresses='' -k $folder -c fsync=off -c synchronous_commit=off -c full_page_writes=off" \
        start >/dev/null || { tail -n 20 "$folder/server.log" >&2; exit 1; }
    fi
    echo "export VOREL_TEST_PGHOST=$folder"
    ;;
  stop)
    if [ -f "$data/PG_VERSION" ]; then
      as_owner "$bin/pg_ctl" -D "$data" -m fast -w stop >/dev/null 2>&1 || true
    fi
    ;;
  *)
    echo "usage: $0 start|stop" >&2
    exit 2
    ;;
esac
