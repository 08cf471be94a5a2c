#!/bin/bash
# The standard work W1 ("listing") and W2 ("grouped") end to end through the
# command-line tool, as a user runs it:
#
#   vorel render bench/forms/w1.kvx --data Orders=sqlite:orders_100k.db -o out.pdf
#
# at 10,000 and 100,000 rows, to PDF and to CSV, each run RUNS times under
# /usr/bin/time -v. Prints one table row per case: the median wall time of
# the whole process, the median peak resident set, and the medians of the
# phases the tool's summary line reports ("OUT: N pages in T s (load a s,
# prepare b s, export c s)"), with the load average before the first run.
#
#   bench/run_e2e.sh [RUNS]          (default 3)
#
# Environment: WORKS (default "w1 w2"), ROWS (default "10000 100000"),
# FORMATS (default "pdf csv"; any extension vorel render takes, e.g. "bmp
# png"), EXTRA (further render arguments, e.g. "--separate" for one file
# per page, as the bitmap formats need for long reports),
# VOREL (the tool, default build/bin/vorel), DATA_DIR (where
# the databases are kept, default /tmp/vorel_bench; missing ones are
# generated with bench/gen_orders.py and every one is checked against the
# fingerprints of the benchmark description before it is used).
# The forms are written by `w1_w2 W1|W2 --save-form` (bench/w1_w2.cpp).
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/.." && pwd)
runs=${1:-3}
vorel=${VOREL:-$root/build/bin/vorel}
data_dir=${DATA_DIR:-/tmp/vorel_bench}
works=${WORKS:-w1 w2}
row_counts=${ROWS:-10000 100000}
formats=${FORMATS:-pdf csv}
extra=${EXTRA:-}
[ -x "$vorel" ] || { echo "no tool at $vorel (build it, or set VOREL)" >&2; exit 2; }
[ -x /usr/bin/time ] || { echo "GNU time (/usr/bin/time) is needed" >&2; exit 2; }
mkdir -p "$data_dir"
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

# Rows, file and the fingerprints the benchmark description gives.
declare -A expected=(
    [10000]="250450605.29 38c9d7039eb2723ced4c9dc049867bd9cec7fdfdbbb424a86cbce8c02d489aca"
    [100000]="2488134846.70 fa83919a151b01935ad69a34c8ef156e9e56d2928528a93d1b6a967cf1060b69"
)
db_of() { echo "$data_dir/orders_$(( $1 / 1000 ))k.db"; }

# The fingerprint of a database as the generator defines it (sum of amount,
# SHA-256 of the rows in stored order), read back from the file.
fingerprint() {
    python3 - "$1" <<'PY'
import hashlib, sqlite3, sys
con = sqlite3.connect(sys.argv[1])
h = hashlib.sha256()
total = 0
for i, cust, city, date, qty, price in con.execute(
        "SELECT id, customer, city, order_date, qty, price FROM orders ORDER BY rowid"):
    cents = round(price * 100)
    total += qty * cents
    h.update(f"{i}|{cust}|{city}|{date}|{qty}|{cents}|{qty * cents}\n".encode())
print(f"{total // 100}.{total % 100:02d} {h.hexdigest()}")
PY
}

for rows in $row_counts; do
    db=$(db_of $rows)
    if [ ! -f "$db" ]; then
        echo "generating $db" >&2
        python3 "$here/gen_orders.py" --rows "$rows" --out "$db" >&2
    fi
    got=$(fingerprint "$db")
    if [ "$got" != "${expected[$rows]}" ]; then
        echo "$db: fingerprint $got, expected ${expected[$rows]}" >&2
        exit 1
    fi
done

results="$out/results.txt"
: > "$results"
for work in $works; do
    for rows in $row_counts; do
        for format in $formats; do
            load=$(cut -d' ' -f1 /proc/loadavg)
            for run in $(seq 1 "$runs"); do
                target="$out/$work.$format"
                # shellcheck disable=SC2086 # EXTRA is a list of arguments
                /usr/bin/time -v "$vorel" render "$root/bench/forms/$work.kvx" \
                    --data "Orders=sqlite:$(db_of $rows)" -o "$target" $extra > "$out/summary.txt" 2> "$out/time.txt"
                summary=$(grep -E "pages? in" "$out/summary.txt" | tail -1)
                wall=$(grep "Elapsed (wall clock)" "$out/time.txt" | awk '{print $NF}')
                rss=$(grep "Maximum resident set size" "$out/time.txt" | awk '{print $NF}')
                echo "$work|$rows|$format|$load|$wall|$rss|$summary" >> "$results"
                rm -f "$target" "$out/$work"*".$format"
            done
        done
    done
done

python3 - "$results" <<'PY'
import re, statistics, sys
cases = {}
for line in open(sys.argv[1]):
    work, rows, fmt, load, wall, rss, summary = line.rstrip("\n").split("|", 6)
    parts = wall.split(":")  # m:ss.ss or h:mm:ss
    seconds = sum(float(p) * 60 ** i for i, p in enumerate(reversed(parts)))
    m = re.search(r"(\d+) pages? in ([\d.]+) s \(load ([\d.]+) s, prepare ([\d.]+) s, export ([\d.]+) s\)", summary)
    if not m:
        sys.exit(f"no summary line for {work} {rows} {fmt}: {summary!r}")
    key = (work.upper(), int(rows), fmt.upper())
    c = cases.setdefault(key, {"load": load, "wall": [], "rss": [], "pages": m.group(1), "phases": []})
    c["wall"].append(seconds)
    c["rss"].append(int(rss) / 1024)
    c["phases"].append(tuple(float(m.group(i)) for i in (3, 4, 5)))
print("| work | rows | to | pages | wall, median (min-max) | peak RSS | form load | prepare | export | load avg |")
print("|---|---|---|---|---|---|---|---|---|---|")
for (work, rows, fmt), c in cases.items():
    med = statistics.median
    phases = [med(p[i] for p in c["phases"]) for i in range(3)]
    print(f"| {work} | {rows:,} | {fmt} | {c['pages']} | {med(c['wall']):.2f} s ({min(c['wall']):.2f}-{max(c['wall']):.2f}) "
          f"| {med(c['rss']):.0f} MB | {phases[0]:.2f} s | {phases[1]:.2f} s | {phases[2]:.2f} s | {c['load']} |")
PY
