#!/usr/bin/env bash
# quillvane-cli with several inputs run by worker processes (--jobs): the
# results and the messages must be exactly those of a run in one process.
# $1 is the executable.
set -u

CLI=${1:?usage: parallel_batch.sh PATH-TO-quillvane-cli}
case $CLI in /*) ;; *) CLI=$PWD/$CLI ;; esac
WORK=$(mktemp -d "${TMPDIR:-/tmp}/qv-par.XXXXXX")
trap 'rm -rf "$WORK"' EXIT
cd "$WORK" || exit 1

FAILURES=0
fail() { echo "FAIL: $*" >&2; FAILURES=$((FAILURES + 1)); }

# run ERR-FILE ARGS...: exit status in RC, standard error in ERR-FILE.
run() { local err=$1; shift; "$CLI" "$@" >/dev/null 2>"$err"; RC=$?; }

expect_rc() {  # expected-status description error-file
    [ "$RC" -eq "$1" ] || { fail "$2: exit $RC, expected $1"; sed 's/^/    /' "$3" >&2; }
}

le16() { printf '\\x%02x\\x%02x' $(($1 & 255)) $((($1 >> 8) & 255)); }
le32() { printf '\\x%02x\\x%02x\\x%02x\\x%02x' $(($1 & 255)) $((($1 >> 8) & 255)) $((($1 >> 16) & 255)) $((($1 >> 24) & 255)); }

# make_bmp24 FILE W H: a 24-bit BMP whose pixels are random bytes (fast at
# any size; the same file serves every run that is compared).
make_bmp24() {
    local file=$1 w=$2 h=$3
    local stride=$(((w * 3 + 3) / 4 * 4))
    printf "BM$(le32 $((54 + stride * h)))$(le32 0)$(le32 54)$(le32 40)$(le32 "$w")$(le32 "$h")$(le16 1)$(le16 24)$(le32 0)$(le32 $((stride * h)))$(le32 2835)$(le32 2835)$(le32 0)$(le32 0)" >"$file"
    head -c $((stride * h)) /dev/urandom >>"$file"
}

# untimed FILE: standard error without the summary's elapsed time, which
# differs from run to run.
untimed() { sed 's/ failed in [0-9.]* s$/ failed/' "$1"; }

# same_files DIR-A DIR-B description: the same names with the same bytes.
same_files() {
    local name
    if [ "$(cd "$1" && ls)" != "$(cd "$2" && ls)" ]; then
        fail "$3: different files: $(cd "$1" && ls | tr '\n' ' ')/ $(cd "$2" && ls | tr '\n' ' ')"
        return
    fi
    for name in $(cd "$1" && ls); do
        cmp -s "$1/$name" "$2/$name" || fail "$3: $name differs between the runs"
    done
}

# The first input is much larger than the rest, so that with several jobs
# the later ones finish first.
make_bmp24 big.bmp 1600 1200
make_bmp24 a.bmp 37 23
make_bmp24 b.bmp 64 48
make_bmp24 c.bmp 5 3
make_bmp24 mark.bmp 16 16
"$CLI" convert b.bmp -o b.jpg --quality 90 2>/dev/null || fail "making b.jpg"
"$CLI" convert a.bmp -o ajpeg.jpg 2>/dev/null || fail "making ajpeg.jpg"
printf 'no picture\n' >broken.jpg
INPUTS=(big.bmp a.bmp b.jpg broken.jpg c.bmp missing.bmp ajpeg.jpg)

# ---- every command: --jobs 1 and --jobs 3 give the same bytes and messages ----
compare_jobs() {  # description, then the command and its options
    local what=$1
    shift
    rm -rf one three
    mkdir one three
    run err1.txt "$@" "${INPUTS[@]}" -o one --jobs 1
    local rc1=$RC
    run err3.txt "$@" "${INPUTS[@]}" -o three --jobs 3
    [ "$rc1" -eq 1 ] && [ "$RC" -eq 1 ] || fail "$what: exit $rc1 and $RC, expected 1 (two inputs are bad)"
    same_files one three "$what"
    [ "$(ls one | wc -l)" -eq 5 ] || fail "$what: expected five results, got $(ls one | tr '\n' ' ')"
    cmp -s <(untimed err1.txt) <(untimed err3.txt) || {
        fail "$what: standard error differs between --jobs 1 and --jobs 3"
        diff <(untimed err1.txt) <(untimed err3.txt) | sed 's/^/    /' >&2
    }
}
compare_jobs "convert" convert --quality 85
compare_jobs "bump with a watermark file" bump --watermark mark.bmp --tile --strength 60
compare_jobs "bump with each picture as its own watermark" bump --keep-aspect
compare_jobs "filter emboss" filter --kind emboss --strength 7
compare_jobs "filter soft, several passes" filter --kind soft --strength 3 --format bmp --bmp-depth 32
compare_jobs "custom kernel" filter --kernel=-1,-1,-1,-1,8,-1,-1,-1,-1 --strength 4
compare_jobs "effect contrast" effect --kind contrast --region 2,1,30,20
compare_jobs "ysh" ysh --luminance 10 --saturation -20 --hue 33 --format jpeg --progressive

# More jobs than inputs: every input at once.
ORDER_ERR=$WORK/order.txt
cp err3.txt "$ORDER_ERR"
rm -rf many one && mkdir many one
run errmany.txt filter --kind emboss --strength 7 "${INPUTS[@]}" -o many --jobs 64
run err1.txt filter --kind emboss --strength 7 "${INPUTS[@]}" -o one --jobs 1
same_files one many "--jobs 64"
cmp -s <(untimed err1.txt) <(untimed errmany.txt) || fail "--jobs 64: messages differ from --jobs 1"

# ---- messages in input order, progress for every file ----------------------------
expected=$'[1/7] big.bmp\n[2/7] a.bmp\n[3/7] b.jpg\n[4/7] broken.jpg\nquillvane-cli: broken.jpg: \n[5/7] c.bmp\n[6/7] missing.bmp\nquillvane-cli: missing.bmp: \n[7/7] ajpeg.jpg\nquillvane-cli: 5 done, 0 skipped, 2 failed\nquillvane-cli: failed:\nquillvane-cli: broken.jpg: \nquillvane-cli: missing.bmp: '
actual=$(untimed "$ORDER_ERR" | sed 's/^\(quillvane-cli: [a-z.]*: \).*/\1/')
[ "$actual" = "$expected" ] || { fail "progress and messages out of input order"; sed 's/^/    /' "$ORDER_ERR" >&2; }

# ---- all good: exit 0, every result ----------------------------------------------------
rm -rf ok && mkdir ok
run err.txt effect --kind negative big.bmp a.bmp c.bmp -o ok/
expect_rc 0 "three good inputs with the default jobs" err.txt
[ "$(ls ok | wc -l)" -eq 3 ] || fail "default jobs: expected three results, got $(ls ok | tr '\n' ' ')"

# ---- usage errors and a bad watermark are found before any worker starts ------------
rm -rf u && mkdir u
for args in "--jobs 0" "--jobs=-2" "--jobs 2 --strength 999"; do
    # shellcheck disable=SC2086
    run err.txt bump $args a.bmp b.jpg -o u
    expect_rc 2 "bump $args" err.txt
    [ "$(ls u | wc -l)" -eq 0 ] || fail "bump $args wrote $(ls u)"
done
run err.txt convert a.bmp b.jpg -o u/missing-dir/ --jobs 3
expect_rc 2 "several inputs into a missing directory" err.txt
run err.txt bump --watermark nothere.bmp a.bmp b.jpg c.bmp -o u --jobs 3
expect_rc 1 "missing watermark" err.txt
[ "$(grep -c 'nothere.bmp' err.txt)" -eq 1 ] || fail "missing watermark: reported $(grep -c 'nothere.bmp' err.txt) times"
grep -q '^\[' err.txt && fail "missing watermark: files were started"
[ "$(ls u | wc -l)" -eq 0 ] || fail "missing watermark wrote $(ls u)"

# ---- two inputs with the same result name ------------------------------------------------
# The second is refused when the first was written, and runs when the first failed.
mkdir -p sub dup1 dup3
cp a.bmp sub/c.bmp
run err1.txt effect --kind negative c.bmp sub/c.bmp -o dup1 --jobs 1
run err3.txt effect --kind negative c.bmp sub/c.bmp -o dup3 --jobs 3
expect_rc 1 "same result name" err3.txt
grep -q '^quillvane-cli: sub/c.bmp: .*would replace' err3.txt || fail "same result name: no refusal for the second"
same_files dup1 dup3 "same result name"
cmp -s <(untimed err1.txt | sed 's/dup1/dupN/') <(untimed err3.txt | sed 's/dup3/dupN/') || fail "same result name: messages differ"
rm -rf dup1 dup3 && mkdir dup1 dup3
cp broken.jpg sub/x.jpg
cp b.jpg x.jpg
run err1.txt convert sub/x.jpg x.jpg -o dup1 --jobs 1
run err3.txt convert sub/x.jpg x.jpg -o dup3 --jobs 3
expect_rc 1 "same result name, first fails" err3.txt
same_files dup1 dup3 "same result name, first fails"
[ -s dup3/x.jpg ] || fail "same result name: the second was not written after the first failed"

# ---- on a terminal: one updating line, messages above it ------------------------------------
if command -v script >/dev/null 2>&1; then
    rm -rf tty && mkdir tty
    script -qec "'$CLI' convert big.bmp broken.jpg a.bmp -o tty --jobs 2" /dev/null >tty.txt 2>&1
    grep -q $'\r\\[=*\\] 3/3  [0-9.]* files/s  0:00 left' tty.txt || fail "terminal: no updating progress line"
    grep -q '1 failed in ' tty.txt || fail "terminal: no summary"
    grep -q 'quillvane-cli: broken.jpg: ' tty.txt || fail "terminal: the error is missing"
    [ "$(ls tty | wc -l)" -eq 2 ] || fail "terminal: expected two results"
fi

if [ "$FAILURES" -ne 0 ]; then
    echo "$FAILURES check(s) failed" >&2
    exit 1
fi
echo "all parallel batch checks passed"
