# Sourced by the command-line tests: a scratch folder that goes away at the
# end (the test runs inside it), the test's locale, and the helpers every
# test uses.
#
#   . "$(dirname "$0")/lib/common.sh" NAME      (after CLI is set)
#
#   fail TEXT            counts and prints a failed check
#   run ARGS...          runs the tool: stdout in out.txt, stderr in err.txt, status in RC
#   expect_rc N TEXT     the last run's status was N, else fail (with its stderr)
WORK=$(mktemp -d "${TMPDIR:-/tmp}/qv-$1.XXXXXX")
trap 'rm -rf "$WORK"' EXIT
cd "$WORK" || exit 1
export LANG=C.UTF-8 LC_ALL=

FAILURES=0
fail() { echo "FAIL: $*" >&2; FAILURES=$((FAILURES + 1)); }
run() { "$CLI" "$@" >out.txt 2>err.txt; RC=$?; }
expect_rc() { [ "$RC" -eq "$1" ] || { fail "$2: exit $RC, expected $1"; sed 's/^/    /' err.txt >&2; }; }
