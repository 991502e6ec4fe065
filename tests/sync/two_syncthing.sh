#!/usr/bin/env bash
# Two machines, one data folder, a real sync tool: two Syncthing instances on 127.0.0.1 share the
# data folder of two homes. In each round both are paused, each home's companion downloads a
# day of its own (faked with faketime, quotes from quotesim), and the pair resumes, so that both
# changed the same history: Syncthing keeps the losing side as a conflict copy. The companion's
# next run merges it. A last phase sets maxConflicts to 0, where Syncthing drops the losing side
# without a copy, and shows that a rebuild from the synced page archive brings the day back.
# Passes when both homes end with the same histories, the union of every date written, and no
# conflict copy.
# Usage: two_syncthing.sh BUILD_DIR WORK_DIR [ROUNDS]
# Exit 0: passed, 77: skipped (syncthing, faketime or a program missing), else failed.
set -uo pipefail

build=$1 work=$2 rounds=${3:-4}
sched=$build/src/app/rendaal-sched
quotesim=$build/tools/quotesim/quotesim
folder_id=rendaal
started=$(date +%s)

skip() {
    echo "SKIP: $*"
    exit 77
}
command -v syncthing >/dev/null || skip "syncthing is not installed (Debian: syncthing)"
command -v faketime >/dev/null || skip "faketime is not installed"
command -v curl >/dev/null || skip "curl is not installed"
[ -x "$sched" ] || skip "$sched is not built"
[ -x "$quotesim" ] || skip "$quotesim is not built"

pids=()
stop_all() {
    local p
    for p in "${pids[@]}"; do
        kill "$p" 2>/dev/null
    done
    wait 2>/dev/null
}
trap stop_all EXIT
fail() {
    echo "FAIL: $*" >&2
    exit 1
}

rm -rf "$work"
mkdir -p "$work"

free_port() {
    python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}

# One home per machine: its own settings, data folder (the synced one), trash and runtime folder.
home_env() {
    local h=$work/$1
    echo HOME="$h" XDG_CONFIG_HOME="$h/config" XDG_DATA_HOME="$h/data" XDG_CACHE_HOME="$h/cache" \
        XDG_RUNTIME_DIR="$h/run" http_proxy= https_proxy= HTTP_PROXY= no_proxy= \
        ASAN_OPTIONS=detect_leaks=0:verify_asan_link_order=0
}
data_of() { echo "$work/$1/data/Rendaal"; }

qport=$(free_port)
for m in A B; do
    mkdir -p "$work/$m/config/Rendaal" "$(data_of $m)" "$work/$m/run"
    chmod 700 "$work/$m/run"
    printf 'REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Rendaal\\Defaults]\r\n"IndexUrl"="http://127.0.0.1:%s"\r\n"OptionUrl"="http://127.0.0.1:%s"\r\n\r\n' \
        "$qport" "$qport" >"$work/$m/config/Rendaal/Rendaal.reg"
done

# Weekdays from Monday 2 November 2026 on; each round uses two, one per machine.
days=()
d=$(date -d 2026-11-02 +%s)
while [ ${#days[@]} -lt $((2 * rounds + 2)) ]; do
    [ "$(date -u -d "@$d" +%u)" -le 5 ] && days+=("$(date -u -d "@$d" +%F)")
    d=$((d + 86400))
done

quotesim_pid=
serve_day() {  # the market of one faked day
    [ -n "$quotesim_pid" ] && kill "$quotesim_pid" 2>/dev/null && wait "$quotesim_pid" 2>/dev/null
    ASAN_OPTIONS=detect_leaks=0:verify_asan_link_order=0 faketime "$1 12:00:00" "$quotesim" --port "$qport" --seed 7 >"$work/quotesim.log" 2>&1 &
    quotesim_pid=$!
    pids+=("$quotesim_pid")
    for _ in $(seq 100); do
        grep -q "quotesim:" "$work/quotesim.log" 2>/dev/null && return 0
        sleep 0.1
    done
    fail "quotesim did not start: $(cat "$work/quotesim.log")"
}

# A straddle of the February 2027 series at the first day's level, in both rules files.
serve_day "${days[0]}"
level=$(sed -n 's/.*(AEX \([0-9]*\).*/\1/p' "$work/quotesim.log")
[ -n "$level" ] || fail "no index level from quotesim: $(cat "$work/quotesim.log")"
strike=$(((level + 2) / 5 * 5))
s=$(printf '%05d.00' "$strike")
line="AEX 2702 $s $s; Put: feb 2027 $strike.00; Call: feb 2027 $strike.00; Straddle"
history=Straddle_AEX_2702_${s}_${s}.csv
# On one machine only: the other gets it by the first sync.
printf '%s\r\n' "$line" >"$(data_of A)/Regels.dat"
mkdir -p "$(data_of A)/.stfolder" "$(data_of B)/.stfolder"

# Syncthing: loopback only, no discovery, relays, NAT or usage reports.
declare -A st_port gui_port api_key device
for m in A B; do
    st_port[$m]=$(free_port)
    gui_port[$m]=$(free_port)
    api_key[$m]=key$RANDOM$RANDOM$m
    device[$m]=$(syncthing generate --home="$work/st$m" --no-default-folder --skip-port-probing 2>&1 |
        sed -n 's/.*Device ID: *//p')
    [ -n "${device[$m]}" ] || fail "syncthing generate gave no device id"
done
configure() {
    local m=$1 o=$2
    python3 - "$work/st$m/config.xml" "${st_port[$m]}" "${gui_port[$m]}" "${api_key[$m]}" \
        "${device[$m]}" "${device[$o]}" "${st_port[$o]}" "$(data_of "$m")" "$folder_id" <<'EOF'
import sys, xml.etree.ElementTree as ET
path, port, gui, key, me, other, other_port, data, fid = sys.argv[1:]
tree = ET.parse(path)
root = tree.getroot()
g = root.find("gui")
g.find("address").text = "127.0.0.1:" + gui
g.find("apikey").text = key
opts = root.find("options")
def setopt(name, value):
    for e in opts.findall(name):
        opts.remove(e)
    ET.SubElement(opts, name).text = value
setopt("listenAddress", "tcp://127.0.0.1:" + port)
for name in ("globalAnnounceEnabled", "localAnnounceEnabled", "relaysEnabled", "natEnabled",
             "startBrowser", "crashReportingEnabled", "restartOnWakeup"):
    setopt(name, "false")
setopt("urAccepted", "-1")
setopt("autoUpgradeIntervalH", "0")
setopt("reconnectionIntervalS", "1")
dev = ET.SubElement(root, "device", id=other, name="other", compression="metadata",
                    introducer="false")
ET.SubElement(dev, "address").text = "tcp://127.0.0.1:" + other_port
folder = ET.SubElement(root, "folder", id=fid, label=fid, path=data, type="sendreceive",
                       rescanIntervalS="3600", fsWatcherEnabled="false", ignorePerms="false",
                       autoNormalize="true")
for d in (me, other):
    ET.SubElement(folder, "device", id=d)
ET.SubElement(folder, "maxConflicts").text = "10"
tree.write(path)
EOF
}
configure A B
configure B A
for m in A B; do
    STNODEFAULTFOLDER=1 STNOUPGRADE=1 HOME="$work/$m" syncthing serve --home="$work/st$m" \
        --no-browser --no-restart --no-upgrade >"$work/syncthing-$m.log" 2>&1 &
    pids+=($!)
done

api() {  # machine method path [curl args]
    local m=$1 method=$2 path=$3
    shift 3
    curl -sf -X "$method" -H "X-API-Key: ${api_key[$m]}" "http://127.0.0.1:${gui_port[$m]}$path" "$@"
}
other() { [ "$1" = A ] && echo B || echo A; }
wait_until() {  # seconds description command...
    local limit=$1 what=$2
    shift 2
    local end=$(($(date +%s) + limit))
    until "$@"; do
        [ "$(date +%s)" -lt "$end" ] || fail "$what not within ${limit}s"
        sleep 0.5
    done
}
connected() {
    api A GET /rest/system/connections | grep -A12 "\"${device[B]}\"" | grep -q '"connected": true'
}
# Both scanned, nothing needed on either side, each sees the other complete, twice in a row.
settled_once() {
    local m
    for m in A B; do
        api "$m" POST "/rest/db/scan?folder=$folder_id" >/dev/null || return 1
    done
    for m in A B; do
        api "$m" GET "/rest/db/status?folder=$folder_id" | grep -q '"needTotalItems": 0' || return 1
        api "$m" GET "/rest/db/status?folder=$folder_id" | grep -q '"state": "idle"' || return 1
        api "$m" GET "/rest/db/completion?folder=$folder_id&device=${device[$(other $m)]}" |
            grep -q '"completion": 100' || return 1
    done
}
settled() { settled_once && sleep 1 && settled_once; }
pause() {
    local m
    for m in A B; do api "$m" POST "/rest/system/pause?device=${device[$(other $m)]}" >/dev/null; done
}
scan() {
    local m
    for m in A B; do api "$m" POST "/rest/db/scan?folder=$folder_id" >/dev/null; done
}
resume() {
    local m
    for m in A B; do api "$m" POST "/rest/system/resume?device=${device[$(other $m)]}" >/dev/null; done
    wait_until 60 "reconnection" connected
}

wait_until 60 "the Syncthing REST API" api A GET /rest/system/ping
wait_until 60 "the Syncthing REST API" api B GET /rest/system/ping
wait_until 60 "a connection between the instances" connected
wait_until 120 "the first sync" settled

written=()  # every date a companion wrote
companion() {  # machine day [args]: one run of the companion on that faked day
    local m=$1 day=$2 rc=0
    shift 2
    env $(home_env "$m") faketime "$day 12:00:00" "$sched" "$@" >>"$work/companion-$m.log" 2>&1 ||
        rc=$?
    echo "$m $day ${*:-download} exit $rc" >>"$work/runs.log"
    return $rc
}
download() {
    serve_day "$2"
    companion "$1" "$2" || fail "companion of $1 on $2 failed: $(tail -n 5 "$work/companion-$1.log")"
    written+=("$(date -d "$2" +%d-%m-%Y)")
}
conflict_copies() { find "$(data_of A)" "$(data_of B)" -name '*sync-conflict*' -printf '%f\n' | sort -u | wc -l; }

conflicts=0
for ((r = 0; r < rounds; r++)); do
    pause
    download A "${days[$((2 * r))]}"
    download B "${days[$((2 * r + 1))]}"
    scan
    resume
    wait_until 120 "a settled sync after round $r" settled
    conflicts=$((conflicts + $(conflict_copies)))
done

# maxConflicts 0: the losing side is dropped without a copy; the pages of both are in Archief.
for m in A B; do
    api "$m" PATCH "/rest/config/folders/$folder_id" -d '{"maxConflicts": 0}' >/dev/null ||
        fail "maxConflicts not set on $m"
done
pause
download A "${days[$((2 * rounds))]}"
download B "${days[$((2 * rounds + 1))]}"
scan
resume
wait_until 120 "a settled sync without conflict copies" settled

dates_in() {
    [ -f "$1" ] || return 0
    tr -d '\r' <"$1" | sed -n 's/^\([0-9][0-9]-[0-9][0-9]-[0-9][0-9][0-9][0-9]\).*/\1/p' | sort -u
}
dropped=$(comm -23 <(printf '%s\n' "${written[@]}" | sort -u) <(dates_in "$(data_of A)/$history") |
    wc -l)

# What is left is merged: a rebuild on each machine in turn, the other syncing in between.
for m in A B; do
    companion "$m" "${days[-1]}" --rebuild
    [ $? -le 1 ] || fail "rebuild on $m failed: $(tail -n 5 "$work/companion-$m.log")"
    wait_until 120 "a settled sync after the rebuild on $m" settled
done

failed=0
cmp -s "$(data_of A)/$history" "$(data_of B)/$history" || {
    echo "the histories of A and B differ" >&2
    failed=1
}
lost=$(comm -23 <(printf '%s\n' "${written[@]}" | sort -u) <(dates_in "$(data_of A)/$history") |
    wc -l)
left=$(conflict_copies)
[ "$lost" -eq 0 ] || {
    echo "dates lost: $(comm -23 <(printf '%s\n' "${written[@]}" | sort -u) <(dates_in "$(data_of A)/$history") | tr '\n' ' ')" >&2
    failed=1
}
[ "$left" -eq 0 ] || {
    echo "conflict copies left: $(find "$(data_of A)" "$(data_of B)" -name '*sync-conflict*')" >&2
    failed=1
}
[ "$conflicts" -gt 0 ] || {
    echo "no conflict was forced: the test proves nothing" >&2
    failed=1
}
[ "$dropped" -gt 0 ] || {
    echo "maxConflicts 0 dropped no date: the rebuild case proves nothing" >&2
    failed=1
}
echo "days: ${#written[@]}, conflict copies met: $conflicts, dates dropped by maxConflicts 0 and" \
    "rebuilt: $dropped, dates lost: $lost, conflict copies left: $left, time: $(($(date +%s) - started)) s"
[ $failed -eq 0 ] || {
    echo "runs:" >&2
    cat "$work/runs.log" >&2
    exit 1
}
echo "PASS"
