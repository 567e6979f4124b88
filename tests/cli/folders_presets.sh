#!/usr/bin/env bash
# quillvane-cli on folders and with presets, through the real executable:
# trees mirrored, --suffix, --skip-existing, inputs never replaced without
# --in-place, presets overridden by the command line, the summary.
# $1 is the executable.
set -u

CLI=${1:?usage: folders_presets.sh PATH-TO-quillvane-cli}
case $CLI in /*) ;; *) CLI=$PWD/$CLI ;; esac
PICTURES="python3 $(cd "$(dirname "$0")" && pwd)/pictures.py"
. "$(cd "$(dirname "$0")" && pwd)/lib/common.sh" folders
sums() { (cd "$1" && find . -type f | sort | xargs md5sum); }

# A shoot: pictures of every type two folders deep, and files that are no pictures.
mkdir -p shoot/day1/raw shoot/day2 shoot/empty
$PICTURES rgba shoot/a.png 31 19 1 0
$PICTURES rgba shoot/day1/logo-like.png 17 13 2 1
"$CLI" convert shoot/a.png -o shoot/day1/b.jpg 2>/dev/null
"$CLI" convert shoot/a.png -o shoot/day1/raw/c.bmp 2>/dev/null
"$CLI" convert shoot/a.png -o shoot/day2/d.webp 2>/dev/null
echo notes >shoot/day2/notes.txt
BEFORE=$(sums shoot)

# ---- -r mirrors the tree, with --suffix, each result in its input's type ----
run effect --kind negative -r shoot -o marked --suffix _wm --jobs 2
expect_rc 0 "-r into a new folder"
expected=$'./a_wm.png\n./day1/b_wm.jpg\n./day1/logo-like_wm.png\n./day1/raw/c_wm.bmp\n./day2/d_wm.webp'
[ "$(cd marked && find . -type f | sort)" = "$expected" ] || fail "mirrored tree: $(cd marked && find . -type f | sort | tr '\n' ' ')"
grep -q '5 done, 0 skipped, 0 failed' err.txt || fail "summary of -r: $(tail -2 err.txt)"
run effect --kind negative shoot -o marked
expect_rc 2 "a folder without -r"
grep -q "'shoot' is a folder: give -r" err.txt || fail "a folder without -r: $(cat err.txt)"

# ---- --skip-existing: a second run does nothing ----
touch -d '2000-01-01' marked/day1/b_wm.jpg
run effect --kind negative -r shoot -o marked --suffix _wm --skip-existing
expect_rc 0 "--skip-existing"
grep -q '0 done, 5 skipped, 0 failed' err.txt || fail "--skip-existing summary: $(tail -2 err.txt)"
[ "$(stat -c %Y marked/day1/b_wm.jpg)" = "$(date -d '2000-01-01' +%s)" ] || fail "--skip-existing rewrote a file"

# ---- results that would replace inputs are refused unless --in-place ----
run effect --kind negative -r shoot -o shoot
expect_rc 2 "results over their inputs"
grep -q 'give --in-place' err.txt || fail "results over inputs: $(cat err.txt)"
run convert shoot/a.png -o shoot/a.png
expect_rc 2 "one result over its input"
[ "$(sums shoot)" = "$BEFORE" ] || fail "a refused run changed the inputs"
cp -r shoot copy
run effect --kind negative -r copy --in-place --jobs 1
expect_rc 0 "--in-place without -o"
for f in a.png day1/b.jpg day1/raw/c.bmp day2/d.webp; do
    cmp -s "copy/$f" "marked/${f%.*}_wm.${f##*.}" || fail "--in-place: copy/$f is not the processed picture"
done
[ -z "$(find copy -name '*.qv-tmp*')" ] || fail "--in-place left temporary files"
cmp -s copy/day2/notes.txt shoot/day2/notes.txt || fail "--in-place touched a file that is no picture"

# ---- a failure in a folder: the others run, the summary names it, exit 1 ----
printf 'broken' >copy/day1/broken.jpg
run convert -r copy -o out2 --format png --jobs 2
expect_rc 1 "a broken file in a folder"
grep -q '5 done, 0 skipped, 1 failed' err.txt || fail "failure summary: $(tail -3 err.txt)"
grep -A1 'failed:$' err.txt | grep -q 'copy/day1/broken.jpg: the JPEG file could not be read' ||
    fail "the summary does not list the failure with its reason"
[ ! -e out2/day1/broken.png ] || fail "a failed file left an output"

# ---- presets: options one a line, comments, the command line overrides ----
cat >studio.qv <<'PRESET'
# studio settings
--strength 60

--amplify=300
--light -0.6,0.3,0.74
PRESET
run bump shoot/a.png --preset studio.qv -o p1.bmp --amplify 100
run bump shoot/a.png --strength 60 --light -0.6,0.3,0.74 --amplify 100 -o p2.bmp
cmp -s p1.bmp p2.bmp || fail "a preset with an override differs from the same options written out"
printf -- '--strength 60\n--tile extra\n' >bad.qv
run bump shoot/a.png --preset bad.qv -o p3.bmp
expect_rc 2 "a bad preset"
grep -q 'bad.qv:2: ' err.txt || fail "a preset error does not name the file and line: $(cat err.txt)"
printf -- '--strength 60\n--strength 70\n' >twice.qv
run bump shoot/a.png --preset twice.qv -o p3.bmp
grep -q "twice.qv:2: option '--strength' is given twice" err.txt || fail "twice in a preset: $(cat err.txt)"
[ ! -e p3.bmp ] || fail "a bad preset wrote a file"
# Workers read the preset too: the same bytes with several jobs.
run bump --preset studio.qv -r shoot -o pj --jobs 3
run bump --preset studio.qv -r shoot -o p1j --jobs 1
[ "$(sums pj)" = "$(sums p1j)" ] || fail "a preset with --jobs 3 differs from --jobs 1"

# ---- the summary and messages in Japanese ----
LANG=ja_JP.UTF-8 run convert -r copy -o out3 --format png --jobs 1
grep -q '完了 5、スキップ 0、失敗 1' err.txt || fail "Japanese summary: $(tail -3 err.txt)"
grep -q 'JPEGファイルを読み込めませんでした' err.txt || fail "Japanese reader message: $(cat err.txt)"

if [ "$FAILURES" -ne 0 ]; then
    echo "$FAILURES check(s) failed" >&2
    exit 1
fi
echo "all folder and preset checks passed"
