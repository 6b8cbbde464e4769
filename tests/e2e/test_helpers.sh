# Helpers the end-to-end shell tests source: named checks counted for the closing line
# "N passed, N failed", and waiting for a condition.
failures=0
passes=0
check() {  # check NAME COMMAND...: the command must succeed
  local name=$1; shift
  if "$@"; then echo "ok: $name"; passes=$((passes + 1)); else echo "FAILED: $name"; failures=$((failures + 1)); fi
}
wait_for() {  # wait_for SECONDS COMMAND...: until the command succeeds
  local deadline=$((SECONDS + $1)); shift
  until "$@"; do
    [ "$SECONDS" -ge "$deadline" ] && return 1
    sleep 0.02
  done
}
gone() { ! kill -0 "$1" 2>/dev/null; }
