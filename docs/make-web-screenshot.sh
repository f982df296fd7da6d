#!/usr/bin/env bash
# Builds the pages and takes the README's screenshot of the landscape page in headless
# Chromium (docs/web-landscape.png), printing the page sizes and start-up times with it.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
pages=$root/build/web-pages
"$root/docs/make-web.sh" "$pages" | tail -n 1
/usr/bin/python3 "$root/docs/web_figures.py" "$pages" "$root/docs/web-landscape.png"
