#!/usr/bin/env bash
# Memory: VmRSS of kxcontainer after 100,000 requests without a cookie
# against its VmRSS after the first 1,000 (same process, default
# --max-sessions). The requests cycle through the start page, the server
# wizard, the directory viewer and the file browser, as a browser without a
# cookie would ask for them (each wizard and listing request makes a session).
#   target: VmRSS(100,000) <= 2 x VmRSS(1,000)
#   bench/bench_memory.sh        (KX_BENCH_FIRST / KX_BENCH_TOTAL change the counts)
source "$(dirname "$0")/lib.sh"
bench_setup kxcontainer orvowizard
FIRST="${KX_BENCH_FIRST:-$(sized 1000 100)}"
TOTAL="${KX_BENCH_TOTAL:-$(sized 100000 1000)}"
SLICE="$(sized 2 1)"

mkdir -p "$KX_TMP/home/projects"
cp -r "$KX_ROOT/home/docs" "$KX_ROOT/home/examples" "$KX_TMP/home/" 2>/dev/null || true
kx_start "$KX_TMP/home"
log "kxcontainer at $KX_URL (pid $KX_PID)"

PAGES=(/orvo/ /orvo/server /orvo/viewer /orvo/browse)
SESSIONS=""
for page in "${PAGES[@]}"; do
    if curl -s -D - -o /dev/null --max-time 10 "$KX_URL$page" | grep -qi '^set-cookie: JSESSIONID'; then
        SESSIONS="$SESSIONS $page"
    fi
done
log "pages that make a session without a cookie:${SESSIONS:- none}"

# wrk stops after a count of answers (one thread, so the count is the total).
cat >"$KX_TMP/count.lua" <<'EOF'
local paths = { "/orvo/", "/orvo/server", "/orvo/viewer", "/orvo/browse" }
local limit = tonumber(os.getenv("KX_LIMIT"))
local sent, done = 0, 0
request = function()
    sent = sent + 1
    return wrk.format("GET", paths[(sent % #paths) + 1])
end
response = function(status)
    done = done + 1
    if done >= limit then wrk.thread:stop() end
end
EOF

rss() { awk '/^VmRSS/ { print $2 }' "/proc/$KX_PID/status"; }
answered() { access_lines | wc -l; }

# send COUNT: wrk in short slices (a slice stops early once its share of
# answers is in) until the access log holds COUNT more answers; at most 300
# slices of 2 s (1 s in quick mode).
send() {
    local goal=$(( $(answered) + $1 )) left
    for _ in $(seq 300); do
        left=$(( goal - $(answered) ))
        [ "$left" -gt 0 ] || break
        KX_LIMIT="$left" timeout 30 wrk -t1 -c8 -d"${SLICE}s" --timeout 10s -s "$KX_TMP/count.lua" \
            "$KX_URL/" >>"$KX_TMP/wrk.txt"
        sleep 0.2
    done
    sleep 1
}

RSS0="$(rss)"
send $((FIRST - $(answered)))
N1="$(answered)"; RSS1="$(rss)"
log "after $N1 requests: VmRSS $RSS1 kB (at start $RSS0 kB)"
t0="$(date +%s)"
send $((TOTAL - N1))
N2="$(answered)"; RSS2="$(rss)"
log "after $N2 requests: VmRSS $RSS2 kB ($(( $(date +%s) - t0 )) s)"
ERRORS="$(access_lines | awk '$9 != 200' | wc -l)"
R="$(ratio "$RSS2" "$RSS1")"

echo
echo "== Memory (pages cycled: ${PAGES[*]}; making a session:${SESSIONS:- none}) =="
printf 'VmRSS at start %s kB | after %s requests %s kB | after %s requests %s kB | ratio %s (<= 2: %s); answers other than 200: %s\n' \
    "$RSS0" "$N1" "$RSS1" "$N2" "$RSS2" "$R" "$(verdict "$R" '<=' 2)" "$ERRORS"
