#!/usr/bin/env bash
# Installs the Debian packages of scripts/debian-packages.txt that are missing.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
missing=()
while read -r package; do
  case "$package" in ''|'#'*) continue ;; esac
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' || missing+=("$package")
done < "$here/debian-packages.txt"
# Debian's nodejs comes without npm; other builds of nodejs bring their own.
command -v npm >/dev/null 2>&1 || missing+=(npm)
if [ ${#missing[@]} -gt 0 ]; then
  echo "install-deps: installing ${missing[*]}"
  sudo=""; [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# The browser test's npm packages (a browser-automation library; the browser
# is Debian's chromium).
panel_test="$here/../tests/panel"
if [ ! -d "$panel_test/node_modules" ]; then
  echo "install-deps: installing the npm packages of tests/panel"
  (cd "$panel_test" && npm install --no-audit --no-fund)
fi
