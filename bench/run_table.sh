#!/bin/bash
# vorel table over the standard data (docs/PERFORMANCE.md, "Automatic
# tables"): the W1 rows printed as a table to PDF, once as a listing and
# once with a totals row per city and a grand total, each run RUNS times
# under /usr/bin/time -v. Prints the median wall time, the median peak
# resident set and the page count of each case.
#
#   bench/run_table.sh [ROWS] [RUNS]     (default 100000 3)
#
# Environment: VOREL (default build/bin/vorel), DATA_DIR (default
# /tmp/vorel_bench; a missing database is made with bench/gen_orders.py).
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/.." && pwd)
rows=${1:-100000}
runs=${2:-3}
vorel=${VOREL:-$root/build/bin/vorel}
data_dir=${DATA_DIR:-/tmp/vorel_bench}
db="$data_dir/orders_$(( rows / 1000 ))k.db"
[ -x "$vorel" ] || { echo "no tool at $vorel (build it, or set VOREL)" >&2; exit 2; }
mkdir -p "$data_dir"
[ -f "$db" ] || python3 "$here/gen_orders.py" --rows "$rows" --out "$db" >&2
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

sql="SELECT id, customer, city, order_date, qty, price, amount FROM orders ORDER BY city, id"
median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR + 1) / 2)]}'; }

echo "load average: $(cut -d' ' -f1-3 /proc/loadavg)"
printf '%-10s %8s %10s %8s\n' case wall_s peak_MB pages
for case in listing grouped; do
    extra=()
    [ "$case" = grouped ] && extra=(--group city --sum qty,amount)
    walls=() ; peaks=() ; pages=
    for ((i = 0; i < runs; i++)); do
        /usr/bin/time -v "$vorel" table "sqlite:$db?sql=$sql" -o "$out/$case.pdf" --title "Orders" \
            "${extra[@]}" >"$out/stdout" 2>"$out/time"
        walls+=("$(grep 'Elapsed (wall clock)' "$out/time" | awk -F': ' '{split($2, t, ":"); print (length(t) == 3 ? t[1] * 3600 + t[2] * 60 + t[3] : t[1] * 60 + t[2])}')")
        peaks+=("$(grep 'Maximum resident' "$out/time" | awk '{print int($6 / 1024)}')")
        pages=$(sed -E 's/.*: ([0-9]+) pages?.*/\1/' "$out/stdout")
    done
    printf '%-10s %8s %10s %8s\n' "$case" "$(printf '%s\n' "${walls[@]}" | median)" \
        "$(printf '%s\n' "${peaks[@]}" | median)" "$pages"
done
