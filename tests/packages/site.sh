#!/usr/bin/env bash
# The browser build's site as it ships and as tools/run.sh --web serves it:
#  - the folder holds exactly the files the page loads, as the page itself
#    names them (index.html, its scripts, the manifest and the program's
#    loader), and the worker, which keeps each of them for use offline, plus
#    a .gz and a .br copy of each that compresses, the same bytes once unpacked;
#  - tools/serve-site.py answers each file with its type, with the .br copy
#    to a browser that accepts brotli, the .gz copy to one that accepts only
#    gzip, the file itself otherwise, and nothing outside the site's files.
#   site.sh SITE_DIR
set -uo pipefail

site=$(cd "$1" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../lib/x.sh"
x_work

# --- The folder.
[[ -f "$site/service-worker.js" ]] || die "no service worker in $site: not a built site"
# What the page loads, as index.html, the manifest and the scripts it names
# (page.js, the program's loader) name it; not the worker's own table.
refs() {
  case $1 in
    *.html) grep -o '\(src\|href\)="[^":]*"' "$site/$1" | cut -d'"' -f2 ;;
    *.webmanifest) grep -o '"src": *"[^"]*"' "$site/$1" | cut -d'"' -f4 ;;
    *.js) grep -o "[\"'][A-Za-z0-9_.-]*[.]\(js\|wasm\)[\"']" "$site/$1" | tr -d "\"'" ;;
  esac
}
loaded=$(for name in index.html $(refs index.html); do echo "$name" && refs "$name"; done 2>/dev/null |
  grep -vx service-worker.js | sort -u)
# The worker's table: one "'name': 'sha256'," line a file.
table=$(sed -n "s/^ *'\([^']*\)': '[0-9a-f]\{64\}',\{0,1\}\$/\1/p" "$site/service-worker.js" | grep -Fvx './' | sort)
[[ "$table" == "$loaded" ]] && pass "the worker keeps the $(wc -l <<<"$loaded") files the page loads" ||
  fail "the worker's table differs from what the page loads: $(diff <(echo "$loaded") <(echo "$table") | grep '^[<>]' | tr '\n' ' ')"
expected=()
for name in $loaded service-worker.js; do
  expected+=("$name")
  [[ "$name" == *.png ]] || expected+=("$name.gz" "$name.br")
done
want=$(printf '%s\n' "${expected[@]}" | sort)
have=$(cd "$site" && find . -mindepth 1 -printf '%P\n' | sort)
[[ "$have" == "$want" ]] && pass "the site holds the page's ${#expected[@]} files and copies, nothing else" ||
  fail "the site's files differ from what the page loads: $(diff <(echo "$want") <(echo "$have") | grep '^[<>]' | tr '\n' ' ')"
for name in $loaded service-worker.js; do
  [[ "$name" == *.png ]] && continue
  gzip -dc "$site/$name.gz" | cmp -s - "$site/$name" && brotli -dc "$site/$name.br" | cmp -s - "$site/$name" ||
    fail "$name.gz or $name.br does not unpack to $name"
done

# --- The server, on a copy of the site with a file beside it that it must not give.
cp -a "$site" "$work/site" && echo "secret" >"$work/secret.js"
site=$work/site
python3 "$here/../../tools/serve-site.py" "$site" 0 >"$work/url" 2>"$work/server.log" &
viewer_pid=$!
wait_until 10 grep -q '^http' "$work/url" || die "the server did not start: $(cat "$work/server.log")"
url=$(head -n 1 "$work/url")
get() {  # PATH ACCEPT-ENCODING: the answer's status, type and coding; the body in $work/body
  curl -s --path-as-is -o "$work/body" -H "Accept-Encoding: $2" \
    -w '%{http_code} %{content_type} %header{content-encoding}' "$url$1"
}
declare -A types=([html]="text/html; charset=utf-8" [js]="text/javascript; charset=utf-8"
  [css]="text/css; charset=utf-8" [wasm]=application/wasm [webmanifest]=application/manifest+json
  [png]=image/png)
answered=0 asked=0
for name in $loaded service-worker.js; do
  type=${types[${name##*.}]}
  if [[ "$name" == *.png ]]; then
    cases=("br, gzip:$name:")
  else
    cases=("gzip, deflate, br:$name.br:br" "gzip, deflate:$name.gz:gzip" "br;q=0, gzip:$name.gz:gzip"
      ":$name:")
  fi
  for c in "${cases[@]}"; do
    IFS=: read -r accept file coding <<<"$c"
    got=$(get "/$name" "$accept") asked=$((asked + 1))
    [[ "$got" == "200 $type $coding" ]] && cmp -s "$work/body" "$site/$file" &&
      answered=$((answered + 1)) ||
      fail "/$name with Accept-Encoding [$accept]: [$got], body $(stat -c %s "$work/body") bytes, $file $(stat -c %s "$site/$file")"
  done
done
((answered == asked)) && pass "$asked answers, each with the file's type and the copy the browser accepts"
got=$(get / br)
[[ "$got" == "200 text/html; charset=utf-8 br" ]] && cmp -s "$work/body" "$site/index.html.br" &&
  pass "/ is the page" || fail "/ answered [$got]"
for path in /../secret.js /%2e%2e/secret.js /%2E%2E%2Fsecret.js /helicoid.wasm.br /. /CMakeCache.txt; do
  got=$(get "$path" gzip)
  [[ "$got" == 404* ]] || fail "$path answered [$got], not 404"
done
pass "nothing outside the site's files: 404"
checks_end "$work"
