#!/usr/bin/env bash
# bump --text with placeholders through the real executable: each photo gets
# its own text, exactly what bump --text with that text written out stamps;
# a photo lacking a tag fails alone, named, with exit 1 (in workers and in
# one process); a fault in the text itself is exit 2 with nothing written.
# $1 is the executable.
set -u

CLI=${1:?usage: text_placeholders.sh PATH-TO-quillvane-cli}
case $CLI in /*) ;; *) CLI=$PWD/$CLI ;; esac
DEJAVU=/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf
[ -r "$DEJAVU" ] || { echo "text_placeholders.sh: $DEJAVU is missing (run scripts/install-deps.sh)" >&2; exit 1; }
. "$(cd "$(dirname "$0")" && pwd)/lib/common.sh" placeholders

FONT=(--font "$DEJAVU" --text-height 24)
mkdir -p shoot
convert -size 240x160 gradient:white-navy shoot/tagged.jpg
convert -size 240x160 gradient:white-navy shoot/bare.jpg
exiv2 -q -M"set Exif.Image.Artist Hanako Yamada" -M"set Exif.Photo.DateTimeOriginal 2021:06:15 09:05:07" \
    shoot/tagged.jpg || fail "exiv2 cannot tag shoot/tagged.jpg"

# The photo with the tag: the same bytes as the text written out.
"$CLI" bump --text '© Hanako Yamada 2021' "${FONT[@]}" shoot/tagged.jpg -o expected.bmp 2>err.txt ||
    fail "bump --text with the text written out: $(cat err.txt)"

for jobs in 2 1; do
    rm -rf "out$jobs" && mkdir "out$jobs"
    run bump --text '© {exif:Artist} {date:%Y}' "${FONT[@]}" --format bmp --jobs $jobs \
        shoot/tagged.jpg shoot/bare.jpg -o "out$jobs/"
    expect_rc 1 "--jobs $jobs, one photo without Artist"
    [ -f "out$jobs/tagged.bmp" ] || fail "--jobs $jobs: no result for the tagged photo"
    cmp -s "out$jobs/tagged.bmp" expected.bmp || fail "--jobs $jobs: the tagged photo's mark differs"
    [ ! -e "out$jobs/bare.bmp" ] || fail "--jobs $jobs: a result was written for the photo without Artist"
    grep -qF "quillvane-cli: shoot/bare.jpg: {exif:Artist}: the photo has no such tag" err.txt ||
        fail "--jobs $jobs: the failure does not name the file and the placeholder: $(cat err.txt)"
    grep -qF "1 done, 0 skipped, 1 failed" err.txt || fail "--jobs $jobs: the summary: $(cat err.txt)"
done

# A default fills what the photo lacks; a text without placeholders is drawn
# as before, its doubled braces made single.
run bump --text '© {exif:Artist|Quillvane} 2021' "${FONT[@]}" shoot/bare.jpg -o default.bmp
expect_rc 0 "a default"
"$CLI" bump --text '© Quillvane 2021' "${FONT[@]}" shoot/bare.jpg -o default-expected.bmp
cmp -s default.bmp default-expected.bmp || fail "the default was not what was stamped"
run bump --text '{{Quillvane}}' "${FONT[@]}" shoot/bare.jpg -o braces.bmp
expect_rc 0 "doubled braces"
"$CLI" bump --text '{Quillvane}' "${FONT[@]}" shoot/bare.jpg -o braces-expected.bmp 2>/dev/null
[ $? -eq 2 ] || fail "'{Quillvane}' is not refused as an unknown placeholder"
"$CLI" text-mark '{Quillvane}' "${FONT[@]}" -o braces-mark.bmp
"$CLI" bump --watermark braces-mark.bmp shoot/bare.jpg -o braces-expected.bmp
cmp -s braces.bmp braces-expected.bmp || fail "'{{Quillvane}}' is not stamped as '{Quillvane}'"

# Faults of the text: exit 2, one line, nothing written.
mkdir -p refused
for bad in '© {exif:Artist' '{name}' '{exif:Artsit}' '{date:%Q}' 'a } b'; do
    run bump --text "$bad" "${FONT[@]}" shoot/tagged.jpg shoot/bare.jpg -o refused/
    expect_rc 2 "--text '$bad'"
    grep -q '^quillvane-cli: --text: ' err.txt || fail "--text '$bad': $(cat err.txt)"
    [ -z "$(ls -A refused)" ] || fail "--text '$bad' wrote $(ls refused)"
done

if [ "$FAILURES" -ne 0 ]; then
    echo "text_placeholders.sh: $FAILURES failure(s)" >&2
    exit 1
fi
echo "text_placeholders.sh: all checks passed"
