#!/bin/bash
# The browser player in a real browser: serves build-web/ and presentations of our own on
# 127.0.0.1, drives the system's Chromium through puppeteer-core and compares the page with
# veke-render. Exit 77 (skipped) when the browser build, node or Chromium is not there.
# usage: run.sh VEKE_RENDER SOURCE_DIR [WEB_BUILD_DIR]
set -u
render=$1 source=$2 web=${3:-$2/build-web}
skip() { echo "skipped: $*"; exit 77; }
for file in veke.html veke.js veke.wasm veke-page.js veke-audio.js; do
  [ -f "$web/$file" ] || skip "$web/$file is missing (make web)"
done
command -v node > /dev/null || skip "node is not installed (scripts/install-deps.sh)"
command -v npm > /dev/null || skip "npm is not installed (scripts/install-deps.sh)"
browser=${VEKE_CHROMIUM:-$(command -v chromium || command -v chromium-browser)} ||
  skip "Chromium is not installed (scripts/install-deps.sh)"

# puppeteer-core once per version of its lock file, beside the browser build's other caches.
cache=${VEKE_WEB_CACHE:-$HOME/.cache/veke-web}
modules=$cache/npm-$(cat "$source/tests/web/package-lock.json" | sha256sum | cut -c1-16)
if [ ! -d "$modules/node_modules/puppeteer-core" ]; then
  mkdir -p "$modules"
  cp "$source/tests/web/package.json" "$source/tests/web/package-lock.json" "$modules/"
  (cd "$modules" && npm ci --no-audit --no-fund --loglevel=error) ||
    skip "puppeteer-core could not be installed from npm"
fi

work=$(mktemp -d)
# The work folder stays when a case fails: it holds the frames compared.
NODE_PATH=$modules/node_modules node "$source/tests/web/browser_test.js" \
  --browser "$browser" --render "$render" --source "$source" --web "$web" --work "$work" &&
  rm -rf "$work"
