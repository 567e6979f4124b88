#!/usr/bin/env bash
# Runs quillvane-cli.exe under Wine in the place of the native tool, for
# the command-line tests (tests/cli/*.sh), which call it as "$CLI" ARGS:
#
#   tests/windows/cli-under-wine.sh quillvane-cli.exe [arguments...]
#
# The tool sees the test's locale (LC_ALL, else LANG; LANGUAGE passes
# through), where wine-run.sh would otherwise run it in ja_JP.UTF-8.
root=$(cd "$(dirname "$0")/../.." && pwd)
locale=${LC_ALL:-${LANG:-C.UTF-8}}
QUILLVANE_WINE_LOCALE=$locale exec "$root/scripts/wine-run.sh" "$@"
