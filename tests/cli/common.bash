# Shared by the program-level checks: sourced, never run on its own (CTest runs only *.sh).
# Sets bin (the folder of the built programs, from the first argument), work (a temporary
# folder removed at exit), fail, and the helpers below.
set -u
bin=$(cd "$(dirname "$1")" && pwd)
render="$bin/veke-render"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail=0
say() { echo "FAIL $*"; fail=1; }
pixel() { convert "$1" -format "%[pixel:p{$2,$3}]" info:; }
