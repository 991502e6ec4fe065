#!/usr/bin/env bash
# Usage: install_test.sh CHECK BUILD_DIR WORK_DIR PREFIX
# Installs BUILD_DIR into WORK_DIR/dest under PREFIX and checks the installed tree:
#   start     the installed rendaal, started with an empty home, copies the start files of the
#             installed share/rendaal/ (not the source tree's) into its data folder
#   chart     the installed rendaal-sched renders a shipped history file as a PNG
#   validate  desktop entry, AppStream metadata, icons, manual pages and units are well formed
# RENDAAL_TARGETS lists the program targets the build defines. Exit 0: passed, 77: skipped (what
# the check needs is not built yet, or a validator is missing), anything else: failed.
set -uo pipefail

check=$1 build=$2 work=$3 prefix=$4
app_id=nl.rendaal.Rendaal

fail() {
    echo "FAIL: $*" >&2
    exit 1
}
skip() {
    echo "SKIP: $*"
    exit 77
}
has_target() { [[ ":${RENDAAL_TARGETS:-}:" == *":$1:"* ]]; }

rm -rf "$work"
mkdir -p "$work"
root=$work/dest$prefix
share=$root/share/rendaal

install_tree() {
    DESTDIR=$work/dest cmake --install "$build" --prefix "$prefix" >"$work/install.log" 2>&1 ||
        fail "cmake --install failed: $(cat "$work/install.log")"
    [ -d "$share" ] || fail "no $share after install"
}

# A throwaway home and no way out to the network: the program starts a download run at its first
# paint, and a test must not reach the quote sites.
run_isolated() {
    local home=$work/home
    mkdir -p "$home" "$work/runtime"
    chmod 700 "$work/runtime"
    local netns=()
    if unshare -rn true 2>/dev/null; then
        netns=(unshare -rn)
    fi
    env -u RENDAAL_START_FOLDER -u DISPLAY -u WAYLAND_DISPLAY \
        HOME="$home" XDG_CONFIG_HOME="$home/.config" XDG_DATA_HOME="$home/.local/share" \
        XDG_CACHE_HOME="$home/.cache" XDG_RUNTIME_DIR="$work/runtime" QT_QPA_PLATFORM=offscreen \
        http_proxy=http://127.0.0.1:9 https_proxy=http://127.0.0.1:9 no_proxy= \
        "${netns[@]}" "$@"
}

check_start() {
    has_target rendaal || skip "the rendaal program is not built yet"
    install_tree
    local bin=$root/bin/rendaal
    [ -x "$bin" ] || fail "rendaal not installed in $root/bin"

    local shipped=()
    local f
    for f in "$share"/*.dat "$share"/*.csv; do
        [ -f "$f" ] && [ "$(basename "$f")" != unins000.dat ] && shipped+=("$(basename "$f")")
    done
    [ -f "$share/Regels.dat" ] || skip "data/ ships no Regels.dat yet"
    # The program looks for its help page before it copies the start files, and stops at a
    # message when the page is missing.
    [ -f "$share/help/rendaal.html" ] || fail "help page not installed at $share/help/rendaal.html"
    # Only a file that exists in the installed folder proves that folder was the source.
    local marker=zz_install_test_marker.csv
    printf 'Datum; Put; Call; Som; AEX\r\n' >"$share/$marker"
    shipped+=("$marker")

    local rc=0
    run_isolated timeout 5 "$bin" >"$work/rendaal.log" 2>&1 || rc=$?
    # 124: still running when the time was up, which is what a desktop program does.
    if [ $rc -ne 0 ] && [ $rc -ne 124 ]; then
        fail "rendaal exited with $rc: $(tail -n 30 "$work/rendaal.log")"
    fi

    local data=$work/home/.local/share/Rendaal
    [ -d "$data" ] || fail "no data folder $data"
    for f in "${shipped[@]}"; do
        [ -f "$data/$f" ] ||
            fail "start file $f was not copied into $data (stopped at a message, such as help not found?)"
        cmp -s "$share/$f" "$data/$f" || fail "start file $f differs from the shipped one"
    done
    [ ! -e "$data/unins000.dat" ] || fail "unins000.dat must not be copied"

    echo "start files copied: ${shipped[*]}"
}

check_chart() {
    has_target rendaal-sched || skip "the rendaal-sched companion is not built yet"
    install_tree
    local bin=$root/bin/rendaal-sched
    [ -x "$bin" ] || fail "rendaal-sched not installed in $root/bin"

    local help rc=0
    help=$(run_isolated timeout 20 "$bin" --help 2>&1) || rc=$?
    [[ "$help" == *--chart* ]] || skip "rendaal-sched has no --chart option yet"
    [ $rc -eq 0 ] || fail "rendaal-sched --help exited with $rc"

    local history=
    local f
    for f in "$share"/*.csv; do
        [ -f "$f" ] && history=$f && break
    done
    [ -n "$history" ] || skip "data/ ships no history file yet"
    cp "$history" "$work/before.csv"

    local out=$work/chart.png
    rc=0
    run_isolated timeout 60 "$bin" --chart "$history" --out "$out" >"$work/chart.log" 2>&1 || rc=$?
    [ $rc -eq 0 ] || fail "rendaal-sched --chart exited with $rc: $(tail -n 30 "$work/chart.log")"
    [ -s "$out" ] || fail "no chart written to $out"
    [ "$(head -c 8 "$out" | od -An -tx1 | tr -d ' \n')" = 89504e470d0a1a0a ] ||
        fail "$out is not a PNG file"
    # IHDR: width and height, big-endian, at bytes 16..23.
    local width height
    width=$(od -An -tu1 -j16 -N4 "$out" | awk '{print ($1*16777216)+($2*65536)+($3*256)+$4}')
    height=$(od -An -tu1 -j20 -N4 "$out" | awk '{print ($1*16777216)+($2*65536)+($3*256)+$4}')
    [ "$width" -gt 0 ] && [ "$height" -gt 0 ] || fail "chart has no size (${width}x${height})"
    cmp -s "$history" "$work/before.csv" || fail "drawing a chart changed the history file"
    echo "chart ${width}x${height} written from $(basename "$history")"
}

check_validate() {
    local missing=()
    command -v desktop-file-validate >/dev/null || missing+=(desktop-file-utils)
    command -v appstreamcli >/dev/null || missing+=(appstream)
    [ ${#missing[@]} -eq 0 ] || skip "validators not installed (Debian: ${missing[*]}; scripts/package installs them)"
    install_tree

    local desktop=$root/share/applications/$app_id.desktop
    local metainfo=$root/share/metainfo/$app_id.metainfo.xml
    desktop-file-validate "$desktop" || fail "desktop-file-validate rejects $desktop"
    appstreamcli validate --no-net "$metainfo" || fail "appstreamcli rejects $metainfo"

    local icons=$root/share/icons/hicolor
    [ -f "$icons/scalable/apps/$app_id.svg" ] || fail "no scalable icon"
    local s
    for s in 16 24 32 48 64 128 256; do
        local png=$icons/${s}x${s}/apps/$app_id.png
        [ -f "$png" ] || fail "no ${s}x${s} icon"
        local w
        w=$(od -An -tu1 -j16 -N4 "$png" | awk '{print ($1*16777216)+($2*65536)+($3*256)+$4}')
        [ "$w" = "$s" ] || fail "icon in ${s}x${s} is $w pixels wide"
    done

    local page
    for page in rendaal rendaal-sched; do
        local man=$root/share/man/man1/$page.1.gz
        gzip -t "$man" 2>/dev/null || fail "no compressed manual page $man"
        if command -v groff >/dev/null; then
            local warnings
            warnings=$(gzip -dc "$man" | LC_ALL=C.UTF-8 groff -man -Tutf8 -ww -z 2>&1)
            [ -z "$warnings" ] || fail "groff warns about $page.1: $warnings"
        fi
    done

    grep -qx "ExecStart=$prefix/bin/rendaal-sched" "$share/rendaal-sched.service" ||
        fail "rendaal-sched.service does not start $prefix/bin/rendaal-sched"
    grep -q '^OnCalendar=Mon..Fri ' "$share/rendaal-sched.timer" || fail "timer is not for working days"
    echo "desktop entry, metainfo, icons, manual pages and units are valid"
}

case $check in
start) check_start ;;
chart) check_chart ;;
validate) check_validate ;;
*) fail "unknown check $check" ;;
esac
