# Sourced by end-to-end test scripts: one line per check, failures counted.
#   pass TEXT, fail TEXT
#   checks_end WORK_DIR   on failure copies WORK_DIR's screenshots and logs to
#                         /tmp/<script name>-failed and exits 1; else exits 0
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
pass() { echo "ok: $*"; }
checks_end() {
  if ((failures > 0)); then
    local keep="/tmp/$(basename "$0" .sh)-failed"
    mkdir -p "$keep" && cp "$1"/*.png "$1"/*.log "$keep"/ 2>/dev/null
    echo "$failures check(s) failed; screenshots and logs in $keep"
    exit 1
  fi
  echo "all checks passed"
  exit 0
}
